#pragma once
// The transport object of one camera: the stream operations (frame header and
// payload, command reads, memory and EEPROM access) over the long-lived
// stream handle, the bulk transfers, and the controller interface that the
// camera device model and the sensor drivers use.
//
// Stream operations open the stream handle when they find it closed;
// ReadFramePayload, ReadFrameByCommand, ReadMemory and WriteMemory then close
// it again before returning, ReadFrameHeader and ReadFrameAlt only when they
// fail. A handle that was open stays open.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "transport/controller_base.h"
#include "transport/frame_descriptor.h"
#include "transport/fx3_api.h"

namespace vexcam {

// Frame payloads are read in pieces of this size.
inline constexpr uint32_t kPayloadPieceBytes = 0x80000;
// Header read: attempts, and the wait of one attempt.
inline constexpr uint32_t kHeaderAttempts = 30;
inline constexpr uint32_t kHeaderTimeoutMs = 200;
// FPGA update strobe pulsed after a failed header attempt.
inline constexpr uint8_t kFpgaUpdateStrobe = 108;
// Memory commands: "QU3R"/"QU3W" block, lengths in 4 KiB units, 16 MiB pieces.
inline constexpr uint32_t kMemoryCommandBytes = 32;
inline constexpr uint32_t kMemoryUnitBytes = 4096;
inline constexpr uint32_t kMemoryPieceBytes = 0x1000000;
// Command frame reads: 16 KiB units.
inline constexpr uint32_t kCommandUnitBytes = 16384;
// Time-outs of the fixed-time transfers.
inline constexpr uint32_t kTransfer3sMs = 3000;
inline constexpr uint32_t kArmedTimeoutMs = 5000;

// How the selected camera's stream behaves; the camera layer sets these from
// its product row when it opens a camera.
struct StreamRules {
  // Waiting for a header: sleep 200 ms instead of pulsing the update strobe.
  bool sleepInsteadOfStrobe = false;
  // Command frame reads: one command, then pieces of this size; 0 = one
  // command and one transfer for the whole frame.
  uint32_t commandPieceBytes = 0;
};

class CVexCy3Cam : public CFx3Api, public CControllerBase {
 public:
  explicit CVexCy3Cam(const uint32_t* guid = nullptr);
  // Slots in this order.
  ~CVexCy3Cam() override;
  // 1 when the stream handle is open (opened now if it was closed).
  virtual uint32_t OpenStream();
  // Frame request, then up to 30 header attempts; fills header and tag.
  virtual uint32_t ReadFrameHeader(FrameDescriptor& frame);
  // Reads the payload length named in the header into the destination.
  virtual uint32_t ReadFramePayload(FrameDescriptor& frame, uint32_t timeoutMs);
  // Whole frame of expectedSize bytes from the alternate endpoint 0x83.
  virtual uint32_t ReadFrameAlt(FrameDescriptor& frame);
  // Frame through a "QU3R" command at address 0; *length in: bytes wanted,
  // out: bytes read (the request is rounded up to whole 16 KiB units plus one).
  virtual uint32_t ReadFrameByCommand(FrameDescriptor& frame, uint32_t* length, uint32_t timeoutMs);
  virtual uint32_t CloseStream();
  // Camera memory through "QU3W"/"QU3R" commands; length at most 64 MiB. Only
  // length bytes of source/destination are touched: the camera moves whole
  // 4 KiB units and the tail goes through a scratch buffer.
  virtual uint32_t WriteMemory(uint64_t address, const uint8_t* source, uint32_t length);
  virtual uint32_t ReadMemory(uint64_t address, uint8_t* destination, uint32_t length);
  // EEPROM bytes (14 ms write cycle; 10 ms between address and read).
  virtual uint32_t WriteSromByte(uint16_t address, uint8_t value);
  virtual uint32_t ReadSromByte(uint16_t address, uint8_t* value);
  virtual uint32_t SendRequestCC();
  virtual uint32_t WriteCommandByte(uint8_t value);
  virtual uint32_t ReadCommandByte(uint8_t* value);
  // Through the transfer buffer, 3000 ms; handle null = stream handle.
  virtual uint32_t TransferBuffered(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                    uint8_t endpoint, uint32_t* transferred);
  // Frame request on the handle, then a direct transfer of up to 5000 ms.
  virtual uint32_t ReadFrameArmed(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                  uint8_t endpoint, uint32_t* transferred);
  // Straight into the caller's buffer. n at most 64 MiB and the transfer
  // buffer must exist. A transfer that times out is cancelled and waited for;
  // one that ends with a device status fails (after 1 ms) even when bytes moved.
  virtual uint32_t TransferDirect(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                  uint8_t endpoint, uint32_t* transferred, uint32_t timeoutMs);
  virtual uint32_t TransferDirect3s(usb::IUsbDevice* handle, uint8_t* buffer, uint32_t n,
                                    uint8_t endpoint, uint32_t* transferred);

