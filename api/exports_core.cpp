// Instance creation and release, error reporting, and the exports whose
// behaviour does not depend on a camera.
#include <memory>
#include <new>

#include "api/dispatch.h"
#include "api/sdk_chain.h"
#include "platform/clock.h"
#include "platform/thread_rand.h"
#include "vexcam/VexCamSdk.h"

using vexcam::CVexCam;
using vexcam::SdkChain;
using vexcam::api::Dispatch;

namespace {

// GetTickCount() + rand() + count, wrapping. Drawn again while it is 0 or
// already registered, so a handle always names exactly one instance.
uint32_t MakeHandle() {
  for (;;) {
    const uint32_t handle =
        vexcam::GetTickCount() + static_cast<uint32_t>(vexcam::ThreadRand()) + SdkChain().Count();
    if (handle != 0 && !SdkChain().Contains(handle)) return handle;
  }
}

// The family that always refuses: the code is posted, never pushed.
BOOL Refuse(DWORD handle) {
  return Dispatch(handle, BOOL{0}, [](CVexCam& cam) {
    cam.Notify(VEXCAM_ERR_NOT_SUPPORTED);
    return BOOL{0};
  });
}

}  // namespace

extern "C" {

DWORD VexCam_Initialize(HWND notifyWindow) {
  std::shared_ptr<CVexCam> instance(new (std::nothrow) CVexCam);
  if (!instance) return 0;
  const uint32_t handle = MakeHandle();
  SdkChain().Add({handle, instance, nullptr, nullptr});
  // The initialiser's result does not change the handle returned: a failed
  // initialisation leaves its codes on the instance's error stack.
  if (std::shared_ptr<CVexCam> registered = SdkChain().Lookup(handle)) {
    registered->Initialize(notifyWindow);
  }
  return handle;
}

BOOL VexCam_Release(DWORD handle) {
  std::shared_ptr<CVexCam> instance;
  if (!SdkChain().Detach(handle, &instance)) return 0;
  instance.reset();  // teardown runs here unless another call still holds it
  return 1;
}

DWORD VexCam_GetDllVersion(void) { return VEXCAM_DLL_VERSION; }

DWORD VexCam_GetLastError(DWORD handle) {
  return Dispatch(handle, DWORD{0}, [](CVexCam& cam) { return cam.GetLastError(); });
}

BOOL VexCam_Fps(DWORD handle) { return Refuse(handle); }
BOOL VexCam_GetHalfClock(DWORD handle, int* /*ok*/) { return Refuse(handle); }
BOOL VexCam_SetHalfClock(DWORD handle, int /*on*/) { return Refuse(handle); }
BOOL VexCam_GetInternalCorrection(DWORD handle, int* /*ok*/) { return Refuse(handle); }
BOOL VexCam_SetInternalCorrection(DWORD handle, int /*on*/) { return Refuse(handle); }
BOOL VexCam_SetCrossbar(DWORD handle, int /*value*/) { return Refuse(handle); }

// The text channel belongs to one camera head that this library does not
// drive through the API: always "not supported".
int VexCam_SendText(DWORD handle, const char* /*text*/, int /*length*/) {
  return Dispatch(handle, 0, [](CVexCam& cam) {
    cam.Record(VEXCAM_ERR_NOT_SUPPORTED);
    return 0;
  });
}

int VexCam_ReceiveText(DWORD handle, char* /*buffer*/, int /*size*/) {
  return Dispatch(handle, 0, [](CVexCam& cam) {
    cam.Record(VEXCAM_ERR_NOT_SUPPORTED);
    return 0;
  });
}

int VexCam_GetStatus(DWORD handle, void* /*status*/) {
  return Dispatch(handle, 0, [](CVexCam&) { return 0; });
}

int VexCam_GetSamplingRate(DWORD handle, int* value) {
  return Dispatch(handle, 0, [value](CVexCam&) {
    if (value) *value = 0;
    return 0;
  });
}

int VexCam_GetVideoFormat(DWORD handle, int* value) {
  return VexCam_GetSamplingRate(handle, value);
}

}  // extern "C"
