/* vexcamsrc: a live GStreamer source of VexCam frames.
 *
 *   gst-launch-1.0 vexcamsrc num-buffers=100 ! videoconvert ! fakesink
 *
 * Continuous preview runs without a buffer of the library's own; each frame
 * message fetches the newest frame with VexCam_GetImage, which copies it
 * whole under the library's frame lock. A broken transfer (the camera was
 * unplugged) ends the stream with EOS. */
#include <gst/base/gstpushsrc.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <string.h>

#include <vexcam/VexCamLinux.h>
#include <vexcam/VexCamSdk.h>
#include <vexcam/VexCamWindow.h>

#define VEXCAM_TYPE_SRC (vexcam_src_get_type())
G_DECLARE_FINAL_TYPE(VexCamSrc, vexcam_src, VEXCAM, SRC, GstPushSrc)

GST_DEBUG_CATEGORY_STATIC(vexcam_src_debug);
#define GST_CAT_DEFAULT vexcam_src_debug

/* Posted to our own message window by unlock() to end a wait. */
#define WAKE_MESSAGE 0x7F01u
#define FRAME_WAIT_MS 5000u

struct _VexCamSrc {
  GstPushSrc parent;
  /* properties */
  gint device;
  gint color_bits;
  gint exposure; /* tenths of milliseconds; -1 keeps the stored value */
  gint window_x, window_y, window_width, window_height; /* width 0 keeps the stored window */
  /* while started */
  DWORD handle;
  HWND window;
  gint width, height;
  gsize frame_bytes;
  GstCaps* caps;
  gint flushing; /* atomic */
};

G_DEFINE_TYPE(VexCamSrc, vexcam_src, GST_TYPE_PUSH_SRC)

enum {
  PROP_0,
  PROP_DEVICE,
  PROP_COLOR_BITS,
  PROP_EXPOSURE,
  PROP_WINDOW_X,
  PROP_WINDOW_Y,
  PROP_WINDOW_WIDTH,
  PROP_WINDOW_HEIGHT
};

static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS(
        "video/x-raw, format = (string) { GRAY8, GRAY16_LE, BGR, BGRx }, "
        "width = (int) [ 1, 65535 ], height = (int) [ 1, 65535 ], framerate = (fraction) 0/1"));

static const char* format_of_bits(gint bits) {
  switch (bits) {
    case 8:
      return "GRAY8";
    case 16:
      return "GRAY16_LE";
    case 24:
      return "BGR";
    case 32:
      return "BGRx";
    default:
      return NULL;
  }
}

static gboolean fail(VexCamSrc* self, const char* what) {
  const DWORD code = self->handle != 0 ? VexCam_GetLastError(self->handle) : 0;
  GST_ELEMENT_ERROR(self, RESOURCE, FAILED, ("%s failed", what),
                    ("library error code %u", (unsigned)code));
  return FALSE;
}

static void close_camera(VexCamSrc* self) {
  if (self->handle != 0) {
    VexCam_StopPreview(self->handle);
    VexCam_Release(self->handle);
    self->handle = 0;
  }
  if (self->window != NULL) {
    VexWin_DestroyWindow(self->window);
    self->window = NULL;
  }
  gst_clear_caps(&self->caps);
}

static gboolean vexcam_src_start(GstBaseSrc* base) {
  VexCamSrc* self = VEXCAM_SRC(base);
  const char* format = format_of_bits(self->color_bits);
  if (format == NULL) {
    GST_ELEMENT_ERROR(self, RESOURCE, SETTINGS, ("color-bits must be 8, 16, 24 or 32"), (NULL));
    return FALSE;
  }
  self->handle = VexCam_Initialize(NULL);
  if (self->handle == 0) return fail(self, "VexCam_Initialize");
  if (!VexCam_SetDeviceNumber(self->handle, self->device)) {
    GST_ELEMENT_ERROR(self, RESOURCE, NOT_FOUND, ("camera %d could not be opened", self->device),
                      ("library error code %u", (unsigned)VexCam_GetLastError(self->handle)));
    close_camera(self);
    return FALSE;
  }
  gboolean ok = VexCam_SetPreviewWindow(self->handle, NULL, 0, 0, 0, 0) &&
                VexCam_SetColorMode(self->handle, self->color_bits);
  if (ok && self->exposure >= 0) ok = VexCam_SetExposureTime(self->handle, self->exposure);
  if (ok && self->window_width > 0 && self->window_height > 0) {
    VEXCAM_CAMERA_INFO info;
    memset(&info, 0, sizeof(info));
    info.size = sizeof(info);
    ok = VexCam_GetCameraInfo(self->handle, &info) &&
         VexCam_SetCaptureWindowEx(self->handle, info.sensorWidth, self->window_x,
                                   self->window_width, info.sensorHeight, self->window_y,
                                   self->window_height);
  }
  if (!ok) {
    fail(self, "applying the properties");
    close_camera(self);
    return FALSE;
  }
  self->width = VexCam_Width(self->handle);
  self->height = VexCam_Height(self->handle);
  /* Rows padded to 4 bytes, as GStreamer lays these formats out too. */
  self->frame_bytes =
      (gsize)GST_ROUND_UP_4(self->width * self->color_bits / 8) * (gsize)self->height;
  self->caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, format, "width",
                                   G_TYPE_INT, self->width, "height", G_TYPE_INT, self->height,
                                   "framerate", GST_TYPE_FRACTION, 0, 1, NULL);
  self->window = VexWin_CreateMessageWindow();
  if (self->window == NULL || !VexCam_CallBackPreview(self->handle, self->window, NULL, 0, 1)) {
    fail(self, "starting continuous preview");
    close_camera(self);
    return FALSE;
  }
  GST_INFO_OBJECT(self, "camera %d streaming %d x %d %s", self->device, self->width, self->height,
                  format);
  return TRUE;
}

