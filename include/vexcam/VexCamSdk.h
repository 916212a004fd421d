/* VexCam SDK: the C API of the VexCam USB3 camera library.
 *
 * An application makes an instance with VexCam_Initialize, which returns a
 * 32-bit handle (0 on failure); every other function except
 * VexCam_GetDllVersion takes that handle first. An unknown or released handle
 * makes a function return its failure value (0; -1 for VexCam_GetColorMode,
 * VexCam_GetSubSample and VexCam_GetWaitTime; 0.0 for the two functions that
 * return a double) and nothing else happens. Any other failure pushes an
 * error code (VEXCAM_ERR_*) that VexCam_GetLastError pops, and posts
 * VEXCAM_MSG_ERROR to the notify window given to VexCam_Initialize.
 *
 * Windows are message windows on Linux (VexCamWindow.h). Wide text is wchar_t
 * (UTF-32 on Linux); narrow text is in the locale's multi-byte encoding.
 *
 * Buffers given to VexCam_CallBackPreview and VexCam_Trigger must stay valid
 * until VexCam_StopPreview or VexCam_Close returns. */
#ifndef VEXCAM_SDK_H
#define VEXCAM_SDK_H

#include "VexCamTypes.h"
#include "VexCamVersion.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Messages. Error: wParam 0, lParam the code. Frame: wParam the address of a
 * VEXCAM_FRAME_INFO (lParam 0), or wParam 0 and lParam an error code (5, 8, 13). */
#define VEXCAM_MSG_FRAME 0x8002u
#define VEXCAM_MSG_ERROR 0x8003u

/* Error codes (10 is not used). */
#define VEXCAM_ERR_NONE 0u             /* success report (a few reads push it) */
#define VEXCAM_ERR_NO_CAMERA 1u        /* no camera, or wrong capture state */
#define VEXCAM_ERR_NOT_OPENED 2u       /* camera could not be opened or set up */
#define VEXCAM_ERR_NO_THREAD 3u        /* worker thread could not be started */
#define VEXCAM_ERR_NO_WINDOW 4u        /* window or registered size not available */
#define VEXCAM_ERR_MEMORY 5u           /* memory, or a buffer too small */
#define VEXCAM_ERR_DEVICE_IO 6u        /* register or device I/O failed */
#define VEXCAM_ERR_WINDOW_REJECTED 7u  /* capture window not allowed */
#define VEXCAM_ERR_NO_FRAME 8u         /* frame transfer failed */
#define VEXCAM_ERR_INVALID_ARG 9u      /* argument out of range or missing */
#define VEXCAM_ERR_NOT_SUPPORTED 11u   /* not supported by the camera or the library */
#define VEXCAM_ERR_FILE_OR_TEXT 12u    /* file, recording or text conversion */
#define VEXCAM_ERR_TRANSFER_BROKEN 13u /* transfer broken during preview */
#define VEXCAM_ERR_MASK_FILE 14u       /* mask file unreadable, unwritable or invalid */

/* Colour modes (VexCam_SetColorMode takes the bits per pixel). */
#define VEXCAM_COLOR_MONO8 0
#define VEXCAM_COLOR_MONO16 1
#define VEXCAM_COLOR_24 2
#define VEXCAM_COLOR_32 3
#define VEXCAM_COLOR_48 4
#define VEXCAM_COLOR_64 5

/* Value identifiers of VexCam_SetFilterValue / VexCam_GetFilterValue. */
#define VEXCAM_VALUE_BRIGHTNESS 1
#define VEXCAM_VALUE_CONTRAST 2
#define VEXCAM_VALUE_HUE 3
#define VEXCAM_VALUE_SATURATION 4
#define VEXCAM_VALUE_SHARPNESS 5
#define VEXCAM_VALUE_BAYER_GAIN_RGB 6
#define VEXCAM_VALUE_BAYER_GAIN_RED 7
#define VEXCAM_VALUE_BAYER_GAIN_GREEN 8
#define VEXCAM_VALUE_BAYER_GAIN_BLUE 9
#define VEXCAM_VALUE_BAYER_GAIN_AUTO 10
#define VEXCAM_VALUE_GAMMA 11
#define VEXCAM_VALUE_BAYER_MODE 12
#define VEXCAM_VALUE_GLOBAL_GAIN 13
#define VEXCAM_VALUE_COLOR_GAIN_RED 14
#define VEXCAM_VALUE_COLOR_GAIN_GREEN1 15
#define VEXCAM_VALUE_COLOR_GAIN_GREEN2 16
#define VEXCAM_VALUE_COLOR_GAIN_BLUE 17
#define VEXCAM_VALUE_GRAY_MODE 19
#define VEXCAM_VALUE_GRAY_GAIN_R 20
#define VEXCAM_VALUE_GRAY_GAIN_G1 21
#define VEXCAM_VALUE_GRAY_GAIN_G2 22
#define VEXCAM_VALUE_GRAY_GAIN_B 23
#define VEXCAM_VALUE_GRAY_OFFSET_R 24
#define VEXCAM_VALUE_GRAY_OFFSET_G1 25
#define VEXCAM_VALUE_GRAY_OFFSET_G2 26
#define VEXCAM_VALUE_GRAY_OFFSET_B 27
#define VEXCAM_VALUE_DOT_FILTER 102
#define VEXCAM_VALUE_MASK_FILTER 103
#define VEXCAM_VALUE_EXPOSURE_TIME 18
#define VEXCAM_VALUE_AUTO_GRAY 28
#define VEXCAM_VALUE_CHANNEL_GAIN_1 29
#define VEXCAM_VALUE_CHANNEL_OFFSET_1 33
#define VEXCAM_VALUE_PELTIER 100
#define VEXCAM_VALUE_TEMPERATURE 101
#define VEXCAM_VALUE_CORRECTION_MODE 104
#define VEXCAM_VALUE_AUTO_CORRECTION 105
#define VEXCAM_VALUE_ANALOG_GAIN 106

