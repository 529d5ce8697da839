// AviWriter against a plain GStreamer pipeline on the same frames: 300 frames of
// 1280 x 720 written uncompressed and with the MPEG-4 part 2 encoder. Prints both times
// and their ratio (target: at most 1.15).
//
//   avi_writer_bench [output folder]     (default: the system's temporary folder)
#include "codecs/encoder_config_store.h"
#include "media_out/avi_writer.h"
#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int32_t kWidth = 1280;
constexpr int32_t kHeight = 720;
constexpr int kFrames = 300;
constexpr int kDistinctFrames = 25;
constexpr double kFrameRate = 25.0;
constexpr int kRuns = 3;

using Clock = std::chrono::steady_clock;
using klova::adopt;
using klova::GstPtr;
using klova::retain;

// Bottom-up DIBs as the engine hands them over, each a moving gradient.
std::vector<std::vector<uint8_t>> MakeFrames()
{
    const int32_t stride = klova::DibStride(kWidth);
    std::vector<std::vector<uint8_t>> frames(kDistinctFrames, std::vector<uint8_t>(stride * kHeight));
    for (int f = 0; f < kDistinctFrames; ++f)
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) {
                uint8_t* pixel = frames[f].data() + y * stride + x * 3;
                pixel[0] = static_cast<uint8_t>(x + f * 4);
                pixel[1] = static_cast<uint8_t>(y + f * 2);
                pixel[2] = static_cast<uint8_t>((x ^ y) + f);
            }
    return frames;
}

double WithAviWriter(const std::string& path, const std::string& codec, const std::vector<std::vector<uint8_t>>& frames)
{
    klova::EncoderConfigStore settings;
    const auto start = Clock::now();
    klova::AviWriter writer(settings);
    // The fresh profile's options: dwQuality 100000 is out of range, so the encoder keeps
    // its own defaults, as it does in the plain pipeline.
    klova::AVICOMPRESSOPTIONS options;
    options.dwQuality = 100000;
    writer.SetVideoFormat(options, kFrameRate, kWidth, kHeight, codec);
    writer.OpenFile(path);
    for (int i = 0; i < kFrames; ++i)
        if (!writer.WriteVideo(frames[i % frames.size()].data())) {
            std::fprintf(stderr, "AviWriter: write %d failed\n", i);
            break;
        }
    if (!writer.WriteVideo(nullptr))
        std::fprintf(stderr, "AviWriter: the file was not completed\n");
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// appsrc ! [videoconvert ! encoder] ! avimux ! filesink, each frame copied into a buffer
// as an application feeding GStreamer does. The frames are turned top-down beforehand.
double WithPlainPipeline(const std::string& path, const char* encoder, const std::vector<std::vector<uint8_t>>& topDown)
{
    // The muxer's video input is named: linking by template alone would pick its audio input.
    const std::string description =
        "avimux name=mux ! filesink location=\"" + path +
        "\" appsrc name=source format=time block=true max-bytes=20000000 caps=video/x-raw,format=BGR,width=" +
        std::to_string(kWidth) + ",height=" + std::to_string(kHeight) + ",framerate=25/1 ! " +
        (encoder ? std::string("videoconvert ! ") + encoder + " ! " : "") + "mux.video_0";
    const auto start = Clock::now();
    GError* error = nullptr;
    const GstPtr<GstElement> pipeline = retain(gst_parse_launch(description.c_str(), &error));
    const GstPtr<GError> parseError(error);
    if (!pipeline) {
        std::fprintf(stderr, "pipeline: %s\n", error ? error->message : "?");
        return -1.0;
    }
    const GstPtr<GstElement> source = adopt(gst_bin_get_by_name(GST_BIN(pipeline.get()), "source"));
    gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
    const GstClockTime duration = GST_SECOND / 25;
    for (int i = 0; i < kFrames; ++i) {
        const std::vector<uint8_t>& frame = topDown[i % topDown.size()];
        GstBuffer* buffer = gst_buffer_new_memdup(frame.data(), frame.size());
        GST_BUFFER_PTS(buffer) = i * duration;
        GST_BUFFER_DURATION(buffer) = duration;
        if (gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer) != GST_FLOW_OK)
            break;
    }
    gst_app_src_end_of_stream(GST_APP_SRC(source.get()));
    const GstPtr<GstBus> bus = adopt(gst_element_get_bus(pipeline.get()));
    const GstPtr<GstMessage> message = adopt(gst_bus_timed_pop_filtered(
        bus.get(), GST_CLOCK_TIME_NONE, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    if (GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR)
        std::fprintf(stderr, "pipeline: error from %s\n", GST_MESSAGE_SRC_NAME(message.get()));
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path().string();
    const std::string path = folder + "/klova-avi-writer-bench.avi";

    const std::vector<std::vector<uint8_t>> frames = MakeFrames();
    std::vector<std::vector<uint8_t>> topDown(frames.size(), std::vector<uint8_t>(frames[0].size()));
    const size_t stride = klova::DibStride(kWidth);
    for (size_t f = 0; f < frames.size(); ++f)
        for (int32_t y = 0; y < kHeight; ++y)
            std::memcpy(topDown[f].data() + y * stride, frames[f].data() + (kHeight - 1 - y) * stride, stride);

    std::printf("%d frames of %d x %d at %.0f fps, best of %d runs\n", kFrames, kWidth, kHeight, kFrameRate, kRuns);
    std::printf("%-30s %12s %12s %8s\n", "codec", "AviWriter s", "pipeline s", "ratio");
    const struct {
        const char* label;
        const char* codec;
        const char* encoder;
    } cases[] = {
        {"<Uncompressed>", "<Uncompressed>", nullptr},
        {"MPEG-4 part 2 (avenc_mpeg4)", "libav MPEG-4 part 2 encoder", "avenc_mpeg4"},
    };
    int status = 0;
    for (const auto& c : cases) {
        double writer = 1e9;
        double plain = 1e9;
        for (int run = 0; run < kRuns; ++run) {
            writer = std::min(writer, WithAviWriter(path, c.codec, frames));
            plain = std::min(plain, WithPlainPipeline(path, c.encoder, topDown));
        }
        const double ratio = writer / plain;
        std::printf("%-30s %12.3f %12.3f %8.3f%s\n", c.label, writer, plain, ratio, ratio <= 1.15 ? "" : "  (above 1.15)");
        if (ratio > 1.15)
            status = 1;
    }
    std::filesystem::remove(path);
    gst_deinit();
    return status;
}
