// Frame reads, bulk transfers, memory commands and the stream handle rules
// (abort and unplug: tests/sim/sim_transport_test.cpp).
#include <chrono>
#include <cstring>
#include <vector>

#include "transport_fixture.h"

namespace vexcam::test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void SetPayloadLength(FrameDescriptor& frame, uint32_t length) {
  std::memcpy(frame.header + kHeaderPayloadOffset, &length, 4);  // little-endian host
}

// A frame that reads into the whole of `buffer`, announcing `payload` bytes.
FrameDescriptor FrameInto(std::vector<uint8_t>& buffer, uint32_t payload = 0) {
  FrameDescriptor frame;
  frame.destination = buffer.data();
  frame.capacity = static_cast<uint32_t>(buffer.size());
  SetPayloadLength(frame, payload);
  return frame;
}

std::string Magic(const FakeBulk& b) { return std::string(b.data.begin(), b.data.begin() + 4); }

std::vector<FakeBulk> BulksOn(const std::shared_ptr<FakeCamera>& cam, uint8_t ep) {
  std::vector<FakeBulk> out;
  for (auto& b : cam->Bulks())
    if (b.endpoint == ep) out.push_back(b);
  return out;
}

// Lengths of the transfers on one endpoint, in order.
std::vector<uint32_t> Lengths(const std::shared_ptr<FakeCamera>& cam, uint8_t ep) {
  std::vector<uint32_t> out;
  for (const FakeBulk& b : BulksOn(cam, ep)) out.push_back(b.length);
  return out;
}
using Sizes = std::vector<uint32_t>;

uint32_t Le32(const std::vector<uint8_t>& d, size_t at) {
  uint32_t v;
  std::memcpy(&v, d.data() + at, 4);
  return v;
}

TEST_F(TransportTest, PayloadIsReadInHalfMebibytePiecesUpToItsCapacity) {
  std::vector<uint8_t> buffer(2 << 20);
  FrameDescriptor frame = FrameInto(buffer, 524288);
  ASSERT_EQ(transport->ReadFramePayload(frame, 1000), 1u);
  EXPECT_EQ(Lengths(camera, 0x81), Sizes{524288});
  EXPECT_EQ(camera->Bulks().at(0).timeoutMs, 1000u);

  camera->ClearLog();
  SetPayloadLength(frame, 524289);
  ASSERT_EQ(transport->ReadFramePayload(frame, 1000), 1u);
  EXPECT_EQ(Lengths(camera, 0x81), (Sizes{524288, 1}));
  EXPECT_EQ(buffer[524288], 0xAB);
  EXPECT_EQ(buffer[524289], 0);
  EXPECT_FALSE(transport->IsStreamOpen());  // opened on demand, closed again
  EXPECT_EQ(camera->openHandles, 0);

  // A payload above the capacity, or without a destination, reads nothing.
  camera->ClearLog();
  frame.capacity = 1000;
  SetPayloadLength(frame, 1000);
  EXPECT_EQ(transport->ReadFramePayload(frame, 100), 1u);
  camera->ClearLog();
  SetPayloadLength(frame, 1001);
  EXPECT_EQ(transport->ReadFramePayload(frame, 100), 0u);
  frame.destination = nullptr;
  SetPayloadLength(frame, 10);
  EXPECT_EQ(transport->ReadFramePayload(frame, 100), 0u);
  EXPECT_TRUE(camera->Bulks().empty());

  // A short piece fails the payload without reading the rest.
  frame = FrameInto(buffer, 600000);
  camera->Script(0x81, BulkReply{.bytes = 1000});
  EXPECT_EQ(transport->ReadFramePayload(frame, 100), 0u);
  EXPECT_EQ(BulksOn(camera, 0x81).size(), 1u);
}

// Thirty header reads, each after a frame request, and an update strobe after
// each failure.
TEST_F(TransportTest, FailingHeaderMakesThirtyAttemptsWithStrobePulses) {
  for (int i = 0; i < 31; ++i)
    camera->Script(0x81, BulkReply{.status = usb::TransferStatus::kTimedOut, .bytes = 0});
  FrameDescriptor frame;
  EXPECT_EQ(transport->ReadFrameHeader(frame), 0u);
  EXPECT_EQ(Requests(0xC2).size(), 31u);  // the first and one after each failure
  EXPECT_EQ(BulksOn(camera, 0x81).size(), 30u);
  std::vector<uint8_t> strobe;
  for (auto& c : Requests(0x30)) {
    EXPECT_EQ(c.index, 0x40);
    EXPECT_EQ(c.data[0], 108);
    strobe.push_back(c.data[2]);
  }
  ASSERT_EQ(strobe.size(), 60u);
  for (size_t i = 0; i < strobe.size(); ++i) EXPECT_EQ(strobe[i], i % 2 == 0 ? 1 : 0);
  EXPECT_FALSE(transport->IsStreamOpen());  // opened here, closed on failure
  EXPECT_EQ(camera->openHandles, 0);
}

