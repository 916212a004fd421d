#include "api/sdk_chain.h"

namespace vexcam {

CSdkChain::~CSdkChain() {
  CsLock lock(Lock());
  while (CSDKDATA* record = Cursor()) {
    if (record->instance) {
      // Deliberately kept alive: see the class comment.
      auto* kept = new std::shared_ptr<CVexCam>(std::move(record->instance));
      static_cast<void>(kept);
    }
    RemoveCurrent();
  }
}

std::shared_ptr<CVexCam> CSdkChain::Lookup(uint32_t handle) {
  CsLock lock(Lock());
  if (!Find(handle)) return nullptr;
  return Cursor()->instance;
}

bool CSdkChain::Contains(uint32_t handle) {
  CsLock lock(Lock());
  return Find(handle);
}

bool CSdkChain::Detach(uint32_t handle, std::shared_ptr<CVexCam>* instance) {
  CsLock lock(Lock());
  if (!Find(handle)) return false;
  *instance = std::move(Cursor()->instance);
  RemoveCurrent();
  return true;
}

CSdkChain& SdkChain() {
  static CSdkChain chain;
  return chain;
}

}  // namespace vexcam
