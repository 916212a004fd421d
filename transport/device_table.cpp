#include "transport/device_table.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/debug_log.h"
#include "transport/file_lock.h"

namespace vexcam {
namespace {

std::mutex g_attachMutex;
std::weak_ptr<CDeviceTable> g_table;
pid_t g_tablePid = 0;
std::atomic<DebugSink> g_debugSink{nullptr};

std::string RuntimeDir() {
  const char* dir = std::getenv("XDG_RUNTIME_DIR");
  struct stat st {};
  if (dir != nullptr && dir[0] != '\0' && stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return "/tmp";
}

// "/name" -> "name" with anything but [A-Za-z0-9._-] replaced.
std::string FileSafe(const std::string& name) {
  std::string out;
  for (char c : name) {
    if (c == '/') continue;
    out +=
        (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-') ? c : '_';
  }
  return out;
}

bool HexField(const std::string& text, size_t pos, uint16_t* value) {
  unsigned v = 0;
  for (size_t i = pos; i < pos + 4; ++i) {
    const char c = text[i];
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    v = v * 16 +
        static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                  ? c - '0'
                                  : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
  }
  *value = static_cast<uint16_t>(v);
  return true;
}

}  // namespace

std::string CDeviceTable::BlockName() {
  const char* env = std::getenv("VEXCAM_SHM_NAME");
  if (env != nullptr && env[0] != '\0') {
    return env[0] == '/' ? std::string(env) : "/" + std::string(env);
  }
  return "/U3K9-MemMap." + std::to_string(getuid());
}

bool CDeviceTable::BlockExists() {
  int fd = shm_open(BlockName().c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return false;
  close(fd);
  return true;
}

void CDeviceTable::SetDebugSink(DebugSink sink) { g_debugSink.store(sink); }

bool CDeviceTable::ParseIds(const std::string& path, uint16_t* vendorId, uint16_t* productId) {
  if (path.size() < 25) return false;
  return HexField(path, 12, vendorId) && HexField(path, 21, productId);
}

void CDeviceTable::ClearTable(SharedBlock* block) {
  for (DeviceRecord& r : block->records) r = DeviceRecord{};
  block->count = 0;
}

std::shared_ptr<CDeviceTable> CDeviceTable::Attach() {
  std::lock_guard<std::mutex> lock(g_attachMutex);
  // A forked child does not reuse its parent's attachment: it needs its own
  // liveness lock.
  if (auto table = g_table.lock(); table && g_tablePid == getpid()) return table;
  std::shared_ptr<CDeviceTable> table(new CDeviceTable());
  if (!table->MapShared()) {
    table->private_ = std::make_unique<SharedBlock>();
    table->private_->liveObjects = 0;
    ClearTable(table->private_.get());
    table->block_ = table->private_.get();
  }
  g_table = table;
  g_tablePid = getpid();
  return table;
}

bool CDeviceTable::MapShared() {
  name_ = BlockName();
  const std::string base =
      RuntimeDir() + "/vexcam-" + std::to_string(getuid()) + "-" + FileSafe(name_);
  lockPath_ = base + ".lock";
  livePath_ = base + ".live";

  CFileLock lock(lockPath_);
  if (!lock.Locked()) return false;
  int live = open(livePath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (live < 0) return false;
  // Nobody else alive: whatever block exists was left by processes that are
  // gone, so start over with an empty table.
  const bool alone = flock(live, LOCK_EX | LOCK_NB) == 0;
  if (alone) shm_unlink(name_.c_str());
  int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    close(live);
    return false;
  }
  struct stat st {};
  bool fresh = false;
  if (fstat(fd, &st) != 0 || (static_cast<size_t>(st.st_size) < sizeof(SharedBlock) &&
                              (fresh = true, ftruncate(fd, sizeof(SharedBlock)) != 0))) {
    close(fd);
    close(live);
    return false;
  }
  void* view = mmap(nullptr, sizeof(SharedBlock), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  close(fd);
  if (view == MAP_FAILED) {
    close(live);
    return false;
  }
  block_ = static_cast<SharedBlock*>(view);
  if (fresh || alone) {
    block_->liveObjects = 0;
    ClearTable(block_);
  }
  // Converts the exclusive probe into the shared "alive" mark.
  flock(live, LOCK_SH);
  liveFd_ = live;
  return true;
}

CDeviceTable::~CDeviceTable() { Release(); }

void CDeviceTable::Release() {
  if (private_) return;
  CFileLock lock(lockPath_);
  munmap(block_, sizeof(SharedBlock));
  block_ = nullptr;
  if (liveFd_ >= 0) close(liveFd_);
  liveFd_ = -1;
  if (!lock.Locked()) return;
  // Last live process: remove the block so the next one starts empty.
  int live = open(livePath_.c_str(), O_RDWR | O_CLOEXEC);
  if (live < 0) return;
  if (flock(live, LOCK_EX | LOCK_NB) == 0) {
    shm_unlink(name_.c_str());
    unlink(livePath_.c_str());
    unlink(lockPath_.c_str());
  }
  close(live);
}

void CDeviceTable::AddLiveObject() {
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  ++block_->liveObjects;
}

void CDeviceTable::RemoveLiveObject() {
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  if (block_->liveObjects > 0) --block_->liveObjects;
}

uint32_t CDeviceTable::LiveObjects() const {
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  return block_->liveObjects;
}

uint32_t CDeviceTable::Count() const {
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  return block_->count > kMaxDevices ? kMaxDevices : block_->count;
}

bool CDeviceTable::Record(uint32_t index, DeviceRecord* out) const {
  if (out == nullptr) return false;
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  if (index >= kMaxDevices || index >= block_->count) return false;
  *out = block_->records[index];
  out->path[kDevicePathCapacity - 1] = '\0';  // another process may have left it open
  return true;
}

SharedBlock CDeviceTable::Snapshot() const {
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  return *block_;
}

uint32_t CDeviceTable::AddDevices(const std::vector<std::string>& paths) {
  std::lock_guard<std::mutex> guard(mutex_);
  CFileLock lock(private_ ? std::string() : lockPath_);
  SharedBlock& b = *block_;
  if (b.count > kMaxDevices) b.count = kMaxDevices;
  for (const std::string& path : paths) {
    uint16_t vid = 0;
    uint16_t pid = 0;
    if (path.size() >= kDevicePathCapacity || !ParseIds(path, &vid, &pid)) continue;
    int32_t sameModel = 0;
    bool listed = false;
    for (const DeviceRecord& r : b.records) {
      if (r.vendorId != vid || r.productId != pid) continue;
      if (strncasecmp(r.path, path.c_str(), kDevicePathCapacity) == 0) {
        listed = true;
        break;
      }
      ++sameModel;
    }
    if (listed || b.count >= kMaxDevices) continue;  // a full table drops the device
    DeviceRecord& slot = b.records[b.count];
    if (slot.productId != 0) {
      VEXCAM_DEBUG(kDebugTransport, "device table slot %u was occupied", b.count);
      if (DebugSink sink = g_debugSink.load()) {
        char line[96];
        std::snprintf(line, sizeof(line), "vexcam: device table slot %u was occupied\n", b.count);
        sink(line);
      }
    }
    slot = DeviceRecord{};
    slot.vendorId = vid;
    slot.productId = pid;
    slot.modelNumber = sameModel;
    std::memcpy(slot.path, path.c_str(), path.size() + 1);
    ++b.count;
  }
  return b.count;
}

}  // namespace vexcam
