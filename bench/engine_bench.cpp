// Throughput of the engine's per-frame building blocks on one core: frame scaling
// (reference ScaleFrame, FrameScaler, and libswscale's bilinear BGR24 scaling of the
// same sizes for comparison), the reader's 4:2:0 to BGR conversion at each instruction
// set the processor runs (and GStreamer's own for comparison), the writer's BGR to I420
// conversion likewise, scene detection on 1280 x 720 frames, and audio conversion per
// output frame. Prints figures only; run:
//   build/bench/engine_bench --benchmark_counters_tabular=true
#include "engine/audio_chunk_schedule.h"
#include "engine/audio_converter.h"
#include "engine/frame_scaler.h"
#include "engine/scene_detector.h"
#include "media_in/yuv_to_bgr_converter.h"
#include "media_out/bgr_to_i420_converter.h"
#include "platform/media_types.h"
#include "platform/simd_level.h"

#include <benchmark/benchmark.h>
#include <gst/gst.h>
#include <gst/video/video.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include <memory>
#include <random>
#include <vector>

namespace {

using namespace klova;

std::vector<uint8_t> RandomFrame(int width, int height)
{
    std::vector<uint8_t> frame(DibImageSize(width, height));
    std::mt19937 random(1);
    for (auto& byte : frame)
        byte = static_cast<uint8_t>(random());
    return frame;
}

void SetFrameCounters(benchmark::State& state)
{
    state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_ScaleFrameReference(benchmark::State& state)
{
    const int sw = static_cast<int>(state.range(0)), sh = static_cast<int>(state.range(1));
    const int dw = static_cast<int>(state.range(2)), dh = static_cast<int>(state.range(3));
    const DivideTable table;
    const auto source = RandomFrame(sw, sh);
    std::vector<uint8_t> destination(DibImageSize(dw, dh));
    for (auto _ : state) {
        ScaleFrame(table, source.data(), sw, sh, destination.data(), dw, dh);
        benchmark::DoNotOptimize(destination.data());
    }
    SetFrameCounters(state);
}

void BM_FrameScaler(benchmark::State& state)
{
    const int sw = static_cast<int>(state.range(0)), sh = static_cast<int>(state.range(1));
    const int dw = static_cast<int>(state.range(2)), dh = static_cast<int>(state.range(3));
    const auto level = static_cast<SimdLevel>(state.range(4));
    state.SetLabel(SimdLevelName(level));
    FrameScaler scaler(sw, sh, dw, dh, level);
    const auto source = RandomFrame(sw, sh);
    std::vector<uint8_t> destination(scaler.OutputImageSize());
    for (auto _ : state) {
        scaler.Scale(source.data(), destination.data());
        benchmark::DoNotOptimize(destination.data());
    }
    SetFrameCounters(state);
}

struct SwsFree {
    void operator()(SwsContext* context) const noexcept { sws_freeContext(context); }
};

// alignedRows: rows padded to 64 bytes instead of the DIB's 4, swscale's best case.
void SwscaleBilinear(benchmark::State& state, bool alignedRows)
{
    const int sw = static_cast<int>(state.range(0)), sh = static_cast<int>(state.range(1));
    const int dw = static_cast<int>(state.range(2)), dh = static_cast<int>(state.range(3));
    std::unique_ptr<SwsContext, SwsFree> context(
        sws_getContext(sw, sh, AV_PIX_FMT_BGR24, dw, dh, AV_PIX_FMT_BGR24, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!context) {
        state.SkipWithError("sws_getContext failed");
        return;
    }
    auto strideOf = [&](int width) { return alignedRows ? (3 * width + 63) / 64 * 64 : DibStride(width); };
    const int sourceStrides[1] = {strideOf(sw)};
    const int destinationStrides[1] = {strideOf(dw)};
    std::vector<uint8_t> sourceBytes(static_cast<size_t>(sourceStrides[0]) * sh + 64);
    std::vector<uint8_t> destinationBytes(static_cast<size_t>(destinationStrides[0]) * dh + 64);
    std::mt19937 random(1);
    for (auto& byte : sourceBytes)
        byte = static_cast<uint8_t>(random());
    auto align = [&](uint8_t* p) { return alignedRows ? p + (64 - reinterpret_cast<uintptr_t>(p) % 64) % 64 : p; };
    const uint8_t* sourcePlanes[1] = {align(sourceBytes.data())};
    uint8_t* destinationPlanes[1] = {align(destinationBytes.data())};
    for (auto _ : state) {
        sws_scale(context.get(), sourcePlanes, sourceStrides, 0, sh, destinationPlanes, destinationStrides);
        benchmark::DoNotOptimize(destinationPlanes[0]);
    }
    SetFrameCounters(state);
}

void BM_SwscaleBilinear(benchmark::State& state)
{
    SwscaleBilinear(state, false);
}

void BM_SwscaleBilinearAlignedRows(benchmark::State& state)
{
    SwscaleBilinear(state, true);
}

void ScaleSizes(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"sw", "sh", "dw", "dh"});
    b->Args({1280, 720, 320, 240});
    b->Args({720, 576, 352, 288});
    b->Args({1920, 1080, 640, 360});
    b->Args({640, 480, 1280, 960});
    b->Unit(benchmark::kMicrosecond);
}

// The same sizes, with each instruction set the processor runs for the horizontal filter.
void ScaleSizesAndLevels(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"sw", "sh", "dw", "dh", "level"});
    for (const SimdLevel level : SupportedSimdLevels()) {
        const int index = static_cast<int>(level);
        b->Args({1280, 720, 320, 240, index});
        b->Args({720, 576, 352, 288, index});
        b->Args({1920, 1080, 640, 360, index});
        b->Args({640, 480, 1280, 960, index});
    }
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK(BM_ScaleFrameReference)->Apply(ScaleSizes);
BENCHMARK(BM_FrameScaler)->Apply(ScaleSizesAndLevels);
BENCHMARK(BM_SwscaleBilinear)->Apply(ScaleSizes);
BENCHMARK(BM_SwscaleBilinearAlignedRows)->Apply(ScaleSizes);

