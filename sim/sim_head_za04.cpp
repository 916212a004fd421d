#include "sim/sim_head_za04.h"

#include <cstdio>
#include <memory>

#include "sim/sim_camera.h"

namespace vexcam::sim {

namespace {

constexpr size_t kMaxLine = 256;
constexpr uint32_t kMaxExposureLines = 1000000;
constexpr uint32_t kMaxGain = 255;

// Parses "<prefix><unsigned decimal>" covering the whole line.
bool ParseDecimal(const std::string& line, std::string_view prefix, uint32_t* value) {
  if (line.size() <= prefix.size() || line.compare(0, prefix.size(), prefix) != 0) return false;
  uint64_t v = 0;
  for (size_t i = prefix.size(); i < line.size(); ++i) {
    const char c = line[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFu) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "q -w xRR xVV" with two hex digits each.
bool ParseFpgaWrite(const std::string& line, uint8_t* reg, uint8_t* value) {
  constexpr std::string_view kForm = "q -w x.. x..";
  if (line.size() != kForm.size()) return false;
  int digits[4] = {};
  size_t d = 0;
  for (size_t i = 0; i < kForm.size(); ++i) {
    if (kForm[i] != '.') {
      if (line[i] != kForm[i]) return false;
      continue;
    }
    digits[d] = HexDigit(line[i]);
    if (digits[d++] < 0) return false;
  }
  *reg = static_cast<uint8_t>(digits[0] << 4 | digits[1]);
  *value = static_cast<uint8_t>(digits[2] << 4 | digits[3]);
  return true;
}

}  // namespace

bool SimHeadZA04::SensorWrite(SimPorts& ports, const uint8_t* bytes, uint16_t count) {
  const bool port = count >= 2 && bytes[0] == 0 && bytes[1] == 0;
  if (!port || count == 2) return SimHead::SensorWrite(ports, bytes, count);
  if (count != 3 || !Awake(ports)) return false;
  const char c = static_cast<char>(bytes[2]);
  if (c == '\n' || c == '\0') {
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    if (overlong_) {
      Reply("NG\r\n");
    } else if (!line_.empty()) {
      Execute(line_);
    }
    line_.clear();
    overlong_ = false;
  } else if (line_.size() < kMaxLine) {
    line_.push_back(c);
  } else {
    overlong_ = true;
  }
  return true;
}

bool SimHeadZA04::SensorRead(SimPorts& ports, uint8_t* bytes, uint16_t count) {
  if (sensorPointer_ != 0) return SimHead::SensorRead(ports, bytes, count);
  if (count != 1 || !Awake(ports) || out_.empty()) return false;
  if (holdReads_ > 0) {
    if (holdAfter_ == 0) {
      --holdReads_;
      return false;
    }
    --holdAfter_;
  }
  bytes[0] = static_cast<uint8_t>(out_.front());
  out_.pop_front();
  return true;
}

void SimHeadZA04::Reply(std::string_view text) {
  if (delayReads_ > 0) {
    holdReads_ = delayReads_;
    holdAfter_ = static_cast<uint32_t>(out_.size()) + delayAfter_;
    delayReads_ = 0;
    delayAfter_ = 0;
  }
  out_.insert(out_.end(), text.begin(), text.end());
}

void SimHeadZA04::Execute(const std::string& line) {
  ++commands_;
  if (refuse_ > 0) {
    --refuse_;
    Reply("NG\r\n");
    return;
  }
  uint32_t n = 0;
  uint8_t reg = 0, value = 0;
  if (line == "n") {
    Reply("VEXCAM-ZA04-CL\r\n");
  } else if (line == "x -c") {
    started_ = true;
    Reply("OK\r\n");
  } else if (ParseDecimal(line, "i -v ", &n) && n <= kMaxExposureLines) {
    exposure_ = n;
    Reply("OK\r\n");
  } else if (ParseDecimal(line, "g -v ", &n) && n <= kMaxGain) {
    gain_ = n;
    Reply("OK\r\n");
  } else if (line == "d -y " + std::string(kDebugCode)) {
    debug_ = true;
    Reply("Welcome Debug Mode!\r\n");
  } else if (line == "d -n") {
    debug_ = false;
    Reply("Good Bye!\r\n");
  } else if (debug_ && ParseFpgaWrite(line, &reg, &value)) {
    headFpga_[reg] = value;
    char text[64];
    std::snprintf(text, sizeof(text), "Fpga Write   : 0x%02X : 0x%02X\r\n", reg, value);
    Reply(text);
  } else {
    Reply("NG\r\n");
  }
}

std::unique_ptr<SimHead> MakeSimHeadZA04() { return std::make_unique<SimHeadZA04>(); }

bool WithZA04Head(SimCamera& camera, const std::function<void(SimHeadZA04&)>& visit) {
  bool found = false;
  camera.WithHead([&](SimHead& head) {
    if (auto* za04 = dynamic_cast<SimHeadZA04*>(&head)) {
      found = true;
      visit(*za04);
    }
  });
  return found;
}

}  // namespace vexcam::sim
