// Discovery, the environment variable and the C API.
#include <cstdlib>

#include "sim/sim_environment.h"
#include "sim_fixture.h"
#include "transport/usb_hub.h"
#include "vexcam/VexCamSim.h"

namespace vexcam::sim::test {
namespace {

TEST(SimEnvironment, ParsesHexProductLists) {
  EXPECT_EQ(ParseSimulatorList("0x3200,3200,3260"),
            (std::vector<uint16_t>{0x3200, 0x3200, 0x3260}));
  EXPECT_EQ(ParseSimulatorList(" 0X3042 , 33a0 "), (std::vector<uint16_t>{0x3042, 0x33A0}));
  // Junk entries are skipped, the rest kept in order.
  EXPECT_EQ(ParseSimulatorList("zz,3200,,0,12345,0x,3270x,3270"),
            (std::vector<uint16_t>{0x3200, 0x3270}));
  EXPECT_TRUE(ParseSimulatorList("").empty());
  EXPECT_TRUE(ParseSimulatorList(nullptr).empty());
}

TEST_F(SimTest, BackendListsPluggedCamerasInOrder) {
  SimBackend& backend = SimBackend::Instance();
  EXPECT_EQ(backend.AddCamera(0), nullptr);
  const auto a = backend.AddCamera(0x3200);
  const auto b = backend.AddCamera(0x3260);
  EXPECT_EQ(a->Id(), 1u);
  EXPECT_EQ(a->Path(), usb::MakeDevicePath(0x04B4, 0x3200, "sim-1"));
  auto list = backend.Enumerate();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].productId, 0x3200);
  EXPECT_EQ(list[1].productId, 0x3260);
  EXPECT_EQ(list[1].vendorId, 0x04B4);
  EXPECT_TRUE(backend.Owns(b->Path()));
  EXPECT_FALSE(backend.Owns(usb::MakeDevicePath(0x04B4, 0x3200, "1-2.3")));
  EXPECT_EQ(backend.Open("no such path"), nullptr);

  backend.RemoveAll();
  EXPECT_TRUE(backend.Enumerate().empty());
  EXPECT_EQ(backend.AddCamera(0x3200)->Id(), 1u);
}

// Not a SimTest: the first call of the C API installs the simulator itself.
TEST(SimApi, CApiDrivesCamerasAndInstallsTheSimulator) {
  VexSim_RemoveAll();
  EXPECT_EQ(VexSim_AddCamera(0), 0u);
  EXPECT_EQ(VexSim_AddCamera(0x10000), 0u);
  const UINT id = VexSim_AddCamera(0x3200);
  ASSERT_GT(id, 0u);
  EXPECT_EQ(usb::UsbHub::Instance().Simulator(), SimBackend::Shared());
  EXPECT_FALSE(usb::UsbHub::Instance().Exclusive());

  // Triggers, EEPROM access, speed-up, faults, temperature, unplug and replug
  // work in the API suites (capture_modes, stream_stats, values, lifecycle).
  EXPECT_TRUE(VexSim_WriteFpgaRegister(id, 88, 1));
  BYTE v = 0;
  EXPECT_TRUE(VexSim_ReadFpgaRegister(id, 88, &v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(VexSim_SetFpgaVersion(id, 0x00FF));
  EXPECT_TRUE(VexSim_ReadFpgaRegister(id, 17, &v));
  EXPECT_EQ(v, 0xFF);
  EXPECT_FALSE(VexSim_ReadEeprom(id, 0x10000, &v));
  EXPECT_FALSE(VexSim_ReadFpgaRegister(id, 1, nullptr));
  EXPECT_TRUE(VexSim_InjectFault(id, VEXSIM_FAULT_STALL, 1));
  EXPECT_FALSE(VexSim_InjectFault(id, 99, 1));

  VexSim_RemoveAll();
  EXPECT_FALSE(VexSim_Trigger(id));
  EXPECT_FALSE(VexSim_Unplug(id));
}

}  // namespace
}  // namespace vexcam::sim::test
