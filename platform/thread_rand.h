#pragma once

namespace vexcam {

// The C runtime's pseudo-random generator with per-thread state: 15-bit
// results (0..32767) from the linear congruential sequence
// state = state * 214013 + 2531011. Every thread starts from seed 1 and the
// library never reseeds it, so each thread sees the same sequence.
int ThreadRand();

}  // namespace vexcam
