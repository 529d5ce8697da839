// The "mediareader" element under GstHarness: the request/done hand-off, the copy into
// the reader's buffer, flushing and caps. Buffers are pushed from a second thread,
// which blocks in the sink the way a pipeline's streaming thread does.
#include "media_in/media_reader_sink.h"
#include "media_in/media_type.h"
#include "platform/gst_ptr.h"

#include <gst/check/gstharness.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <memory>
#include <vector>

namespace klova {
namespace {

constexpr int kWidth = 5;
constexpr int kHeight = 3;
constexpr int kGstStride = 16;  // GStreamer's BGR rows are padded to 4 bytes too
constexpr GstClockTime kFrameNs = 40 * GST_MSECOND;

MediaType Partial(const MediaType& requested)
{
    MediaType type = requested;
    type.formattype = FormatType::None;
    return type;
}

// A 5 x 3 BGR frame, top-down: every byte of row r is id * 10 + r; the GStreamer row
// padding holds 0xEE, which must not reach the reader.
GstBuffer* MakeFrame(int id, GstClockTime pts)
{
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, kGstStride * kHeight, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    for (int row = 0; row < kHeight; ++row) {
        for (int column = 0; column < kGstStride; ++column)
            map.data[row * kGstStride + column] = column < kWidth * 3 ? static_cast<guint8>(id * 10 + row) : 0xEE;
    }
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = kFrameNs;
    return buffer;
}

int FrameId(const uint8_t* dib)
{
    return dib[0] / 10;
}

// A grey 4 x 2 I420 frame whose luma is 40 x id: the sink converts it to BGR itself.
constexpr const char* kI420Caps = "video/x-raw,format=I420,width=4,height=2,framerate=25/1";

GstBuffer* MakeGreyFrame(int id, GstClockTime pts)
{
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, 4, 2);
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    std::memset(map.data, 128, map.size);
    std::memset(map.data + GST_VIDEO_INFO_PLANE_OFFSET(&info, 0), 40 * id,
                static_cast<size_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0)) * 2);
    gst_buffer_unmap(buffer, &map);
    GST_BUFFER_PTS(buffer) = pts;
    GST_BUFFER_DURATION(buffer) = kFrameNs;
    return buffer;
}

class SinkHarness {
public:
    SinkHarness(const MediaType& preferred, FormatType required)
    {
        EXPECT_TRUE(RegisterMediaReaderSink());
        element_ = MakeElement("mediareader");
        control_ = MediaReaderControlOf(element_.get());
        EXPECT_NE(control_, nullptr);
        control_->SetPreferredType(&preferred, &required);
        harness_ = gst_harness_new_with_element(element_.get(), "sink", nullptr);
    }

    ~SinkHarness()
    {
        // Releases anything blocked in render before the pushing threads are joined.
        gst_element_set_state(element_.get(), GST_STATE_NULL);
        for (auto& pusher : pushers_)
            pusher.wait();
        gst_harness_teardown(harness_);
    }

    bool PushCaps(const char* caps) { return gst_harness_push_event(harness_, gst_event_new_caps(Caps(caps).get())); }

    bool Accepts(const char* caps) { return gst_pad_peer_query_accept_caps(harness_->srcpad, Caps(caps).get()); }

    void Connect(const char* caps)
    {
        ASSERT_TRUE(PushCaps(caps));
        PushSegment(0);
        uint32_t size = 0;
        control_->GetBufferSize(&size);
        ASSERT_GT(size, 0u);
        buffer_.assign(size, 0);
        ASSERT_EQ(control_->SetBuffer(size, buffer_.data()), S_OK);
    }

    void PushSegment(GstClockTime start)
    {
        GstSegment segment;
        gst_segment_init(&segment, GST_FORMAT_TIME);
        segment.start = start;
        segment.time = start;
        segment.position = start;
        ASSERT_TRUE(gst_harness_push_event(harness_, gst_event_new_segment(&segment)));
    }

    void Flush()
    {
        ASSERT_TRUE(gst_harness_push_event(harness_, gst_event_new_flush_start()));
        ASSERT_TRUE(gst_harness_push_event(harness_, gst_event_new_flush_stop(TRUE)));
    }

