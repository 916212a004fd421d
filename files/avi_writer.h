#pragma once

#include <cstdint>
#include <vector>

#include "files/file_sink.h"
#include "imaging/dib_image.h"

namespace vexcam {

// Writes an uncompressed AVI of 24-bit bottom-up DIB frames: the headers on
// Open, one "00db" chunk per frame, then on Close the "idx1" index and the
// sizes, frame counts and measured rate patched into the headers. Writes go
// through a 1 MiB buffer. Used by one recording thread at a time; not
// internally locked.
//
// A write failure (disk full, file system gone) makes AddFrame return 0 and
// refuse later frames; Close still finalises the file with the frames that
// reached it completely, so what was recorded stays playable.
class AviWriter {
 public:
  // Offsets are 32-bit: the file cannot grow beyond the RIFF size field.
  static constexpr uint64_t kMaxFileBytes = uint64_t{UINT32_MAX} + 8;
  static constexpr uint32_t kHeaderBytes = 232;  // everything up to and including "movi"
  static constexpr uint32_t kMoviCodeOffset = 228;

  explicit AviWriter(uint64_t maxFileBytes = kMaxFileBytes);
  // Finalises a file still open, with the rate it was opened with.
  ~AviWriter();
  AviWriter(const AviWriter&) = delete;
  AviWriter& operator=(const AviWriter&) = delete;

  // Starts a fresh recording: creates or truncates path and writes the
  // headers for width x height frames at rate frames per second (1..100000).
  // bitCount is that of the images being recorded (8..64); the file always
  // holds 24-bit frames. A file still open is finalised first. Returns 1/0;
  // on failure nothing is left behind.
  int Open(const char* path, int width, int height, int bitCount, uint32_t rate);

  // Appends one frame: a 24-bit image of the opened size whose rows are
  // already bottom row first (as MakeRecordFrame makes them); its stride x
  // height bytes form the chunk. Returns 0 when not open, for a frame of
  // another size or depth, when the file would outgrow its 32-bit sizes, or
  // when a write failed (the recording should stop then).
  int AddFrame(const DibImage& frame);

  // Writes the index, patches the headers and closes the file.
  // measuredRate is frames per second x 100 (see MeasureRate); 0 keeps the
  // rate the file was opened with, which is what a recording of fewer than
  // two frames gets. Returns 1 when the file is complete and holds every
  // frame AddFrame accepted; 0 when not open, or frames were lost or the
  // finalisation failed (the file then holds what could be saved).
  int Close(uint32_t measuredRate);

  bool IsOpen() const { return open_; }
  // Frames accepted since Open.
  uint32_t FrameCount() const { return accepted_; }
  // Bytes of pixel data per chunk: the 4-byte aligned stride x height.
  uint32_t FrameBytes() const { return frameBytes_; }

  // Frames per second x 100 for frames taken over elapsedMs, the first to
  // the last; 0 when that is not measurable (fewer than two frames or no
  // time elapsed).
  static uint32_t MeasureRate(uint32_t frames, uint32_t elapsedMs);

 private:
#pragma pack(push, 1)
  struct IndexEntry {
    char id[4];
    uint32_t flags;
    uint32_t offset;  // from the "movi" code
    uint32_t size;
  };
#pragma pack(pop)
  static_assert(sizeof(IndexEntry) == 16);

  void BuildHeader(uint8_t* out, uint32_t frames, uint32_t rate100, bool indexed) const;
  uint64_t ChunkEnd(uint32_t frames) const;
  bool WriteIndex(uint32_t frames);

  const uint64_t maxFileBytes_;
  FileSink sink_;
  std::vector<IndexEntry> index_;
  bool open_ = false;
  bool writeFailed_ = false;
  int32_t width_ = 0;
  int32_t height_ = 0;
  uint32_t frameBytes_ = 0;
  uint32_t openRate100_ = 0;
  uint32_t accepted_ = 0;
};

}  // namespace vexcam
