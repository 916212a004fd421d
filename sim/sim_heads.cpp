// The head of each simulated product model.
#include "sim/sim_head.h"

namespace vexcam::sim {

std::unique_ptr<SimHead> MakeCcdHead();

std::unique_ptr<SimHead> MakeSimHead(const SimProduct& product) {
  switch (product.model) {
    case SimModel::kGeneric:
    case SimModel::kZA01:
      break;
    case SimModel::kCcd:
      return MakeCcdHead();
  }
  return std::make_unique<SimHead>();
}

}  // namespace vexcam::sim
