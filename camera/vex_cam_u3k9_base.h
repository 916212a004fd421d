#pragma once
// The camera device model: the object through which an instance drives one
// physical camera. It owns the transport (CVexCy3Cam), the sensor driver the
// factory chose for the product id, the staging buffer, the frame ring and the
// transfer thread. Most sensor controls forward to the driver unchanged;
// getters return the value itself (0 when the driver fails or is missing) and
// report success through the optional ok pointer.
//
// Threads: the transfer thread is owned here; StartCapture starts it,
// StopCapture (and everything that tears down) stops and joins it. It is the
// only writer of the ring; readers (CopyFrame and friends) run on the
// caller's threads without a lock (see camera/frame_ring.h).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "camera/frame_ring.h"
#include "camera/product_table.h"
#include "camera/transfer_counters.h"
#include "platform/event.h"
#include "sensors/sensor_base.h"
#include "sensors/sensor_constants.h"
#include "transport/frame_descriptor.h"
#include "transport/vex_cy3_cam.h"
#include "vexcam/VexCamTypes.h"

namespace vexcam {

// Capture modes of the transfer thread.
inline constexpr uint32_t kCaptureContinuous = 0;
inline constexpr uint32_t kCaptureSingle = 1;
inline constexpr uint32_t kCaptureNextFrame = 2;  // after FPGA register 8 changes
inline constexpr uint32_t kCaptureHeaderOnly = 3;

// WaitFrame results.
inline constexpr uint32_t kWaitTransferError = 1;
inline constexpr uint32_t kWaitTimeout = 2;
inline constexpr uint32_t kWaitNewFrame = 3;

// GetFrame / GetFrameEx / GetGrabbedFrame results: 0 when the frame was
// copied; kFrameNotCopied when nothing was copied (no frame buffers, null
// destination, destination smaller than the frame).
inline constexpr uint32_t kFrameCopied = 0;
inline constexpr uint32_t kFrameNotCopied = 0xFFFFFFFF;
inline constexpr uint32_t kGrabNoDestination = 0xFFFFFFFE;
// GrabOneFrame: 2 without transport or staging buffer, else 0.
inline constexpr uint32_t kGrabNotReady = 2;

inline constexpr uint32_t kNoProductId = 0xFFFFFFFF;
inline constexpr uint32_t kDefaultFrameTimeoutMs = 5000;
inline constexpr uint32_t kDeviceInfoBytes = 64;

class CVexCamU3K9Base {
 public:
  CVexCamU3K9Base();
  CVexCamU3K9Base(const CVexCamU3K9Base&) = delete;
  CVexCamU3K9Base& operator=(const CVexCamU3K9Base&) = delete;

