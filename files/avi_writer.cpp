#include "files/avi_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexcam {

static_assert(std::endian::native == std::endian::little, "AVI fields are written from memory");

namespace {

constexpr uint32_t kAvifHasIndex = 0x10;
constexpr uint32_t kAvifWasCaptureFile = 0x10000;
constexpr uint32_t kIndexKeyFrame = 0x10;
constexpr uint32_t kChunkHeaderBytes = 8;
constexpr uint32_t kMaxRate = 100000;

class HeaderBuilder {
 public:
  explicit HeaderBuilder(uint8_t* out) : p_(out) {}
  void Code(const char* fourcc) {
    std::memcpy(p_, fourcc, 4);
    p_ += 4;
  }
  void U32(uint32_t v) {
    std::memcpy(p_, &v, 4);
    p_ += 4;
  }
  void U16(uint16_t v) {
    std::memcpy(p_, &v, 2);
    p_ += 2;
  }
  void Zeros(int count) {
    for (int i = 0; i < count; ++i) U32(0);
  }

 private:
  uint8_t* p_;
};

uint32_t Saturate32(uint64_t v) { return static_cast<uint32_t>(std::min<uint64_t>(v, UINT32_MAX)); }

}  // namespace

AviWriter::AviWriter(uint64_t maxFileBytes) : maxFileBytes_(maxFileBytes) {}

AviWriter::~AviWriter() {
  if (open_) Close(0);
}

uint32_t AviWriter::MeasureRate(uint32_t frames, uint32_t elapsedMs) {
  if (frames < 2 || elapsedMs == 0) return 0;
  return Saturate32(uint64_t{frames} * 100000 / elapsedMs);
}

uint64_t AviWriter::ChunkEnd(uint32_t frames) const {
  return kHeaderBytes + uint64_t{frames} * (kChunkHeaderBytes + frameBytes_);
}

void AviWriter::BuildHeader(uint8_t* out, uint32_t frames, uint32_t rate100, bool indexed) const {
  const uint64_t moviEnd = ChunkEnd(frames);
  // "idx1", its size and 16 bytes per frame follow the chunks.
  const uint64_t fileEnd = moviEnd + (indexed ? 8 + uint64_t{16} * frames : 0);
  const uint32_t suggested = frameBytes_ + kChunkHeaderBytes;
  // The rate is in hundredths of frames per second; keep the durations at least 1.
  const uint32_t usPerFrame = std::max<uint32_t>(1, 100000000u / rate100);
  const uint32_t scale = std::max<uint32_t>(1, 1000000000u / rate100);
  const uint32_t bytesPerSecond = Saturate32(uint64_t{suggested} * rate100 / 100);

  HeaderBuilder h(out);
  h.Code("RIFF");
  h.U32(Saturate32(fileEnd - 8));
  h.Code("AVI ");
  h.Code("LIST");
  h.U32(200);
  h.Code("hdrl");
  h.Code("avih");
  h.U32(56);
  h.U32(usPerFrame);
  h.U32(bytesPerSecond);
  h.U32(0);  // padding granularity
  h.U32(kAvifHasIndex | kAvifWasCaptureFile);
  h.U32(frames);
  h.U32(0);  // initial frames
  h.U32(1);  // streams
  h.U32(suggested);
  h.U32(static_cast<uint32_t>(width_));
  h.U32(static_cast<uint32_t>(height_));
  h.Zeros(4);  // reserved
  h.Code("LIST");
  h.U32(124);
  h.Code("strl");
  h.Code("strh");
  h.U32(64);
  h.Code("vids");
  h.Code("DIB ");
  h.U32(0);  // flags
  h.U32(0);  // priority and language
  h.U32(0);  // initial frames
  h.U32(scale);
  h.U32(10000000);  // rate: frames per second = rate / scale
  h.U32(0);         // start
  h.U32(frames);    // length
  h.U32(suggested);
  h.U32(0);    // quality
  h.U32(0);    // sample size
  h.Zeros(4);  // frame rectangle
  h.Code("strf");
  h.U32(40);
  h.U32(40);  // bitmap info header: size, width, height (bottom-up), planes, bit count, then zeros
  h.U32(static_cast<uint32_t>(width_));
  h.U32(static_cast<uint32_t>(height_));
  h.U16(1);
  h.U16(24);
  h.Zeros(6);
  h.Code("LIST");
  h.U32(Saturate32(moviEnd - kMoviCodeOffset));
  h.Code("movi");
}

