#include "transport/vex_cy3_cam.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace vexcam {
namespace {

void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

// The transfer record that heads the transfer buffer (38 bytes, packed).
void WriteTransferRecord(uint8_t* record, uint8_t endpoint, uint32_t length) {
  std::memset(record, 0, kTransferRecordBytes);
  record[13] = endpoint;
  StoreLe32(record + 30, kTransferRecordBytes);  // buffer offset
  StoreLe32(record + 34, length);                // buffer length
}

uint32_t ErrorCode(usb::TransferStatus status) {
  switch (status) {
    case usb::TransferStatus::kCompleted:
      return 0;
    case usb::TransferStatus::kTimedOut:
      return ETIMEDOUT;
    case usb::TransferStatus::kCancelled:
      return ECANCELED;
    case usb::TransferStatus::kStalled:
      return EPIPE;
    case usb::TransferStatus::kNoDevice:
      return ENODEV;
    case usb::TransferStatus::kError:
      break;
  }
  return EIO;
}

}  // namespace

CVexCy3Cam::CVexCy3Cam(const uint32_t* guid) : CFx3Api(guid) {}

CVexCy3Cam::~CVexCy3Cam() {
  CloseStream();
  FreeTransferBuffer();
}

// ---- stream handle -------------------------------------------------------

std::shared_ptr<usb::IUsbDevice> CVexCy3Cam::CurrentStream() const {
  std::lock_guard<std::mutex> lock(streamMutex_);
  return stream_;
}

bool CVexCy3Cam::IsStreamOpen() const { return CurrentStream() != nullptr; }

uint32_t CVexCy3Cam::OpenStream() {
  if (IsStreamOpen()) return 1;
  std::shared_ptr<usb::IUsbDevice> opened = OpenDevice(SelectedIndex());
  if (opened == nullptr) return 0;
  std::lock_guard<std::mutex> lock(streamMutex_);
  if (stream_ == nullptr) {
    stream_ = std::move(opened);
    aborted_.store(false);  // an abort applies to the handle it was aimed at
  }
  return 1;
}

uint32_t CVexCy3Cam::CloseStream() {
  std::shared_ptr<usb::IUsbDevice> closing;
  {
    std::lock_guard<std::mutex> lock(streamMutex_);
    closing.swap(stream_);
  }
  return 1;  // the handle closes when the last user lets go of it
}

std::shared_ptr<usb::IUsbDevice> CVexCy3Cam::AcquireStream(bool* openedHere) {
  *openedHere = false;
  if (auto stream = CurrentStream()) return stream;
  if (!OpenStream()) return nullptr;
  *openedHere = true;
  return CurrentStream();
}

uint32_t CVexCy3Cam::AbortStream() {
  aborted_.store(true);
  if (auto stream = CurrentStream()) {
    stream->CancelPending(kEpFrameIn);
    stream->CancelPending(kEpAltIn);
  }
  return 1;
}

uint32_t CVexCy3Cam::SendFrameRequest(usb::IUsbDevice* handle) {
  std::shared_ptr<usb::IUsbDevice> stream;
  if (handle == nullptr) {
    stream = CurrentStream();
    handle = stream.get();
  }
  return SendVendorRequestOn(handle, kReqTypeOutEndpoint, kReqFrame, 0, 0, nullptr, nullptr);
}

// ---- bulk transfers --------------------------------------------------------

uint32_t CVexCy3Cam::Finish(const usb::TransferResult& result, uint32_t* transferred) {
  if (result.status == usb::TransferStatus::kCompleted && result.deviceStatus == 0) {
    lastIoError_.store(0);
    *transferred = result.transferred;
    return 1;
  }
  if (result.status == usb::TransferStatus::kCompleted ||
      result.status == usb::TransferStatus::kStalled) {
    // The device ended the transfer with an error status: bytes may have
    // moved, but the data is not trusted.
    lastIoError_.store(result.status == usb::TransferStatus::kStalled ? EPIPE : EIO);
    *transferred = result.transferred;
    SleepMs(1);
    return 0;
  }
  lastIoError_.store(ErrorCode(result.status));
  return 0;
}

