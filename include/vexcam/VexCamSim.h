/* Simulated cameras. Adds cameras that behave like real ones behind the USB
 * layer, so an application or a test can run without hardware. The first
 * VexSim_AddCamera makes the simulator visible to device discovery, beside the
 * real cameras (or instead of them when VEXCAM_SIMULATOR is set).
 *
 * VEXCAM_SIMULATOR (environment, read once at start-up): comma-separated
 * product ids in hexadecimal, e.g. "3200" or "0x3200,3200,3260"; discovery
 * then lists exactly those simulated cameras, in that order. Entries that
 * are not 1 to 4 hex digits (optionally after "0x"), or are 0, are ignored.
 *
 * Camera ids are > 0 and count from 1; every function taking an id fails
 * (FALSE) for an unknown id. */
#ifndef VEXCAM_SIM_H
#define VEXCAM_SIM_H

#include "VexCamTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Fault kinds for VexSim_InjectFault; count = how many times it happens. */
#define VEXSIM_FAULT_BULK_TIMEOUT 1 /* bulk transfers move nothing and time out */
#define VEXSIM_FAULT_STALL 2        /* bulk transfers stall (until count or a pipe reset) */
#define VEXSIM_FAULT_BAD_STATUS 3   /* bulk transfers move data but end with a device error status \
                                     */
#define VEXSIM_FAULT_SHORT_PAYLOAD 4 /* frames deliver only half of their payload */
#define VEXSIM_FAULT_BUS 5           /* serial-bus transactions fail */
#define VEXSIM_FAULT_EEPROM_LOSS 6   /* EEPROM writes are acknowledged but not stored */

/* Adds a plugged-in camera with this USB product id (any id of the camera
 * family; unknown ids behave like the fallback sensor). Returns its id, or 0
 * for product id 0 or above 0xFFFF. */
VEXCAM_API UINT VexSim_AddCamera(UINT productId);
/* Unplugs and removes every simulated camera; ids start at 1 again. */
VEXCAM_API void VexSim_RemoveAll(void);
/* Unplug: every transfer fails, blocked reads return at once, discovery
 * omits the camera. Replug: powered up again under the same device path. */
VEXCAM_API BOOL VexSim_Unplug(UINT id);
VEXCAM_API BOOL VexSim_Replug(UINT id);
/* Hardware trigger: captures one frame while the camera is in trigger mode;
 * FALSE when it is not. */
VEXCAM_API BOOL VexSim_Trigger(UINT id);
VEXCAM_API BOOL VexSim_InjectFault(UINT id, UINT fault, UINT count);
VEXCAM_API BOOL VexSim_ClearFaults(UINT id);
/* Divides all simulated durations (frame period, cooling); 1 = real time,
 * 1000 = effectively unpaced. id 0 = every camera, present and future. */
VEXCAM_API BOOL VexSim_SetSpeedUp(UINT id, UINT factor);
/* Direct access to the camera's FPGA registers and EEPROM (address below
 * 0x10000), without going over USB. */
VEXCAM_API BOOL VexSim_WriteFpgaRegister(UINT id, BYTE reg, BYTE value);
VEXCAM_API BOOL VexSim_ReadFpgaRegister(UINT id, BYTE reg, BYTE* value);
VEXCAM_API BOOL VexSim_WriteEeprom(UINT id, UINT address, BYTE value);
VEXCAM_API BOOL VexSim_ReadEeprom(UINT id, UINT address, BYTE* value);
/* FPGA version in registers 16 (high) and 17 (low); kept across replug. */
VEXCAM_API BOOL VexSim_SetFpgaVersion(UINT id, WORD version);
/* Sensor temperature of the thermal model, degrees Celsius. */
VEXCAM_API BOOL VexSim_GetTemperature(UINT id, double* celsius);

#ifdef __cplusplus
}
#endif

#endif /* VEXCAM_SIM_H */