// The instruction sets this processor runs, as benchmark arguments.
void SimdLevels(benchmark::internal::Benchmark* b)
{
    b->ArgName("level");
    for (const SimdLevel level : SupportedSimdLevels())
        b->Arg(static_cast<int>(level));
    b->Unit(benchmark::kMicrosecond);
}

void SetLevelLabel(benchmark::State& state)
{
    state.SetLabel(SimdLevelName(static_cast<SimdLevel>(state.range(0))));
}

// A frame of random bytes in a GStreamer format, mapped for reading.
class DecodedFrame {
public:
    DecodedFrame(GstVideoFormat format, int width, int height)
    {
        gst_video_info_set_format(&info_, format, width, height);
        buffer_ = gst_buffer_new_allocate(nullptr, info_.size, nullptr);
        GstMapInfo map;
        gst_buffer_map(buffer_, &map, GST_MAP_WRITE);
        std::mt19937 random(3);
        for (gsize i = 0; i < map.size; ++i)
            map.data[i] = static_cast<uint8_t>(random());
        gst_buffer_unmap(buffer_, &map);
        gst_video_frame_map(&frame_, &info_, buffer_, GST_MAP_READ);
    }
    ~DecodedFrame()
    {
        gst_video_frame_unmap(&frame_);
        gst_buffer_unref(buffer_);
    }
    const GstVideoInfo& info() const { return info_; }
    const GstVideoFrame& frame() const { return frame_; }

private:
    GstVideoInfo info_;
    GstBuffer* buffer_ = nullptr;
    GstVideoFrame frame_;
};

void BM_YuvToBgr(benchmark::State& state)
{
    const DecodedFrame input(GST_VIDEO_FORMAT_I420, 1280, 720);
    YuvToBgrConverter converter(static_cast<SimdLevel>(state.range(0)));
    converter.Configure(input.info());
    std::vector<uint8_t> dib(DibImageSize(1280, 720));
    for (auto _ : state) {
        converter.Convert(input.frame(), dib.data());
        benchmark::DoNotOptimize(dib.data());
    }
    SetFrameCounters(state);
    SetLevelLabel(state);
}
BENCHMARK(BM_YuvToBgr)->Apply(SimdLevels);

// GStreamer's own conversion of the same frame to top-down BGR, on one thread.
void BM_YuvToBgrGStreamer(benchmark::State& state)
{
    const DecodedFrame input(GST_VIDEO_FORMAT_I420, 1280, 720);
    GstVideoInfo bgr;
    gst_video_info_set_format(&bgr, GST_VIDEO_FORMAT_BGR, 1280, 720);
    GstVideoConverter* converter = gst_video_converter_new(const_cast<GstVideoInfo*>(&input.info()), &bgr, nullptr);
    GstBuffer* out = gst_buffer_new_allocate(nullptr, bgr.size, nullptr);
    GstVideoFrame outFrame;
    gst_video_frame_map(&outFrame, &bgr, out, GST_MAP_WRITE);
    for (auto _ : state)
        gst_video_converter_frame(converter, &input.frame(), &outFrame);
    gst_video_frame_unmap(&outFrame);
    gst_buffer_unref(out);
    gst_video_converter_free(converter);
    SetFrameCounters(state);
}
BENCHMARK(BM_YuvToBgrGStreamer)->Unit(benchmark::kMicrosecond);