uint32_t CVexCy3Cam::TransferDirect(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                    uint8_t endpoint, uint32_t* transferred, uint32_t timeoutMs) {
  uint32_t moved = 0;
  if (transferred != nullptr) *transferred = 0;
  if (handle == nullptr || buffer == nullptr || n > kMaxTransferBytes || !HasTransferBuffer())
    return 0;
  // The access layer cancels a timed-out transfer and waits for it before
  // returning, so the buffer is free again when this returns.
  const uint32_t ok = Finish(handle->BulkTransfer(endpoint, buffer, n, timeoutMs), &moved);
  if (transferred != nullptr) *transferred = moved;
  return ok;
}

uint32_t CVexCy3Cam::TransferDirect3s(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                      uint8_t endpoint, uint32_t* transferred) {
  return TransferDirect(handle, buffer, n, endpoint, transferred, kTransfer3sMs);
}

uint32_t CVexCy3Cam::ReadFrameArmed(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                    uint8_t endpoint, uint32_t* transferred) {
  if (transferred != nullptr) *transferred = 0;
  std::shared_ptr<usb::IUsbDevice> stream;
  if (handle == nullptr) {
    stream = CurrentStream();
    handle = stream.get();
  }
  if (handle == nullptr || !SendFrameRequest(handle)) return 0;
  return TransferDirect(handle, buffer, n, endpoint, transferred, kArmedTimeoutMs);
}

uint32_t CVexCy3Cam::TransferBuffered(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                      uint8_t endpoint, uint32_t* transferred) {
  if (transferred != nullptr) *transferred = 0;
  if (buffer == nullptr || n > kMaxTransferBytes) return 0;
  std::shared_ptr<usb::IUsbDevice> stream;
  if (handle == nullptr) {
    stream = CurrentStream();
    handle = stream.get();
  }
  if (handle == nullptr) return 0;
  std::lock_guard<std::mutex> lock(bufferLock_);
  uint8_t* record = TransferBuffer();
  if (record == nullptr) return 0;
  uint8_t* data = record + kTransferRecordBytes;
  WriteTransferRecord(record, endpoint, n);
  const bool in = (endpoint & 0x80) != 0;
  if (!in) std::memcpy(data, buffer, n);
  uint32_t moved = 0;
  const uint32_t ok = Finish(handle->BulkTransfer(endpoint, data, n, kTransfer3sMs), &moved);
  if (!ok) return 0;
  if (moved > n) return 0;
  if (in) std::memcpy(buffer, data, moved);
  if (transferred != nullptr) *transferred = moved;
  return 1;
}

// ---- frame reads -----------------------------------------------------------

void CVexCy3Cam::SetStreamRules(const StreamRules& rules) {
  sleepInsteadOfStrobe_.store(rules.sleepInsteadOfStrobe);
  commandPieceBytes_.store(rules.commandPieceBytes);
}

uint32_t CVexCy3Cam::PulseUpdateStrobe() {
  const uint32_t on = WriteFpgaRegister(kFpgaUpdateStrobe, 1);
  const uint32_t off = WriteFpgaRegister(kFpgaUpdateStrobe, 0);
  return on && off;
}

uint32_t CVexCy3Cam::ReadFrameHeader(FrameDescriptor& frame) {
  bool opened = false;
  std::shared_ptr<usb::IUsbDevice> stream = AcquireStream(&opened);
  if (stream == nullptr) return 0;
  if (!aborted_.load() && SendFrameRequest(stream.get())) {
    for (uint32_t attempt = 0; attempt < kHeaderAttempts && !aborted_.load(); ++attempt) {
      uint8_t header[kFrameHeaderBytes] = {};
      uint32_t got = 0;
      if (TransferDirect(stream.get(), header, sizeof(header), kEpFrameIn, &got,
                         kHeaderTimeoutMs) &&
          got == sizeof(header)) {
        std::memcpy(frame.header, header, sizeof(header));
        frame.tag = LoadLe32(header + kHeaderTagOffset);
        return 1;
      }
      if (aborted_.load()) break;
      if (!sleepInsteadOfStrobe_.load()) {
        PulseUpdateStrobe();
      } else {
        SleepMs(200);
      }
      SleepMs(10);
      if (!SendFrameRequest(stream.get())) break;
    }
  }
  if (opened) CloseStream();
  return 0;
}

bool CVexCy3Cam::ReadFramePiece(usb::IUsbDevice* stream, uint8_t* to, uint32_t piece,
                                uint32_t timeoutMs) {
  uint32_t got = 0;
  // A short piece means a torn frame: the rest would land out of place.
  return !aborted_.load() && TransferDirect(stream, to, piece, kEpFrameIn, &got, timeoutMs) != 0 &&
         got == piece;
}