    // Pushes buffers (and an end of stream) on a thread of its own; the future is ready
    // once everything went through the sink.
    std::shared_future<GstFlowReturn> PushFromThread(std::vector<GstBuffer*> buffers, bool endOfStream)
    {
        auto task = std::async(std::launch::async, [this, buffers, endOfStream] {
            GstFlowReturn flow = GST_FLOW_OK;
            for (GstBuffer* buffer : buffers) {
                if (flow == GST_FLOW_OK)
                    flow = gst_harness_push(harness_, buffer);
                else
                    gst_buffer_unref(buffer);
            }
            if (flow == GST_FLOW_OK && endOfStream)
                gst_harness_push_event(harness_, gst_event_new_eos());
            return flow;
        });
        pushers_.push_back(task.share());
        return pushers_.back();
    }

    // A second buffer: 4:2:0 frames are then converted ahead of the requests.
    void AddSpare()
    {
        spare_.assign(buffer_.size(), 0);
        ASSERT_EQ(control_->SetSpareBuffer(spare_.data()), S_OK);
    }

    // One read as the input reader does it: false at the end of the stream. data: where
    // the sample lies.
    bool Read(uint32_t* length, MediaTime* start, MediaTime* stop, uint8_t** data = nullptr)
    {
        control_->RequestSample();
        const HRESULT hr = control_->WaitForSample();
        if (data)
            control_->GetData(data);
        control_->GetDataLength(true, length);
        control_->GetTimes(true, start, stop);
        return hr == S_OK;
    }

    // Ready once a buffer with this time stamp has reached the sink's pad: the pushing
    // thread is then in (or about to enter) the sink with it. Set up before pushing.
    std::future<void> WatchForBufferAt(GstClockTime pts)
    {
        watches_.push_back(std::make_unique<Watch>());
        Watch* watch = watches_.back().get();
        watch->pts = pts;
        GstPtr<GstPad> pad = adopt(gst_element_get_static_pad(element_.get(), "sink"));
        gst_pad_add_probe(
            pad.get(), GST_PAD_PROBE_TYPE_BUFFER,
            [](GstPad*, GstPadProbeInfo* info, gpointer data) {
                auto* watch = static_cast<Watch*>(data);
                if (GST_BUFFER_PTS(GST_PAD_PROBE_INFO_BUFFER(info)) != watch->pts)
                    return GST_PAD_PROBE_OK;
                watch->arrived.set_value();
                return GST_PAD_PROBE_REMOVE;
            },
            watch, nullptr);
        return watch->arrived.get_future();
    }

    static GstPtr<GstCaps> Caps(const char* text) { return adopt(gst_caps_from_string(text)); }

    GstElement* element() { return element_.get(); }
    GstHarness* harness() { return harness_; }
    IMediaReaderControl& control() { return *control_; }
    const std::vector<uint8_t>& buffer() const { return buffer_; }
    const std::vector<uint8_t>& spare() const { return spare_; }

private:
    struct Watch {
        GstClockTime pts = GST_CLOCK_TIME_NONE;
        std::promise<void> arrived;
    };

    std::vector<std::unique_ptr<Watch>> watches_;
    GstPtr<GstElement> element_;
    IMediaReaderControl* control_ = nullptr;
    GstHarness* harness_ = nullptr;
    std::vector<uint8_t> buffer_;
    std::vector<uint8_t> spare_;
    std::vector<std::shared_future<GstFlowReturn>> pushers_;
};

constexpr const char* kVideoCaps = "video/x-raw,format=BGR,width=5,height=3,framerate=25/1";

TEST(MediaReaderSink, DeliversOneBottomUpFramePerRequest)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kVideoCaps);
    ASSERT_EQ(sink.buffer().size(), static_cast<size_t>(DibImageSize(kWidth, kHeight)));
    auto pushed = sink.PushFromThread({MakeFrame(1, 0), MakeFrame(2, kFrameNs), MakeFrame(3, 2 * kFrameNs)}, true);

    for (int id = 1; id <= 3; ++id) {
        uint32_t length = 0;
        MediaTime start = -1;
        MediaTime stop = -1;
        ASSERT_TRUE(sink.Read(&length, &start, &stop)) << "frame " << id;
        EXPECT_EQ(length, static_cast<uint32_t>(DibImageSize(kWidth, kHeight)));
        EXPECT_EQ(start, (id - 1) * 400000);
        EXPECT_EQ(stop - start, 400000);
        const int dibStride = DibStride(kWidth);
        for (int row = 0; row < kHeight; ++row) {
            const uint8_t* line = sink.buffer().data() + row * dibStride;
            // The first row delivered is the bottom row of the picture.
            EXPECT_EQ(line[0], id * 10 + (kHeight - 1 - row));
            EXPECT_EQ(line[kWidth * 3 - 1], id * 10 + (kHeight - 1 - row));
            EXPECT_EQ(line[kWidth * 3], 0) << "row padding";
        }
    }
    uint32_t length = 1;
    MediaTime start = 1;
    MediaTime stop = 1;
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(stop, 0);
    EXPECT_EQ(pushed.get(), GST_FLOW_OK);
    // The end stays the end.
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
}

