#pragma once
// The device table: every camera seen so far, numbered per model, shared by
// all processes of the user through one POSIX shared-memory block. Every
// read-modify-write of the block runs under an inter-process file lock, and
// each process that holds transport objects holds a shared lock on a "live"
// file, so that the block of processes that all died is discarded by the next
// process instead of living for ever.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vexcam {

inline constexpr uint32_t kMaxDevices = 32;
// Path bytes in a record: 259 characters and the terminator.
inline constexpr size_t kDevicePathCapacity = 260;

struct DeviceRecord {
  uint16_t vendorId = 0;     // 0 when empty
  uint16_t productId = 0;    // 0 when empty
  int32_t modelNumber = -1;  // cameras of the same vendor/product listed before this one
  char path[kDevicePathCapacity] = {};
};
static_assert(sizeof(DeviceRecord) == 268);
static_assert(offsetof(DeviceRecord, path) == 8);

// Layout of the shared block (little-endian, 8584 bytes).
struct SharedBlock {
  uint32_t liveObjects;  // transport objects alive in all processes
  DeviceRecord records[kMaxDevices];
  uint32_t count;  // entries in use, 0..32
};
static_assert(sizeof(SharedBlock) == 8584);
static_assert(offsetof(SharedBlock, records) == 4);
static_assert(offsetof(SharedBlock, count) == 8580);

// Receives the one diagnostic line of discovery (a record position that was
// unexpectedly occupied). Null by default: nothing is printed.
using DebugSink = void (*)(const char* message);

class CDeviceTable {
 public:
  // The process's attachment, shared by all transport objects of the process
  // (created on first use, released with the last one). Never null: without
  // shared memory the table is private to the process.
  static std::shared_ptr<CDeviceTable> Attach();

  ~CDeviceTable();
  CDeviceTable(const CDeviceTable&) = delete;
  CDeviceTable& operator=(const CDeviceTable&) = delete;

  // Live transport objects (the counter at offset 0).
  void AddLiveObject();
  void RemoveLiveObject();
  uint32_t LiveObjects() const;

  uint32_t Count() const;
  // False for an index not below the count (or 32).
  bool Record(uint32_t index, DeviceRecord* out) const;
  // Appends the paths not yet listed (case-insensitive compare) while room
  // remains; ids are parsed from the path. Returns the entry count.
  uint32_t AddDevices(const std::vector<std::string>& paths);
  // A copy of the whole block, for diagnostics and tests.
  SharedBlock Snapshot() const;

  // "/U3K9-MemMap.<uid>", or $VEXCAM_SHM_NAME when set.
  static std::string BlockName();
  // True when the named block exists now (tests).
  static bool BlockExists();
  static void SetDebugSink(DebugSink sink);

  // Parses "\\?\usb#vid_XXXX&pid_YYYY#..." (hex at characters 12..15, 21..24).
  static bool ParseIds(const std::string& path, uint16_t* vendorId, uint16_t* productId);

 private:
  CDeviceTable() = default;
  bool MapShared();
  void Release();
  static void ClearTable(SharedBlock* block);

  std::string name_;
  std::string lockPath_;
  std::string livePath_;
  int liveFd_ = -1;
  SharedBlock* block_ = nullptr;  // mapped block, or private_ when unshared
  std::unique_ptr<SharedBlock> private_;
  // Serialises the process's own threads around the private table; the file
  // lock covers them for the shared block.
  mutable std::mutex mutex_;
};

}  // namespace vexcam
