#pragma once

#include <cstdint>
#include <memory>

#include "api/t_ring.h"
#include "instance/vex_cam.h"

namespace vexcam {

// One registry record per live instance.
struct CSDKDATA {
  uint32_t handle = 0;
  std::shared_ptr<CVexCam> instance;
  CSDKDATA* prev = nullptr;
  CSDKDATA* next = nullptr;
};

// The process-wide handle registry. Every lookup takes the lock (the cursor
// moves on every lookup); add and remove take it too. Lookups hand out a
// shared reference, so an instance released while another thread is still
// inside a call on it is destroyed when that call returns, not under it.
class CSdkChain : public CTRing<CSDKDATA> {
 public:
  CSdkChain() = default;
  // Records left at unload are freed without tearing their instances down:
  // at that point the layers below may already be gone.
  ~CSdkChain() override;

  std::shared_ptr<CVexCam> Lookup(uint32_t handle);
  bool Contains(uint32_t handle);
  // Moves the record's instance out and removes the record; false when the
  // handle is unknown. The caller destroys the instance outside the lock.
  bool Detach(uint32_t handle, std::shared_ptr<CVexCam>* instance);
};

// The single registry, built during static initialisation.
CSdkChain& SdkChain();

}  // namespace vexcam