TEST(MediaReaderSink, SplitsAudioLargerThanTheBufferWithProportionalTimes)
{
    SinkHarness sink(Partial(AudioRequestType), FormatType::WaveFormatEx);
    sink.Connect("audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=2");
    // A quarter second of whole blocks.
    ASSERT_EQ(sink.buffer().size(), 2000u * 4u);

    constexpr uint32_t kBlocks = 8000 * 3 + 500;  // 3 s and a bit: 13 pieces
    GstBuffer* audio = gst_buffer_new_allocate(nullptr, kBlocks * 4, nullptr);
    GstMapInfo map;
    gst_buffer_map(audio, &map, GST_MAP_WRITE);
    for (uint32_t block = 0; block < kBlocks; ++block)
        std::memcpy(map.data + block * 4, &block, 4);
    gst_buffer_unmap(audio, &map);
    GST_BUFFER_PTS(audio) = GST_SECOND;
    GST_BUFFER_DURATION(audio) = gst_util_uint64_scale(kBlocks, GST_SECOND, 8000);
    auto pushed = sink.PushFromThread({audio}, true);

    uint32_t blocksSeen = 0;
    MediaTime previousStop = 10'000'000;
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    while (sink.Read(&length, &start, &stop)) {
        ASSERT_EQ(length % 4, 0u);
        ASSERT_LE(length, sink.buffer().size());
        uint32_t first = 0;
        std::memcpy(&first, sink.buffer().data(), 4);
        EXPECT_EQ(first, blocksSeen) << "pieces arrive in order, none lost";
        EXPECT_EQ(start, previousStop);
        EXPECT_EQ(stop - start, static_cast<MediaTime>(length / 4) * 10'000'000 / 8000);
        blocksSeen += length / 4;
        previousStop = stop;
    }
    EXPECT_EQ(blocksSeen, kBlocks);
    EXPECT_EQ(previousStop, 10'000'000 + static_cast<MediaTime>(kBlocks) * 10'000'000 / 8000);
    EXPECT_EQ(pushed.get(), GST_FLOW_OK);
}

TEST(MediaReaderSink, SeekFlushDropsTheWaitingFrame)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kVideoCaps);
    std::future<void> thirdArrived = sink.WatchForBufferAt(2 * kFrameNs);
    auto before = sink.PushFromThread({MakeFrame(1, 0), MakeFrame(2, kFrameNs), MakeFrame(3, 2 * kFrameNs)}, false);
    uint32_t length = 0;
    MediaTime start = -1;
    MediaTime stop = -1;
    // Frame 1 goes out while frame 2 arrives; frame 2 then waits in the sink.
    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    ASSERT_EQ(FrameId(sink.buffer().data()), 1);
    thirdArrived.wait();

    sink.control().SetFlush(true);
    sink.Flush();
    EXPECT_EQ(before.get(), GST_FLOW_FLUSHING);
    sink.control().SetFlush(false);

    sink.PushSegment(GST_SECOND);
    sink.PushFromThread({MakeFrame(7, GST_SECOND), MakeFrame(8, GST_SECOND + kFrameNs)}, true);
    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(FrameId(sink.buffer().data()), 7) << "the waiting frame was dropped";
    EXPECT_EQ(start, 0) << "times restart at the new segment";
    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(FrameId(sink.buffer().data()), 8);
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
}

