#include "platform/thread_rand.h"

#include <cstdint>

namespace vexcam {

int ThreadRand() {
  thread_local uint32_t state = 1;
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}

}  // namespace vexcam