/* Still image formats of VexCam_SaveImage. */
#define VEXCAM_FORMAT_BMP 0
#define VEXCAM_FORMAT_RAW 1
#define VEXCAM_FORMAT_JPEG_HIGH 2
#define VEXCAM_FORMAT_JPEG_NORMAL 3
#define VEXCAM_FORMAT_JPEG_LOW 4
#define VEXCAM_FORMAT_PNG 5
#define VEXCAM_FORMAT_TIFF 6

/* Posted with every frame; valid until the next frame. 32 bytes. */
typedef struct {
  DWORD reserved0;
  DWORD width;
  DWORD height;
  DWORD bitsPerPixel;
  DWORD frameRate; /* tenths of frames per second; 0 in trigger mode */
  DWORD reserved1;
  BYTE* buffer; /* the application buffer of the capture call, or NULL */
} VEXCAM_FRAME_INFO;

/* Filled by VexCam_GetCameraInfo; set size first (36, or 56 for all fields). */
typedef struct {
  DWORD size;
  LONG sensorWidth;
  LONG sensorHeight;
  LONG globalGainMin;
  LONG globalGainMax;
  LONG colorGainMin;
  LONG colorGainMax;
  LONG exposureTimeMin; /* tenths of milliseconds */
  LONG exposureTimeMax;
  DWORD reserved;
  double exposureTimeMinSeconds; /* only when size >= 56 */
  double exposureTimeMaxSeconds;
} VEXCAM_CAMERA_INFO;

/* Instance and camera selection */
VEXCAM_API DWORD VexCam_Initialize(HWND notifyWindow);
VEXCAM_API BOOL VexCam_Release(DWORD handle);
VEXCAM_API DWORD VexCam_GetDllVersion(void);
VEXCAM_API int VexCam_EnumDevice(DWORD handle, char names[10][256]);
VEXCAM_API int VexCam_EnumDeviceW(DWORD handle, wchar_t names[10][256]);
VEXCAM_API BOOL VexCam_GetDeviceName(DWORD handle, int index, char* name, int size);
VEXCAM_API BOOL VexCam_GetDeviceNameW(DWORD handle, int index, wchar_t* name, int size);
VEXCAM_API BOOL VexCam_SetDeviceNumber(DWORD handle, int number);
VEXCAM_API BOOL VexCam_Close(DWORD handle);
VEXCAM_API DWORD VexCam_GetLastError(DWORD handle);
VEXCAM_API BOOL VexCam_GetCameraInfo(DWORD handle, VEXCAM_CAMERA_INFO* info);

/* Capture */
VEXCAM_API BOOL VexCam_Preview(DWORD handle);
VEXCAM_API BOOL VexCam_CallBackPreview(DWORD handle, HWND callbackWindow, BYTE* buffer, int size,
                                       int topDown);
VEXCAM_API BOOL VexCam_StartPreview(DWORD handle);
VEXCAM_API BOOL VexCam_StopPreview(DWORD handle);
VEXCAM_API BOOL VexCam_Capture(DWORD handle);
VEXCAM_API BOOL VexCam_SnapShot(DWORD handle, BYTE* buffer, int size, int topDown);
VEXCAM_API BOOL VexCam_Trigger(DWORD handle, HWND callbackWindow, BYTE* buffer, int size,
                               int topDown);
VEXCAM_API BOOL VexCam_GetImage(DWORD handle, BYTE* buffer, int size, int topDown);
VEXCAM_API BOOL VexCam_Record(DWORD handle, const char* fileName, DWORD durationMs, int showWindow);
VEXCAM_API BOOL VexCam_RecordW(DWORD handle, const wchar_t* fileName, DWORD durationMs,
                               int showWindow);
