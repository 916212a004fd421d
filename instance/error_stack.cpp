#include "instance/error_stack.h"

#include <algorithm>

namespace vexcam {

void ErrorStack::Push(uint32_t code) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::copy_backward(codes_.begin(), codes_.end() - 1, codes_.end());
  codes_[0] = code;
}

uint32_t ErrorStack::Pop() {
  std::lock_guard<std::mutex> lock(mutex_);
  const uint32_t code = codes_[0];
  std::copy(codes_.begin() + 1, codes_.end(), codes_.begin());
  codes_[kDepth - 1] = 0;
  return code;
}

}  // namespace vexcam
