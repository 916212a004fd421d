// The exported VexSim_ functions: thin wrappers over SimBackend / SimCamera.
#include "vexcam/VexCamSim.h"

#include "sim/sim_backend.h"
#include "sim/sim_environment.h"

using vexcam::sim::SimBackend;
using vexcam::sim::SimCamera;

namespace {

std::shared_ptr<SimCamera> Camera(UINT id) {
  return id == 0 ? nullptr : SimBackend::Instance().Find(id);
}

}  // namespace

extern "C" {

VEXCAM_API UINT VexSim_AddCamera(UINT productId) {
  if (productId == 0 || productId > 0xFFFF) return 0;
  vexcam::sim::EnsureSimulatorInstalled();
  const auto camera = SimBackend::Instance().AddCamera(static_cast<uint16_t>(productId));
  return camera ? camera->Id() : 0;
}

VEXCAM_API void VexSim_RemoveAll(void) { SimBackend::Instance().RemoveAll(); }

VEXCAM_API BOOL VexSim_Unplug(UINT id) {
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  camera->Unplug();
  return TRUE;
}

VEXCAM_API BOOL VexSim_Replug(UINT id) {
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  camera->Replug();
  return TRUE;
}

VEXCAM_API BOOL VexSim_Trigger(UINT id) {
  const auto camera = Camera(id);
  return camera && camera->Trigger() ? TRUE : FALSE;
}

VEXCAM_API BOOL VexSim_InjectFault(UINT id, UINT fault, UINT count) {
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  switch (fault) {
    case VEXSIM_FAULT_BULK_TIMEOUT:
      camera->InjectBulkTimeouts(count);
      break;
    case VEXSIM_FAULT_STALL:
      camera->InjectStalls(count);
      break;
    case VEXSIM_FAULT_BAD_STATUS:
      camera->InjectBadStatus(count);
      break;
    case VEXSIM_FAULT_SHORT_PAYLOAD:
      camera->InjectShortPayloads(count);
      break;
    case VEXSIM_FAULT_BUS:
      camera->InjectBusFailures(count);
      break;
    case VEXSIM_FAULT_EEPROM_LOSS:
      camera->InjectEepromWriteLoss(count);
      break;
    default:
      return FALSE;
  }
  return TRUE;
}

VEXCAM_API BOOL VexSim_ClearFaults(UINT id) {
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  camera->ClearFaults();
  return TRUE;
}

VEXCAM_API BOOL VexSim_SetSpeedUp(UINT id, UINT factor) {
  if (id == 0) {
    SimBackend::Instance().SetSpeedUp(factor);
    return TRUE;
  }
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  camera->SetSpeedUp(factor);
  return TRUE;
}

VEXCAM_API BOOL VexSim_WriteFpgaRegister(UINT id, BYTE reg, BYTE value) {
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  camera->SetFpgaRegister(reg, value);
  return TRUE;
}

VEXCAM_API BOOL VexSim_ReadFpgaRegister(UINT id, BYTE reg, BYTE* value) {
  const auto camera = Camera(id);
  if (!camera || value == nullptr) return FALSE;
  *value = camera->FpgaRegister(reg);
  return TRUE;
}

VEXCAM_API BOOL VexSim_WriteEeprom(UINT id, UINT address, BYTE value) {
  const auto camera = Camera(id);
  if (!camera || address >= vexcam::sim::kEepromSize) return FALSE;
  camera->SetEepromByte(static_cast<uint16_t>(address), value);
  return TRUE;
}

VEXCAM_API BOOL VexSim_ReadEeprom(UINT id, UINT address, BYTE* value) {
  const auto camera = Camera(id);
  if (!camera || value == nullptr || address >= vexcam::sim::kEepromSize) return FALSE;
  *value = camera->EepromByte(static_cast<uint16_t>(address));
  return TRUE;
}

VEXCAM_API BOOL VexSim_SetFpgaVersion(UINT id, WORD version) {
  const auto camera = Camera(id);
  if (!camera) return FALSE;
  camera->SetFpgaVersion(version);
  return TRUE;
}

VEXCAM_API BOOL VexSim_GetTemperature(UINT id, double* celsius) {
  const auto camera = Camera(id);
  if (!camera || celsius == nullptr) return FALSE;
  *celsius = camera->Temperature();
  return TRUE;
}

}  // extern "C"