static gboolean vexcam_src_stop(GstBaseSrc* base) {
  VexCamSrc* self = VEXCAM_SRC(base);
  VEXCAM_STREAM_STATS stats;
  memset(&stats, 0, sizeof(stats));
  stats.size = sizeof(stats);
  if (self->handle != 0 && VexCamX_GetStreamStats(self->handle, &stats)) {
    GST_INFO_OBJECT(self,
                    "delivered %" G_GUINT64_FORMAT ", dropped %" G_GUINT64_FORMAT
                    ", retries %" G_GUINT64_FORMAT,
                    (guint64)stats.framesDelivered, (guint64)stats.framesDropped,
                    (guint64)stats.transferRetries);
  }
  close_camera(self);
  return TRUE;
}

static GstCaps* vexcam_src_get_caps(GstBaseSrc* base, GstCaps* filter) {
  VexCamSrc* self = VEXCAM_SRC(base);
  GstCaps* caps = self->caps != NULL ? gst_caps_ref(self->caps)
                                     : gst_pad_get_pad_template_caps(GST_BASE_SRC_PAD(base));
  if (filter != NULL) {
    GstCaps* both = gst_caps_intersect_full(filter, caps, GST_CAPS_INTERSECT_FIRST);
    gst_caps_unref(caps);
    caps = both;
  }
  return caps;
}

static gboolean vexcam_src_unlock(GstBaseSrc* base) {
  VexCamSrc* self = VEXCAM_SRC(base);
  g_atomic_int_set(&self->flushing, 1);
  if (self->window != NULL) VexWin_PostMessage(self->window, WAKE_MESSAGE, 0, 0);
  return TRUE;
}

static gboolean vexcam_src_unlock_stop(GstBaseSrc* base) {
  g_atomic_int_set(&VEXCAM_SRC(base)->flushing, 0);
  return TRUE;
}

static GstFlowReturn vexcam_src_create(GstPushSrc* push, GstBuffer** out) {
  VexCamSrc* self = VEXCAM_SRC(push);
  VEXWIN_MSG m;
  for (;;) {
    if (g_atomic_int_get(&self->flushing)) return GST_FLOW_FLUSHING;
    if (!VexWin_GetMessage(self->window, &m, FRAME_WAIT_MS)) {
      GST_ELEMENT_ERROR(self, RESOURCE, READ,
                        ("no frame from camera %d for %u ms", self->device, FRAME_WAIT_MS), (NULL));
      return GST_FLOW_ERROR;
    }
    if (m.message != VEXCAM_MSG_FRAME) continue;
    if (m.wParam != 0) break;
    if (m.lParam == VEXCAM_ERR_TRANSFER_BROKEN) {
      GST_INFO_OBJECT(self, "camera %d gone: end of stream", self->device);
      return GST_FLOW_EOS;
    }
    GST_WARNING_OBJECT(self, "frame failed with library error %d", (int)m.lParam);
  }
  /* The frame's arrival, in running time. */
  GstClockTime pts = GST_CLOCK_TIME_NONE;
  GstClock* clock = gst_element_get_clock(GST_ELEMENT(self));
  if (clock != NULL) {
    const GstClockTime now = gst_clock_get_time(clock);
    const GstClockTime base_time = gst_element_get_base_time(GST_ELEMENT(self));
    pts = now > base_time ? now - base_time : 0;
    gst_object_unref(clock);
  }
  GstBuffer* buffer = gst_buffer_new_allocate(NULL, self->frame_bytes, NULL);
  GstMapInfo map;
  if (buffer == NULL || !gst_buffer_map(buffer, &map, GST_MAP_WRITE)) {
    if (buffer != NULL) gst_buffer_unref(buffer);
    GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("no memory for a frame"), (NULL));
    return GST_FLOW_ERROR;
  }
  const BOOL copied = VexCam_GetImage(self->handle, map.data, (int)map.size, 1);
  gst_buffer_unmap(buffer, &map);
  if (!copied) {
    gst_buffer_unref(buffer);
    fail(self, "VexCam_GetImage");
    return GST_FLOW_ERROR;
  }
  GST_BUFFER_PTS(buffer) = pts;
  GST_BUFFER_DTS(buffer) = pts;
  *out = buffer;
  return GST_FLOW_OK;
}