int AviWriter::Open(const char* path, int width, int height, int bitCount, uint32_t rate) {
  if (open_) Close(0);
  index_.clear();
  accepted_ = 0;
  writeFailed_ = false;
  if (path == nullptr || path[0] == '\0' || !DibImage::IsValidBitCount(bitCount) || rate == 0 ||
      rate > kMaxRate)
    return 0;
  const uint32_t stride = DibImage::StrideFor(width, 24);
  if (width <= 0 || height <= 0 || stride == 0) return 0;
  const uint64_t frameBytes = uint64_t{stride} * static_cast<uint64_t>(height);
  if (frameBytes + kChunkHeaderBytes > UINT32_MAX) return 0;
  width_ = width;
  height_ = height;
  frameBytes_ = static_cast<uint32_t>(frameBytes);
  openRate100_ = rate * 100;
  try {
    index_.reserve(4096);  // a couple of minutes at 30 frames per second before the index grows
  } catch (...) {
    return 0;
  }

  if (!sink_.Open(path)) return 0;
  uint8_t header[kHeaderBytes];
  BuildHeader(header, 0, openRate100_, false);
  // Flushed now so that an unwritable file fails here rather than at the first frame.
  if (!sink_.Write(header, sizeof header) || !sink_.Flush()) {
    sink_.Discard();
    return 0;
  }
  open_ = true;
  return 1;
}

int AviWriter::AddFrame(const DibImage& frame) {
  if (!open_ || writeFailed_) return 0;
  if (frame.IsEmpty() || frame.BitCount() != 24 || frame.Width() != width_ ||
      frame.Height() != height_)
    return 0;
  const uint32_t n = static_cast<uint32_t>(index_.size());
  // Room for this chunk and an index that includes it.
  if (ChunkEnd(n + 1) + 8 + uint64_t{16} * (n + 1) > maxFileBytes_) return 0;
  const uint64_t position = sink_.Position();
  try {
    index_.push_back(IndexEntry{{'0', '0', 'd', 'b'},
                                kIndexKeyFrame,
                                static_cast<uint32_t>(position - kMoviCodeOffset),
                                frameBytes_});
  } catch (...) {
    return 0;  // no memory for the index: stop here, the file stays finalisable
  }
  uint8_t chunkHeader[kChunkHeaderBytes] = {'0', '0', 'd', 'b'};
  std::memcpy(chunkHeader + 4, &frameBytes_, 4);
  if (!sink_.Write(chunkHeader, sizeof chunkHeader) || !sink_.Write(frame.Pixels(), frameBytes_)) {
    writeFailed_ = true;
    return 0;
  }
  ++accepted_;
  return 1;
}

bool AviWriter::WriteIndex(uint32_t frames) {
  uint8_t head[8] = {'i', 'd', 'x', '1'};
  const uint32_t bytes = 16 * frames;
  std::memcpy(head + 4, &bytes, 4);
  return sink_.Write(head, sizeof head) && (frames == 0 || sink_.Write(index_.data(), bytes)) &&
         sink_.Flush();
}

int AviWriter::Close(uint32_t measuredRate) {
  if (!open_) return 0;
  open_ = false;
  uint32_t frames = static_cast<uint32_t>(index_.size());
  bool ok = sink_.Flush() && !writeFailed_;
  if (!ok) {
    // Keep the frames that reached the file whole and cut off the rest.
    const uint64_t committed = sink_.Committed();
    while (frames > 0 && ChunkEnd(frames) > committed) --frames;
    sink_.Truncate(ChunkEnd(frames));
  }
  // A full disk may lack room for the index; cutting the last frame frees far more than it needs.
  bool indexed = WriteIndex(frames);
  while (!indexed && frames > 0 && sink_.IsOpen()) {
    --frames;
    if (!sink_.Truncate(ChunkEnd(frames))) break;
    indexed = WriteIndex(frames);
  }
  uint8_t header[kHeaderBytes];
  BuildHeader(header, frames, measuredRate != 0 ? measuredRate : openRate100_, indexed);
  const bool patched = sink_.WriteAt(0, header, sizeof header);
  const bool closed = sink_.Close();
  ok = ok && indexed && patched && closed && frames == accepted_;
  index_.clear();
  return ok ? 1 : 0;
}

}  // namespace vexcam