  // ---- Virtual operations, in slot order. ----
  virtual ~CVexCamU3K9Base();
  // CloseCamera, then a new transport for the device interface class (the
  // default one when guid is null). 1.
  virtual uint32_t CreateController(HWND notifyWindow, const uint32_t* guid);
  virtual uint32_t InitCamera();
  virtual uint32_t CloseCamera(HWND notifyWindow = nullptr);
  // 64 bytes: vendor request 0xB0 / 0xB1.
  virtual uint32_t GetDeviceInfoA(uint8_t* block);
  virtual uint32_t GetSensorInfo(SensorInfo* info);
  virtual uint32_t GetDeviceInfoB(uint8_t* block);
  // 0 when the open succeeded, 0xFFFFFFFF otherwise.
  virtual uint32_t ReopenCamera(uint32_t deviceNumber);
  virtual uint32_t OpenCamera(uint32_t deviceNumber);
  virtual uint32_t Reserved9() { return 0; }
  virtual uint32_t IsDeviceAvailable(uint32_t deviceNumber);
  virtual uint32_t GetDeviceCount(uint32_t productId);
  // Writes the device's name (at most size bytes with the terminator).
  virtual uint32_t GetDeviceName(uint32_t tableIndex, char* text, uint32_t size);
  virtual uint32_t SetProductId(uint32_t productId);
  virtual uint32_t GetProductId() { return productId_.load(); }
  virtual uint32_t GetDeviceVendorId(uint32_t tableIndex);
  virtual uint32_t GetDeviceProductId(uint32_t tableIndex);
  virtual uint32_t GetDeviceModelIndex(uint32_t tableIndex);
  virtual uint32_t IsModel3042();
  virtual uint32_t GetDeviceNumber() { return deviceNumber_.load(); }
  virtual uint32_t StartCapture(uint32_t mode);
  virtual uint32_t StopCapture();
  // Copies a ring frame (newest, or slot 0 when grabbed) with the orientation
  // rules; 0 when it does not fit size or there is no frame buffer.
  virtual uint32_t CopyFrame(uint8_t* destination, uint64_t size, uint32_t* tag, uint32_t grabbed,
                             uint32_t flip);
  virtual uint32_t SetCaptureMode(uint32_t mode);
  virtual uint32_t ResetTransfer();
  // The transfer thread's loop over the frame path of the product's row.
  virtual uint32_t TransferLoop();
  virtual uint32_t ApplyCaptureSettings();
  virtual uint32_t GetMaxDeviceCount() { return kMaxDevices; }
  virtual uint32_t ReadFpgaStatus();
  virtual uint32_t GrabOneFrame();
  virtual uint32_t Reserved32() { return 0xFFFFFFFF; }
  // capacity: bytes available at destination (a smaller buffer than the
  // frame is refused). Returns kFrameCopied, kFrameNotCopied, or
  // kGrabNoDestination for a null destination.
  virtual uint32_t GetGrabbedFrame(uint8_t* destination, uint64_t capacity, uint32_t reserved1,
                                   uint32_t reserved2, uint32_t flip);
  virtual uint32_t SetFrameTimeout(uint32_t ms);
  virtual uint32_t WaitFrame(uint32_t timeoutMs);
  // Copies the newest frame and marks it read. kFrameCopied or kFrameNotCopied.
  virtual uint32_t GetFrame(uint8_t* destination, uint64_t capacity, uint32_t reserved1,
                            uint32_t reserved2, uint32_t flip);
  virtual uint32_t GetFrameEx(uint8_t* destination, uint32_t* tag, uint64_t capacity,
                              uint32_t reserved1, uint32_t reserved2, uint32_t flip);
  virtual uint32_t Reserved38() { return 0; }
  virtual uint32_t SetDataBits(uint32_t mode);
  virtual uint32_t SetSamplingRate(uint32_t rate);
  virtual uint32_t GetSamplingRate(uint32_t* ok = nullptr);
  // Camera order (x, y, width, height, flag); the driver takes (x, width, y, height, flag).
  virtual uint32_t SetCaptureArea(uint32_t x, uint32_t y, uint32_t width, uint32_t height,
                                  uint32_t areaFlag);
  virtual uint32_t GetCaptureArea(uint32_t* x, uint32_t* y, uint32_t* width, uint32_t* height,
                                  uint32_t* areaFlag);
  virtual uint32_t SetMirrorH(uint32_t on);
  virtual uint32_t SetMirrorV(uint32_t on);
  virtual uint32_t GetMirrorH(uint32_t* ok = nullptr);
  virtual uint32_t GetMirrorV(uint32_t* ok = nullptr);
  virtual uint32_t GetMirrorVDefault();
  virtual uint32_t GetMirrorHDefault();
  virtual uint32_t IsMirrorVSupported();
  virtual uint32_t IsMirrorHSupported();
  virtual uint32_t SetTriggerMode(uint32_t mode, uint32_t force);
  virtual uint32_t GetTriggerMode(uint32_t* ok = nullptr);
  virtual uint32_t WriteSromId(uint16_t address, uint8_t value);
  virtual uint32_t ReadSromId(uint16_t address, uint8_t* value);
  virtual uint32_t CanChangeWidth();
  virtual uint32_t CanChangeHeight();
  virtual uint32_t GetArrayWidth();
  virtual uint32_t GetArrayHeight();
  virtual uint32_t GetEffectiveWidth();
  virtual uint32_t GetEffectiveHeight();
  virtual uint32_t GetEffectiveOriginX();
  virtual uint32_t GetEffectiveOriginY();
  virtual uint32_t SetGlobalGain(uint32_t gain);
  virtual uint32_t GetGlobalGain(uint32_t* ok = nullptr);
  virtual uint32_t GetGlobalGainMin(uint32_t* ok = nullptr);
  virtual uint32_t GetGlobalGainMax(uint32_t* ok = nullptr);
  virtual uint32_t GetGlobalGainDefault(uint32_t* ok = nullptr);
  // 0.1 ms units.
  virtual uint32_t SetExposureTime(uint32_t time);
  virtual uint32_t GetExposureTime(uint32_t* ok = nullptr);
  virtual uint32_t GetExposureTimeMin(uint32_t* ok = nullptr);
  virtual uint32_t GetExposureTimeMax(uint32_t* ok = nullptr);
  virtual uint32_t GetExposureTimeDefault(uint32_t* ok = nullptr);
  virtual uint32_t SetExposureLines(uint32_t lines);
  virtual uint32_t GetExposureLines(uint32_t* ok = nullptr);
  virtual uint32_t GetExposureLinesMin(uint32_t* ok = nullptr);
  virtual uint32_t GetExposureLinesMax(uint32_t* ok = nullptr);
  virtual uint32_t GetExposureLinesDefault(uint32_t* ok = nullptr);
  // Seconds.
  virtual uint32_t IsExposureTimeExSupported();
  virtual uint32_t SetExposureTimeEx(double seconds);
  virtual double GetExposureTimeEx(uint32_t* ok = nullptr);
  virtual double GetExposureTimeExMin(uint32_t* ok = nullptr);
  virtual double GetExposureTimeExMax(uint32_t* ok = nullptr);
  virtual double GetExposureTimeExDefault(uint32_t* ok = nullptr);
  virtual uint32_t SetChannelGain(uint32_t channel, uint32_t value);
  virtual uint32_t GetChannelGain(uint32_t channel, uint32_t* ok = nullptr);
  virtual uint32_t GetChannelGainMin(uint32_t* ok = nullptr);
  virtual uint32_t GetChannelGainMax(uint32_t* ok = nullptr);
  virtual uint32_t GetChannelGainDefault(uint32_t* ok = nullptr);
  virtual uint32_t SetChannelOffset(uint32_t channel, uint32_t value);
  virtual uint32_t GetChannelOffset(uint32_t channel, uint32_t* ok = nullptr);
  virtual uint32_t GetChannelOffsetMin(uint32_t* ok = nullptr);
  virtual uint32_t GetChannelOffsetMax(uint32_t* ok = nullptr);
  virtual uint32_t GetChannelOffsetDefault(uint32_t* ok = nullptr);
  virtual uint32_t SetColorGainRed(uint32_t gain);
  virtual uint32_t GetColorGainRed(uint32_t* ok = nullptr);
  virtual uint32_t SetColorGainGreen1(uint32_t gain);
  virtual uint32_t GetColorGainGreen1(uint32_t* ok = nullptr);
  virtual uint32_t SetColorGainGreen2(uint32_t gain);
  virtual uint32_t GetColorGainGreen2(uint32_t* ok = nullptr);
  virtual uint32_t SetColorGainBlue(uint32_t gain);
  virtual uint32_t GetColorGainBlue(uint32_t* ok = nullptr);
  virtual uint32_t GetColorGainMin(uint32_t* ok = nullptr);
  virtual uint32_t GetColorGainMax(uint32_t* ok = nullptr);
  virtual uint32_t GetColorGainDefault(uint32_t* ok = nullptr);
  virtual uint32_t IsAnalogGainSupported();
  virtual uint32_t SetAnalogGain(uint32_t value);
  virtual uint32_t GetAnalogGain(uint32_t* ok = nullptr);
  virtual uint32_t GetAnalogGainMin(uint32_t* ok = nullptr);
  virtual uint32_t GetAnalogGainMax(uint32_t* ok = nullptr);
  virtual uint32_t GetAnalogGainDefault(uint32_t* ok = nullptr);
  virtual uint32_t WriteSensorRegister(uint32_t address, uint32_t value);
  virtual uint32_t ReadSensorRegister(uint32_t address, uint32_t* value);
  // Refused (0, *ok = 0) without transport and on cameras without an FPGA register file.
  virtual uint32_t WriteFpgaRegister(uint8_t reg, uint8_t value);
  virtual uint32_t ReadFpgaRegister(uint8_t reg, uint32_t* ok = nullptr);
  virtual uint32_t Reserved116() { return 0; }
  virtual uint32_t Reserved117() { return 0; }
  virtual uint32_t StartStream();
  virtual uint32_t StopStream();
  // Only driver index 0 exists.
  virtual uint32_t AccessSensorParameter(uint32_t driverIndex, uint32_t operation,
                                         uint32_t* parameter);
  virtual uint32_t HasCorrectionMode();
  virtual uint32_t SetCorrectionMode(uint32_t mode);
  virtual uint32_t GetCorrectionMode();
  virtual uint32_t WriteSromConfig(uint8_t value);
  virtual uint32_t ReadSromConfig(uint8_t* value);
  virtual uint32_t HasReadoutSpeed();
  virtual uint32_t GetReadoutSpeed();
  virtual uint32_t SetReadoutSpeed(uint32_t on);
  virtual uint32_t HasLevelValue();
  virtual uint32_t SetLevelValue(uint32_t value);
  virtual uint32_t GetLevelValue(uint32_t* value);
  virtual uint32_t GetLevelValueMin() { return 0; }
  virtual uint32_t GetLevelValueMax();
  virtual uint32_t ReceiveText(char* buffer, uint32_t size);
  virtual uint32_t SendText(const char* text, uint32_t length);
  virtual uint32_t IsPeltierSupported();
  virtual uint32_t GetPeltier();
  virtual uint32_t SetPeltier(uint32_t on);
  virtual uint32_t IsTemperatureSupported();
  virtual double GetTemperature(uint32_t* ok = nullptr);
  virtual uint32_t ApplyMonitorSetting();
  virtual uint32_t GetSensorMode(uint32_t* ok = nullptr);
  virtual uint32_t SetSensorMode(uint32_t state);
  virtual uint32_t HasOperationMode();
  virtual uint32_t GetOperationModeState(uint32_t* ok = nullptr);
  virtual uint32_t SetOperationMode(uint32_t mode);
  virtual uint32_t IsOperationModeReady();
  virtual uint32_t Reserved148();
  virtual uint32_t Reserved149();
  virtual int32_t GetCoolingTarget(uint32_t* ok = nullptr);
  virtual uint32_t SetCoolingTarget(int32_t celsius);
  virtual uint32_t CheckModuleVersion();
  virtual uint32_t GetModuleInfo(uint32_t* ok = nullptr);
  virtual uint32_t SetTriggerOption(uint32_t value);
  virtual uint32_t ApplyTriggerOption(uint32_t a, uint32_t b);
  virtual uint32_t HasTriggerOption();
  virtual uint32_t HasAutoCorrection();
  virtual uint32_t GetAutoCorrection(uint32_t* ok = nullptr);
  virtual uint32_t SetAutoCorrection(uint32_t value);
  virtual uint32_t IsGainModeSupported();
  virtual uint32_t GetGainModeMin(uint32_t* ok = nullptr);
  virtual uint32_t GetGainModeMax(uint32_t* ok = nullptr);
  virtual uint32_t GetGainModeDefault(uint32_t* ok = nullptr);
  virtual uint32_t GetGainMode(uint32_t* ok = nullptr);
  virtual uint32_t SetGainMode(uint32_t value);
  virtual uint32_t GetGainModeLabel(uint32_t step, char* text, uint32_t size);
  virtual uint32_t SetOutputMode(uint32_t mode);
  virtual uint32_t SetOutputModeValue(uint32_t value);
  virtual uint32_t GetOutputMode();
  virtual uint32_t IsColorModeSupported();
  virtual uint32_t IsBinningSupported();
  virtual uint32_t IsSubSampleSupported();
  virtual uint32_t HasExtraOption();
  virtual uint32_t EnableExtraOption();

