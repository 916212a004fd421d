#pragma once
// The four-slot frame ring between the transfer thread (the only writer) and
// the readers on the instance's threads. It is lock-free: a reader pins the
// newest slot for the length of its copy, and the writer never rewrites a
// pinned slot (it moves on to the next free one), so a reader can never copy
// a slot while it is being rewritten and a torn frame cannot be delivered.
// Pin and write claims use the store-then-check pattern on sequentially
// consistent atomics, so at least one side always sees the other.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace vexcam {

// Geometry and orientation of the frames the ring holds.
struct FrameLayout {
  uint32_t width = 0;          // pixels per row
  uint32_t height = 0;         // rows
  uint32_t bytesPerPixel = 1;  // 1 or 2
  uint32_t frameBytes = 0;     // S: bytes of one delivered frame
  uint32_t slotBytes = 0;      // Q: capacity of each slot
  uint32_t planes = 1;         // 3 on the three-plane product, 1 elsewhere
  // Orientation word of the sensor driver (reversal rules in CopyFrame).
  uint32_t orientation = 0;
  // Bottom-up rows without horizontal reversal, for the product that needs it;
  // dropLastRow: its older modules deliver one spare row at the bottom.
  bool bottomUpRowRule = false;
  bool dropLastRow = false;
};

class CFrameRing {
 public:
  static constexpr uint32_t kSlots = 4;
  static constexpr uint32_t kNoTag = 0xFFFFFFFF;

  CFrameRing() = default;
  CFrameRing(const CFrameRing&) = delete;
  CFrameRing& operator=(const CFrameRing&) = delete;

  // Replaces every slot with a fresh buffer of layout.slotBytes (tags reset);
  // waits for readers to leave first. On allocation failure the ring is left
  // empty and false is returned. Never call while the writer runs.
  bool Allocate(const FrameLayout& layout);
  // Frees every slot (waits for readers to leave).
  void Free();
  bool HasBuffers() const { return allocated_.load(std::memory_order_acquire); }
  // Layout of the frames held; valid while HasBuffers() and no Allocate runs.
  const FrameLayout& Layout() const { return layout_; }

  // Writer: copies frameBytes from source into the slot at the write index
  // (or the next one no reader holds), tags it and advances the write index.
  // False when there are no buffers or every slot is held by a reader.
  bool Store(const uint8_t* source, uint32_t tag);
  // Writer: stores into one fixed slot without advancing (single grabs).
  bool StoreAt(uint32_t slot, const uint8_t* source, uint32_t tag);

  // Reader: copies a frame into destination with the orientation rules.
  // grabbed: slot 0, else the newest slot. flip: 0 or 1 (other values count
  // as 1). Fails (false) without buffers, with a null destination or when the
  // frame does not fit capacity. On success *tag (when given) is the slot's
  // tag and *sequence the serial number of the copied frame.
  bool Copy(uint8_t* destination, uint64_t capacity, uint32_t* tag, bool grabbed, uint32_t flip,
            uint64_t* sequence) const;

  // Frames are numbered as they are stored (from 1). A frame is unread while
  // its number is above the last one marked read; unlike comparing the ring
  // indices this also holds after the writer has gone round the ring.
  bool HasUnread() const {
    return stored_.load(std::memory_order_acquire) > readUpTo_.load(std::memory_order_acquire);
  }
  void MarkReadUpTo(uint64_t sequence);
  // Number of the last frame marked read (0 before the first).
  uint64_t ReadUpTo() const { return readUpTo_.load(std::memory_order_acquire); }
  void MarkAllRead() { MarkReadUpTo(stored_.load(std::memory_order_acquire)); }

  uint32_t WriteIndex() const { return write_.load(std::memory_order_acquire); }
  uint32_t Tag(uint32_t slot) const;
  // Back to W = 0 and R = 3, used when the buffers are rebuilt.
  void ResetIndices();
  uint32_t ReadIndex() const { return read_.load(std::memory_order_acquire); }
  void SetReadIndex(uint32_t r) { read_.store(r % kSlots, std::memory_order_release); }

 private:
  static constexpr uint32_t kNone = 0xFFFFFFFF;
  static constexpr uint32_t kAllSlots = 0xFFFFFFFE;

  // Claims slot for writing unless a reader holds it.
  bool ClaimForWrite(uint32_t slot);
  void WaitForReaders() const;
  void FreeUnlocked();

  FrameLayout layout_;
  std::array<std::unique_ptr<uint8_t[]>, kSlots> slots_;
  std::array<std::atomic<uint32_t>, kSlots> tags_{};
  std::array<std::atomic<uint64_t>, kSlots> sequences_{};
  std::atomic<uint64_t> stored_{0};
  std::atomic<uint64_t> readUpTo_{0};
  // Readers currently copying each slot.
  mutable std::array<std::atomic<uint32_t>, kSlots> readers_{};
  // Slot being written, kNone, or kAllSlots while the buffers are rebuilt.
  std::atomic<uint32_t> writing_{kNone};
  std::atomic<bool> allocated_{false};
  std::atomic<uint32_t> write_{0};
  std::atomic<uint32_t> read_{3};
};

// The orientation copy on its own (also used by tests and benchmarks): h rows
// of w pixels of b bytes from source into destination. reverse: pixels of a
// row in reverse order; bottomUp: destination row i from source row h-1-i.
void CopyOriented(uint8_t* destination, const uint8_t* source, uint32_t width, uint32_t height,
                  uint32_t bytesPerPixel, bool reverse, bool bottomUp);

}  // namespace vexcam
