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

/* Stream statistics since the last capture preparation (the start of
 * continuous preview, capture mode, trigger mode, or a snapshot from idle).
 * Set size to sizeof(VEXCAM_STREAM_STATS) before the call; fields are only
 * ever added at the end, and a smaller size (16 or more) gets the whole
 * fields that fit. Rates are over the time from the preparation to now, or
 * to the stop of the capture mode once it stopped. */
typedef struct {
  DWORD size;                       /* set by the caller */
  DWORD state;                      /* capture state: 0 idle, 1 preview, 2 capture, 3 trigger */
  uint64_t framesReceived;          /* whole frames the camera sent */
  uint64_t framesDelivered;         /* frames converted and handed to the application */
  uint64_t framesDropped;           /* framesOverwritten + framesSkippedByRecorder */
  uint64_t framesOverwritten;       /* replaced by newer frames before they were read */
  uint64_t framesSkippedByRecorder; /* delivered while recording but not written to the AVI file */
  uint64_t framesIncomplete;        /* begun but not received whole or as programmed */
  uint64_t transferRetries;         /* failed frame reads followed by another attempt */
  uint64_t pipeResets;              /* pipe resets on the way to a retry */
  uint64_t giveUps;                 /* transfers that ended as broken (error 13) */
  uint64_t bytesReceived;           /* payload bytes of the received frames */
  double seconds;                   /* time the statistics cover */
  double frameRate;                 /* framesDelivered per second */
  double cameraFrameRate;           /* framesReceived per second */
  double bytesPerSecond;            /* bytesReceived per second */
} VEXCAM_STREAM_STATS;

/* 1, or 0 with code 9 (null record) or 5 (size below 16); unknown handle: 0. */
VEXCAM_API BOOL VexCamX_GetStreamStats(DWORD handle, VEXCAM_STREAM_STATS* stats);

/* What a diagnosis of the installation found (VexCamX_Diagnose). */
#define VEXCAM_SETTINGS_MISSING 0    /* no settings file yet: defaults apply */
#define VEXCAM_SETTINGS_PARSED 1     /* found and parses */
#define VEXCAM_SETTINGS_UNREADABLE 2 /* exists but cannot be read */
#define VEXCAM_SETTINGS_CORRUPT 3 /* does not parse: read as empty, moved aside at the next save \
                                   */
#define VEXCAM_SETTINGS_NO_HOME 4 /* no home folder or XDG_CONFIG_HOME to keep it in */

typedef struct {
  WORD vendorId;
  WORD productId;
  LONG modelNumber; /* cameras of the same ids listed before this one */
  DWORD present;    /* 1 when discovery finds the device now, 0 for a stale entry */
  char path[260];
} VEXCAM_TABLE_ENTRY;

typedef struct {
  WORD vendorId;
  WORD productId;
  DWORD simulated;   /* 1 for a simulated camera */
  DWORD opens;       /* 1 when this process could open it */
  char location[64]; /* USB bus and ports as in sysfs ("2-1.4"); "" when simulated */
  char path[260];    /* the device path the library names it by */
} VEXCAM_USB_CAMERA;

typedef struct {
  DWORD size;        /* set by the caller: sizeof(VEXCAM_DIAGNOSIS) */
  DWORD cameraCount; /* cameras discovery finds now */
  VEXCAM_USB_CAMERA cameras[32];
  DWORD settingsState;   /* VEXCAM_SETTINGS_... */
  DWORD settingsCameras; /* camera keys in the settings file */
  char settingsPath[1024];
  char settingsCameraNames[8][32]; /* the first 8 of them */
  DWORD tableCount;                /* entries in the shared device table */
  DWORD tableLiveObjects;          /* library transports alive in all processes */
  VEXCAM_TABLE_ENTRY table[32];
  char previewModule[1024];     /* path of the preview module that loads, or "" */
  char previewModuleError[256]; /* why none loads, or "" */
  char dialogsModule[1024];     /* path of the dialogs module that loads, or "" */
  char dialogsModuleError[256];
} VEXCAM_DIAGNOSIS;

/* Fills the record; needs no handle and no camera. Runs discovery (as
 * VexCam_EnumDevice does) to tell present table entries from stale ones.
 * 0 for a null record or a size other than sizeof(VEXCAM_DIAGNOSIS). */
VEXCAM_API BOOL VexCamX_Diagnose(VEXCAM_DIAGNOSIS* diagnosis);

#ifdef __cplusplus
}
#endif

#endif /* VEXCAM_LINUX_H */
