/* The public headers must compile as C on their own. */
#include "vexcam/VexCamLinux.h"
#include "vexcam/VexCamSdk.h"
#include "vexcam/VexCamWindow.h"

_Static_assert(sizeof(DWORD) == 4, "DWORD is 32-bit");
_Static_assert(sizeof(WORD) == 2, "WORD is 16-bit");
_Static_assert(sizeof(HWND) == sizeof(void*), "HWND is pointer-sized");
_Static_assert(sizeof(VEXCAM_FRAME_INFO) == 32, "frame info record is 32 bytes");
_Static_assert(sizeof(VEXCAM_CAMERA_INFO) == 56, "camera info record is 56 bytes");
_Static_assert(offsetof(VEXCAM_CAMERA_INFO, exposureTimeMinSeconds) == 40, "doubles at 40");
_Static_assert(offsetof(VEXCAM_FRAME_INFO, buffer) == 24, "buffer pointer at 24");
_Static_assert(offsetof(VEXWIN_MSG, wParam) == 16, "message record as on 64-bit Windows");

unsigned vexcam_c_header_version(void) { return VexCam_GetDllVersion(); }
