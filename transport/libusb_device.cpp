#include "transport/libusb_device.h"

#include <libusb.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/debug_log.h"
#include "transport/libusb_shared_handle.h"

namespace vexcam::usb {
namespace {

using Clock = std::chrono::steady_clock;

const char* StatusText(int status) {
  switch (status) {
    case LIBUSB_TRANSFER_TIMED_OUT:
      return "timed out";
    case LIBUSB_TRANSFER_STALL:
      return "stalled";
    case LIBUSB_TRANSFER_NO_DEVICE:
      return "device gone";
    case LIBUSB_TRANSFER_CANCELLED:
      return "cancelled";
    case LIBUSB_TRANSFER_OVERFLOW:
      return "overflow";
    default:
      return "transfer error";
  }
}

struct TransferDeleter {
  void operator()(libusb_transfer* t) const { libusb_free_transfer(t); }
};

// The flag is set on whichever thread handles the events and polled by the
// submitting thread: release here, acquire there, so that the status and
// length libusb wrote before the callback are visible to the waiter.
void LIBUSB_CALL OnTransferDone(libusb_transfer* transfer) {
  std::atomic_ref<int>(*static_cast<int*>(transfer->user_data)).store(1, std::memory_order_release);
}

bool Completed(int& flag) {
  return std::atomic_ref<int>(flag).load(std::memory_order_acquire) != 0;
}

TransferStatus StatusOf(libusb_transfer_status status) {
  switch (status) {
    case LIBUSB_TRANSFER_COMPLETED:
      return TransferStatus::kCompleted;
    case LIBUSB_TRANSFER_TIMED_OUT:
      return TransferStatus::kTimedOut;
    case LIBUSB_TRANSFER_CANCELLED:
      return TransferStatus::kCancelled;
    case LIBUSB_TRANSFER_STALL:
      return TransferStatus::kStalled;
    case LIBUSB_TRANSFER_NO_DEVICE:
      return TransferStatus::kNoDevice;
    default:
      return TransferStatus::kError;
  }
}

}  // namespace

LibusbDevice::LibusbDevice(std::shared_ptr<LibusbSharedHandle> handle)
    : handle_(std::move(handle)) {}

LibusbDevice::~LibusbDevice() = default;

int LibusbDevice::ControlTransfer(uint8_t requestType, uint8_t request, uint16_t value,
                                  uint16_t index, uint8_t* data, uint16_t length,
                                  uint32_t timeoutMs) {
  if (handle_->Gone()) return -1;
  const unsigned timeout = timeoutMs == kInfiniteTimeout ? 0 : std::max<uint32_t>(timeoutMs, 1);
  const int rc = libusb_control_transfer(handle_->Get(), requestType, request, value, index, data,
                                         length, timeout);
  if (rc == LIBUSB_ERROR_NO_DEVICE) handle_->MarkGone();
  if (rc < 0) {
    VEXCAM_DEBUG(kDebugTransport, "control request 0x%02X (type 0x%02X) on %s failed: %s", request,
                 requestType, DeviceName().c_str(), libusb_error_name(rc));
  }
  return rc < 0 ? -1 : rc;
}

TransferResult LibusbDevice::BulkTransfer(uint8_t endpoint, uint8_t* data, uint32_t length,
                                          uint32_t timeoutMs) {
  TransferResult result;
  if (handle_->Gone()) {
    result.status = TransferStatus::kNoDevice;
    return result;
  }
  const uint32_t epoch = handle_->CancelEpoch(endpoint);
  int packet = libusb_get_max_packet_size(libusb_get_device(handle_->Get()), endpoint);
  if (packet <= 0) packet = 512;
  const uint32_t pieceMax =
      std::max<uint32_t>(kLibusbPieceBytes / packet * packet, static_cast<uint32_t>(packet));
  const bool infinite = timeoutMs == kInfiniteTimeout;
  const Clock::time_point deadline =
      Clock::now() + std::chrono::milliseconds(infinite ? 0 : timeoutMs);

  uint32_t done = 0;
  result.status = TransferStatus::kCompleted;
  do {
    if (handle_->CancelEpoch(endpoint) != epoch) {
      result.status = TransferStatus::kCancelled;
      break;
    }
    unsigned pieceTimeout = 0;  // 0 = no limit in libusb
    if (!infinite) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0 && timeoutMs != 0) {
        result.status = TransferStatus::kTimedOut;
        break;
      }
      pieceTimeout = static_cast<unsigned>(std::max<int64_t>(left, 1));
    }
    const uint32_t piece = std::min(length - done, pieceMax);
    std::unique_ptr<libusb_transfer, TransferDeleter> transfer(libusb_alloc_transfer(0));
    if (!transfer) {
      result.status = TransferStatus::kError;
      break;
    }
    int completed = 0;
    libusb_fill_bulk_transfer(transfer.get(), handle_->Get(), endpoint, data + done,
                              static_cast<int>(piece), OnTransferDone, &completed, pieceTimeout);
    handle_->Register(transfer.get());
    const int rc = libusb_submit_transfer(transfer.get());
    if (rc != 0) {
      handle_->Unregister(transfer.get());
      // LIBUSB_ERROR_NO_MEM: the kernel refused the buffer (usbfs memory limit).
      if (rc == LIBUSB_ERROR_NO_DEVICE) handle_->MarkGone();
      VEXCAM_DEBUG(kDebugTransport,
                   "bulk transfer of %u bytes on endpoint 0x%02X of %s refused: %s%s", piece,
                   endpoint, DeviceName().c_str(), libusb_error_name(rc),
                   rc == LIBUSB_ERROR_NO_MEM ? " (usbfs memory limit, see vexcam doctor)" : "");
      result.status =
          rc == LIBUSB_ERROR_NO_DEVICE ? TransferStatus::kNoDevice : TransferStatus::kError;
      break;
    }
    // libusb cancels a transfer whose time-out ran out and reports it as timed
    // out once the cancel has completed: the buffer is free when this loop ends.
    while (!Completed(completed)) {
      timeval tv{0, 100000};
      libusb_handle_events_timeout_completed(handle_->Context(), &tv, &completed);
    }
    handle_->Unregister(transfer.get());
    const uint32_t actual = static_cast<uint32_t>(std::max(transfer->actual_length, 0));
    done += std::min(actual, piece);
    result.status = StatusOf(transfer->status);
    if (result.status == TransferStatus::kNoDevice) handle_->MarkGone();
    if (result.status != TransferStatus::kCompleted) {
      VEXCAM_DEBUG(kDebugTransport,
                   "bulk transfer on endpoint 0x%02X of %s ended after %u of %u bytes: %s",
                   endpoint, DeviceName().c_str(), done, length, StatusText(transfer->status));
    }
    if (result.status != TransferStatus::kCompleted || actual < piece) break;  // short: done
  } while (done < length);
  result.transferred = done;
  return result;
}