static void vexcam_src_set_property(GObject* object, guint id, const GValue* value,
                                    GParamSpec* param) {
  VexCamSrc* self = VEXCAM_SRC(object);
  switch (id) {
    case PROP_DEVICE:
      self->device = g_value_get_int(value);
      break;
    case PROP_COLOR_BITS:
      self->color_bits = g_value_get_int(value);
      break;
    case PROP_EXPOSURE:
      self->exposure = g_value_get_int(value);
      break;
    case PROP_WINDOW_X:
      self->window_x = g_value_get_int(value);
      break;
    case PROP_WINDOW_Y:
      self->window_y = g_value_get_int(value);
      break;
    case PROP_WINDOW_WIDTH:
      self->window_width = g_value_get_int(value);
      break;
    case PROP_WINDOW_HEIGHT:
      self->window_height = g_value_get_int(value);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
  }
}

static void vexcam_src_get_property(GObject* object, guint id, GValue* value, GParamSpec* param) {
  VexCamSrc* self = VEXCAM_SRC(object);
  switch (id) {
    case PROP_DEVICE:
      g_value_set_int(value, self->device);
      break;
    case PROP_COLOR_BITS:
      g_value_set_int(value, self->color_bits);
      break;
    case PROP_EXPOSURE:
      g_value_set_int(value, self->exposure);
      break;
    case PROP_WINDOW_X:
      g_value_set_int(value, self->window_x);
      break;
    case PROP_WINDOW_Y:
      g_value_set_int(value, self->window_y);
      break;
    case PROP_WINDOW_WIDTH:
      g_value_set_int(value, self->window_width);
      break;
    case PROP_WINDOW_HEIGHT:
      g_value_set_int(value, self->window_height);
      break;
    default:
      G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, param);
  }
}

static void vexcam_src_finalize(GObject* object) {
  close_camera(VEXCAM_SRC(object));
  G_OBJECT_CLASS(vexcam_src_parent_class)->finalize(object);
}

static void int_property(GObjectClass* klass, guint id, const char* name, const char* blurb,
                         gint lo, gint hi, gint def) {
  g_object_class_install_property(
      klass, id,
      g_param_spec_int(
          name, name, blurb, lo, hi, def,
          (GParamFlags)(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY)));
}

static void vexcam_src_class_init(VexCamSrcClass* klass) {
  GObjectClass* object = G_OBJECT_CLASS(klass);
  GstElementClass* element = GST_ELEMENT_CLASS(klass);
  GstBaseSrcClass* base = GST_BASE_SRC_CLASS(klass);
  object->set_property = vexcam_src_set_property;
  object->get_property = vexcam_src_get_property;
  object->finalize = vexcam_src_finalize;
  int_property(object, PROP_DEVICE, "device", "Device number of the camera", 0, 31, 0);
  int_property(object, PROP_COLOR_BITS, "color-bits",
               "Bits per pixel: 8 GRAY8, 16 GRAY16_LE, 24 BGR, 32 BGRx", 8, 32, 8);
  int_property(object, PROP_EXPOSURE, "exposure",
               "Exposure time in tenths of milliseconds (-1: as stored)", -1, G_MAXINT, -1);
  int_property(object, PROP_WINDOW_X, "window-x", "Capture window x", 0, 65535, 0);
  int_property(object, PROP_WINDOW_Y, "window-y", "Capture window y", 0, 65535, 0);
  int_property(object, PROP_WINDOW_WIDTH, "window-width", "Capture window width (0: as stored)", 0,
               65535, 0);
  int_property(object, PROP_WINDOW_HEIGHT, "window-height", "Capture window height (0: as stored)",
               0, 65535, 0);
  gst_element_class_set_static_metadata(element, "VexCam camera source", "Source/Video",
                                        "Frames of a VexCam USB3 camera", "VexCam SDK maintainers");
  gst_element_class_add_static_pad_template(element, &src_template);
  base->start = vexcam_src_start;
  base->stop = vexcam_src_stop;
  base->get_caps = vexcam_src_get_caps;
  base->unlock = vexcam_src_unlock;
  base->unlock_stop = vexcam_src_unlock_stop;
  GST_PUSH_SRC_CLASS(klass)->create = vexcam_src_create;
}

static void vexcam_src_init(VexCamSrc* self) {
  self->color_bits = 8;
  self->exposure = -1;
  gst_base_src_set_live(GST_BASE_SRC(self), TRUE);
  gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
}

static gboolean plugin_init(GstPlugin* plugin) {
  GST_DEBUG_CATEGORY_INIT(vexcam_src_debug, "vexcamsrc", 0, "VexCam camera source");
  return gst_element_register(plugin, "vexcamsrc", GST_RANK_NONE, VEXCAM_TYPE_SRC);
}

#define PACKAGE "vexcam"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, vexcam, "VexCam USB3 camera source",
                  plugin_init, VEXCAM_VERSION_STRING, "Proprietary", "vexcam", "https://localhost/vexcam")
