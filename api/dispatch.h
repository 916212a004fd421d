#pragma once

#include <memory>

#include "api/sdk_chain.h"
#include "vexcam/VexCamTypes.h"

namespace vexcam::api {

// Finds the handle's instance and runs op on it outside the registry lock.
// An unknown handle (or a record without instance) returns the export's
// failure value and touches nothing: there is no instance to record into.
template <class R, class Op>
R Dispatch(DWORD handle, R failure, Op&& op) {
  std::shared_ptr<CVexCam> instance = SdkChain().Lookup(handle);
  if (!instance) return failure;
  return op(*instance);
}

// An export whose behaviour is not built yet: see CVexCam::NotBuilt.
template <class R>
R NotBuilt(DWORD handle, R failure, int* ok) {
  return Dispatch(handle, failure, [&](CVexCam& cam) {
    cam.NotBuilt(ok);
    return failure;
  });
}

}  // namespace vexcam::api