TEST(MediaReaderSink, RequestLeftByAnEndedReadDoesNotSurviveAFlush)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kVideoCaps);
    ASSERT_TRUE(gst_harness_push_event(sink.harness(), gst_event_new_eos()));
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    ASSERT_FALSE(sink.Read(&length, &start, &stop));

    sink.control().SetFlush(true);
    sink.Flush();
    sink.control().SetFlush(false);
    sink.PushSegment(0);
    auto pushed = sink.PushFromThread({MakeFrame(4, 0), MakeFrame(5, kFrameNs)}, false);
    // Nothing was asked for, so the push of frame 5 must stay blocked delivering frame 4.
    // (A bounded wait is the only way to observe that something does not happen.)
    EXPECT_EQ(pushed.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    uint32_t seen = 0;
    sink.control().GetDataLength(false, &seen);
    EXPECT_EQ(seen, 0u);

    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(FrameId(sink.buffer().data()), 4);
    EXPECT_EQ(pushed.get(), GST_FLOW_OK);
}

TEST(MediaReaderSink, PausingKeepsTheWaitingFrame)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kVideoCaps);
    std::future<void> thirdArrived = sink.WatchForBufferAt(2 * kFrameNs);
    auto pushed = sink.PushFromThread({MakeFrame(1, 0), MakeFrame(2, kFrameNs), MakeFrame(3, 2 * kFrameNs)}, true);
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    ASSERT_EQ(FrameId(sink.buffer().data()), 1);
    thirdArrived.wait();

    // Leaving PLAYING unlocks a render waiting with frame 2; it must wait in preroll
    // and carry on with the same frame, not drop it.
    gst_element_set_state(sink.element(), GST_STATE_PAUSED);
    gst_element_set_state(sink.element(), GST_STATE_PLAYING);
    for (int id = 2; id <= 3; ++id) {
        ASSERT_TRUE(sink.Read(&length, &start, &stop));
        EXPECT_EQ(FrameId(sink.buffer().data()), id);
    }
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(pushed.get(), GST_FLOW_OK);
}

TEST(MediaReaderSink, AbortEndsAWaitingReadUntilTheNextFlush)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kVideoCaps);
    sink.control().RequestSample();
    auto aborter = std::async(std::launch::async, [&] { sink.control().AbortStream(); });
    EXPECT_EQ(sink.control().WaitForSample(), S_FALSE);
    aborter.get();
    sink.control().RequestSample();
    EXPECT_EQ(sink.control().WaitForSample(), S_FALSE) << "the end stays the end";

    sink.Flush();
    sink.PushSegment(0);
    sink.PushFromThread({MakeFrame(3, 0)}, true);
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(FrameId(sink.buffer().data()), 3);
}

TEST(MediaReaderSink, OffersItsPreferredTypeAndHoldsTheConnectedFormat)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    GstPtr<GstCaps> offered = adopt(gst_pad_peer_query_caps(sink.harness()->srcpad, nullptr));
    EXPECT_TRUE(gst_caps_can_intersect(offered.get(), SinkHarness::Caps("video/x-raw,format=BGR,width=720,height=576").get()));
    EXPECT_TRUE(gst_caps_can_intersect(offered.get(), SinkHarness::Caps("video/x-raw,format=I420").get()));
    EXPECT_FALSE(gst_caps_can_intersect(offered.get(), SinkHarness::Caps("video/x-raw,format=Y444").get()));
    EXPECT_FALSE(gst_caps_can_intersect(offered.get(), SinkHarness::Caps("audio/x-raw").get()));
    EXPECT_FALSE(sink.Accepts("video/x-raw,format=Y444,width=64,height=48,framerate=25/1"));

    sink.Connect("video/x-raw,format=BGR,width=64,height=48,framerate=25/1");
    MediaType connected;
    sink.control().GetConnectedType(&connected);
    EXPECT_EQ(connected.videoInfo.bmiHeader.biWidth, 64);
    EXPECT_EQ(MediaTime{connected.videoInfo.AvgTimePerFrame}, 400000);

    // Until the first frame the format may still change (a rotation tag turns the
    // picture after the decoder's first caps).
    ASSERT_TRUE(sink.PushCaps("video/x-raw,format=BGR,width=48,height=64,framerate=25/1,pixel-aspect-ratio=15/16"));
    sink.control().GetConnectedType(&connected);
    EXPECT_EQ(connected.videoInfo.bmiHeader.biWidth, 48);
    EXPECT_EQ(connected.videoInfo.bmiHeader.biHeight, 64);
    EXPECT_EQ(connected.pixelAspect, (PixelAspect{15, 16}));

    // The first frame fixes it: the reader's buffer is made for this frame size, so a
    // new size is refused, a new rate is not.
    EXPECT_EQ(sink.PushFromThread({MakeFrame(1, 0)}, false).get(), GST_FLOW_OK);
    offered = adopt(gst_pad_peer_query_caps(sink.harness()->srcpad, nullptr));
    EXPECT_FALSE(gst_caps_can_intersect(offered.get(), SinkHarness::Caps("video/x-raw,width=48,height=50").get()));
    EXPECT_FALSE(sink.Accepts("video/x-raw,format=BGR,width=48,height=50,framerate=25/1"));
    EXPECT_TRUE(sink.Accepts("video/x-raw,format=BGR,width=48,height=64,framerate=30/1"));
    sink.PushCaps("video/x-raw,format=BGR,width=48,height=50,framerate=25/1");
    sink.control().GetConnectedType(&connected);
    EXPECT_EQ(connected.videoInfo.bmiHeader.biHeight, 64);
}

