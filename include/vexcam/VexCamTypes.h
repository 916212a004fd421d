/* Windows-style type names used by the VexCam C API, with the sizes they have
 * on 64-bit Windows. Included by every public header. */
#ifndef VEXCAM_TYPES_H
#define VEXCAM_TYPES_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifndef VEXCAM_API
#define VEXCAM_API __attribute__((visibility("default")))
#endif

#ifndef VEXCAM_WINDOWS_TYPES_DEFINED
#define VEXCAM_WINDOWS_TYPES_DEFINED
typedef int BOOL;
typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t UINT;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef struct VexWinWindow__* HWND;
#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#endif

#endif /* VEXCAM_TYPES_H */