bool LibusbDevice::CancelPending(uint8_t endpoint) {
  handle_->CancelEndpoint(endpoint);
  return !handle_->Gone();
}

std::string LibusbDevice::DeviceName() const {
  libusb_device* dev = libusb_get_device(handle_->Get());
  char name[48];
  std::snprintf(name, sizeof(name), "USB bus %03u device %03u", libusb_get_bus_number(dev),
                libusb_get_device_address(dev));
  return name;
}

bool LibusbDevice::ClearHalt(uint8_t endpoint) {
  const int rc = libusb_clear_halt(handle_->Get(), endpoint);
  VEXCAM_DEBUG(kDebugTransport, "pipe reset of endpoint 0x%02X on %s: %s", endpoint,
               DeviceName().c_str(), rc == 0 ? "done" : libusb_error_name(rc));
  if (rc == LIBUSB_ERROR_NO_DEVICE) handle_->MarkGone();
  return rc == 0;
}

bool LibusbDevice::ResetPort() {
  const int rc = libusb_reset_device(handle_->Get());
  VEXCAM_DEBUG(kDebugTransport, "port reset of %s: %s", DeviceName().c_str(),
               rc == 0 ? "done" : libusb_error_name(rc));
  if (rc == LIBUSB_ERROR_NO_DEVICE) handle_->MarkGone();
  return rc == 0;
}

bool LibusbDevice::GetSpeed(uint32_t* code) {
  if (code == nullptr || handle_->Gone()) return false;
  const int speed = libusb_get_device_speed(libusb_get_device(handle_->Get()));
  if (speed <= LIBUSB_SPEED_UNKNOWN) return false;
  // Faster SuperSpeed variants are still the fast link.
  *code = static_cast<uint32_t>(std::min(speed, static_cast<int>(LIBUSB_SPEED_SUPER)));
  return true;
}

}  // namespace vexcam::usb