TEST(MediaReaderSink, TimeOriginDropsAndCutsWhatComesBeforeIt)
{
    SinkHarness video(Partial(VideoRequestType), FormatType::VideoInfo);
    video.Connect(kVideoCaps);
    // A seek that reads from the start of the file for a target of 1 s.
    video.control().SetTimeOrigin(GST_SECOND);
    video.Flush();
    video.PushSegment(0);
    video.PushFromThread({MakeFrame(1, GST_SECOND - kFrameNs), MakeFrame(2, GST_SECOND),
                          MakeFrame(3, GST_SECOND + kFrameNs)},
                         true);
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    ASSERT_TRUE(video.Read(&length, &start, &stop));
    EXPECT_EQ(FrameId(video.buffer().data()), 2) << "the frame ending at the origin is dropped";
    EXPECT_EQ(start, 0);
    ASSERT_TRUE(video.Read(&length, &start, &stop));
    EXPECT_EQ(start, 400000);

    SinkHarness audio(Partial(AudioRequestType), FormatType::WaveFormatEx);
    audio.Connect("audio/x-raw,format=U8,layout=interleaved,rate=8000,channels=1");
    audio.control().SetTimeOrigin(GST_SECOND);
    audio.Flush();
    audio.PushSegment(0);
    GstBuffer* sound = gst_buffer_new_allocate(nullptr, 1600, nullptr);  // 0.9 s to 1.1 s
    GstMapInfo map;
    gst_buffer_map(sound, &map, GST_MAP_WRITE);
    for (int i = 0; i < 1600; ++i)
        map.data[i] = i < 800 ? 1 : 2;
    gst_buffer_unmap(sound, &map);
    GST_BUFFER_PTS(sound) = 900 * GST_MSECOND;
    audio.PushFromThread({sound}, true);
    ASSERT_TRUE(audio.Read(&length, &start, &stop));
    EXPECT_EQ(length, 800u) << "the part before the origin is cut off";
    EXPECT_EQ(audio.buffer()[0], 2);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(stop, 1'000'000);
}

TEST(MediaReaderSink, UntrustedFrameRateLeavesNoFrameDuration)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.control().SetFrameRateTrusted(false);
    sink.Connect(kVideoCaps);
    MediaType connected;
    sink.control().GetConnectedType(&connected);
    EXPECT_EQ(MediaTime{connected.videoInfo.AvgTimePerFrame}, 0);

    // Durations come from the time stamps (15 fps), not from the made-up 25 fps.
    constexpr GstClockTime kStep = 66'666'667;
    sink.PushFromThread({MakeFrame(1, 0), MakeFrame(2, kStep), MakeFrame(3, 2 * kStep)}, true);
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    for (int frame = 0; frame < 3; ++frame) {
        ASSERT_TRUE(sink.Read(&length, &start, &stop));
        EXPECT_NEAR(static_cast<double>(stop - start), 666667.0, 1.0) << "frame " << frame;
    }
}

