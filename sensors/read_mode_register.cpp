#include "sensors/read_mode_register.h"

namespace vexcam {

uint32_t ReadModeRegister::Write(uint32_t value) {
  if (channel_.Write(address_, value) == 0) return 0;
  value_ = value;
  return 1;
}

uint32_t ReadModeRegister::WriteMirrorBit(uint32_t bit, uint32_t on, MirrorRecord& record) {
  if (Write(on != 0 ? (value_ | bit) : (value_ & ~bit)) == 0) return 0;
  record.current = on != 0 ? 1 : 0;
  return 1;
}

uint32_t WriteInsideRecord(SensorChannel& channel, uint16_t address, RangeRecord& record,
                           uint32_t value) {
  if (value < record.minimum || value > record.maximum) return 0;
  if (channel.Write(address, value) == 0) return 0;
  record.current = value;
  return 1;
}

uint32_t ResetControlTrigger::Set(uint32_t mode) {
  if (channel_.Write(words_.address, mode != 0 ? words_.triggered : words_.streaming) == 0) {
    return 0;
  }
  mode_ = mode;
  return 1;
}

uint32_t ResetControlTrigger::Get(uint32_t* mode) const { return CSensorBase::Put(mode, mode_); }

}  // namespace vexcam