  // ---- Non-virtual accessors (tests, diagnostics). ----
  CVexCy3Cam* Transport() const { return transport_.get(); }
  // The driver, or null while no camera is open. The pointer is read under
  // the driver lock; using it is for tests on one thread only.
  CSensorBase* Sensor() const {
    std::lock_guard<std::mutex> lock(driverMutex_);
    return sensor_.get();
  }
  // The driver class the factory chose for the product (the class built may
  // be the fallback while that driver does not exist yet).
  SensorDriver ChosenDriver() const { return chosenDriver_; }
  // The constants row of the driver the set product id needs: its size and
  // the capture windows it accepts, also while no camera is open.
  const SensorConstants& SensorRow() const;
  uint32_t FrameTimeout() const { return frameTimeoutMs_.load(); }
  uint32_t FrameSize() const { return frameSize_; }
  // Samples per pixel of the delivered frame: 3 on the video converter
  // (red, green, blue), 1 on every camera with a sensor.
  uint32_t FramePlanes() const { return Row().planes; }
  uint32_t StagingCapacity() const { return stagingCapacity_; }
  uint32_t CaptureMode() const { return captureMode_.load(); }
  uint32_t DataBitsMode() const { return dataBitsMode_.load(); }
  uint32_t FrameCounter() const { return frameCounter_.load(); }
  uint32_t NextFrameCount() const { return nextFrameCount_.load(); }
  bool TransferError() const { return transferError_.load(); }
  bool SettingsChanged() const { return settingsChanged_.load(); }
  bool IsCapturing() const { return running_.load(); }
  bool PendingExposure(uint32_t* value) const;
  const CFrameRing& Ring() const { return ring_; }
  // Tallies of the transfer thread and the frame reader, for the stream
  // statistics; reset by the instance when a capture mode starts.
  TransferCounters& Counters() { return counters_; }
  // Zeroes the counters and forgets unread frames, so a new capture counts
  // only what it lost itself. Call before StartCapture.
  void ResetCounters() {
    ring_.MarkAllRead();
    counters_.Reset();
  }