  // Frame request (0xC2) on the handle given, else on the stream handle.
  uint32_t SendFrameRequest(usb::IUsbDevice* handle = nullptr);
  bool IsStreamOpen() const;
  void SetStreamRules(const StreamRules& rules);

  // CControllerBase
  uint32_t ReleaseController() override;
  uint32_t SelectDevice(uint32_t index) override;
  uint32_t GetFpgaVersion(uint16_t* version) override;
  uint32_t WriteSerialBus(uint8_t address, const uint8_t* bytes, uint32_t count,
                          uint32_t timeoutMs) override;
  uint32_t ReadSerialBus(uint8_t address, uint8_t* bytes, uint32_t count,
                         uint32_t timeoutMs) override;
  uint32_t WriteControllerWord(uint16_t address, uint32_t value) override;
  uint32_t ReadControllerWord(uint16_t address, uint32_t* value) override;
  uint32_t WriteControllerPair(uint16_t a, uint16_t b) override;
  uint32_t ReadControllerValue(uint16_t address, uint32_t* value) override;
  uint32_t WriteFpgaRegister(uint8_t reg, uint8_t value) override;
  uint32_t ReadFpgaRegister(uint8_t reg, uint8_t* value) override;
  uint32_t WriteAuxRegister(uint8_t reg, uint8_t value) override;
  uint32_t ReadAuxRegister(uint8_t reg, uint8_t* value) override;
  // Cancels the read pending on the stream; until the stream is closed or
  // reopened, further stream reads fail at once, so a stop that lands between
  // two reads is not lost.
  uint32_t AbortStream() override;

 private:
  // The stream handle for one operation; opened on demand (openedHere tells).
  std::shared_ptr<usb::IUsbDevice> AcquireStream(bool* openedHere);
  std::shared_ptr<usb::IUsbDevice> CurrentStream() const;
  uint32_t SendMemoryCommand(usb::IUsbDevice* handle, bool write, uint64_t address, uint32_t bytes);
  // One piece of a frame into place from the frame endpoint; false when
  // aborted, failed or short.
  bool ReadFramePiece(usb::IUsbDevice* stream, uint8_t* to, uint32_t piece, uint32_t timeoutMs);
  // ReadMemory and WriteMemory: `length` rounded up to whole units and moved
  // in pieces, each announced by a memory command, then moved by
  // movePiece(stream, done, piece, tail) (tail: scratch for the last piece).
  template <class MovePiece>
  uint32_t TransferMemory(bool write, uint64_t address, uint32_t length, MovePiece&& movePiece);
  uint32_t PulseUpdateStrobe();

  uint32_t Finish(const usb::TransferResult& result, uint32_t* transferred);

  std::atomic<bool> sleepInsteadOfStrobe_{false};
  std::atomic<uint32_t> commandPieceBytes_{0};
  mutable std::mutex streamMutex_;  // guards stream_ (held only to copy or swap it)
  std::shared_ptr<usb::IUsbDevice> stream_;
  std::atomic<bool> aborted_{false};
  std::mutex registerLock_;  // one FPGA register transaction
  std::mutex bufferLock_;    // the transfer buffer during a buffered transfer
};

}  // namespace vexcam
