#include "imaging/defect_state.h"

#include <cstring>
#include <initializer_list>

namespace vexcam {

namespace {

// Map band: the two outer rows and columns are never marked.
constexpr int kMapMargin = 2;

template <typename T>
void FillSamples(DibImage& img, T value) {
  for (int y = 0; y < img.Height(); ++y) {
    T* row = reinterpret_cast<T*>(img.Row(y));
    for (int x = 0; x < img.Width(); ++x) row[x] = value;
  }
}

// Marks map pixels whose reference sample is above (hot) or below (dead) the
// limit; pixels outside the band are left as they are.
template <typename T>
void MarkBand(DibImage& map, const DibImage& ref, int limit, bool below) {
  for (int y = kMapMargin; y < DefectState::kSensorHeight - kMapMargin; ++y) {
    const T* src = reinterpret_cast<const T*>(ref.Row(y));
    uint8_t* dst = map.Row(y);
    for (int x = kMapMargin; x < DefectState::kSensorWidth - kMapMargin; ++x) {
      const int v = src[x];
      dst[x] = below ? (v < limit) : (v > limit);
    }
  }
}

bool IsSensorImage(const DibImage& img, int bits) {
  return !img.IsEmpty() && img.Width() == DefectState::kSensorWidth &&
         img.Height() == DefectState::kSensorHeight && img.BitCount() == bits;
}

}  // namespace

uint32_t DefectState::Init() {
  const bool ok = dark8.Create(kSensorWidth, kSensorHeight, 8) &&
                  white8.Create(kSensorWidth, kSensorHeight, 8) &&
                  dark16.Create(kSensorWidth, kSensorHeight, 16) &&
                  white16.Create(kSensorWidth, kSensorHeight, 16) &&
                  hotMap8.Create(kSensorWidth, kSensorHeight, 8) &&
                  deadMap8.Create(kSensorWidth, kSensorHeight, 8) &&
                  hotMap16.Create(kSensorWidth, kSensorHeight, 8) &&
                  deadMap16.Create(kSensorWidth, kSensorHeight, 8);
  if (!ok) {
    for (DibImage* img :
         {&dark8, &white8, &dark16, &white16, &hotMap8, &deadMap8, &hotMap16, &deadMap16})
      img->Release();
    return 0;
  }
  // Create() may reuse memory, so fill every image explicitly.
  FillSamples<uint8_t>(dark8, 0);
  FillSamples<uint8_t>(white8, 255);
  FillSamples<uint16_t>(dark16, 0);
  FillSamples<uint16_t>(white16, 65535);
  for (DibImage* map : {&hotMap8, &deadMap8, &hotMap16, &deadMap16}) FillSamples<uint8_t>(*map, 0);
  defectList.clear();
  return 1;
}

uint32_t DefectState::BuildDefectMap(int depth, bool white) {
  if (depth == 8) {
    DibImage& map = white ? deadMap8 : hotMap8;
    const DibImage& ref = white ? white8 : dark8;
    if (!IsSensorImage(ref, 8) || !IsSensorImage(map, 8)) return 0;
    MarkBand<uint8_t>(map, ref, white ? kDeadLimit8 : kHotLimit8, white);
    return 1;
  }
  if (depth == 16) {
    DibImage& map = white ? deadMap16 : hotMap16;
    const DibImage& ref = white ? white16 : dark16;
    if (!IsSensorImage(ref, 16) || !IsSensorImage(map, 8)) return 0;
    MarkBand<uint16_t>(map, ref, white ? kDeadLimit16 : kHotLimit16, white);
    return 1;
  }
  return 0;
}

}  // namespace vexcam