VEXCAM_API BOOL VexCam_SetWaitTime(DWORD handle, int milliseconds);
VEXCAM_API int VexCam_GetWaitTime(DWORD handle);
VEXCAM_API int VexCam_Width(DWORD handle);
VEXCAM_API int VexCam_Height(DWORD handle);
VEXCAM_API int VexCam_GetStatus(DWORD handle, void* status);
VEXCAM_API BOOL VexCam_Fps(DWORD handle);

/* Image format and geometry */
VEXCAM_API BOOL VexCam_SetColorMode(DWORD handle, int bits);
VEXCAM_API int VexCam_GetColorMode(DWORD handle);
VEXCAM_API BOOL VexCam_SetSubSample(DWORD handle, int code);
VEXCAM_API int VexCam_GetSubSample(DWORD handle);
VEXCAM_API BOOL VexCam_SetCaptureWindow(DWORD handle, int width, int height);
VEXCAM_API BOOL VexCam_SetCaptureWindowEx(DWORD handle, int totalWidth, int x, int width,
                                          int totalHeight, int y, int height);
VEXCAM_API BOOL VexCam_GetCaptureWindowEx(DWORD handle, int* totalWidth, int* x, int* width,
                                          int* totalHeight, int* y, int* height);
VEXCAM_API BOOL VexCam_SetPreviewWindow(DWORD handle, HWND parent, int x, int y, int width,
                                        int height);
VEXCAM_API BOOL VexCam_SetMirrorH(DWORD handle, BOOL on);
VEXCAM_API BOOL VexCam_SetMirrorV(DWORD handle, BOOL on);
VEXCAM_API BOOL VexCam_GetMirrorH(DWORD handle);
VEXCAM_API BOOL VexCam_GetMirrorV(DWORD handle);
VEXCAM_API BOOL VexCam_SetConfigFilter(DWORD handle, int on);
VEXCAM_API int VexCam_GetConfigFilter(DWORD handle);

