// The head of each simulated product model.
#include "sim/sim_head.h"

namespace vexcam::sim {

std::unique_ptr<SimHead> MakeCooledAreaHead(SimModel model);
std::unique_ptr<SimHead> MakeMt9Head(const SimProduct& product);
std::unique_ptr<SimHead> MakeCcdHead();
std::unique_ptr<SimHead> MakeSimHeadZA04();
std::unique_ptr<SimHead> MakePregiusHead(SimModel model);
std::unique_ptr<SimHead> MakeFpgaSensorHead(SimModel model);
std::unique_ptr<SimHead> MakeConverterHead();
std::unique_ptr<SimHead> MakeFpgaRunHead(SimModel model);
std::unique_ptr<SimHead> MakeSimHeadGLUX9701();
std::unique_ptr<SimHead> MakeShiftedHead();
std::unique_ptr<SimHead> MakeReadableCcdHead();

std::unique_ptr<SimHead> MakeSimHead(const SimProduct& product) {
  switch (product.model) {
    case SimModel::kGeneric:
    case SimModel::kZA01:
      break;
    case SimModel::kIMX990:
    case SimModel::kIMX991:
    case SimModel::kIMX992:
      return MakeCooledAreaHead(product.model);
    case SimModel::kMT9F:
    case SimModel::kMT9:
      return MakeMt9Head(product);
    case SimModel::kCcd:
      return MakeCcdHead();
    case SimModel::kZA04:
      return MakeSimHeadZA04();
    case SimModel::kPregius:
    case SimModel::kPregiusSeconds:
      return MakePregiusHead(product.model);
    case SimModel::kFpgaSensor:
    case SimModel::kLineScan:
    case SimModel::kCooledFpgaSensor:
      return MakeFpgaSensorHead(product.model);
    case SimModel::kConverter:
      return MakeConverterHead();
    case SimModel::kZA09:
    case SimModel::kZA14:
      return MakeFpgaRunHead(product.model);
    case SimModel::kGLUX9701:
      return MakeSimHeadGLUX9701();
    case SimModel::kShifted:
      return MakeShiftedHead();
    case SimModel::kReadableCcd:
      return MakeReadableCcdHead();
  }
  return std::make_unique<SimHead>();
}

}  // namespace vexcam::sim
