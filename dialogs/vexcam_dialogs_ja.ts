<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>VexCamDialogs</name>
    <message>
        <source>Property</source>
        <translation>プロパティ</translation>
    </message>
    <message>
        <source>Stream Format</source>
        <translation>ストリーム フォーマット</translation>
    </message>
    <message>
        <source>Color / Compression(&amp;C):</source>
        <translation>カラー / 圧縮(&amp;C):</translation>
    </message>
    <message>
        <source>Size(&amp;S):</source>
        <translation>サイズ(&amp;S):</translation>
    </message>
    <message>
        <source>Sub Sample(&amp;B):</source>
        <translation>サブサンプル(&amp;B):</translation>
    </message>
    <message>
        <source>H Total</source>
        <translation>水平トータル</translation>
    </message>
    <message>
        <source>V Total</source>
        <translation>垂直トータル</translation>
    </message>
    <message>
        <source>H Effective</source>
        <translation>水平有効</translation>
    </message>
    <message>
        <source>V Effective</source>
        <translation>垂直有効</translation>
    </message>
    <message>
        <source>H Start</source>
        <translation>水平開始</translation>
    </message>
    <message>
        <source>V Start</source>
        <translation>垂直開始</translation>
    </message>
    <message>
        <source>Wait Time(&amp;T):</source>
        <translation>待ち時間(&amp;T):</translation>
    </message>
    <message>
        <source>Clock(&amp;C):</source>
        <translation>クロック(&amp;C):</translation>
    </message>
    <message>
        <source>* In the WORD forwarding mode, please set the clock to the half.</source>
        <translation>※ WORD 転送モードでは、クロックをハーフに設定してください。</translation>
    </message>
    <message>
        <source>Apply(&amp;A)</source>
        <translation>適用(&amp;A)</translation>
    </message>
    <message>
        <source>Monochrome 8bit</source>
        <translation>モノクロ 8bit</translation>
    </message>
    <message>
        <source>Monochrome %1bit *</source>
        <translation>モノクロ %1bit *</translation>
    </message>
    <message>
        <source>Color 24bit</source>
        <translation>カラー 24bit</translation>
    </message>
    <message>
        <source>Color 32bit</source>
        <translation>カラー 32bit</translation>
    </message>
    <message>
        <source>Color 48bit *</source>
        <translation>カラー 48bit *</translation>
    </message>
    <message>
        <source>Color 64bit *</source>
        <translation>カラー 64bit *</translation>
    </message>
    <message>
        <source>Nomal(24MHz)</source>
        <translation>ノーマル(24MHz)</translation>
    </message>
    <message>
        <source>Half(12MHz)</source>
        <translation>ハーフ(12MHz)</translation>
    </message>
    <message>
        <source>High(%1MHz)</source>
        <translation>ハイ(%1MHz)</translation>
    </message>
    <message>
        <source>Analog Gain</source>
        <translation>アナログ ゲイン</translation>
    </message>
    <message>
        <source>&amp;Global Gain</source>
        <translation>グローバル ゲイン(&amp;G)</translation>
    </message>
    <message>
        <source>&amp;Color Gain G1</source>
        <translation>カラー ゲイン G1(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Color Gain R</source>
        <translation>カラー ゲイン R(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Color Gain B</source>
        <translation>カラー ゲイン B(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Color Gain G2</source>
        <translation>カラー ゲイン G2(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Exposure</source>
        <translation>露光(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Black Level</source>
        <translation>黒レベル(&amp;B)</translation>
    </message>
    <message>
        <source>ExposureEx</source>
        <translation>露光時間</translation>
    </message>
    <message>
        <source>range</source>
        <translation>範囲</translation>
    </message>
    <message>
        <source>Auto Iris</source>
        <translation>オート アイリス</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>ゲイン</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>露光</translation>
    </message>
    <message>
        <source>Mirror V</source>
        <translation>上下反転</translation>
    </message>
    <message>
        <source>Mirror H</source>
        <translation>左右反転</translation>
    </message>
    <message>
        <source>Peltier</source>
        <translation>ペルチェ</translation>
    </message>
    <message>
        <source>Short exposure mode</source>
        <translation>短時間露光モード</translation>
    </message>
    <message>
        <source>High Gain</source>
        <translation>高ゲイン</translation>
    </message>
    <message>
        <source>Low Gain</source>
        <translation>低ゲイン</translation>
    </message>
    <message>
        <source>Default(&amp;D)</source>
        <translation>標準に戻す(&amp;D)</translation>
    </message>
    <message>
        <source>Image Filter</source>
        <translation>イメージ フィルタ</translation>
    </message>
    <message>
        <source>Gray Filter</source>
        <translation>グレー フィルタ</translation>
    </message>
    <message>
        <source>&amp;Brightness</source>
        <translation>明るさ(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Contrast</source>
        <translation>コントラスト(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Hue</source>
        <translation>色相(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Saturation</source>
        <translation>彩度(&amp;S)</translation>
    </message>
    <message>
        <source>Shar&amp;pness</source>
        <translation>シャープネス(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;R Gain</source>
        <translation>R ゲイン(&amp;R)</translation>
    </message>
    <message>
        <source>&amp;G Gain</source>
        <translation>G ゲイン(&amp;G)</translation>
    </message>
    <message>
        <source>&amp;B Gain</source>
        <translation>B ゲイン(&amp;B)</translation>
    </message>
    <message>
        <source>&amp;Gamma</source>
        <translation>ガンマ(&amp;G)</translation>
    </message>
    <message>
        <source>Bayer Mode</source>
        <translation>ベイヤー モード</translation>
    </message>
    <message>
        <source>Auto white balance</source>
        <translation>オート ホワイトバランス</translation>
    </message>
    <message>
        <source>Once</source>
        <translation>1 回</translation>
    </message>
    <message>
        <source>All frames</source>
        <translation>全フレーム</translation>
    </message>
    <message>
        <source>Offset</source>
        <translation>オフセット</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>赤</translation>
    </message>
    <message>
        <source>Green1</source>
        <translation>緑1</translation>
    </message>
    <message>
        <source>Green2</source>
        <translation>緑2</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>青</translation>
    </message>
    <message>
        <source>Filter mode</source>
        <translation>フィルタ モード</translation>
    </message>
    <message>
        <source>Bayer</source>
        <translation>ベイヤー</translation>
    </message>
    <message>
        <source>Bayer convert</source>
        <translation>ベイヤー変換</translation>
    </message>
    <message>
        <source>Grayscale</source>
        <translation>グレースケール</translation>
    </message>
    <message>
        <source>Auto Gain</source>
        <translation>オート ゲイン</translation>
    </message>
</context>
</TS>