uint32_t CVexCy3Cam::ReadFramePayload(FrameDescriptor& frame, uint32_t timeoutMs) {
  const uint32_t length = LoadLe32(frame.header + kHeaderPayloadOffset);
  if (frame.destination == nullptr || length > frame.capacity) return 0;
  bool opened = false;
  std::shared_ptr<usb::IUsbDevice> stream = AcquireStream(&opened);
  if (stream == nullptr) return 0;
  uint32_t done = 0;
  bool ok = true;
  while (ok && done < length) {
    const uint32_t piece = std::min(length - done, kPayloadPieceBytes);
    ok = ReadFramePiece(stream.get(), frame.destination + done, piece, timeoutMs);
    done += piece;
  }
  if (opened) CloseStream();
  return ok ? 1 : 0;
}

uint32_t CVexCy3Cam::ReadFrameAlt(FrameDescriptor& frame) {
  if (frame.destination == nullptr || frame.expectedSize > frame.capacity) return 0;
  bool opened = false;
  std::shared_ptr<usb::IUsbDevice> stream = AcquireStream(&opened);
  if (stream == nullptr) return 0;
  uint32_t got = 0;
  const bool ok =
      !aborted_.load() &&
      ReadFrameArmed(stream.get(), frame.destination, frame.expectedSize, kEpAltIn, &got) &&
      got == frame.expectedSize;
  if (!ok && opened) CloseStream();
  return ok ? 1 : 0;
}

uint32_t CVexCy3Cam::SendMemoryCommand(usb::IUsbDevice* handle, bool write, uint64_t address,
                                       uint32_t bytes) {
  uint8_t block[kMemoryCommandBytes] = {};
  std::memcpy(block, write ? "QU3W" : "QU3R", 4);
  StoreLe32(block + 4, 2);
  StoreLe32(block + 8, static_cast<uint32_t>(address));
  StoreLe32(block + 12, static_cast<uint32_t>(address >> 32));
  StoreLe32(block + 16, bytes);
  uint32_t got = 0;
  return TransferDirect3s(handle, block, sizeof(block), kEpCommandOut, &got) &&
         got == sizeof(block);
}

uint32_t CVexCy3Cam::ReadFrameByCommand(FrameDescriptor& frame, uint32_t* length,
                                        uint32_t timeoutMs) {
  if (length == nullptr || frame.destination == nullptr) return 0;
  // Whole 16 KiB units plus one more, as the camera sends them.
  const uint64_t total = ((static_cast<uint64_t>(*length) >> 14) + 1) << 14;
  if (total > frame.capacity) return 0;
  const uint32_t pieceBytes = commandPieceBytes_.load();
  const bool pieced = pieceBytes != 0;
  const uint32_t pieceSize =
      static_cast<uint32_t>(pieced ? std::min<uint64_t>(total, pieceBytes) : total);
  bool opened = false;
  std::shared_ptr<usb::IUsbDevice> stream = AcquireStream(&opened);
  if (stream == nullptr) return 0;
  uint32_t remaining = static_cast<uint32_t>(total);
  uint32_t done = 0;
  bool ok = true;
  bool first = true;
  while (ok && remaining > 0) {
    const uint32_t piece = std::min(pieceSize, remaining);
    if (first || !pieced) {
      ok = !aborted_.load() && SendMemoryCommand(stream.get(), false, 0, pieceSize);
      first = false;
      if (!ok) break;
    }
    ok = ReadFramePiece(stream.get(), frame.destination + done, piece, timeoutMs);
    done += piece;
    remaining -= piece;
  }
  if (opened) CloseStream();
  if (!ok) return 0;
  *length = done;
  return 1;
}

// ---- memory ----------------------------------------------------------------

template <class MovePiece>
uint32_t CVexCy3Cam::TransferMemory(bool write, uint64_t address, uint32_t length,
                                    MovePiece&& movePiece) {
  if (length > kMaxTransferBytes) return 0;
  const uint32_t total = length / kMemoryUnitBytes * kMemoryUnitBytes + kMemoryUnitBytes;
  bool opened = false;
  std::shared_ptr<usb::IUsbDevice> stream = AcquireStream(&opened);
  if (stream == nullptr) return 0;
  std::vector<uint8_t> tail;
  bool ok = true;
  for (uint32_t done = 0; ok && done < total;) {
    const uint32_t piece = std::min(total - done, kMemoryPieceBytes);
    ok = SendMemoryCommand(stream.get(), write, address + done, piece) != 0 &&
         movePiece(stream.get(), done, piece, tail);
    done += piece;
  }
  if (opened) CloseStream();
  return ok ? 1 : 0;
}