TEST_F(TransportTest, HeaderRetrySleepsInsteadOfStrobing) {
  transport->SetStreamRules({.sleepInsteadOfStrobe = true});
  for (int i = 0; i < 2; ++i)
    camera->Script(0x81, BulkReply{.status = usb::TransferStatus::kTimedOut, .bytes = 0});
  int frameRequests = 0;
  // The third frame request fails, which ends the retries after two attempts.
  camera->answer = [&](const FakeControl& c, uint8_t*) {
    return c.request == 0xC2 && ++frameRequests == 3 ? -1 : c.length;
  };
  FrameDescriptor frame;
  const auto start = Clock::now();
  EXPECT_EQ(transport->ReadFrameHeader(frame), 0u);
  EXPECT_GE(Clock::now() - start, milliseconds(2 * 210));
  EXPECT_EQ(BulksOn(camera, 0x81).size(), 2u);
  EXPECT_TRUE(Requests(0x30).empty());
}

TEST_F(TransportTest, DirectTransferFailsOnDeviceStatusAndRefusesBadArguments) {
  auto stream = transport->OpenDevice(0);
  uint8_t buffer[4096];
  uint32_t got = 0;
  camera->Script(0x81, BulkReply{.deviceStatus = 5});
  EXPECT_EQ(transport->TransferDirect(stream.get(), buffer, 4096, 0x81, &got, 100), 0u);
  EXPECT_EQ(got, 4096u);  // the bytes moved even so
  camera->Script(0x81, BulkReply{.status = usb::TransferStatus::kStalled, .bytes = 10});
  EXPECT_EQ(transport->TransferDirect(stream.get(), buffer, 4096, 0x81, &got, 100), 0u);
  EXPECT_EQ(transport->LastIoError(), static_cast<uint32_t>(EPIPE));
  EXPECT_EQ(transport->TransferDirect(stream.get(), buffer, 4096, 0x81, &got, 100), 1u);
  EXPECT_EQ(transport->LastIoError(), 0u);

  camera->ClearLog();
  EXPECT_EQ(transport->TransferDirect(nullptr, buffer, 16, 0x81, &got, 100), 0u);
  EXPECT_EQ(transport->TransferDirect(stream.get(), nullptr, 16, 0x81, &got, 100), 0u);
  EXPECT_EQ(transport->TransferDirect(stream.get(), buffer, kMaxTransferBytes + 1, 0x81, &got, 100),
            0u);
  EXPECT_EQ(transport->TransferBuffered(stream.get(), buffer, kMaxTransferBytes + 1, 0x81, &got),
            0u);
  transport->ReleaseController();  // frees the transfer buffer
  EXPECT_EQ(transport->TransferDirect(stream.get(), buffer, 16, 0x81, &got, 100), 0u);
  EXPECT_EQ(transport->TransferBuffered(stream.get(), buffer, 16, 0x81, &got), 0u);
  EXPECT_TRUE(camera->Bulks().empty());
}

TEST_F(TransportTest, BufferedTransferCopiesBothWays) {
  auto stream = transport->OpenDevice(0);
  std::vector<uint8_t> in(100, 0);
  uint32_t got = 0;
  camera->Script(0x81, BulkReply{.bytes = 60, .fill = 0x3C});
  ASSERT_EQ(transport->TransferBuffered(stream.get(), in.data(), 100, 0x81, &got), 1u);
  EXPECT_EQ(got, 60u);
  EXPECT_EQ(in[59], 0x3C);
  EXPECT_EQ(in[60], 0);
  std::vector<uint8_t> out{1, 2, 3, 4};
  ASSERT_EQ(transport->TransferBuffered(stream.get(), out.data(), 4, 0x01, &got), 1u);
  EXPECT_EQ(camera->Bulks().back().data, out);
}

