/* Linux extensions of the VexCam API that have no counterpart among the 149
 * VexCam_ functions. */
#ifndef VEXCAM_LINUX_H
#define VEXCAM_LINUX_H

#include "VexCamTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The preview window the instance created at its last start (an X11 window;
 * VexWin_ToX11Window gives its id), or NULL: no window made, window closed by
 * the user or destroyed with its parent, X server gone, unknown handle. */
VEXCAM_API HWND VexWinX_GetPreviewWindow(DWORD handle);

#ifdef __cplusplus
}
#endif

#endif /* VEXCAM_LINUX_H */
