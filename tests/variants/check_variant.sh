#!/bin/sh
# One model's SDK through its own vexcam tool, on its simulated camera: info
# names the camera after the model, snap saves a frame of the sensor's size,
# the settings go to the model's own file, and continuous preview delivers
# frames of that size at 8 and 16 bits.
set -eu
tool=$1 product=$2 model=$3 frames=${4:-frames}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A device table of its own, so that checks running side by side (ctest -j)
# do not see each other's cameras.
export XDG_CONFIG_HOME="$work/config" VEXCAM_SIMULATOR="$product" VEXCAM_SHM_NAME="/vexcam-variant-$$"
fail() { echo "model $model ($product): $*" >&2; exit 1; }

info=$("$tool" info) || fail "vexcam info failed: $info"
printf '%s\n' "$info"
printf '%s\n' "$info" | grep -q "(VexCam${model}_01)" || fail "the camera is not named VexCam${model}_01"
sensor=$(printf '%s\n' "$info" | sed -n 's/^sensor: *\([0-9]*\) x \([0-9]*\)$/\1 \2/p')
[ -n "$sensor" ] || fail "info gives no sensor size"
[ -f "$XDG_CONFIG_HOME/Quorin/VexCam${model}3K9Sdk.reg" ] || fail "no settings file VexCam${model}3K9Sdk.reg"

if [ "$frames" = noframes ]; then
  # A camera the device model opens but never streams: the snapshot fails
  # with "no frame received" instead of hanging.
  out=$("$tool" snap --color 8 "$work/frame.bmp" 2>&1) && fail "snap succeeded without frames"
  printf '%s\n' "$out" | grep -q "error 8" || fail "snap did not fail with error 8: $out"
  exit 0
fi
# Mono 8 keeps the largest frames small; cameras without 8-bit output take
# Mono 16.
"$tool" snap --color 8 "$work/frame.bmp" || "$tool" snap --color 16 "$work/frame.bmp" ||
  fail "vexcam snap failed"
# The BMP header: width and height (negative for top-down rows) at offset 18.
set -- $(od -An -td4 -j18 -N8 "$work/frame.bmp")
width=$1 height=${2#-}
echo "frame: $width x $height"
[ "$width $height" = "$sensor" ] || fail "frame $width x $height, sensor $sensor"

# Continuous preview at 8 and 16 bits: every frame
# message names the sensor's size. A camera may refuse one of the two
# depths as its colour mode, not both.
streamed=0
for bits in 8 16; do
  if out=$("$tool" stream -n 3 -b "$bits" 2>&1); then
    n=$(printf '%s\n' "$out" | grep -c "^frame [0-9]*: ${sensor% *} x ${sensor#* }, $bits bpp") || true
    [ "$n" = 3 ] || fail "stream at $bits bits: $out"
    streamed=$((streamed + 1))
  else
    printf '%s\n' "$out" | grep -q "setting the colour mode failed: error 9" ||
      fail "stream at $bits bits failed: $out"
  fi
done
[ "$streamed" -ge 1 ] || fail "no depth streamed"
