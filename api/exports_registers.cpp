// Registers, the I/O port, the EEPROM, the serial number and the sampling rate.
// Not built yet: each export dispatches its handle like every export (unknown
// handle: the failure value and nothing else) and, for a known handle,
// records "not supported" (11), clears the caller's ok flag and fails.
#include "api/dispatch.h"
#include "vexcam/VexCamSdk.h"

using vexcam::api::NotBuilt;

extern "C" {

int VexCam_ReadRegister(DWORD handle, BYTE /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

int VexCam_ReadRegisterEx(DWORD handle, DWORD /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_WriteRegister(DWORD handle, BYTE /*address*/, WORD /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_WriteRegisterEx(DWORD handle, DWORD /*address*/, DWORD /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_Fpga_ReadRegister(DWORD handle, BYTE /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_Fpga_WriteRegister(DWORD handle, BYTE /*address*/, WORD /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_GetIOPort(DWORD handle, BYTE* /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetIOPort(DWORD handle, BYTE /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

int VexCam_ReadSromID(DWORD handle, int /*address*/, int* ok) {
  return NotBuilt<int>(handle, 0, ok);
}

BOOL VexCam_WriteSromID(DWORD handle, int /*address*/, int /*value*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_ReadSerialNumberA(DWORD handle, char* /*buffer*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_ReadSerialNumberW(DWORD handle, wchar_t* /*buffer*/, int /*size*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

BOOL VexCam_SetSamplingRate(DWORD handle, int /*rate*/) {
  return NotBuilt<BOOL>(handle, 0, nullptr);
}

}  // extern "C"
