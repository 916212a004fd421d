#include "sensors/ccd_programs.h"

namespace vexcam {

namespace {

// ---------------------------------------------------------------- shared

// Chip address bit of chip 1.
constexpr uint16_t kChip1 = 0x8000;
// First word of each chip's timing vectors.
constexpr uint16_t kVectorBase = 0x0400;
// Words of one chip's vector table.
constexpr uint16_t kVectorWords = 192;
// Field and output settings: 12 words per chip from 0x30.
constexpr uint16_t kFieldBase = 0x0030;

// The vector tables list their words by rising offset, inside the table.
constexpr bool WellFormed(const VectorTable& table) {
  for (size_t i = 0; i < table.words.size(); ++i) {
    if (table.words[i].offset >= table.count) return false;
    if (i > 0 && table.words[i].offset <= table.words[i - 1].offset) return false;
  }
  return true;
}

// Clock, bias and sequencer enables of the FPGA, 1 ms apart, then the
// sensor power (224). The camera shuts them down in the reverse order.
constexpr ChipStep kFpgaEnables[] = {
    Fpga(32, 1), Wait(1),     Fpga(34, 1), Wait(1),     Fpga(35, 1), Wait(1),      Fpga(31, 1),
    Wait(1),     Fpga(36, 1), Wait(1),     Fpga(37, 1), Wait(1),     Fpga(224, 1),
};

// --------------------------------------------------------------- ZA08
// 2336 x 1752, 60 MHz pixel clock, 2836 clocks per line.

// Chip reset: line clock of the reset counters (0x25/0x26), test mode off
// (0x1C), output drivers (0xD1), software reset (0x00 = 4) and standby off
// (0x15) on both chips.
constexpr ChipStep kZA08Reset[] = {
    Word(0x8025, 29366432), Word(0x8026, 29366432), Word(0x801C, 0),
    Both(0x00D1, 0x100000), Both(0x0000, 4),        Both(0x0015, 0),
};

// Timing vectors, the same layout in both chips.
constexpr ChipVector kZA08VectorWords[] = {
    // 0x00-0x07 reserved.
    // 0x08-0x0F horizontal clocks: H1, H2 (its complement), reset gate RG,
    // RG complement, sample clocks SHP and SHD, H3 and H4 shifted by one.
    {0x08, 303207},
    {0x09, Toggles(37, 103)},
    {0x0A, 573574},
    {0x0B, Toggles(70, 134)},
    {0x0C, Toggles(88, 24)},
    {0x0D, Toggles(120, 56)},
    {0x0E, 311398},
    {0x0F, Toggles(38, 102)},
    // 0x10-0x17 vertical clocks V1-V4 of a normal line shift.
    {0x10, Toggles(180, 420)},
    {0x11, Toggles(300, 540)},
    {0x12, Toggles(420, 660)},
    {0x13, Toggles(540, 780)},
    // 0x18-0x1F vertical clocks of the fast dump lines.
    {0x18, Toggles(16, 48)},
    {0x19, Toggles(32, 64)},
    {0x1A, Toggles(48, 80)},
    {0x1B, Toggles(64, 96)},
    // 0x20-0x27 charge transfer (V2 and V4 at the readout level).
    {0x20, Toggles(600, 1200)},
    {0x21, Toggles(640, 1160)},
    {0x22, Toggles(1400, 2000)},
    {0x23, Toggles(1440, 1960)},
    // 0x28-0x5F spare sequences.
    // 0x60-0x67 shutter: substrate pulse, its width, line repeat, clock of the
    // shutter counter.
    {0x60, 0xF0003},
    {0x61, 1547},
    {0x62, Toggles(0, 1547)},
    {0x63, Toggles(2, 2834)},
    {0x66, 29366432},
    // 0x68-0x7F field sequences: start and end lines of the first and second field.
    {0x68, Toggles(12, 888)},
    {0x69, Toggles(888, 1764)},
    {0x6A, Toggles(4, 1760)},
    {0x70, Toggles(0, 1951)},
    {0x71, Toggles(1, 1950)},
    // 0x80-0x8F readout: clamp and blanking of each line.
    {0x80, Toggles(2400, 2600)},
    {0x81, Toggles(2420, 2580)},
    {0x88, 0xF0403},
    {0x89, Toggles(1030, 120)},
    // 0x90-0xBF spare.
};
constexpr VectorTable kZA08Vectors{kZA08VectorWords, kVectorWords};
static_assert(WellFormed(kZA08Vectors));

// Field and output settings from 0x30: vertical sequence selection (0x30),
// the three field counters (0x31-0x33), line and field lengths (0x34,
// 0x35), the two field switches (0x36, 0x37), output mode (0x38), clamp
// level (0x39), the chip's half of the readout (0x3A), end marker (0x3B).
constexpr uint32_t kZA08FieldChip1[] = {0x12000, 0x10020, 0x10020,  0x10020, 77856,   512,
                                        2228258, 2228258, 0x102040, 8192,    2736166, 0};
constexpr uint32_t kZA08FieldChip0[] = {0x12000, 0x10020, 0x10020,  0x10020, 77856,   512,
                                        2228258, 2228258, 0x102040, 8192,    2441218, 0};
// Two clamp groups: start, width, level, then three unused words.
constexpr uint32_t kZA08ClampGroup[] = {1540097, 8750, 4899004, kNoTiming, kNoTiming, kNoTiming};

constexpr ChipStep kZA08Init[] = {
    Run(kZA08Reset),
    Wait(1),
    Fpga(33, 1),  // the chips leave reset
    Wait(1),
    Run(kZA08Reset),
    Word(0x8017, 0),   // chip 1 sync out off
    Word(0x8020, 1),   // chip 1 is the master
    Word(0x0020, 0),   // chip 0 follows it
    Both(0x0028, 66),  // sync delay
    Vectors(kChip1 | kVectorBase, kZA08Vectors),
    Vectors(kVectorBase, kZA08Vectors),
    Words(kChip1 | kFieldBase, kZA08FieldChip1),
    Words(kFieldBase, kZA08FieldChip0),
    Both(0x0000, 4),         // restart with the new timing
    Word(0x8073, 9586980),   // shutter position
    Word(0x807A, 0xFFFF43),  // mask of the shutter lines
    Words(0x807C, kZA08ClampGroup),
    Words(0x8082, kZA08ClampGroup),
    Word(0x8011, 1),         // timing core on
    Word(0x8013, 50561123),  // frame length and shutter pulse
    Word(0x0011, 1),
    Word(0x0013, 50561123),
    Run(kFpgaEnables),
};

// --------------------------------------------------------------- ZA06
// 4896 x 3264, 40 MHz pixel clock, 5396 clocks per line.

constexpr ChipStep kZA06Reset[] = {
    Word(0x8025, Toggles(5396, 2698)),
    Word(0x8026, Toggles(5396, 2698)),
    Word(0x801C, 0),
    Both(0x00D1, 0x100000),
    Both(0x0000, 4),
    Both(0x0015, 0),
};

constexpr ChipVector kZA06VectorWords[] = {
    // 0x00-0x07 reserved.
    // 0x08-0x0F horizontal clocks H1, H2, RG, RG complement, SHP, SHD, H3, H4.
    {0x08, Toggles(71, 25)},
    {0x09, Toggles(25, 71)},
    {0x0A, Toggles(92, 48)},
    {0x0B, Toggles(48, 92)},
    {0x0C, Toggles(60, 16)},
    {0x0D, Toggles(82, 38)},
    {0x0E, Toggles(70, 26)},
    {0x0F, Toggles(26, 70)},
    // 0x10-0x17 vertical clocks of a normal line shift.
    {0x10, Toggles(240, 560)},
    {0x11, Toggles(400, 720)},
    {0x12, Toggles(560, 880)},
    {0x13, Toggles(720, 1040)},
    // 0x18-0x1F fast dump lines.
    {0x18, Toggles(12, 36)},
    {0x19, Toggles(24, 48)},
    {0x1A, Toggles(36, 60)},
    {0x1B, Toggles(48, 72)},
    // 0x20-0x27 charge transfer.
    {0x20, Toggles(800, 1600)},
    {0x21, Toggles(850, 1550)},
    {0x22, Toggles(1900, 2700)},
    {0x23, Toggles(1950, 2650)},
    // 0x60-0x67 shutter.
    {0x60, Toggles(3, 160)},
    {0x61, 2060},
    {0x62, Toggles(0, 2060)},
    {0x63, Toggles(2, 5394)},
    {0x66, Toggles(5396, 2698)},
    // 0x68-0x7F field sequences.
    {0x68, Toggles(16, 1648)},
    {0x69, Toggles(1648, 3280)},
    {0x6A, Toggles(8, 3272)},
    {0x70, Toggles(0, 3463)},
    {0x71, Toggles(1, 3462)},
    // 0x80-0x8F readout clamp and blanking.
    {0x80, Toggles(4950, 5250)},
    {0x81, Toggles(4980, 5220)},
    {0x88, Toggles(1371, 160)},
    {0x89, Toggles(1374, 160)},
};
constexpr VectorTable kZA06Vectors{kZA06VectorWords, kVectorWords};
static_assert(WellFormed(kZA06Vectors));

constexpr uint32_t kZA06FieldChip1[] = {0x12000, 0x10020, 0x10020,  0x10020, 103840,  512,
                                        2228258, 2228258, 0x102040, 8192,    3706918, 0};
constexpr uint32_t kZA06FieldChip0[] = {0x12000, 0x10020, 0x10020,  0x10020, 103840,  512,
                                        2228258, 2228258, 0x102040, 8192,    3411970, 0};
constexpr uint32_t kZA06ClampGroup[] = {2052097, 11660, 6531996, kNoTiming, kNoTiming, kNoTiming};

constexpr ChipStep kZA06Init[] = {
    Run(kZA06Reset),
    Wait(1),
    Fpga(33, 1),
    Wait(1),
    Run(kZA06Reset),
    Word(0x8017, 0),
    Word(0x8020, 1),
    Word(0x0020, 0),
    Both(0x0028, 66),
    Vectors(kChip1 | kVectorBase, kZA06Vectors),
    Vectors(kVectorBase, kZA06Vectors),
    Words(kChip1 | kFieldBase, kZA06FieldChip1),
    Words(kFieldBase, kZA06FieldChip0),
    Both(0x0000, 4),
    Word(0x8073, 12783012),
    Word(0x807A, 0xFFFF43),
    Words(0x807C, kZA06ClampGroup),
    Words(0x8082, kZA06ClampGroup),
    Word(0x8011, 1),
    Word(0x8013, Toggles(99, 3464)),
    Word(0x0011, 1),
    Word(0x0013, Toggles(99, 3464)),
    Run(kFpgaEnables),
};

// --------------------------------------------------------------- ZA07
// 6576 x 4384, 40 MHz pixel clock, 7076 clocks per line.

constexpr ChipStep kZA07Reset[] = {
    Word(0x8025, Toggles(7076, 3538)),
    Word(0x8026, Toggles(7076, 3538)),
    Word(0x801C, 0),
    Both(0x00D1, 0x100000),
    Both(0x0000, 4),
    Both(0x0015, 0),
};

constexpr ChipVector kZA07VectorWords[] = {
    // 0x00-0x07 reserved.
    // 0x08-0x0F horizontal clocks H1, H2, RG, RG complement, SHP, SHD, H3, H4.
    {0x08, Toggles(69, 23)},
    {0x09, Toggles(23, 69)},
    {0x0A, Toggles(90, 46)},
    {0x0B, Toggles(46, 90)},
    {0x0C, Toggles(58, 14)},
    {0x0D, Toggles(80, 36)},
    {0x0E, Toggles(68, 24)},
    {0x0F, Toggles(24, 68)},
    // 0x10-0x17 vertical clocks of a normal line shift.
    {0x10, Toggles(300, 700)},
    {0x11, Toggles(500, 900)},
    {0x12, Toggles(700, 1100)},
    {0x13, Toggles(900, 1300)},
    // 0x18-0x1F fast dump lines.
    {0x18, Toggles(12, 36)},
    {0x19, Toggles(24, 48)},
    {0x1A, Toggles(36, 60)},
    {0x1B, Toggles(48, 72)},
    // 0x20-0x27 charge transfer.
    {0x20, Toggles(1000, 2000)},
    {0x21, Toggles(1060, 1940)},
    {0x22, Toggles(2400, 3400)},
    {0x23, Toggles(2460, 3340)},
    // 0x60-0x67 shutter.
    {0x60, Toggles(3, 200)},
    {0x61, 2700},
    {0x62, Toggles(0, 2700)},
    {0x63, Toggles(2, 7074)},
    {0x66, Toggles(7076, 3538)},
    // 0x68-0x7F field sequences.
    {0x68, Toggles(20, 2212)},
    {0x69, Toggles(2212, 4404)},
    {0x6A, Toggles(10, 4394)},
    {0x70, Toggles(0, 4583)},
    {0x71, Toggles(1, 4582)},
    // 0x80-0x8F readout clamp and blanking.
    {0x80, Toggles(6600, 6950)},
    {0x81, Toggles(6640, 6910)},
    {0x88, Toggles(1795, 200)},
    {0x89, Toggles(1798, 200)},
};
constexpr VectorTable kZA07Vectors{kZA07VectorWords, kVectorWords};
static_assert(WellFormed(kZA07Vectors));

constexpr uint32_t kZA07FieldChip1[] = {0x12000, 0x10020, 0x10020,  0x10020, 136608,  512,
                                        2228258, 2228258, 0x102040, 8192,    4968358, 0};
constexpr uint32_t kZA07FieldChip0[] = {0x12000, 0x10020, 0x10020,  0x10020, 136608,  512,
                                        2228258, 2228258, 0x102040, 8192,    4673410, 0};
constexpr uint32_t kZA07ClampGroup[] = {2692097, 15270, 8568996, kNoTiming, kNoTiming, kNoTiming};

constexpr ChipStep kZA07Init[] = {
    Run(kZA07Reset),
    Wait(1),
    Fpga(33, 1),
    Wait(1),
    Run(kZA07Reset),
    Word(0x8017, 0),
    Word(0x8020, 1),
    Word(0x0020, 0),
    Both(0x0028, 66),
    Vectors(kChip1 | kVectorBase, kZA07Vectors),
    Vectors(kVectorBase, kZA07Vectors),
    Words(kChip1 | kFieldBase, kZA07FieldChip1),
    Words(kFieldBase, kZA07FieldChip0),
    Both(0x0000, 4),
    Word(0x8073, 16815012),
    Word(0x807A, 0xFFFF43),
    Words(0x807C, kZA07ClampGroup),
    Words(0x8082, kZA07ClampGroup),
    Word(0x8011, 1),
    Word(0x8013, Toggles(99, 4584)),
    Word(0x0011, 1),
    Word(0x0013, Toggles(99, 4584)),
    Run(kFpgaEnables),
};

}  // namespace

// The exposure line time of ZA08 is 15470 clocks of 60 MHz (0.2578 in units
// of 0.1 ms). ZA06 shifts the shutter in steps of four line clocks; ZA07's
// step is chosen so that its longest exposure (2227 lines) is the 2233 of
// its exposure-time record.
const CcdModel kCcdZA08{.shutterClocks = 15470.0, .init = kZA08Init};
const CcdModel kCcdZA06{.shutterClocks = 4 * 5396.0, .init = kZA06Init};
const CcdModel kCcdZA07{.shutterClocks = 40110.0, .init = kZA07Init};

}  // namespace vexcam
