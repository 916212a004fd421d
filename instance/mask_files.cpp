#include "instance/mask_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "instance/capture_engine.h"
#include "platform/critical_section.h"

namespace vexcam {

namespace {

constexpr char kMaskMagic[] = "QUORIN MASK1000";
constexpr size_t kMagicBytes = 16;
constexpr size_t kHeaderBytes = 40;

// The four references in file order, with their sample depths.
struct Reference {
  DibImage DefectState::*image;
  int bits;
};
constexpr Reference kReferences[4] = {
    {&DefectState::dark8, 8},
    {&DefectState::white8, 8},
    {&DefectState::dark16, 16},
    {&DefectState::white16, 16},
};

constexpr uint32_t BlockBytes(int bits) {
  return static_cast<uint32_t>(DefectState::kSensorWidth) * (bits / 8) * DefectState::kSensorHeight;
}
static_assert(kHeaderBytes + 2 * BlockBytes(8) + 2 * BlockBytes(16) == kMaskFileBytes);

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

uint32_t GetU32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool IsSensorImage(const DibImage& img, int bits) {
  return !img.IsEmpty() && img.Width() == DefectState::kSensorWidth &&
         img.Height() == DefectState::kSensorHeight && img.BitCount() == bits &&
         img.SizeBytes() == BlockBytes(bits);
}

bool IsMaskHeader(const uint8_t* h) {
  // The magic is the text up to the first zero byte of the 16-byte field.
  const size_t textLength = strnlen(reinterpret_cast<const char*>(h), kMagicBytes);
  if (textLength != sizeof(kMaskMagic) - 1 || std::memcmp(h, kMaskMagic, textLength) != 0)
    return false;
  if (GetU32(h + 16) != DefectState::kSensorWidth || GetU32(h + 20) != DefectState::kSensorHeight)
    return false;
  for (int i = 0; i < 4; ++i)
    if (GetU32(h + 24 + 4 * i) != BlockBytes(kReferences[i].bits)) return false;
  return true;
}

// Reads a whole mask file into fresh images; false when the file cannot be
// opened, its header is wrong or it ends before the last block.
bool ReadMaskFile(const char* fileName, DibImage (&images)[4]) {
  FilePtr file(std::fopen(fileName, "rb"));
  if (!file) return false;
  struct stat st {};
  if (fstat(fileno(file.get()), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  uint8_t header[kHeaderBytes];
  if (std::fread(header, 1, sizeof(header), file.get()) != sizeof(header) || !IsMaskHeader(header))
    return false;
  for (int i = 0; i < 4; ++i) {
    DibImage& img = images[i];
    if (!img.Create(DefectState::kSensorWidth, DefectState::kSensorHeight, kReferences[i].bits) ||
        img.SizeBytes() != BlockBytes(kReferences[i].bits))
      return false;
    if (std::fread(img.Pixels(), 1, img.SizeBytes(), file.get()) != img.SizeBytes()) return false;
  }
  return true;
}

}  // namespace

BOOL LoadMaskFile(CVexCam& cam, const char* fileName) {
  if (!cam.RequireCamera()) return 0;
  if (fileName == nullptr) {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  // Read everything first, so a bad file leaves the references untouched.
  DibImage images[4];
  if (!ReadMaskFile(fileName, images)) {
    cam.Record(VEXCAM_ERR_MASK_FILE);
    return 0;
  }
  {
    std::lock_guard lock(cam.imageLock);
    for (int i = 0; i < 4; ++i) std::swap(cam.defects.*kReferences[i].image, images[i]);
    // Maps are rebuilt under the lock too: the filters read them under it.
    cam.defects.BuildDefectMap(8, false);
    cam.defects.BuildDefectMap(8, true);
    cam.defects.BuildDefectMap(16, false);
    cam.defects.BuildDefectMap(16, true);
  }
  return 1;  // the previous references are freed here, outside the lock
}

BOOL LoadMaskFileW(CVexCam& cam, const wchar_t* fileName) {
  if (fileName == nullptr) {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kFileNameBytes];
  if (!cam.NarrowFileName(fileName, narrow)) return 0;
  return LoadMaskFile(cam, narrow);
}

BOOL SaveMaskFile(CVexCam& cam, const char* fileName) {
  if (!cam.RequireCamera()) return 0;
  if (fileName == nullptr) {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  // Snapshot the references under the lock; the disk write happens outside.
  std::vector<uint8_t> data(kMaskFileBytes);
  {
    std::lock_guard lock(cam.imageLock);
    const DefectState& d = cam.defects;
    for (const Reference& r : kReferences) {
      if (!IsSensorImage(d.*r.image, r.bits)) {
        cam.Record(VEXCAM_ERR_MASK_FILE);
        return 0;
      }
    }
    uint8_t* p = data.data();
    std::memcpy(p, kMaskMagic, sizeof(kMaskMagic));  // 15 characters and the zero byte
    PutU32(p + 16, static_cast<uint32_t>(d.dark8.Width()));
    PutU32(p + 20, static_cast<uint32_t>(d.dark8.Height()));
    size_t offset = kHeaderBytes;
    for (int i = 0; i < 4; ++i) {
      const DibImage& img = d.*kReferences[i].image;
      PutU32(p + 24 + 4 * i, static_cast<uint32_t>(img.SizeBytes()));
      std::memcpy(p + offset, img.Pixels(), img.SizeBytes());
      offset += img.SizeBytes();
    }
  }
  FilePtr file(std::fopen(fileName, "wb"));
  if (!file) {
    cam.Record(VEXCAM_ERR_MASK_FILE);
    return 0;
  }
  struct stat st {};
  const bool regular = fstat(fileno(file.get()), &st) == 0 && S_ISREG(st.st_mode);
  const bool written = std::fwrite(data.data(), 1, data.size(), file.get()) == data.size();
  const bool closed = std::fclose(file.release()) == 0;
  if (!written || !closed) {
    // A partial mask file would be refused on load anyway; do not leave one
    // (but never remove a device or pipe the name pointed at).
    if (regular) ::unlink(fileName);
    cam.Record(VEXCAM_ERR_MASK_FILE);
    return 0;
  }
  return 1;
}

BOOL SaveMaskFileW(CVexCam& cam, const wchar_t* fileName) {
  if (fileName == nullptr) {
    cam.Record(VEXCAM_ERR_INVALID_ARG);
    return 0;
  }
  char narrow[kFileNameBytes];
  if (!cam.NarrowFileName(fileName, narrow)) return 0;
  return SaveMaskFile(cam, narrow);
}

BOOL UpdateMaskData(CVexCam& cam, int which) {
  if (!cam.RequireCamera()) return 0;
  int32_t colorMode = 0;
  {
    std::lock_guard lock(cam.SettingsLock());
    colorMode = cam.ImageBlock().colorMode;
  }
  const int bits = (colorMode == 1 || colorMode == 4 || colorMode == 5) ? 16 : 8;
  // Every value but 0 names the white reference for the map rebuilt.
  const bool white = which != 0;

  // Frame lock keeps the raw image stable; the image lock nests inside it.
  CsLock frame(cam.frameLock);
  const DibImage& raw = bits == 16 ? cam.images.Raw16() : cam.images.Raw8();
  std::lock_guard lock(cam.imageLock);
  DefectState& d = cam.defects;
  DibImage& target = bits == 16 ? (white ? d.white16 : d.dark16) : (white ? d.white8 : d.dark8);
  // A frame of a smaller capture window, or none yet (a prepared image holds
  // no picture), is not a reference and is skipped without failing; only a
  // full frame makes an unknown `which` an error.
  const bool fullFrame = cam.Capture().RawFrameBits() == bits && IsSensorImage(raw, bits);
  const bool known = which == 0 || which == 1;
  if (fullFrame && known && IsSensorImage(target, bits))
    std::memcpy(target.Pixels(), raw.Pixels(), raw.SizeBytes());
  d.BuildDefectMap(bits, white);
  if (fullFrame && !known) {
    cam.Record(VEXCAM_ERR_FILE_OR_TEXT);
    return 0;
  }
  return 1;
}

}  // namespace vexcam
