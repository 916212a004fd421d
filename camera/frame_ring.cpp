#include "camera/frame_ring.h"

#include <cstring>
#include <new>
#include <thread>

namespace vexcam {

namespace {

// Reverses one row of n pixels of type P.
template <typename P>
void ReverseRow(uint8_t* dst, const uint8_t* src, uint32_t n) {
  P* d = reinterpret_cast<P*>(dst);
  const P* s = reinterpret_cast<const P*>(src) + n;
  for (uint32_t i = 0; i < n; ++i) d[i] = *--s;
}

// Pixels of any other size (three-plane frames): whole pixels, byte order kept.
void ReverseRowBytes(uint8_t* dst, const uint8_t* src, uint32_t n, uint32_t pixelBytes) {
  const uint8_t* s = src + static_cast<size_t>(n) * pixelBytes;
  for (uint32_t i = 0; i < n; ++i) {
    s -= pixelBytes;
    std::memcpy(dst + static_cast<size_t>(i) * pixelBytes, s, pixelBytes);
  }
}

using RowKernel = void (*)(uint8_t*, const uint8_t*, uint32_t, uint32_t);

void CopyRow(uint8_t* dst, const uint8_t* src, uint32_t n, uint32_t pixelBytes) {
  std::memcpy(dst, src, static_cast<size_t>(n) * pixelBytes);
}
void ReverseRow8(uint8_t* dst, const uint8_t* src, uint32_t n, uint32_t) {
  ReverseRow<uint8_t>(dst, src, n);
}
void ReverseRow16(uint8_t* dst, const uint8_t* src, uint32_t n, uint32_t) {
  ReverseRow<uint16_t>(dst, src, n);
}

RowKernel ChooseKernel(bool reverse, uint32_t pixelBytes) {
  if (!reverse) return CopyRow;
  if (pixelBytes == 1) return ReverseRow8;
  if (pixelBytes == 2) return ReverseRow16;
  return ReverseRowBytes;
}

}  // namespace

void CopyOriented(uint8_t* destination, const uint8_t* source, uint32_t width, uint32_t height,
                  uint32_t bytesPerPixel, bool reverse, bool bottomUp) {
  const size_t rowBytes = static_cast<size_t>(width) * bytesPerPixel;
  if (!reverse && !bottomUp) {
    std::memcpy(destination, source, rowBytes * height);
    return;
  }
  const RowKernel kernel = ChooseKernel(reverse, bytesPerPixel);
  for (uint32_t i = 0; i < height; ++i) {
    const uint32_t from = bottomUp ? height - 1 - i : i;
    kernel(destination + rowBytes * i, source + rowBytes * from, width, bytesPerPixel);
  }
}

bool CFrameRing::Allocate(const FrameLayout& layout) {
  writing_.store(kAllSlots, std::memory_order_seq_cst);
  WaitForReaders();
  FreeUnlocked();
  bool ok = layout.slotBytes >= layout.frameBytes;
  for (uint32_t i = 0; ok && i < kSlots; ++i) {
    slots_[i].reset(new (std::nothrow) uint8_t[layout.slotBytes]);
    if (!slots_[i]) ok = false;
    tags_[i].store(kNoTag, std::memory_order_relaxed);
  }
  if (ok) {
    layout_ = layout;
    allocated_.store(true, std::memory_order_release);
  } else {
    FreeUnlocked();
  }
  writing_.store(kNone, std::memory_order_seq_cst);
  return ok;
}

void CFrameRing::Free() {
  writing_.store(kAllSlots, std::memory_order_seq_cst);
  WaitForReaders();
  FreeUnlocked();
  writing_.store(kNone, std::memory_order_seq_cst);
}

void CFrameRing::FreeUnlocked() {
  allocated_.store(false, std::memory_order_release);
  for (uint32_t i = 0; i < kSlots; ++i) {
    slots_[i].reset();
    tags_[i].store(kNoTag, std::memory_order_relaxed);
  }
  layout_ = FrameLayout{};
}

void CFrameRing::WaitForReaders() const {
  // Readers hold a slot only for one bounded copy.
  for (uint32_t i = 0; i < kSlots; ++i) {
    while (readers_[i].load(std::memory_order_seq_cst) != 0) std::this_thread::yield();
  }
}

void CFrameRing::MarkReadUpTo(uint64_t sequence) {
  uint64_t current = readUpTo_.load(std::memory_order_acquire);
  while (sequence > current &&
         !readUpTo_.compare_exchange_weak(current, sequence, std::memory_order_acq_rel)) {}
}

void CFrameRing::ResetIndices() {
  write_.store(0, std::memory_order_release);
  read_.store(3, std::memory_order_release);
}

uint32_t CFrameRing::Tag(uint32_t slot) const {
  return slot < kSlots ? tags_[slot].load(std::memory_order_acquire) : kNoTag;
}

bool CFrameRing::ClaimForWrite(uint32_t slot) {
  writing_.store(slot, std::memory_order_seq_cst);
  if (readers_[slot].load(std::memory_order_seq_cst) == 0) return true;
  writing_.store(kNone, std::memory_order_seq_cst);
  return false;
}

bool CFrameRing::Store(const uint8_t* source, uint32_t tag) {
  if (!allocated_.load(std::memory_order_acquire) || source == nullptr) return false;
  uint32_t slot = write_.load(std::memory_order_relaxed);
  uint32_t tries = 0;
  while (!ClaimForWrite(slot)) {
    if (++tries == kSlots) return false;  // every slot held: drop this frame
    slot = (slot + 1) % kSlots;
  }
  std::memcpy(slots_[slot].get(), source, layout_.frameBytes);
  tags_[slot].store(tag, std::memory_order_relaxed);
  const uint64_t sequence = stored_.load(std::memory_order_relaxed) + 1;
  sequences_[slot].store(sequence, std::memory_order_relaxed);
  writing_.store(kNone, std::memory_order_seq_cst);
  // The write index moves before the count: a reader that sees the new frame
  // counted then also finds it as the newest slot (the other order let it
  // copy the previous frame again and miss this one).
  write_.store((slot + 1) % kSlots, std::memory_order_seq_cst);
  stored_.store(sequence, std::memory_order_seq_cst);
  return true;
}

bool CFrameRing::StoreAt(uint32_t slot, const uint8_t* source, uint32_t tag) {
  if (!allocated_.load(std::memory_order_acquire) || source == nullptr || slot >= kSlots) {
    return false;
  }
  while (!ClaimForWrite(slot)) std::this_thread::yield();
  std::memcpy(slots_[slot].get(), source, layout_.frameBytes);
  tags_[slot].store(tag, std::memory_order_relaxed);
  writing_.store(kNone, std::memory_order_seq_cst);
  return true;
}

bool CFrameRing::Copy(uint8_t* destination, uint64_t capacity, uint32_t* tag, bool grabbed,
                      uint32_t flip, uint64_t* sequence) const {
  if (destination == nullptr) return false;
  // Pin a slot; retry while the writer holds it (it holds a slot for one copy).
  uint32_t slot = 0;
  uint32_t observedWrite = 0;  // newest slot = the one before the write index
  for (;;) {
    if (!allocated_.load(std::memory_order_acquire)) return false;
    observedWrite = write_.load(std::memory_order_seq_cst);
    slot = grabbed ? 0 : (observedWrite + kSlots - 1) % kSlots;
    readers_[slot].fetch_add(1, std::memory_order_seq_cst);
    const uint32_t busy = writing_.load(std::memory_order_seq_cst);
    if (busy != slot && busy != kAllSlots && allocated_.load(std::memory_order_seq_cst)) break;
    readers_[slot].fetch_sub(1, std::memory_order_seq_cst);
    if (busy == kAllSlots) return false;  // buffers are being rebuilt
    std::this_thread::yield();
  }

  const FrameLayout& l = layout_;
  bool ok = l.frameBytes <= capacity;
  if (ok) {
    const uint8_t* src = slots_[slot].get();
    const uint32_t pixelBytes = l.bytesPerPixel * l.planes;
    if (l.bottomUpRowRule) {
      if (!l.dropLastRow || l.height < 2) {
        CopyOriented(destination, src, l.width, l.height, pixelBytes, false, true);
      } else {
        // Row 0 from source row h-2, then rows h-2 .. 0: the spare last row
        // is dropped and row h-2 occurs twice.
        const size_t rowBytes = static_cast<size_t>(l.width) * pixelBytes;
        std::memcpy(destination, src + rowBytes * (l.height - 2), rowBytes);
        CopyOriented(destination + rowBytes, src, l.width, l.height - 1, pixelBytes, false, true);
      }
    } else {
      const uint32_t d = l.orientation;
      const bool hRev = d == 2 || d == 4;
      const bool turned = d == 3 || d == 4;
      const bool vRev = flip == 0 ? !turned : turned;
      CopyOriented(destination, src, l.width, l.height, pixelBytes, hRev, vRev);
    }
    if (tag != nullptr) *tag = tags_[slot].load(std::memory_order_relaxed);
    if (sequence != nullptr) *sequence = sequences_[slot].load(std::memory_order_relaxed);
  }
  readers_[slot].fetch_sub(1, std::memory_order_seq_cst);
  return ok;
}

}  // namespace vexcam