/* Exposure */
VEXCAM_API BOOL VexCam_SetExposureTime(DWORD handle, int tenthsOfMs);
VEXCAM_API int VexCam_GetExposureTime(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetRealExposureTime(DWORD handle, int microseconds);
VEXCAM_API int VexCam_GetRealExposureTime(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetExposureTimeEx(DWORD handle, double seconds);
VEXCAM_API double VexCam_GetExposureTimeEx(DWORD handle, int* ok);

/* Temperature and cooling */
VEXCAM_API int VexCam_GetTemperature(DWORD handle, int* ok);
VEXCAM_API double VexCam_GetTemperatureEx(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetPeltier(DWORD handle, int on);
VEXCAM_API int VexCam_GetPeltier(DWORD handle, int* ok);

/* Registers, I/O port and non-volatile memory */
VEXCAM_API int VexCam_ReadRegister(DWORD handle, BYTE address, int* ok);
VEXCAM_API int VexCam_ReadRegisterEx(DWORD handle, DWORD address, int* ok);
VEXCAM_API BOOL VexCam_WriteRegister(DWORD handle, BYTE address, WORD value);
VEXCAM_API BOOL VexCam_WriteRegisterEx(DWORD handle, DWORD address, DWORD value);
VEXCAM_API int VexCam_Fpga_ReadRegister(DWORD handle, BYTE address, int* ok);
VEXCAM_API BOOL VexCam_Fpga_WriteRegister(DWORD handle, BYTE address, WORD value);
VEXCAM_API BOOL VexCam_GetIOPort(DWORD handle, BYTE* value);
VEXCAM_API BOOL VexCam_SetIOPort(DWORD handle, BYTE value);
VEXCAM_API int VexCam_ReadSromID(DWORD handle, int address, int* ok);
VEXCAM_API BOOL VexCam_WriteSromID(DWORD handle, int address, int value);
VEXCAM_API BOOL VexCam_ReadSerialNumberA(DWORD handle, char* buffer, int size);
VEXCAM_API BOOL VexCam_ReadSerialNumberW(DWORD handle, wchar_t* buffer, int size);
VEXCAM_API BOOL VexCam_SetSamplingRate(DWORD handle, int rate);
VEXCAM_API int VexCam_GetSamplingRate(DWORD handle, int* value);
VEXCAM_API int VexCam_GetVideoFormat(DWORD handle, int* value);

/* Auto iris */
VEXCAM_API BOOL VexCam_SetAutoIris(DWORD handle, int mode);
VEXCAM_API int VexCam_GetAutoIris(DWORD handle, int* ok);

/* Generic value interface and its named forms */
VEXCAM_API BOOL VexCam_SetFilterValue(DWORD handle, int id, int value);
VEXCAM_API int VexCam_GetFilterValue(DWORD handle, int id, int* ok);
VEXCAM_API int VexCam_GetBrightness(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBrightness(DWORD handle, int value);
VEXCAM_API int VexCam_GetContrast(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetContrast(DWORD handle, int value);
VEXCAM_API int VexCam_GetHue(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetHue(DWORD handle, int value);
VEXCAM_API int VexCam_GetSaturation(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetSaturation(DWORD handle, int value);
VEXCAM_API int VexCam_GetSharpness(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetSharpness(DWORD handle, int value);
VEXCAM_API int VexCam_GetBayerGainRGB(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBayerGainRGB(DWORD handle, int value);
VEXCAM_API int VexCam_GetBayerGainRed(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBayerGainRed(DWORD handle, int value);
VEXCAM_API int VexCam_GetBayerGainGreen(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBayerGainGreen(DWORD handle, int value);
VEXCAM_API int VexCam_GetBayerGainBlue(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBayerGainBlue(DWORD handle, int value);
VEXCAM_API int VexCam_GetBayerGainAuto(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBayerGainAuto(DWORD handle, int value);
VEXCAM_API int VexCam_GetGamma(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGamma(DWORD handle, int value);
VEXCAM_API int VexCam_GetBayerMode(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetBayerMode(DWORD handle, int value);
VEXCAM_API int VexCam_GetGlobalGain(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGlobalGain(DWORD handle, int value);
VEXCAM_API int VexCam_GetColorGainRed(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetColorGainRed(DWORD handle, int value);
VEXCAM_API int VexCam_GetColorGainGreen1(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetColorGainGreen1(DWORD handle, int value);
VEXCAM_API int VexCam_GetColorGainGreen2(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetColorGainGreen2(DWORD handle, int value);
VEXCAM_API int VexCam_GetColorGainBlue(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetColorGainBlue(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayMode(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayMode(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayGainR(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayGainR(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayGainG1(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayGainG1(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayGainG2(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayGainG2(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayGainB(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayGainB(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayOffsetR(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayOffsetR(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayOffsetG1(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayOffsetG1(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayOffsetG2(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayOffsetG2(DWORD handle, int value);
VEXCAM_API int VexCam_GetGrayOffsetB(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetGrayOffsetB(DWORD handle, int value);
VEXCAM_API int VexCam_GetDotFilter(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetDotFilter(DWORD handle, int value);
VEXCAM_API int VexCam_GetMaskFilter(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetMaskFilter(DWORD handle, int value);
VEXCAM_API int VexCam_GetChannelGain(DWORD handle, int channel, int* ok);
VEXCAM_API BOOL VexCam_SetChannelGain(DWORD handle, int channel, int value);
VEXCAM_API int VexCam_GetChannelOffset(DWORD handle, int channel, int* ok);
VEXCAM_API BOOL VexCam_SetChannelOffset(DWORD handle, int channel, int value);

/* Always refused by this camera family */
VEXCAM_API BOOL VexCam_GetHalfClock(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetHalfClock(DWORD handle, int on);
VEXCAM_API BOOL VexCam_GetInternalCorrection(DWORD handle, int* ok);
VEXCAM_API BOOL VexCam_SetInternalCorrection(DWORD handle, int on);
VEXCAM_API BOOL VexCam_SetCrossbar(DWORD handle, int value);
VEXCAM_API int VexCam_SendText(DWORD handle, const char* text, int length);
VEXCAM_API int VexCam_ReceiveText(DWORD handle, char* buffer, int size);

/* Dialogs */
VEXCAM_API BOOL VexCam_SetCameraDlg(DWORD handle, HWND parent);
VEXCAM_API BOOL VexCam_SetAnalogDlg(DWORD handle, HWND parent);
VEXCAM_API BOOL VexCam_SetImageDlg(DWORD handle, HWND parent);

/* Files, configuration and masks */
VEXCAM_API BOOL VexCam_SaveImage(DWORD handle, const char* fileName, int format);
VEXCAM_API BOOL VexCam_SaveImageW(DWORD handle, const wchar_t* fileName, int format);
VEXCAM_API BOOL VexCam_LoadConfigFileA(DWORD handle, const char* fileName);
VEXCAM_API BOOL VexCam_LoadConfigFileW(DWORD handle, const wchar_t* fileName);
VEXCAM_API BOOL VexCam_LoadMaskFile(DWORD handle, const char* fileName);
VEXCAM_API BOOL VexCam_LoadMaskFileW(DWORD handle, const wchar_t* fileName);
VEXCAM_API BOOL VexCam_SaveMaskFile(DWORD handle, const char* fileName);
VEXCAM_API BOOL VexCam_SaveMaskFileW(DWORD handle, const wchar_t* fileName);
VEXCAM_API BOOL VexCam_UpdateMaskData(DWORD handle, int which);

#ifdef __cplusplus
}
#endif

#endif /* VEXCAM_SDK_H */
