/* Streams continuous preview into a buffer of its own and prints the frame
 * info record of every frame message, then the stream statistics.
 *
 *   stream_info [FRAMES]        (default 50)
 *
 * Without a camera: VEXCAM_SIMULATOR=3200 stream_info */
#include <stdio.h>
#include <stdlib.h>

#include <vexcam/VexCamLinux.h>
#include <vexcam/VexCamSdk.h>
#include <vexcam/VexCamWindow.h>

int main(int argc, char** argv) {
  const long frames = argc > 1 ? strtol(argv[1], NULL, 10) : 50;
  DWORD h = VexCam_Initialize(NULL);
  if (h == 0 || !VexCam_SetDeviceNumber(h, 0)) {
    fprintf(stderr, "no camera could be opened (error %u)\n", (unsigned)VexCam_GetLastError(h));
    if (h != 0) VexCam_Release(h);
    return 1;
  }
  VexCam_SetColorMode(h, 8);
  /* Rows are padded to 4 bytes. */
  const size_t stride = ((size_t)VexCam_Width(h) + 3) & ~(size_t)3;
  const size_t size = stride * (size_t)VexCam_Height(h);
  BYTE* buffer = malloc(size);
  HWND window = VexWin_CreateMessageWindow();
  int status = 1;
  if (buffer == NULL || window == NULL) goto done;
  VexCam_SetPreviewWindow(h, NULL, 0, 0, 0, 0); /* no preview window */
  if (!VexCam_CallBackPreview(h, window, buffer, (int)size, 1)) {
    fprintf(stderr, "VexCam_CallBackPreview failed: error %u\n", (unsigned)VexCam_GetLastError(h));
    goto done;
  }
  long got = 0;
  VEXWIN_MSG m;
  while (got < frames && VexWin_GetMessage(window, &m, 5000)) {
    if (m.message != VEXCAM_MSG_FRAME) continue;
    if (m.wParam == 0) {
      fprintf(stderr, "frame failed: error %ld\n", (long)m.lParam);
      if (m.lParam == VEXCAM_ERR_TRANSFER_BROKEN) break;
      continue;
    }
    const VEXCAM_FRAME_INFO* info = (const VEXCAM_FRAME_INFO*)m.wParam;
    ++got;
    printf("frame %ld: %u x %u, %u bits, %u.%u fps\n", got, (unsigned)info->width,
           (unsigned)info->height, (unsigned)info->bitsPerPixel, (unsigned)info->frameRate / 10,
           (unsigned)info->frameRate % 10);
  }
  VEXCAM_STREAM_STATS stats = {0};
  stats.size = sizeof(stats);
  if (VexCamX_GetStreamStats(h, &stats)) {
    printf("delivered %llu, dropped %llu, incomplete %llu, retries %llu, %.1f fps, %.1f MB/s\n",
           (unsigned long long)stats.framesDelivered, (unsigned long long)stats.framesDropped,
           (unsigned long long)stats.framesIncomplete, (unsigned long long)stats.transferRetries,
           stats.frameRate, stats.bytesPerSecond / 1e6);
  }
  VexCam_StopPreview(h);
  status = got == frames ? 0 : 1;
done:
  if (window != NULL) VexWin_DestroyWindow(window);
  free(buffer);
  VexCam_Release(h);
  return status;
}