uint32_t CVexCy3Cam::ReadMemory(uint64_t address, uint8_t* destination, uint32_t length) {
  if (destination == nullptr) return 0;
  auto readPiece = [&](usb::IUsbDevice* stream, uint32_t done, uint32_t piece,
                       std::vector<uint8_t>& tail) {
    // The piece that runs past the caller's length lands in a scratch buffer.
    const bool past = done + piece > length;
    if (past) tail.assign(piece, 0);
    uint8_t* target = past ? tail.data() : destination + done;
    uint32_t got = 0;
    if (!TransferDirect(stream, target, piece, kEpFrameIn, &got, kTransfer3sMs)) {
      SleepMs(1);
      return false;
    }
    if (got != piece) return false;
    if (past && length > done) std::memcpy(destination + done, tail.data(), length - done);
    return true;
  };
  return TransferMemory(false, address, length, readPiece);
}

uint32_t CVexCy3Cam::WriteMemory(uint64_t address, const uint8_t* source, uint32_t length) {
  if (source == nullptr) return 0;
  auto writePiece = [&](usb::IUsbDevice* stream, uint32_t done, uint32_t piece,
                        std::vector<uint8_t>& tail) {
    // Bytes past the caller's length are sent as zeros.
    uint8_t* data = const_cast<uint8_t*>(source) + done;
    if (done + piece > length) {
      tail.assign(piece, 0);
      if (length > done) std::memcpy(tail.data(), source + done, length - done);
      data = tail.data();
    }
    uint32_t got = 0;
    return TransferDirect3s(stream, data, piece, kEpCommandOut, &got) != 0 && got == piece;
  };
  return TransferMemory(true, address, length, writePiece);
}

// ---- vendor requests and the serial bus ----------------------------------

uint32_t CVexCy3Cam::WriteSerialBus(uint8_t address, const uint8_t* bytes, uint32_t count,
                                    uint32_t /*timeoutMs*/) {
  if (bytes == nullptr || count == 0 || count > kMaxSerialBusBytes) return 0;
  uint8_t area[kVendorDataBytes] = {};
  std::memcpy(area, bytes, count);
  return SendVendorRequest(kReqTypeOut, kReqSerialWrite, static_cast<uint16_t>(count), address,
                           area, nullptr);
}

uint32_t CVexCy3Cam::ReadSerialBus(uint8_t address, uint8_t* bytes, uint32_t count,
                                   uint32_t /*timeoutMs*/) {
  if (bytes == nullptr || count == 0 || count > kMaxSerialBusBytes) return 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  if (!SendVendorRequest(kReqTypeIn, kReqSerialRead, static_cast<uint16_t>(count), address | 1u,
                         area, &got))
    return 0;
  if (got < count) return 0;  // fewer bytes than asked: nothing valid to hand out
  std::memcpy(bytes, area, count);
  return 1;
}

uint32_t CVexCy3Cam::WriteControllerWord(uint16_t address, uint32_t value) {
  uint8_t area[kVendorDataBytes] = {};
  StoreLe32(area, value);
  return SendVendorRequest(kReqTypeOut, kReqControllerWordWrite,
                           static_cast<uint16_t>(address >> 15), address & 0x7FFF, area, nullptr);
}

uint32_t CVexCy3Cam::ReadControllerWord(uint16_t address, uint32_t* value) {
  if (value == nullptr) return 0;
  *value = 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  const uint32_t ok = SendVendorRequest(kReqTypeIn, kReqControllerWordRead, 0, address, area, &got);
  if (ok && got == kVendorDataBytes) *value = static_cast<uint32_t>(area[0] | area[1] << 8);
  return ok;
}

uint32_t CVexCy3Cam::WriteControllerPair(uint16_t a, uint16_t b) {
  uint8_t area[kVendorDataBytes] = {};
  area[0] = static_cast<uint8_t>(a >> 8);
  area[1] = static_cast<uint8_t>(a);
  area[2] = static_cast<uint8_t>(b >> 8);
  area[3] = static_cast<uint8_t>(b);
  return SendVendorRequest(kReqTypeOut, kReqControllerPair, 0, 0, area, nullptr);
}