// With a spare buffer the next frame is converted while the reader holds this one (as
// soon as it arrives, before its times are known): the reader still gets every frame
// once, in order, with its own times, and the buffer it holds is never written behind
// its back.
TEST(MediaReaderSink, ConvertsTheNextFrameAheadIntoTheBufferTheReaderDoesNotHold)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kI420Caps);
    sink.AddSpare();
    // Frame 3's arrival means the sink has converted and parked frame 2.
    std::future<void> thirdArrived = sink.WatchForBufferAt(2 * kFrameNs);
    std::vector<GstBuffer*> frames;
    for (int id = 1; id <= 5; ++id)
        frames.push_back(MakeGreyFrame(id, static_cast<GstClockTime>(id - 1) * kFrameNs));
    auto pushed = sink.PushFromThread(frames, true);

    uint32_t length = 0;
    MediaTime start = -1;
    MediaTime stop = -1;
    uint8_t* first = nullptr;
    ASSERT_TRUE(sink.Read(&length, &start, &stop, &first));
    EXPECT_EQ(length, static_cast<uint32_t>(DibImageSize(4, 2)));
    EXPECT_EQ(start, 0);
    const std::vector<uint8_t> held(first, first + length);
    thirdArrived.wait();
    EXPECT_TRUE(std::equal(held.begin(), held.end(), first)) << "the held frame was written over";

    const uint8_t* previous = first;
    int previousGrey = first[0];
    for (int id = 2; id <= 5; ++id) {
        uint8_t* data = nullptr;
        ASSERT_TRUE(sink.Read(&length, &start, &stop, &data)) << "frame " << id;
        ASSERT_TRUE(data == sink.buffer().data() || data == sink.spare().data());
        EXPECT_NE(data, previous) << "frames alternate between the two buffers";
        EXPECT_EQ(start, (id - 1) * 400000);
        EXPECT_EQ(stop - start, 400000);
        EXPECT_GT(data[0], previousGrey) << "frame " << id << " comes in order";
        EXPECT_EQ(data[0], data[1]);
        EXPECT_EQ(data[0], data[2]);
        previousGrey = data[0];
        previous = data;
    }
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(pushed.get(), GST_FLOW_OK);
}

TEST(MediaReaderSink, KeepsNoDecodedFrameWhileTheConvertedOneWaitsForItsTimes)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kI420Caps);
    sink.AddSpare();
    GstBuffer* frame = MakeGreyFrame(1, 0);
    gst_buffer_ref(frame);
    // A buffer is free, so the push returns once the frame is converted.
    ASSERT_EQ(gst_harness_push(sink.harness(), frame), GST_FLOW_OK);
    EXPECT_EQ(GST_MINI_OBJECT_REFCOUNT_VALUE(frame), 1) << "the sink still holds the decoded frame";
    gst_buffer_unref(frame);

    // The end of the stream gives the frame its times.
    ASSERT_TRUE(gst_harness_push_event(sink.harness(), gst_event_new_eos()));
    uint32_t length = 0;
    MediaTime start = -1;
    MediaTime stop = -1;
    ASSERT_TRUE(sink.Read(&length, &start, &stop));
    EXPECT_EQ(start, 0);
    EXPECT_EQ(stop, 400000);
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
}

TEST(MediaReaderSink, SeekFlushDropsTheFrameConvertedAhead)
{
    SinkHarness sink(Partial(VideoRequestType), FormatType::VideoInfo);
    sink.Connect(kI420Caps);
    sink.AddSpare();
    std::future<void> thirdArrived = sink.WatchForBufferAt(2 * kFrameNs);
    std::vector<GstBuffer*> frames;
    for (int id = 1; id <= 4; ++id)
        frames.push_back(MakeGreyFrame(id, static_cast<GstClockTime>(id - 1) * kFrameNs));
    auto before = sink.PushFromThread(frames, false);
    uint32_t length = 0;
    MediaTime start = -1;
    MediaTime stop = -1;
    uint8_t* data = nullptr;
    ASSERT_TRUE(sink.Read(&length, &start, &stop, &data));
    const int firstGrey = data[0];
    thirdArrived.wait();  // frame 2 is parked

    sink.control().SetFlush(true);
    sink.Flush();
    EXPECT_EQ(before.get(), GST_FLOW_FLUSHING);
    sink.control().SetFlush(false);

    sink.PushSegment(GST_SECOND);
    sink.PushFromThread({MakeGreyFrame(1, GST_SECOND), MakeGreyFrame(6, GST_SECOND + kFrameNs)}, true);
    ASSERT_TRUE(sink.Read(&length, &start, &stop, &data));
    EXPECT_EQ(data[0], firstGrey) << "the parked frame was dropped";
    EXPECT_EQ(start, 0) << "times restart at the new segment";
    ASSERT_TRUE(sink.Read(&length, &start, &stop, &data));
    EXPECT_GT(data[0], firstGrey);
    EXPECT_FALSE(sink.Read(&length, &start, &stop));
}

}  // namespace
}  // namespace klova
