// The module's one exported symbol: the table of preview operations.
#include <new>

#include "preview/preview_module.h"
#include "preview/x11_preview_window.h"

namespace {

using vexcam::CX11PreviewWindow;

CX11PreviewWindow* Impl(VexPreviewWindow* w) { return reinterpret_cast<CX11PreviewWindow*>(w); }
const CX11PreviewWindow* Impl(const VexPreviewWindow* w) {
  return reinterpret_cast<const CX11PreviewWindow*>(w);
}

VexPreviewWindow* Create(const VexPreviewCreateArgs* args) {
  if (args == nullptr) return nullptr;
  return reinterpret_cast<VexPreviewWindow*>(CX11PreviewWindow::Create(*args).release());
}

void Destroy(VexPreviewWindow* w) { delete Impl(w); }

unsigned long Xid(const VexPreviewWindow* w) { return w != nullptr ? Impl(w)->Xid() : 0; }

int Surface(VexPreviewWindow* w, int* width, int* height) {
  return w != nullptr && width != nullptr && height != nullptr && Impl(w)->Surface(width, height)
             ? 1
             : 0;
}

int Blit(VexPreviewWindow* w, const uint8_t* pixels, int width, int height, uint32_t stride,
         int bitCount, int bottomUp) {
  return w != nullptr && Impl(w)->Blit(pixels, width, height, stride, bitCount, bottomUp != 0) ? 1
                                                                                               : 0;
}

void Flush(VexPreviewWindow* w) {
  if (w != nullptr) Impl(w)->Flush();
}

int UsesShm(const VexPreviewWindow* w) { return w != nullptr && Impl(w)->UsesShm() ? 1 : 0; }

constexpr VexPreviewApi kApi = {
    VEXCAM_PREVIEW_ABI, Create, Destroy, Xid, Surface, Blit, Flush, UsesShm};

}  // namespace

extern "C" __attribute__((visibility("default"))) const VexPreviewApi* VexPreview_GetApi(void) {
  return &kApi;
}
