// Stream statistics through VexCamX_GetStreamStats: the record's size rule,
// the tallies of a clean stream, of a reader too slow for the camera, of
// transfer faults and of an unplug, which ends the worker with 13.
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "capture_fixture.h"
#include "vexcam/VexCamLinux.h"

namespace vexcam::test {
namespace {

using StreamStats = CaptureTest;

VEXCAM_STREAM_STATS Read(DWORD h) {
  VEXCAM_STREAM_STATS s{};
  s.size = sizeof(s);
  EXPECT_EQ(VexCamX_GetStreamStats(h, &s), 1);
  return s;
}

TEST_F(StreamStats, RecordSizeRules) {
  EXPECT_REFUSED(VexCamX_GetStreamStats(h_, nullptr), VEXCAM_ERR_INVALID_ARG);
  VEXCAM_STREAM_STATS s{};
  s.size = 15;
  EXPECT_REFUSED(VexCamX_GetStreamStats(h_, &s), VEXCAM_ERR_MEMORY);
  EXPECT_EQ(VexCamX_GetStreamStats(0xDEADBEEF, &s), 0);

  // A record of an older, shorter layout gets its whole fields only.
  ASSERT_EQ(VexCam_SnapShot(h_, nullptr, 0, 1), 1);
  std::vector<uint8_t> bytes(sizeof(VEXCAM_STREAM_STATS) + 8, 0xAB);
  auto* rec = reinterpret_cast<VEXCAM_STREAM_STATS*>(bytes.data());
  rec->size = 16 + 8 + 5;  // framesReceived, framesDelivered and 5 spare bytes
  ASSERT_EQ(VexCamX_GetStreamStats(h_, rec), 1);
  EXPECT_EQ(rec->size, 29u);
  EXPECT_EQ(rec->state, 0u);
  EXPECT_GE(rec->framesReceived, 1u);
  EXPECT_EQ(rec->framesDelivered, 1u);
  for (size_t i = 24; i < bytes.size(); ++i)
    ASSERT_EQ(bytes[i], 0xAB) << "byte " << i << " written";
  ExpectCodes({});
}

TEST_F(StreamStats, CleanStreamCountsEveryDeliveredFrameAndStopsTheClock) {
  std::vector<BYTE> buffer(kFull);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), kFull, 1), 1);
  VEXWIN_MSG m{};
  int frames = 0;
  while (frames < 20 && NextFrame(&m)) frames += m.wParam != 0;
  ASSERT_EQ(frames, 20);
  const VEXCAM_STREAM_STATS live = Read(h_);
  EXPECT_EQ(live.state, 1u);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  const VEXCAM_STREAM_STATS s = Read(h_);
  EXPECT_EQ(s.state, 0u);
  EXPECT_GE(s.framesDelivered, 20u);
  EXPECT_GE(s.framesReceived, s.framesDelivered);
  EXPECT_LE(s.framesDelivered + s.framesOverwritten, s.framesReceived);
  EXPECT_EQ(s.framesDropped, s.framesOverwritten + s.framesSkippedByRecorder);
  EXPECT_EQ(s.framesIncomplete, 0u);
  EXPECT_EQ(s.transferRetries, 0u);
  EXPECT_EQ(s.giveUps, 0u);
  EXPECT_EQ(s.bytesReceived, s.framesReceived * kFull);
  EXPECT_GT(s.frameRate, 0.0);
  EXPECT_NEAR(s.bytesPerSecond, static_cast<double>(s.bytesReceived) / s.seconds, 1.0);
  // Stopped: the record no longer moves.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const VEXCAM_STREAM_STATS later = Read(h_);
  EXPECT_EQ(later.seconds, s.seconds);
  EXPECT_EQ(later.framesReceived, s.framesReceived);

  // The next start counts afresh.
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, buffer.data(), kFull, 1), 1);
  EXPECT_LT(Read(h_).framesDelivered, s.framesDelivered);
  ASSERT_EQ(VexCam_StopPreview(h_), 1);  // before the buffer goes
  ExpectCodes({});
}

TEST_F(StreamStats, SlowReaderLosesFramesToTheRing) {
  VexSim_SetSpeedUp(sim_, 1000);
  ASSERT_EQ(VexCam_SetWaitTime(h_, 60), 1);
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  VEXWIN_MSG m{};
  int frames = 0;
  while (frames < 5 && NextFrame(&m)) frames += m.wParam != 0;
  ASSERT_EQ(VexCam_StopPreview(h_), 1);
  const VEXCAM_STREAM_STATS s = Read(h_);
  EXPECT_GT(s.framesOverwritten, 0u);
  EXPECT_GE(s.framesDropped, s.framesOverwritten);
  EXPECT_LE(s.framesDelivered + s.framesOverwritten, s.framesReceived);
  ExpectCodes({});
}

TEST_F(StreamStats, FaultsCountRetriesIncompleteFramesAndTheGiveUp) {
  ASSERT_EQ(VexCam_CallBackPreview(h_, callback_, nullptr, 0, 1), 1);
  VEXWIN_MSG m{};
  ASSERT_TRUE(NextFrame(&m));
  ASSERT_TRUE(VexSim_InjectFault(sim_, VEXSIM_FAULT_SHORT_PAYLOAD, 3));
  int frames = 0;
  while (frames < 10 && NextFrame(&m)) frames += m.wParam != 0;
  VEXCAM_STREAM_STATS s = Read(h_);
  EXPECT_GE(s.framesIncomplete, 1u);
  EXPECT_GE(s.transferRetries, s.framesIncomplete);
  EXPECT_EQ(s.giveUps, 0u);

  ASSERT_TRUE(VexSim_Unplug(sim_));
  bool broken = false;
  while (!broken && NextFrame(&m, 15000))
    broken = m.wParam == 0 && m.lParam == VEXCAM_ERR_TRANSFER_BROKEN;
  ASSERT_TRUE(broken);
  s = Read(h_);
  EXPECT_EQ(s.giveUps, 1u);
  EXPECT_GT(s.transferRetries, 0u);
  // The worker ended with 13, recorded and posted to the notify window too.
  EXPECT_EQ(VexCam_GetLastError(h_), VEXCAM_ERR_TRANSFER_BROKEN);
  EXPECT_EQ(VexCam_StopPreview(h_), 1);
  bool notified = false;
  for (LPARAM code : Posted()) notified = notified || code == 13;
  EXPECT_TRUE(notified);
}

}  // namespace
}  // namespace vexcam::test
