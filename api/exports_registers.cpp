// Registers, the I/O port, the EEPROM, the serial number and the sampling rate.
#include "api/dispatch.h"
#include "instance/vex_cam.h"
#include "vexcam/VexCamSdk.h"

using vexcam::CVexCam;
using vexcam::api::Dispatch;

extern "C" {

// The byte-address forms share the body of the 32-bit forms.
int VexCam_ReadRegisterEx(DWORD handle, DWORD address, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.ReadRegister(address, ok); });
}

int VexCam_ReadRegister(DWORD handle, BYTE address, int* ok) {
  return VexCam_ReadRegisterEx(handle, address, ok);
}

BOOL VexCam_WriteRegisterEx(DWORD handle, DWORD address, DWORD value) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.WriteRegister(address, value); });
}

BOOL VexCam_WriteRegister(DWORD handle, BYTE address, WORD value) {
  return VexCam_WriteRegisterEx(handle, address, value);
}

int VexCam_Fpga_ReadRegister(DWORD handle, BYTE address, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.FpgaReadRegister(address, ok); });
}

BOOL VexCam_Fpga_WriteRegister(DWORD handle, BYTE address, WORD value) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.FpgaWriteRegister(address, value); });
}

BOOL VexCam_GetIOPort(DWORD handle, BYTE* value) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.GetIOPort(value); });
}

BOOL VexCam_SetIOPort(DWORD handle, BYTE value) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetIOPort(value); });
}

int VexCam_ReadSromID(DWORD handle, int address, int* ok) {
  return Dispatch(handle, 0, [&](CVexCam& cam) { return cam.ReadSromID(address, ok); });
}

BOOL VexCam_WriteSromID(DWORD handle, int address, int value) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.WriteSromID(address, value); });
}

BOOL VexCam_ReadSerialNumberA(DWORD handle, char* buffer, int size) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.ReadSerialNumberA(buffer, size); });
}

BOOL VexCam_ReadSerialNumberW(DWORD handle, wchar_t* buffer, int size) {
  return Dispatch(handle, BOOL{0},
                  [&](CVexCam& cam) { return cam.ReadSerialNumberW(buffer, size); });
}

BOOL VexCam_SetSamplingRate(DWORD handle, int rate) {
  return Dispatch(handle, BOOL{0}, [&](CVexCam& cam) { return cam.SetSamplingRate(rate); });
}

}  // extern "C"