 protected:
  // The bodies of the public operations of the same name, for callers that
  // already hold controlMutex_ (the lock is not recursive).
  uint32_t CreateControllerLocked(HWND notifyWindow, const uint32_t* guid);
  uint32_t InitCameraLocked();
  uint32_t CloseCameraLocked(HWND notifyWindow);
  uint32_t ReopenCameraLocked(uint32_t deviceNumber);
  uint32_t OpenCameraLocked(uint32_t deviceNumber);
  uint32_t SetCaptureModeLocked(uint32_t mode);
  uint32_t StartCaptureLocked(uint32_t mode);
  uint32_t StopCaptureLocked();
  uint32_t ApplyCaptureSettingsLocked();
  uint32_t SetDataBitsLocked(uint32_t mode);
  uint32_t HasReadoutSpeedLocked();
  uint32_t GetReadoutSpeedLocked();
  uint32_t SetReadoutSpeedLocked(uint32_t on);
  uint32_t GrabOneFrameLocked();

  // The table row of the product id set by SetProductId.
  const ProductRow& Row() const { return *row_.load(); }
  bool HasFpgaRegisters() const { return Row().controlPath == ControlPath::kFpgaRegisters; }
  // Driver update strobe: FPGA register 150 for model numbers 103 and 115,
  // nothing for 122, register 108 for all others (1, 1 ms, 0, 1 ms).
  void UpdateStrobe();
  // Controller register access that tolerates a missing transport.
  bool WriteReg(uint8_t reg, uint8_t value);
  bool ReadReg(uint8_t reg, uint8_t* value);
  // Transfer-thread helpers.
  void StoreFrame(uint32_t tag);
  // Prepares the descriptor; false (transfer error raised) without transport,
  // staging buffer or ring.
  bool BeginLoop();
  // BeginLoop, then the stream opened with the transfer error cleared; false
  // (transfer error raised, loop ended) when either fails.
  bool BeginStreamLoop();
  // Hands an exposure set during the capture to the sensor, once.
  void ApplyPendingExposure();
  // Whether a frame header fits what the camera was programmed for: the
  // announced payload is one whole frame and the frame counter has not gone
  // back to its start (a camera that lost power comes back in its power-on
  // state). Transfer thread only.
  bool HeaderFitsProgramming(const FrameDescriptor& frame);
  // Puts a camera found in a state it was not put in back into the capture
  // settings: the driver's window program, the window and offset registers,
  // the data width, the exposure and the cooling. Transfer thread only.
  bool RestoreCameraState();
  // A whole frame: clears the transfer error and publishes the frame; true
  // when the mode takes no further frame (single, next frame).
  bool PublishFrame(uint32_t mode);
  void GiveUp();
  // Pipe reset on the way to a retry, counted.
  void ResetFramePipe();
  // "camera vid:pid at path", for debug output.
  std::string DeviceLabel() const;
  void EndLoop();
  // One read of the transfer loop and what came of it.
  struct FrameAttempt {
    enum Result : uint8_t { kFailed, kFrame, kNoNewFrame, kHeaderOnlyDone };
    Result result = kFailed;
    bool headerRead = false;  // header path: the header came before the failure
    bool suspect = false;     // header path: the header does not fit the programming
  };
  bool BeginFrameLoop(FramePath path);
  FrameAttempt ReadOneFrame(FramePath path, uint32_t mode);
  // Publishes the frame read; true when the mode takes no further frame.
  bool TakeFrame(FramePath path, uint32_t mode);
  // What each path does between a failed frame and the next read.
  void PrepareRetry(const ProductRow& row, const FrameAttempt& attempt, uint32_t* failures);
  static const char* FailureCause(FramePath path, const FrameAttempt& attempt);
  void RunTransferThread();
  // Stops the running thread: clears the running flag, aborts the pending read
  // until the thread has ended, joins it.
  void StopTransferThread();
  void JoinFinishedThread();
  void OpenFrameEvent();
  uint32_t ApplyWindowRegisters(const SensorInfo& info);
  // A 16-bit value into an FPGA register pair, low byte first.
  void WriteRegPair(uint8_t low, uint8_t high, uint32_t value);
  // The product's bring-up step before CheckSensor; false fails the bring-up.
  bool BringUpQuirk(BringUpRule rule);
  // Tells the transport the product's header-wait strobe and command pieces.
  void ConfigureStream();
  // FPGA register 60, or the command byte without an FPGA register file.
  bool WriteGeneralDataWidth(bool sixteen);
  // What SetTriggerMode still waits for once it has released the camera
  // lock, so that a stop or close from another thread is not held up by it.
  enum class TriggerWait : uint8_t { kNone, kHeaderRead, kFirstFrame };
  TriggerWait StartPrimingRead();
  // False when the FPGA is too old for the cooled family's trigger sequence.
  bool SetCooledTrigger(uint32_t mode, TriggerWait* wait);
  // The waiting half, without the lock; the follow-up step is skipped when
  // a StopCapture came in between (generation: stopGeneration_ before).
  void FinishTrigger(TriggerWait wait, uint64_t generation);
  uint32_t SetDataBitsGeneral(uint32_t mode);
  uint32_t ApplyDataBits(uint32_t bits);
  uint32_t WaitForFpgaReady(uint32_t attempts, bool keepAlive);
  // Forwarded getter: the value, 0 when the driver fails or is missing.
  uint32_t Get(uint32_t (CSensorBase::*op)(uint32_t*), uint32_t* ok);
  uint32_t GetChannel(uint32_t (CSensorBase::*op)(uint32_t, uint32_t*), uint32_t channel,
                      uint32_t* ok);
  double GetSeconds(uint32_t (CSensorBase::*op)(double*), uint32_t* ok);
  uint32_t Info(uint32_t SensorInfo::*field);
  // One driver call under the driver lock, for callers that may not hold it
  // across their whole operation (they wait for the transfer thread).
  void SetDriverDataBits(uint32_t mode);
  void SetDriverTriggerMode(uint32_t mode);

