#pragma once
// Per-driver constants: one row per sensor driver with its geometry, clocks,
// range records, bus address, model number and orientation word. Constructors
// copy their row into the sensor information record; the base class acts on
// it. Zero fields mean "not supported" or "set by the driver at run time".

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <span>

#include "sensors/sensor_base.h"

namespace vexcam {

// clang-format off
enum class SensorDriver : uint32_t {
  kZA01, kZA02, kZA03, kZA04, kZA05, kZA06, kZA07, kZA08, kZA09, kZA10, kZA11,
  kZA12, kZA13, kZA14, kZA15, kZA16, kZA17, kZA18, kZA19, kZA20, kZA21,
  kG1467x, kGLUX9701, kICX274, kIMX159, kIMX174, kIMX178, kIMX183, kIMX226,
  kIMX250, kIMX252, kIMX264, kIMX265, kIMX273, kIMX487, kIMX536, kIMX675,
  kIMX990, kIMX991, kIMX992, kMT9F001, kMT9F002, kMT9J001, kMT9P001,
  kCount
};
// clang-format on

// A capture window the camera has a fixed program for.
struct WindowMode {
  uint32_t x = 0;
  uint32_t y = 0;
  uint32_t width = 0;
  uint32_t height = 0;
};

struct SensorConstants {
  SensorDriver driver = SensorDriver::kCount;
  const char* name = "";     // class name without the C prefix
  uint8_t busAddress = 0;    // serial-bus write address of the sensor
  uint32_t modelNumber = 0;  // set by the constructor (0: none)
  uint32_t arrayWidth = 0;
  uint32_t arrayHeight = 0;
  uint32_t originX = 0;
  uint32_t originY = 0;
  uint32_t effectiveWidth = 0;
  uint32_t effectiveHeight = 0;
  uint32_t widthAdjustable = 0;
  uint32_t heightAdjustable = 0;
  uint32_t lineLength = 0;
  uint32_t frameLength = 0;
  uint32_t extraWord1 = 0;
  uint32_t extraWord2 = 0;
  RangeRecord globalGain = {};
  RangeRecord exposureLines = {};
  RangeRecord colorGain = {};  // applied to red, green 1, green 2 and blue
  RangeRecord exposureTime = {};
  RangeRecord analogGain = {};
  RangeRecord gainMode = {};
  RangeRecordEx exposureSeconds = {};
  MirrorRecord mirrorV = {};
  MirrorRecord mirrorH = {};
  uint32_t bitsPerPixel = 0;
  uint32_t pixelClockKhz = 0;
  uint32_t orientation = 0;
  // The only capture windows the camera accepts; empty: any area in the array.
  std::span<const WindowMode> windowModes = {};
};

// Index of the window mode with exactly this area, or -1 (also for negative
// values, which the signed callers may pass).
constexpr int FindWindowMode(const SensorConstants& row, int64_t x, int64_t y, int64_t width,
                             int64_t height) {
  for (size_t i = 0; i < row.windowModes.size(); ++i) {
    const WindowMode& m = row.windowModes[i];
    if (m.x == x && m.y == y && m.width == width && m.height == height) return static_cast<int>(i);
  }
  return -1;
}

// Whether the camera accepts the capture window: inside the array and, when
// the row lists window modes, one of them.
constexpr bool AcceptsWindow(const SensorConstants& row, int64_t x, int64_t y, int64_t width,
                             int64_t height) {
  if (x < 0 || y < 0 || width < 0 || height < 0) return false;
  if (x + width > row.arrayWidth || y + height > row.arrayHeight) return false;
  return row.windowModes.empty() || FindWindowMode(row, x, y, width, height) >= 0;
}

namespace sensor_table {

// A supported range record.
constexpr RangeRecord Range(uint32_t minimum, uint32_t maximum, uint32_t current,
                            uint32_t defaultValue) {
  return RangeRecord{minimum, maximum, current, defaultValue, 1};
}
inline constexpr MirrorRecord kMirror{0, 0, 1};
// Seconds exposure of 0.1 ms to 60 s, 10 ms at start.
inline constexpr RangeRecordEx kSeconds60{0.0001, 60.0, 0.01, 0.01, 1};
// Seconds exposure of 10 us to 10 s, 10 ms at start.
inline constexpr RangeRecordEx kSeconds10{0.00001, 10.0, 0.01, 0.01, 1};

// ZA01: the windows its FPGA programs exist for (full, half, quarter).
inline constexpr WindowMode kZA01Windows[] = {
    {.x = 0, .y = 0, .width = 640, .height = 512},
    {.x = 160, .y = 136, .width = 320, .height = 240},
    {.x = 240, .y = 196, .width = 160, .height = 120},
};

// Serial-bus addresses seen in the family.
inline constexpr uint8_t kBusNone = 0;
inline constexpr uint8_t kBus20 = 0x20;  // 32
inline constexpr uint8_t kBus40 = 0x40;  // 64
inline constexpr uint8_t kBus42 = 0x42;  // 66
inline constexpr uint8_t kBus48 = 0x48;  // 72
inline constexpr uint8_t kBus6C = 0x6C;  // 108
inline constexpr uint8_t kBus90 = 0x90;  // 144

// A row for a driver whose camera has another driver's constants: the row
// under the driver's own identity.
constexpr SensorConstants SameAs(SensorConstants row, SensorDriver driver, const char* name,
                                 uint32_t modelNumber) {
  row.driver = driver;
  row.name = name;
  row.modelNumber = modelNumber;
  return row;
}

// Line-scan cameras: the array height is the longest image the FPGA
// assembles; the default image is width lines of width pixels. The exposure
// runs from shortest to 5039 lines, lines at start, as does the time.
// clang-format off
constexpr SensorConstants LineScanRow(SensorDriver driver, const char* name, uint32_t width,
                                      uint32_t shortest, uint32_t lines) {
  return {.driver = driver, .name = name, .busAddress = kBus20, .arrayWidth = width,
          .arrayHeight = 32768, .effectiveWidth = width, .effectiveHeight = width,
          .lineLength = width, .frameLength = width, .globalGain = Range(0, 255, 64, 64),
          .exposureLines = Range(shortest, 5039, lines, lines),
          .exposureTime = Range(shortest, 5039, lines, lines), .pixelClockKhz = 5000};
}

// What the cooled family's rows differ in: the array, its line and frame
// lengths, and the exposures that follow from the line time.
struct CooledVariant {
  SensorDriver driver = SensorDriver::kCount;
  const char* name = "";
  uint32_t modelNumber = 0, width = 0, height = 0, lineLength = 0, frameLength = 0;
  uint32_t lines = 0, time = 0;          // default exposure in lines and in 0.1 ms
  double seconds = 0.0, shortest = 0.0;  // default and shortest exposure in seconds
};

constexpr SensorConstants CooledRow(const CooledVariant& v) {
  return {.driver = v.driver, .name = v.name, .busAddress = kBus48, .modelNumber = v.modelNumber,
          .arrayWidth = v.width, .arrayHeight = v.height, .effectiveWidth = v.width,
          .effectiveHeight = v.height, .widthAdjustable = 1, .heightAdjustable = 1,
          .lineLength = v.lineLength, .frameLength = v.frameLength,
          .globalGain = Range(0, 420, 0, 0), .exposureLines = Range(15, 16777214, v.lines, v.lines),
          .exposureTime = Range(1, 20000, v.time, v.time),
          .exposureSeconds = {v.shortest, 2.0, v.seconds, v.seconds, 1}, .mirrorV = kMirror,
          .mirrorH = kMirror, .bitsPerPixel = 8, .pixelClockKhz = 54545, .orientation = 4};
}

// The rows other drivers' rows are copies of.
inline constexpr SensorConstants kZA02Row = {
    .driver = SensorDriver::kZA02, .name = "SensorZA02", .busAddress = kBus6C, .modelNumber = 0,
    .arrayWidth = 320, .arrayHeight = 256, .effectiveWidth = 320, .effectiveHeight = 256,
    .lineLength = 320, .frameLength = 256, .globalGain = Range(0, 255, 64, 64),
    .exposureLines = Range(0, 16777215, 62499, 62499), .exposureTime = Range(1, 10000, 100, 100),
    .pixelClockKhz = 6250};
inline constexpr SensorConstants kIMX252Row = {
    .driver = SensorDriver::kIMX252, .name = "SensorIMX252", .busAddress = kBus48, .modelNumber = 56,
    .arrayWidth = 2048, .arrayHeight = 1536, .effectiveWidth = 2048, .effectiveHeight = 1536,
    .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2256, .frameLength = 1576,
    .globalGain = Range(0, 480, 64, 64), .exposureLines = Range(1, 1048575, 10, 10),
    .exposureTime = Range(1, 10000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
    .pixelClockKhz = 54545, .orientation = 4};
inline constexpr SensorConstants kIMX487Row = {
    .driver = SensorDriver::kIMX487, .name = "SensorIMX487", .busAddress = kBus48, .modelNumber = 63,
    .arrayWidth = 2848, .arrayHeight = 2848, .effectiveWidth = 2848, .effectiveHeight = 2848,
    .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2856, .frameLength = 2912,
    .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 16777200, 191, 191),
    .exposureTime = Range(1, 600000, 100, 100), .analogGain = Range(0, 1, 0, 0),
    .exposureSeconds = kSeconds60, .mirrorV = kMirror, .mirrorH = kMirror, .bitsPerPixel = 8,
    .pixelClockKhz = 54545, .orientation = 4};
inline constexpr SensorConstants kMT9F001Row = {
    .driver = SensorDriver::kMT9F001, .name = "SensorMT9F001", .busAddress = kBus20, .modelNumber = 0,
    .arrayWidth = 4608, .arrayHeight = 3288, .effectiveWidth = 4608, .effectiveHeight = 3288,
    .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 4920, .frameLength = 3431,
    .extraWord2 = 1, .globalGain = Range(0, 127, 64, 64),
    .exposureLines = Range(1, 32767, 3288, 3288), .colorGain = Range(0, 127, 64, 64),
    .exposureTime = Range(1, 20000, 1754, 1754), .bitsPerPixel = 12, .pixelClockKhz = 96000};

// Rows are in SensorDriver order. Ranges not listed for a driver stay zero
// until that driver is written; the pixel clock of ZA21 is set at run time.
inline constexpr SensorConstants kRows[] = {
    {.driver = SensorDriver::kZA01, .name = "SensorZA01", .busAddress = kBus48, .modelNumber = 99,
     .arrayWidth = 640, .arrayHeight = 512, .originX = 0, .originY = 0,
     .effectiveWidth = 640, .effectiveHeight = 512, .widthAdjustable = 0, .heightAdjustable = 0,
     .lineLength = 640, .frameLength = 512, .extraWord1 = 0, .extraWord2 = 0,
     .globalGain = {}, .exposureLines = Range(1, 16777215, 1582, 510), .colorGain = {},
     // Not marked supported: the limits come from the line-time conversion.
     .exposureTime = {1, 1230273, 100, 37, 0}, .analogGain = {}, .gainMode = {},
     .exposureSeconds = {}, .mirrorV = {}, .mirrorH = {}, .bitsPerPixel = 0,
     .pixelClockKhz = 9000, .orientation = 4, .windowModes = kZA01Windows},
    kZA02Row,
    {.driver = SensorDriver::kZA03, .name = "SensorZA03", .busAddress = kBus6C, .modelNumber = 0,
     .arrayWidth = 640, .arrayHeight = 512, .effectiveWidth = 640, .effectiveHeight = 512,
     .lineLength = 640, .frameLength = 512, .globalGain = Range(0, 255, 64, 64),
     .exposureLines = Range(0, 16777215, 62499, 62499), .exposureTime = Range(1, 10000, 100, 100),
     // The same limits as the exposure time, in seconds.
     .exposureSeconds = {0.0001, 1.0, 0.01, 0.01, 1}, .pixelClockKhz = 6250},
    {.driver = SensorDriver::kZA04, .name = "SensorZA04", .busAddress = kBus48, .modelNumber = 100,
     .arrayWidth = 1280, .arrayHeight = 1024, .effectiveWidth = 1280, .effectiveHeight = 1024,
     .globalGain = Range(0, 255, 128, 128), .exposureLines = Range(1, 1000000, 10000, 10000),
     .exposureTime = Range(1, 10000, 100, 100), .pixelClockKhz = 72000, .orientation = 2},
    {.driver = SensorDriver::kZA05, .name = "SensorZA05", .busAddress = kBus6C, .modelNumber = 0,
     .arrayWidth = 1280, .arrayHeight = 1024, .effectiveWidth = 1280, .effectiveHeight = 1024,
     .lineLength = 1280, .frameLength = 1024, .globalGain = Range(0, 11, 0, 0),
     .exposureLines = Range(1, 1372, 1240, 1240), .exposureTime = Range(1, 30000, 100, 200),
     .mirrorV = kMirror, .mirrorH = kMirror, .pixelClockKhz = 37125},
    {.driver = SensorDriver::kZA06, .name = "SensorZA06", .busAddress = kBusNone, .modelNumber = 0,
     .arrayWidth = 4896, .arrayHeight = 3264, .effectiveWidth = 4896, .effectiveHeight = 3264,
     .lineLength = 5396, .frameLength = 3464, .globalGain = Range(15, 1023, 15, 15),
     .exposureLines = Range(1, 1711, 1, 1), .exposureTime = Range(1, 8191, 774, 774),
     .mirrorV = kMirror, .mirrorH = kMirror, .pixelClockKhz = 40000},
    {.driver = SensorDriver::kZA07, .name = "SensorZA07", .busAddress = kBusNone, .modelNumber = 0,
     .arrayWidth = 6576, .arrayHeight = 4384, .effectiveWidth = 6576, .effectiveHeight = 4384,
     .lineLength = 7076, .frameLength = 4584, .globalGain = Range(0, 1023, 100, 100),
     .exposureLines = Range(1, 2227, 1, 1), .exposureTime = Range(1, 2233, 2233, 2233),
     .analogGain = Range(0, 1023, 492, 492), .mirrorV = kMirror, .mirrorH = kMirror,
     .pixelClockKhz = 40000},
    {.driver = SensorDriver::kZA08, .name = "SensorZA08", .busAddress = kBusNone, .modelNumber = 0,
     .arrayWidth = 2336, .arrayHeight = 1752, .effectiveWidth = 2336, .effectiveHeight = 1752,
     .lineLength = 2836, .frameLength = 1952, .globalGain = Range(15, 1023, 350, 350),
     .exposureLines = Range(1, 901, 1, 1), .exposureTime = Range(1, 8191, 774, 774),
     .mirrorV = kMirror, .mirrorH = kMirror, .pixelClockKhz = 60000, .orientation = 4},
    {.driver = SensorDriver::kZA09, .name = "SensorZA09", .busAddress = kBus6C, .modelNumber = 103,
     .arrayWidth = 2048, .arrayHeight = 2048, .effectiveWidth = 2048, .effectiveHeight = 2048,
     .lineLength = 2048, .frameLength = 2048, .globalGain = Range(0, 255, 64, 64),
     .exposureLines = Range(5, 134217727, 1240, 1240), .exposureTime = Range(1, 10000, 100, 100),
     .exposureSeconds = {0.000128, 3600.0, 0.01, 0.01, 1}, .pixelClockKhz = 50000},
    LineScanRow(SensorDriver::kZA10, "SensorZA10", 2048, 89, 1500),
    LineScanRow(SensorDriver::kZA11, "SensorZA11", 256, 89, 1500),
    LineScanRow(SensorDriver::kZA12, "SensorZA12", 512, 89, 1500),
    LineScanRow(SensorDriver::kZA13, "SensorZA13", 1024, 136, 3000),
    {.driver = SensorDriver::kZA14, .name = "SensorZA14", .busAddress = kBus6C, .modelNumber = 115,
     .arrayWidth = 4096, .arrayHeight = 4096, .effectiveWidth = 2048, .effectiveHeight = 2048,
     .lineLength = 2048, .frameLength = 2048, .exposureLines = Range(1, 4294967295u, 1240, 1240),
     .exposureTime = Range(1, 10000000, 100, 100), .analogGain = Range(0, 16383, 15680, 15680),
     .gainMode = Range(0, 7, 4, 4), .exposureSeconds = {0.0001, 1000.0, 0.01, 0.01, 1},
     .mirrorV = kMirror, .mirrorH = kMirror, .pixelClockKhz = 25000},
    {.driver = SensorDriver::kZA15, .name = "SensorZA15", .busAddress = kBus42, .modelNumber = 0,
     .arrayWidth = 1920, .arrayHeight = 1080, .effectiveWidth = 1920, .effectiveHeight = 1080,
     .lineLength = 2200, .frameLength = 1125, .pixelClockKhz = 74250},
    // ZA16..ZA18 and ZA20 receive their model number from the factory.
    {.driver = SensorDriver::kZA16, .name = "SensorZA16", .busAddress = kBus40, .modelNumber = 0,
     .arrayWidth = 1920, .arrayHeight = 1080, .effectiveWidth = 1920, .effectiveHeight = 1080,
     .lineLength = 1920, .frameLength = 1080, .globalGain = Range(0, 480, 0, 0),
     .exposureLines = Range(1, 1048575, 1080, 1080), .exposureTime = Range(1, 100000, 100, 100),
     .exposureSeconds = kSeconds10, .pixelClockKhz = 60000},
    {.driver = SensorDriver::kZA17, .name = "SensorZA17", .busAddress = kBus40, .modelNumber = 0,
     .arrayWidth = 5688, .arrayHeight = 3336, .effectiveWidth = 5688, .effectiveHeight = 3336,
     .lineLength = 7236, .frameLength = 3424, .globalGain = Range(0, 480, 0, 0),
     .exposureLines = Range(1, 1048575, 3424, 3424), .exposureTime = Range(1, 100000, 100, 100),
     .exposureSeconds = kSeconds10, .pixelClockKhz = 60000},
    {.driver = SensorDriver::kZA18, .name = "SensorZA18", .busAddress = kBus40, .modelNumber = 0,
     .arrayWidth = 2592, .arrayHeight = 2056, .effectiveWidth = 2592, .effectiveHeight = 2056,
     .lineLength = 5640, .frameLength = 2172, .globalGain = Range(0, 480, 0, 0),
     .exposureLines = Range(1, 1048575, 2172, 2172), .exposureTime = Range(1, 100000, 100, 100),
     .exposureSeconds = kSeconds10, .pixelClockKhz = 36000},
    {.driver = SensorDriver::kZA19, .name = "SensorZA19", .busAddress = kBus48, .modelNumber = 61,
     .arrayWidth = 1936, .arrayHeight = 1096, .effectiveWidth = 1936, .effectiveHeight = 1096,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2016, .frameLength = 1134,
     // 42 us lines: 10 ms is 238 lines.
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 16777200, 238, 238),
     .exposureTime = Range(1, 600000, 100, 100), .exposureSeconds = kSeconds60,
     .mirrorV = kMirror, .mirrorH = kMirror, .bitsPerPixel = 8, .pixelClockKhz = 48000,
     .orientation = 4},
    {.driver = SensorDriver::kZA20, .name = "SensorZA20", .busAddress = kBus40, .modelNumber = 0,
     .arrayWidth = 19568, .arrayHeight = 12588, .effectiveWidth = 19568, .effectiveHeight = 12588,
     .lineLength = 19680, .frameLength = 12720, .globalGain = Range(0, 480, 0, 0),
     .exposureLines = Range(1, 1048575, 12720, 12720), .exposureTime = Range(1, 100000, 500, 500),
     .exposureSeconds = {0.00001, 10.0, 0.05, 0.05, 1}, .pixelClockKhz = 50000},
    {.driver = SensorDriver::kZA21, .name = "SensorZA21", .busAddress = kBus48, .modelNumber = 122,
     .arrayWidth = 640, .arrayHeight = 512, .effectiveWidth = 640, .effectiveHeight = 512,
     .lineLength = 736, .frameLength = 536, .pixelClockKhz = 0, .orientation = 4},
    // The FPGA-run sensor of ZA02: its constants, in orientation 2.
    [] {
      SensorConstants row = SameAs(kZA02Row, SensorDriver::kG1467x, "SensorG1467x", 0);
      row.orientation = 2;
      return row;
    }(),
    {.driver = SensorDriver::kGLUX9701, .name = "SensorGLUX9701", .busAddress = kBus48,
     .modelNumber = 114, .arrayWidth = 1280, .arrayHeight = 1024, .effectiveWidth = 1280,
     .effectiveHeight = 1024, .lineLength = 1344, .frameLength = 1054,
     .globalGain = Range(2, 62, 2, 2), .exposureLines = Range(1, 1080, 1080, 1080),
     .exposureTime = Range(1, 20000, 401, 401), .analogGain = Range(0, 16383, 8983, 8983),
     .exposureSeconds = {0.0001, 2.0, 0.0401, 0.0401, 1}, .mirrorV = kMirror, .mirrorH = kMirror, .bitsPerPixel = 8, .pixelClockKhz = 37037,
     .orientation = 3},
    {.driver = SensorDriver::kICX274, .name = "SensorICX274", .busAddress = kBusNone,
     .modelNumber = 0, .arrayWidth = 1600, .arrayHeight = 1200, .effectiveWidth = 1600,
     .effectiveHeight = 1200, .lineLength = 1920, .frameLength = 1252,
     // 32 us lines, a 16-bit exposure counter: 10 ms is 312 lines.
     .globalGain = Range(0, 1023, 100, 100), .exposureLines = Range(1, 65535, 312, 312),
     .exposureTime = Range(1, 20000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .pixelClockKhz = 60000},
    {.driver = SensorDriver::kIMX159, .name = "SensorIMX159", .busAddress = kBus48, .modelNumber = 0,
     .arrayWidth = 4800, .arrayHeight = 3520, .originX = 72, .originY = 18,
     .effectiveWidth = 4672, .effectiveHeight = 3504, .widthAdjustable = 1, .heightAdjustable = 1,
     // 143.7 us lines: 10 ms is 69 lines, 60 s the most. No vertical mirror.
     .lineLength = 5172, .frameLength = 3704, .globalGain = Range(0, 480, 0, 0),
     .exposureLines = Range(1, 417633, 69, 69), .exposureTime = Range(1, 600000, 100, 100),
     .mirrorH = kMirror, .bitsPerPixel = 12, .pixelClockKhz = 36000},
    {.driver = SensorDriver::kIMX174, .name = "SensorIMX174", .busAddress = kBus48, .modelNumber = 0,
     .arrayWidth = 1920, .arrayHeight = 1200, .effectiveWidth = 1920, .effectiveHeight = 1200,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2160, .frameLength = 1254,
     // 29.1 us lines: 10 ms is 343 lines; a 20-bit frame register.
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 1000000, 343, 343),
     .exposureTime = Range(1, 290000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .bitsPerPixel = 8, .pixelClockKhz = 74250},
    {.driver = SensorDriver::kIMX178, .name = "SensorIMX178", .busAddress = kBus48, .modelNumber = 0,
     .arrayWidth = 3072, .arrayHeight = 2048, .effectiveWidth = 3072, .effectiveHeight = 2048,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 3400, .frameLength = 2138,
     // 9.34 us lines: 10 ms is 1070 lines.
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 1000000, 1070, 1070),
     .exposureTime = Range(1, 93000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .bitsPerPixel = 8, .pixelClockKhz = 364000},
    {.driver = SensorDriver::kIMX183, .name = "SensorIMX183", .busAddress = kBus48, .modelNumber = 0,
     .arrayWidth = 5520, .arrayHeight = 3680, .effectiveWidth = 5520, .effectiveHeight = 3680,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 6020, .frameLength = 3880,
     // 83.6 us lines: 10 ms is 119 lines, 60 s the most.
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 717607, 119, 119),
     .exposureTime = Range(1, 600000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .bitsPerPixel = 12, .pixelClockKhz = 72000},
    {.driver = SensorDriver::kIMX226, .name = "SensorIMX226", .busAddress = kBus48, .modelNumber = 60,
     .arrayWidth = 4168, .arrayHeight = 3062, .effectiveWidth = 4160, .effectiveHeight = 3056,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2368, .frameLength = 1582,
     // 32.9 us line periods of two rows: 10 ms is 304 lines, 60 s the most.
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 1824324, 304, 304),
     .exposureTime = Range(1, 600000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .bitsPerPixel = 8, .pixelClockKhz = 72000, .orientation = 4},
    {.driver = SensorDriver::kIMX250, .name = "SensorIMX250", .busAddress = kBus48, .modelNumber = 59,
     .arrayWidth = 2448, .arrayHeight = 2048, .effectiveWidth = 2448, .effectiveHeight = 2048,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 582, .frameLength = 2094,
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 1048575, 1582, 1582),
     .exposureTime = Range(1, 7000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .bitsPerPixel = 8, .pixelClockKhz = 54000, .orientation = 4},
    kIMX252Row,
    {.driver = SensorDriver::kIMX264, .name = "SensorIMX264", .busAddress = kBus48, .modelNumber = 57,
     .arrayWidth = 2448, .arrayHeight = 2048, .effectiveWidth = 2448, .effectiveHeight = 2048,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2656, .frameLength = 2094,
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(0, 65535, 1582, 1582),
     .exposureTime = Range(1, 7000, 100, 100), .mirrorV = kMirror, .mirrorH = kMirror,
     .pixelClockKhz = 74250, .orientation = 4},
    SameAs(kIMX252Row, SensorDriver::kIMX265, "SensorIMX265", 58),
    {.driver = SensorDriver::kIMX273, .name = "SensorIMX273", .busAddress = kBus48, .modelNumber = 128,
     .arrayWidth = 1440, .arrayHeight = 1080, .effectiveWidth = 1440, .effectiveHeight = 1080,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2112, .frameLength = 1130,
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 16777200, 258, 258),
     .exposureTime = Range(1, 600000, 100, 100), .analogGain = Range(0, 1, 0, 0),
     .exposureSeconds = kSeconds60, .mirrorV = kMirror, .mirrorH = kMirror, .bitsPerPixel = 8,
     .pixelClockKhz = 54545, .orientation = 4},
    kIMX487Row,
    SameAs(kIMX487Row, SensorDriver::kIMX536, "SensorIMX536", 62),
    {.driver = SensorDriver::kIMX675, .name = "SensorIMX675", .busAddress = kBus48, .modelNumber = 121,
     .arrayWidth = 2592, .arrayHeight = 4060, .effectiveWidth = 2592, .effectiveHeight = 4060,
     .widthAdjustable = 1, .heightAdjustable = 1, .lineLength = 2672, .frameLength = 4098,
     // 35.6 us lines: 10 ms is 280 lines.
     .globalGain = Range(0, 480, 0, 0), .exposureLines = Range(1, 16777200, 280, 280),
     .exposureTime = Range(1, 600000, 100, 100), .exposureSeconds = kSeconds60,
     .mirrorV = kMirror, .mirrorH = kMirror, .bitsPerPixel = 8, .pixelClockKhz = 75000,
     .orientation = 4},
    // The IMX990 family: SetModelId picks the cooled variant (orientation 1).
    // The line length becomes 972 (IMX992: 1458) once a window is set.
    CooledRow({.driver = SensorDriver::kIMX990, .name = "SensorIMX990", .modelNumber = 109,
               .width = 1280, .height = 1024, .lineLength = 1376, .frameLength = 1048,
               .lines = 1064, .time = 138, .seconds = 0.0138, .shortest = 0.000020333}),
    CooledRow({.driver = SensorDriver::kIMX991, .name = "SensorIMX991", .modelNumber = 111,
               .width = 640, .height = 512, .lineLength = 736, .frameLength = 536,
               .lines = 539, .time = 70, .seconds = 0.007, .shortest = 0.000020333}),
    // IMX992 ranges follow its line time (one line plus the fixed part at the
    // minimum, a frame's worth of lines by default).
    CooledRow({.driver = SensorDriver::kIMX992, .name = "SensorIMX992", .modelNumber = 129,
               .width = 2560, .height = 2048, .lineLength = 2592, .frameLength = 2140,
               .lines = 2099, .time = 408, .seconds = 0.0408, .shortest = 0.000026812}),
    kMT9F001Row,
    SameAs(kMT9F001Row, SensorDriver::kMT9F002, "SensorMT9F002", 0),
    {.driver = SensorDriver::kMT9J001, .name = "SensorMT9J001", .busAddress = kBus20, .modelNumber = 0,
     .arrayWidth = 3856, .arrayHeight = 2764, .originX = 8, .originY = 8,
     .effectiveWidth = 3840, .effectiveHeight = 2752, .widthAdjustable = 1, .heightAdjustable = 1,
     .lineLength = 4436, .frameLength = 2988, .extraWord2 = 1,
     .globalGain = Range(0, 127, 64, 64), .exposureLines = Range(1, 32767, 2764, 1300),
     .colorGain = Range(0, 127, 64, 64), .exposureTime = Range(1, 20000, 1300, 1300),
     .bitsPerPixel = 12, .pixelClockKhz = 80000},
    {.driver = SensorDriver::kMT9P001, .name = "SensorMT9P001", .busAddress = kBus90, .modelNumber = 0,
     .arrayWidth = 2592, .arrayHeight = 1944, .effectiveWidth = 2592, .effectiveHeight = 1944,
     .widthAdjustable = 1, .heightAdjustable = 1, .globalGain = Range(0, 63, 16, 16),
     .exposureLines = Range(1, 32767, 1920, 1920), .colorGain = Range(0, 63, 16, 16),
     .exposureTime = Range(1, 20000, 666, 666), .mirrorV = kMirror, .mirrorH = kMirror,
     .bitsPerPixel = 12, .pixelClockKhz = 96000},
};
// clang-format on

static_assert(std::size(kRows) == static_cast<size_t>(SensorDriver::kCount));

constexpr bool RowsInOrder() {
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (static_cast<size_t>(kRows[i].driver) != i) return false;
  }
  return true;
}
static_assert(RowsInOrder(), "rows must follow SensorDriver order");

}  // namespace sensor_table

// The constants row of a driver.
constexpr const SensorConstants& SensorConstantsOf(SensorDriver driver) {
  return sensor_table::kRows[static_cast<size_t>(driver)];
}

}  // namespace vexcam
