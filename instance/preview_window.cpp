#include "instance/preview_window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "imaging/depth_convert.h"
#include "imaging/dib_image.h"
#include "imaging/image_pipeline.h"
#include "imaging/region_op.h"
#include "platform/clock.h"
#include "platform/preview_module_loader.h"
#include "platform/thread_rand.h"
#include "platform/x11_window_handle.h"

namespace vexcam {

namespace {

constexpr const char* kTopLevelTitle = "Active Window";
constexpr const char* kChildTitle = "ActiveMovie Window";

bool UseShm() {
  const char* v = std::getenv("VEXCAM_PREVIEW_SHM");
  return v == nullptr || std::strcmp(v, "0") != 0;
}

}  // namespace

CPreviewWindow::CPreviewWindow(const VexPreviewApi* api, VexPreviewWindow* window,
                               std::string className)
    : api_(api), window_(window), className_(std::move(className)) {}

std::unique_ptr<CPreviewWindow> CPreviewWindow::Create(const Placement& p) {
  VexPreviewCreateArgs args{};
  if (p.parent != nullptr) {
    args.parent = X11FromHandle(p.parent);
    if (args.parent == 0) return nullptr;  // not an X11 window
    args.x = p.rect[0];
    args.y = p.rect[1];
    args.width = p.rect[2];
    args.height = p.rect[3];
    args.title = kChildTitle;
  } else {
    if (std::all_of(p.rect.begin(), p.rect.end(), [](int32_t v) { return v == 0; })) return nullptr;
    const int32_t d = std::max<int32_t>(p.subSampleDivisor, 1);
    args.width = p.captureWidth / d;
    args.height = p.captureHeight / d;
    args.title = kTopLevelTitle;
  }
  if (args.width <= 0 || args.height <= 0) return nullptr;
  const VexPreviewApi* api = LoadPreviewModule();
  if (api == nullptr) return nullptr;

  char name[64];
  const auto self = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p.instance));
  const auto salt = static_cast<uint32_t>(ThreadRand()) + TimeGetTime();
  std::snprintf(name, sizeof name, "VideoRenderer_%08x_%08x", self, salt);
  args.className = name;
  args.useShm = UseShm() ? 1 : 0;
  VexPreviewWindow* window = api->create(&args);
  if (window == nullptr) return nullptr;
  return std::unique_ptr<CPreviewWindow>(new CPreviewWindow(api, window, name));
}

CPreviewWindow::~CPreviewWindow() { api_->destroy(window_); }

HWND CPreviewWindow::Handle() const { return HandleFromX11(api_->xid(window_)); }

void CPreviewWindow::Flush() { api_->flush(window_); }

void CPreviewWindow::Draw(ImagePipeline& images, int colorMode) {
  // Visibility first: a hidden window costs no conversion either.
  int width = 0, height = 0;
  if (!api_->surface(window_, &width, &height)) return;

  DibImage* src = nullptr;
  switch (colorMode) {
    case 0:
      src = &images.RawFor(0);
      break;
    case 1: {
      DibImage& raw16 = images.RawFor(1);
      DibImage& raw8 = images.RawFor(0);
      if (raw16.IsEmpty()) return;
      if ((raw8.Width() != raw16.Width() || raw8.Height() != raw16.Height() ||
           raw8.BitCount() != 8) &&
          !raw8.Create(raw16.Width(), raw16.Height(), 8)) {
        return;
      }
      ApplyRegionOp(raw8, Convert16To8High, raw16, nullptr, 0, 0, nullptr, nullptr);
      src = &raw8;
      break;
    }
    case 2:
      src = &images.Color(24);
      break;
    case 3:
    case 4:
    case 5: {
      // Drawn through Color 24, made here once if the window came after the
      // preparation.
      const DibImage& wide = images.Color(colorMode == 3 ? 32 : colorMode == 4 ? 48 : 64);
      DibImage& c24 = images.Color(24);
      if (wide.IsEmpty()) return;
      if ((c24.Width() != wide.Width() || c24.Height() != wide.Height() || c24.BitCount() != 24) &&
          !c24.Create(wide.Width(), wide.Height(), 24)) {
        return;
      }
      ApplyRegionOp(c24, colorMode == 3 ? Convert32To24 : ConvertWideTo24High, wide, nullptr, 0, 0,
                    nullptr, nullptr);
      src = &c24;
      break;
    }
    default:
      return;
  }
  if (src->IsEmpty()) return;

  // Same size: one copy. The image's memory order is top row first, which is
  // exactly the flipped copy of the bottom-up bitmap it declares.
  if (width == src->Width() && height == src->Height() && colorMode != 1) {
    api_->blit(window_, src->Pixels(), width, height, src->Stride(), src->BitCount(), 0);
    return;
  }
  DibImage& display = images.Display();
  const int bits = colorMode <= 1 ? 8 : 24;
  if ((display.Width() != width || display.Height() != height || display.BitCount() != bits) &&
      !display.Create(width, height, bits)) {
    return;
  }
  Resample(*src, display);
  // The display image is bottom-up (its row 0 is the picture's bottom row).
  api_->blit(window_, display.Pixels(), width, height, display.Stride(), bits, 1);
}

void CPreviewWindow::Resample(const DibImage& src, DibImage& dst) {
  const int sw = src.Width(), sh = src.Height();
  const int dw = dst.Width(), dh = dst.Height();
  const int bpp = dst.BytesPerPixel();
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || src.BytesPerPixel() != bpp) return;
  const float sx = static_cast<float>(sw) / static_cast<float>(dw);
  const float sy = static_cast<float>(sh) / static_cast<float>(dh);
  columns_.resize(static_cast<size_t>(dw));
  for (int x = 0; x < dw; ++x) {
    const int c = static_cast<int>(static_cast<float>(x) * sx);
    columns_[static_cast<size_t>(x)] = std::clamp(c, 0, sw - 1) * bpp;
  }
  const int32_t* col = columns_.data();
  int previous = -1;
  for (int y = 0; y < dh; ++y) {
    const int r = std::clamp(sh - 1 - static_cast<int>(static_cast<float>(y) * sy), 0, sh - 1);
    const uint8_t* s = src.Row(r);
    uint8_t* d = dst.Row(y);
    // Enlarging repeats source rows: the row just made is the same.
    if (r == previous) {
      std::memcpy(d, dst.Row(y - 1), static_cast<size_t>(dw) * static_cast<size_t>(bpp));
      continue;
    }
    previous = r;
    int x = 0;
    if (bpp == 1) {
      for (; x + 4 <= dw; x += 4) {
        d[x] = s[col[x]];
        d[x + 1] = s[col[x + 1]];
        d[x + 2] = s[col[x + 2]];
        d[x + 3] = s[col[x + 3]];
      }
      for (; x < dw; ++x) d[x] = s[col[x]];
    } else {
      for (; x + 4 <= dw; x += 4) {
        for (int k = 0; k < 4; ++k) {
          const uint8_t* p = s + col[x + k];
          uint8_t* q = d + 3 * (x + k);
          q[0] = p[0];
          q[1] = p[1];
          q[2] = p[2];
        }
      }
      for (; x < dw; ++x) {
        const uint8_t* p = s + col[x];
        uint8_t* q = d + 3 * x;
        q[0] = p[0];
        q[1] = p[1];
        q[2] = p[2];
      }
    }
  }
}

}  // namespace vexcam