  std::unique_ptr<CVexCy3Cam> transport_;
  std::unique_ptr<CSensorBase> sensor_;
  SensorDriver chosenDriver_ = SensorDriver::kMT9F001;
  uint8_t deviceInfoA_[kDeviceInfoBytes] = {};
  std::unique_ptr<uint8_t[]> staging_;
  uint32_t stagingCapacity_ = 0;
  std::atomic<uint32_t> captureMode_{kCaptureContinuous};
  std::atomic<uint32_t> productId_{kNoProductId};
  std::atomic<const ProductRow*> row_{&ProductRowOf(kNoProductId)};
  std::atomic<uint32_t> dataBitsMode_{0};
  int64_t lastTriggerMode_ = -1;
  std::atomic<uint64_t> stopGeneration_{0};  // counts StopCapture calls
  CFrameRing ring_;
  TransferCounters counters_;
  uint32_t frameSize_ = 0;
  std::atomic<bool> transferError_{false};
  // Auto-reset; set for every stored frame, on a transfer error and by StopCapture.
  Event frameEvent_{false};
  std::atomic<bool> frameEventOpen_{false};
  std::atomic<bool> settingsChanged_{true};
  std::atomic<uint32_t> frameCounter_{0};
  std::atomic<uint32_t> deviceNumber_{0};
  std::atomic<uint32_t> frameTimeoutMs_{kDefaultFrameTimeoutMs};
  std::atomic<uint32_t> nextFrameCount_{0};
  // Exposure (0.1 ms) handed to the driver by the transfer thread.
  std::atomic<bool> pendingExposureSet_{false};
  std::atomic<uint32_t> pendingExposure_{0};
  // The transfer thread, its running flag and its own end event (one per
  // camera device model, so concurrent cameras never see each other's end).
  std::thread transferThread_;
  std::atomic<bool> running_{false};
  std::atomic<bool> threadDone_{true};  // set by the thread as its last step
  Event threadEnd_{false};
  // Serialises the capture control operations (start, stop, mode, settings)
  // between application threads; never held by the transfer thread.
  std::mutex controlMutex_;
  // Serialises calls into the driver between the application's threads and
  // the transfer thread, which applies a pending exposure: the driver's
  // record and its multi-register writes (the 24-bit exposure counter) are
  // never touched by two threads at once. Held only around driver calls,
  // never while waiting for another thread. The driver is replaced (opening
  // another camera, closing) only with both controlMutex_ and this lock held,
  // so a reader of sensor_ holds one of the two.
  mutable std::mutex driverMutex_;
  // Cooling last asked for (-1: never), restored after a camera reset.
  std::atomic<int32_t> peltierRequest_{-1};
  uint32_t lastTag_ = 0;  // transfer thread only
  FrameDescriptor descriptor_;
};

}  // namespace vexcam
