/* Lists the cameras, opens the first one and saves one frame as a PNG file.
 *
 *   snapshot_png [FILE.png]      (default: snapshot.png)
 *
 * Without a camera: VEXCAM_SIMULATOR=3200 snapshot_png */
#include <stdio.h>

#include <vexcam/VexCamSdk.h>

static int fail(DWORD h, const char* what) {
  fprintf(stderr, "%s failed: error %u\n", what, (unsigned)VexCam_GetLastError(h));
  if (h != 0) VexCam_Release(h);
  return 1;
}

int main(int argc, char** argv) {
  const char* file = argc > 1 ? argv[1] : "snapshot.png";
  DWORD h = VexCam_Initialize(NULL);
  if (h == 0) {
    fprintf(stderr, "VexCam_Initialize failed\n");
    return 1;
  }
  static char names[10][256];
  int count = VexCam_EnumDevice(h, names);
  if (count <= 0) {
    fprintf(stderr, "no camera found\n");
    VexCam_Release(h);
    return 1;
  }
  for (int i = 0; i < count; ++i) printf("camera %d: %s\n", i, names[i]);

  if (!VexCam_SetDeviceNumber(h, 0)) return fail(h, "VexCam_SetDeviceNumber");
  if (!VexCam_SetColorMode(h, 24)) return fail(h, "VexCam_SetColorMode");
  /* A snapshot without a buffer keeps the frame in the instance for saving. */
  if (!VexCam_SnapShot(h, NULL, 0, 1)) return fail(h, "VexCam_SnapShot");
  if (!VexCam_SaveImage(h, file, VEXCAM_FORMAT_PNG)) return fail(h, "VexCam_SaveImage");
  printf("saved %d x %d to %s\n", VexCam_Width(h), VexCam_Height(h), file);
  VexCam_Release(h);
  return 0;
}