uint32_t CVexCy3Cam::ReadControllerValue(uint16_t address, uint32_t* value) {
  if (value == nullptr) return 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  if (!SendVendorRequest(kReqTypeIn, kReqControllerValue, address, 0, area, &got) || got < 1)
    return 0;
  *value = static_cast<uint32_t>(area[0] | area[1] << 8);
  return 1;
}

uint32_t CVexCy3Cam::SendRequestCC() {
  return SendVendorRequest(kReqTypeOutEndpoint, kReqCC, 0, 0, nullptr, nullptr);
}

uint32_t CVexCy3Cam::WriteCommandByte(uint8_t value) {
  uint8_t area[kVendorDataBytes] = {value};
  return SendVendorRequest(kReqTypeOut, kReqCommandByteWrite, 0, 0, area, nullptr);
}

uint32_t CVexCy3Cam::ReadCommandByte(uint8_t* value) {
  if (value == nullptr) return 0;
  uint8_t area[kVendorDataBytes] = {};
  uint32_t got = 0;
  if (!SendVendorRequest(kReqTypeIn, kReqCommandByteRead, 0, 0, area, &got) || got < 1) return 0;
  *value = area[0];
  return 1;
}

uint32_t CVexCy3Cam::WriteFpgaRegister(uint8_t reg, uint8_t value) {
  const uint8_t bytes[3] = {reg, 0x00, value};
  std::lock_guard<std::mutex> lock(registerLock_);
  return WriteSerialBus(kBusFpga, bytes, 3, kSerialBusTimeoutMs);
}

uint32_t CVexCy3Cam::ReadFpgaRegister(uint8_t reg, uint8_t* value) {
  if (value == nullptr) return 0;
  uint8_t answer[2] = {};
  std::lock_guard<std::mutex> lock(registerLock_);
  if (!WriteSerialBus(kBusFpga, &reg, 1, kSerialBusTimeoutMs)) return 0;
  if (!ReadSerialBus(kBusFpga | 1u, answer, 2, kSerialBusTimeoutMs)) return 0;
  *value = answer[1];  // the register file answers with a leading byte
  return 1;
}

uint32_t CVexCy3Cam::WriteAuxRegister(uint8_t reg, uint8_t value) {
  const uint8_t bytes[2] = {reg, value};
  return WriteSerialBus(kBusAux, bytes, 2, kSerialBusTimeoutMs);
}

uint32_t CVexCy3Cam::ReadAuxRegister(uint8_t reg, uint8_t* value) {
  if (value == nullptr) return 0;
  if (!WriteSerialBus(kBusAux, &reg, 1, kSerialBusTimeoutMs)) return 0;
  return ReadSerialBus(kBusAux | 1u, value, 1, kSerialBusTimeoutMs);
}

uint32_t CVexCy3Cam::WriteSromByte(uint16_t address, uint8_t value) {
  const uint8_t bytes[3] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
                            value};
  if (!WriteSerialBus(kBusEeprom, bytes, 3, kSerialBusTimeoutMs)) return 0;
  SleepMs(14);  // the EEPROM's write cycle
  return 1;
}

uint32_t CVexCy3Cam::ReadSromByte(uint16_t address, uint8_t* value) {
  if (value == nullptr) return 0;
  const uint8_t bytes[2] = {static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
  if (!WriteSerialBus(kBusEeprom, bytes, 2, kSerialBusTimeoutMs)) return 0;
  SleepMs(10);
  return ReadSerialBus(kBusEeprom | 1u, value, 1, kSerialBusTimeoutMs);
}

// ---- controller ------------------------------------------------------------

uint32_t CVexCy3Cam::ReleaseController() {
  CloseStream();
  FreeTransferBuffer();
  return 1;
}

uint32_t CVexCy3Cam::SelectDevice(uint32_t index) {
  CloseStream();
  if (!IsDeviceOpenable(index)) return 0;
  SetSelection(index);
  return 1;
}

uint32_t CVexCy3Cam::GetFpgaVersion(uint16_t* version) {
  if (version == nullptr) return 0;
  uint8_t high = 0;
  uint8_t low = 0;
  ReadFpgaRegister(16, &high);  // failures leave 0
  ReadFpgaRegister(17, &low);
  *version = static_cast<uint16_t>(high << 8 | low);
  return 1;
}

}  // namespace vexcam