// The engine's bottom-up 1280 x 720 frame to I420 (BT.709, as for that height).
void BM_BgrToI420(benchmark::State& state)
{
    const auto frame = RandomFrame(1280, 720);
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 1280, 720);
    BgrToI420Converter converter(static_cast<SimdLevel>(state.range(0)));
    converter.Configure(info);
    std::vector<uint8_t> out(info.size);
    for (auto _ : state) {
        converter.Convert(frame.data(), out.data());
        benchmark::DoNotOptimize(out.data());
    }
    SetFrameCounters(state);
    SetLevelLabel(state);
}
BENCHMARK(BM_BgrToI420)->Apply(SimdLevels);

// The same with frames that are not in the cache, as in a conversion, where another
// thread wrote the frame a frame or two earlier: 24 frames (66 MB) in turn.
void BM_BgrToI420ColdFrames(benchmark::State& state)
{
    constexpr size_t kFrames = 24;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t i = 0; i < kFrames; ++i)
        frames.push_back(RandomFrame(1280, 720));
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 1280, 720);
    BgrToI420Converter converter(static_cast<SimdLevel>(state.range(0)));
    converter.Configure(info);
    std::vector<uint8_t> out(info.size);
    size_t next = 0;
    for (auto _ : state) {
        converter.Convert(frames[next].data(), out.data());
        benchmark::DoNotOptimize(out.data());
        next = (next + 1) % kFrames;
    }
    SetFrameCounters(state);
    SetLevelLabel(state);
}
BENCHMARK(BM_BgrToI420ColdFrames)->Apply(SimdLevels);

// GStreamer's own conversion of a top-down frame, on one thread (videoconvert's work
// before the writer converted in its copy).
void BM_BgrToI420GStreamer(benchmark::State& state)
{
    GstVideoInfo bgr;
    gst_video_info_set_format(&bgr, GST_VIDEO_FORMAT_BGR, 1280, 720);
    const DecodedFrame input(GST_VIDEO_FORMAT_BGR, 1280, 720);
    GstVideoInfo i420;
    gst_video_info_set_format(&i420, GST_VIDEO_FORMAT_I420, 1280, 720);
    GstVideoConverter* converter = gst_video_converter_new(&bgr, &i420, nullptr);
    GstBuffer* out = gst_buffer_new_allocate(nullptr, i420.size, nullptr);
    GstVideoFrame outFrame;
    gst_video_frame_map(&outFrame, &i420, out, GST_MAP_WRITE);
    for (auto _ : state)
        gst_video_converter_frame(converter, &input.frame(), &outFrame);
    gst_video_frame_unmap(&outFrame);
    gst_buffer_unref(out);
    gst_video_converter_free(converter);
    SetFrameCounters(state);
}
BENCHMARK(BM_BgrToI420GStreamer)->Unit(benchmark::kMicrosecond);

void BM_SceneDetection(benchmark::State& state)
{
    constexpr int kWidth = 1280, kHeight = 720;
    ConversionSettings settings;
    settings.SceneDetection = kSplitClips;
    settings.ShowStatistics = true;
    SceneDetector detector(settings, kWidth, kHeight);
    const auto frame = RandomFrame(kWidth, kHeight);
    int64_t framesRead = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(detector.DetectSceneChange(frame.data(), framesRead++, 1));
    SetFrameCounters(state);
}
BENCHMARK(BM_SceneDetection)->Unit(benchmark::kMicrosecond);


// One output frame's chunk per iteration, 44.1 kHz 16-bit stereo at 29.97 fps.
void BM_AudioConversion(benchmark::State& state)
{
    const WAVEFORMATEX source = MakePcmFormat(2, 44100, 16);
    const WAVEFORMATEX output = MakePcmFormat(static_cast<uint16_t>(state.range(0)), static_cast<uint32_t>(state.range(1)),
                                    static_cast<uint16_t>(state.range(2)));
    AudioChunkSchedule schedule(source.nBlockAlign, source.nSamplesPerSec, 29.97);
    AudioConverter converter(source, output, 29.97);
    std::vector<uint8_t> chunk(schedule.MaxChunkBytes());
    std::mt19937 random(2);
    for (auto& byte : chunk)
        byte = static_cast<uint8_t>(random());
    uint32_t converted = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(converter.ConvertAudio(chunk.data(), schedule.NextChunkBytes(), &converted));
    SetFrameCounters(state);
}
BENCHMARK(BM_AudioConversion)
    ->ArgNames({"channels", "rate", "bits"})
    ->Args({1, 22050, 8})
    ->Args({2, 48000, 16})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gst_deinit();
    return 0;
}
