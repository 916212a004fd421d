// The head of each simulated product model.
#include "sim/sim_head.h"

namespace vexcam::sim {

std::unique_ptr<SimHead> MakeSimHeadZA04();

std::unique_ptr<SimHead> MakeSimHead(const SimProduct& product) {
  switch (product.model) {
    case SimModel::kGeneric:
    case SimModel::kZA01:
      break;
    case SimModel::kZA04:
      return MakeSimHeadZA04();
  }
  return std::make_unique<SimHead>();
}

}  // namespace vexcam::sim
