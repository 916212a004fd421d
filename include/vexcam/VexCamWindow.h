/* Message windows: on Linux they stand in for application windows wherever
 * the VexCam API takes a window for notifications. An application creates
 * one, passes it to the API, and reads the posted messages from its queue. */
#ifndef VEXCAM_WINDOW_H
#define VEXCAM_WINDOW_H

#include "VexCamTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Same field order as the Windows message record, so handlers port easily. */
typedef struct {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
} VEXWIN_MSG;

/* Queue depth of one window; a post to a full queue fails. */
#define VEXWIN_QUEUE_LIMIT 10000u
/* Wait without time limit in VexWin_GetMessage. */
#define VEXWIN_INFINITE 0xFFFFFFFFu

/* Device arrival and removal, posted by the library to notify windows: one
 * message per camera that appears or disappears (checked every 500 ms), lParam 0. */
#define WM_DEVICECHANGE 0x0219u
#define DBT_DEVICEARRIVAL 0x8000u
#define DBT_DEVICEREMOVECOMPLETE 0x8004u

/* A new, empty message window; NULL when it cannot be made. */
VEXCAM_API HWND VexWin_CreateMessageWindow(void);
/* Waits up to timeoutMs for the oldest message and removes it. FALSE on
 * time-out, for a null msg, or for a window that does not exist (or was
 * destroyed while waiting). */
VEXCAM_API BOOL VexWin_GetMessage(HWND window, VEXWIN_MSG* msg, DWORD timeoutMs);
/* Looks at the oldest message without waiting; removes it when remove is
 * non-zero. FALSE when the queue is empty or the window does not exist. */
VEXCAM_API BOOL VexWin_PeekMessage(HWND window, VEXWIN_MSG* msg, BOOL remove);
/* Appends a message; never blocks. FALSE for an unknown or destroyed window
 * or a full queue. */
VEXCAM_API BOOL VexWin_PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
/* Destroys the window: waiters wake with FALSE, later posts fail. */
VEXCAM_API BOOL VexWin_DestroyWindow(HWND window);

/* X11 windows: the handle for an X11 window id (from Xlib, Qt's winId(), GTK's
 * gdk_x11_window_get_xid()), to pass as the preview parent of
 * VexCam_SetPreviewWindow; NULL for 0 or a value that is no X11 id. The
 * handle is not checked against any server until a start uses it. */
VEXCAM_API HWND VexWin_FromX11Window(unsigned long xid);
/* The X11 id behind such a handle; 0 for message windows and other handles. */
VEXCAM_API unsigned long VexWin_ToX11Window(HWND window);

#ifdef __cplusplus
}
#endif

#endif /* VEXCAM_WINDOW_H */
