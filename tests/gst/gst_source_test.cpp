// vexcamsrc against the simulated ZA01.
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/test_env.h"
#include "vexcam/VexCamSim.h"

namespace vexcam::test {
namespace {

class GstSource : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The registry cache stays inside the test's own folder.
    setenv("GST_REGISTRY", (ConfigHome() + "/gst-registry.bin").c_str(), 1);
    gst_init(nullptr, nullptr);
  }
  void SetUp() override {
    VexSim_RemoveAll();
    sim_ = VexSim_AddCamera(0x3200);
    ASSERT_NE(sim_, 0u);
    VexSim_SetSpeedUp(sim_, 20);
  }
  void TearDown() override {
    Stop();
    VexSim_RemoveAll();
  }
  void Stop() {
    if (pipeline_ != nullptr) {
      gst_element_set_state(pipeline_, GST_STATE_NULL);
      gst_object_unref(pipeline_);
    }
    pipeline_ = nullptr;
  }
  GstElement* Launch(const std::string& description) {
    GError* error = nullptr;
    pipeline_ = gst_parse_launch(description.c_str(), &error);
    if (error != nullptr) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
    }
    return pipeline_;
  }
  GstAppSink* Sink() { return GST_APP_SINK(gst_bin_get_by_name(GST_BIN(pipeline_), "sink")); }
  // The bus message that ended the pipeline: EOS or an error (null on time-out).
  GstMessage* WaitEnd(GstClockTime timeout = 20 * GST_SECOND) {
    GstBus* bus = gst_element_get_bus(pipeline_);
    GstMessage* m = gst_bus_timed_pop_filtered(
        bus, timeout, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    gst_object_unref(bus);
    return m;
  }

  UINT sim_ = 0;
  GstElement* pipeline_ = nullptr;
};

TEST_F(GstSource, CapsBufferCountSizesAndTimestampsPerFormat) {
  struct FormatCase {
    int bits;
    const char* format;
    int bytesPerPixel;
  };
  for (const FormatCase& c : {FormatCase{8, "GRAY8", 1}, FormatCase{16, "GRAY16_LE", 2},
                              FormatCase{24, "BGR", 3}, FormatCase{32, "BGRx", 4}}) {
    SCOPED_TRACE(c.format);
    ASSERT_NE(Launch("vexcamsrc num-buffers=10 color-bits=" + std::to_string(c.bits) +
                     " ! appsink name=sink sync=false"),
              nullptr);
    GstAppSink* sink = Sink();
    ASSERT_EQ(gst_element_set_state(pipeline_, GST_STATE_PLAYING), GST_STATE_CHANGE_ASYNC);
    GstClockTime last = 0;
    int buffers = 0;
    for (GstSample* sample;
         (sample = gst_app_sink_try_pull_sample(sink, 10 * GST_SECOND)) != nullptr;) {
      GstCaps* caps = gst_sample_get_caps(sample);
      const GstStructure* s = gst_caps_get_structure(caps, 0);
      EXPECT_STREQ(gst_structure_get_string(s, "format"), c.format);
      int width = 0, height = 0;
      EXPECT_TRUE(gst_structure_get_int(s, "width", &width) && width == 640) << width;
      EXPECT_TRUE(gst_structure_get_int(s, "height", &height) && height == 512) << height;
      GstBuffer* b = gst_sample_get_buffer(sample);
      EXPECT_EQ(gst_buffer_get_size(b), static_cast<gsize>(640 * 512 * c.bytesPerPixel));
      ASSERT_TRUE(GST_BUFFER_PTS_IS_VALID(b));
      EXPECT_GE(GST_BUFFER_PTS(b), last);
      last = GST_BUFFER_PTS(b);
      ++buffers;
      gst_sample_unref(sample);
    }
    EXPECT_EQ(buffers, 10);
    EXPECT_TRUE(gst_app_sink_is_eos(sink));
    gst_object_unref(sink);
    Stop();
  }
}

TEST_F(GstSource, UnplugEndsTheStreamCleanly) {
  ASSERT_NE(Launch("vexcamsrc ! appsink name=sink sync=false"), nullptr);
  GstAppSink* sink = Sink();
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  GstSample* first = gst_app_sink_try_pull_sample(sink, 10 * GST_SECOND);
  ASSERT_NE(first, nullptr);
  gst_sample_unref(first);
  ASSERT_TRUE(VexSim_Unplug(sim_));
  // The sink posts EOS once the frames before it were taken.
  for (GstSample* sample;
       (sample = gst_app_sink_try_pull_sample(sink, 15 * GST_SECOND)) != nullptr;) {
    gst_sample_unref(sample);
  }
  EXPECT_TRUE(gst_app_sink_is_eos(sink));
  GstMessage* end = WaitEnd();
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_EOS);
  gst_message_unref(end);
  gst_object_unref(sink);
}

TEST_F(GstSource, MissingCameraIsAnErrorNotAHang) {
  ASSERT_NE(Launch("vexcamsrc device=3 ! fakesink"), nullptr);
  gst_element_set_state(pipeline_, GST_STATE_PLAYING);
  GstMessage* end = WaitEnd();
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(GST_MESSAGE_TYPE(end), GST_MESSAGE_ERROR);
  gst_message_unref(end);
}

}  // namespace
}  // namespace vexcam::test