// Whole 16 KiB units plus one, asked by one command, or with pieces set by
// one command per piece.
TEST_F(TransportTest, CommandReadRoundsUpToWholeUnitsPlusOne) {
  std::vector<uint8_t> buffer(10 << 20);
  FrameDescriptor frame = FrameInto(buffer);
  frame.capacity = 65536;
  uint32_t length = 16384;
  ASSERT_EQ(transport->ReadFrameByCommand(frame, &length, 500), 1u);
  EXPECT_EQ(length, 32768u);
  auto cmd = BulksOn(camera, 0x01);
  ASSERT_EQ(cmd.size(), 1u);
  ASSERT_EQ(cmd[0].data.size(), 32u);
  EXPECT_EQ(Magic(cmd[0]), "QU3R");
  EXPECT_EQ(Le32(cmd[0].data, 4), 2u);
  EXPECT_EQ(Le32(cmd[0].data, 8), 0u);
  EXPECT_EQ(Le32(cmd[0].data, 16), 32768u);
  EXPECT_EQ(Lengths(camera, 0x81), Sizes{32768});
  EXPECT_EQ(BulksOn(camera, 0x81).at(0).timeoutMs, 500u);

  length = 16383;  // rounds to 16384
  camera->ClearLog();
  ASSERT_EQ(transport->ReadFrameByCommand(frame, &length, 500), 1u);
  EXPECT_EQ(length, 16384u);
  length = 65536;  // asks 81920: more than the buffer holds
  camera->ClearLog();
  EXPECT_EQ(transport->ReadFrameByCommand(frame, &length, 500), 0u);
  EXPECT_TRUE(camera->Bulks().empty());

  transport->SetStreamRules({.commandPieceBytes = 4u << 20});
  frame.capacity = 10 << 20;
  length = 9 << 20;  // asks 9 MiB + 16 KiB
  ASSERT_EQ(transport->ReadFrameByCommand(frame, &length, 500), 1u);
  EXPECT_EQ(length, (9u << 20) + 16384);
  EXPECT_EQ(BulksOn(camera, 0x01).size(), 1u);
  EXPECT_EQ(Lengths(camera, 0x81), (Sizes{4u << 20, 4u << 20, (1u << 20) + 16384}));
}

TEST_F(TransportTest, MemoryReadTouchesOnlyTheCallersBytes) {
  std::vector<uint8_t> buffer(200, 0x11);
  ASSERT_EQ(transport->ReadMemory(0x123456789ull, buffer.data(), 100), 1u);
  EXPECT_EQ(buffer[99], 0xAB);
  EXPECT_EQ(buffer[100], 0x11);  // the camera sent 4096 bytes
  auto cmd = BulksOn(camera, 0x01);
  ASSERT_EQ(cmd.size(), 1u);
  EXPECT_EQ(Magic(cmd[0]), "QU3R");
  EXPECT_EQ(Le32(cmd[0].data, 8), 0x23456789u);
  EXPECT_EQ(Le32(cmd[0].data, 12), 0x1u);
  EXPECT_EQ(Le32(cmd[0].data, 16), 4096u);
  EXPECT_EQ(BulksOn(camera, 0x81).at(0).length, 4096u);

  // A piece with the wrong count fails and closes the handle it opened.
  camera->Script(0x81, BulkReply{.bytes = 4000});
  EXPECT_EQ(transport->ReadMemory(0, buffer.data(), 10), 0u);
  EXPECT_EQ(camera->openHandles, 0);
}

TEST_F(TransportTest, MemoryWritePadsWithZerosAndSplitsLargeLengths) {
  std::vector<uint8_t> source(8192, 0x42);
  ASSERT_EQ(transport->WriteMemory(0x1000, source.data(), 5000), 1u);
  auto out = BulksOn(camera, 0x01);
  ASSERT_EQ(out.size(), 2u);  // command, data
  EXPECT_EQ(Magic(out[0]), "QU3W");
  EXPECT_EQ(Le32(out[0].data, 16), 8192u);
  ASSERT_EQ(out[1].data.size(), 8192u);
  EXPECT_EQ(out[1].data[4999], 0x42);
  EXPECT_EQ(out[1].data[5000], 0);

  std::vector<uint8_t> big((16u << 20) + 10, 0);
  camera->ClearLog();
  ASSERT_EQ(transport->ReadMemory(0, big.data(), static_cast<uint32_t>(big.size())), 1u);
  auto cmds = BulksOn(camera, 0x01);
  ASSERT_EQ(cmds.size(), 2u);
  EXPECT_EQ(Le32(cmds[0].data, 16), 16u << 20);
  EXPECT_EQ(Le32(cmds[1].data, 8), 16u << 20);  // address advanced by the piece
  EXPECT_EQ(Le32(cmds[1].data, 16), 4096u);
  EXPECT_EQ(transport->ReadMemory(0, big.data(), kMaxTransferBytes + 1), 0u);
}

TEST_F(TransportTest, AltFrameReadNeedsTheWholeExpectedSize) {
  std::vector<uint8_t> buffer(4096);
  FrameDescriptor frame = FrameInto(buffer);
  frame.expectedSize = 4096;
  ASSERT_EQ(transport->ReadFrameAlt(frame), 1u);  // streams: Mt9DeviceModelStream
  EXPECT_TRUE(transport->IsStreamOpen());         // kept open on success
  EXPECT_EQ(BulksOn(camera, 0x83).at(0).timeoutMs, 5000u);
  transport->CloseStream();
  camera->Script(0x83, BulkReply{.bytes = 100});
  EXPECT_EQ(transport->ReadFrameAlt(frame), 0u);
  EXPECT_FALSE(transport->IsStreamOpen());  // opened here, closed on failure
  frame.expectedSize = 4097;                // more than the buffer
  EXPECT_EQ(transport->ReadFrameAlt(frame), 0u);
}

}  // namespace
}  // namespace vexcam::test
