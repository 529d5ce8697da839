#include "media_in/source_graph.h"

#include "media_in/media_type_caps.h"
#include "platform/callback_guard.h"

#include <gst/base/gstbasetransform.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

GST_DEBUG_CATEGORY_STATIC(source_graph_debug);
#define GST_CAT_DEFAULT source_graph_debug

namespace klova {

namespace {

// What a demuxer may queue ahead of the reader, per stream, and what may wait between
// the video decoder and the colour conversion (a queue always takes one frame, however
// large). One decoded frame is enough there: the sink holds the next one itself and
// converts it ahead of the reader.
constexpr guint64 kDemuxerQueueTime = 2 * GST_SECOND;
constexpr guint kDecodedQueueBytes = 64 * 1024 * 1024;
constexpr guint kDecodedQueueFrames = 1;

// Above this many pixels a frame (larger than 1080p) is decoded with slice threads
// only. Each extra frame thread of the libav decoders keeps several pictures of its
// own: about 80 MB a thread at 3840 x 2160, while a conversion to a small size needs
// one picture at a time. Smaller frames keep frame threads, which cost little memory.
constexpr int64_t kFrameThreadsMaxPixels = 1920 * 1088;

// How often a wait for the first sample looks at the stop request.
constexpr std::chrono::milliseconds kStopPollPeriod{100};

// decodebin's autoplug-select answers (GstAutoplugSelectResult).
constexpr int kAutoplugTry = 0;
constexpr int kAutoplugExpose = 1;

// A demuxed stream's state for SourceGraph::SkipOtherKind: what the reader serves, and
// whether the stream's caps make it one to drop.
struct DemuxedStream {
    StreamKind served;
    std::atomic<bool> skip{false};
};

bool IsRawOf(const GstCaps* caps, SourceGraph::Kind kind)
{
    if (!caps || gst_caps_get_size(caps) == 0)
        return false;
    const char* name = gst_structure_get_name(gst_caps_get_structure(caps, 0));
    return g_str_equal(name, kind == SourceGraph::Kind::Video ? "video/x-raw" : "audio/x-raw");
}

void InitDebug()
{
    static gsize once = 0;
    if (g_once_init_enter(&once)) {
        GST_DEBUG_CATEGORY_INIT(source_graph_debug, "klovasource", 0, "KLOVA input pipelines");
        g_once_init_leave(&once, 1);
    }
}

}  // namespace

SourceGraph::SourceGraph(Kind kind, GstElement* sink, IMediaReaderControl& control)
    : kind_(kind), control_(control), sink_(retain(sink))
{
    InitDebug();
}

SourceGraph::~SourceGraph()
{
    if (pipeline_) {
        // Joins the streaming threads; a render blocked in the sink is released by the
        // state change (unlock, then flushing).
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
    if (decodebin_)
        g_signal_handlers_disconnect_by_data(decodebin_.get(), this);
    if (pipeline_)
        g_signal_handlers_disconnect_by_data(pipeline_.get(), this);
    if (bus_)
        gst_bus_set_sync_handler(bus_.get(), nullptr, nullptr, nullptr);
}

HRESULT SourceGraph::Build(const std::string& fileName)
{
    pipeline_ = retain(gst_pipeline_new("klova-source"));
    GstPtr<GstElement> source = MakeElement("filesrc");
    decodebin_ = MakeElement("decodebin");
    GstPtr<GstElement> convert;
    GstPtr<GstElement> resize;
    GstPtr<GstElement> filter = MakeElement("capsfilter");
    // Video: a short queue between the decoder and the colour conversion, so decoding
    // the next frame and converting this one run on two threads (two cores).
    GstPtr<GstElement> decoded;
    GstPtr<GstElement> upright;
    if (kind_ == Kind::Video) {
        decoded = MakeElement("queue");
        convert = MakeElement("videoconvert");
        upright = MakeElement("videoflip");
        resize = MakeElement("videoscale");
    } else {
        convert = MakeElement("audioconvert");
        resize = MakeElement("audioresample");
    }
    if (!pipeline_ || !source || !decodebin_ || !convert || !resize || !filter || !sink_ ||
        (kind_ == Kind::Video && (!decoded || !upright)))
        return E_FAIL;

    // The pipeline never waits for a clock: it runs as fast as samples are asked for.
    gst_pipeline_use_clock(GST_PIPELINE(pipeline_.get()), nullptr);
    bus_ = adopt(gst_pipeline_get_bus(GST_PIPELINE(pipeline_.get())));
    gst_bus_set_sync_handler(bus_.get(), &SourceGraph::BusThunk, this, nullptr);

    g_object_set(source.get(), "location", fileName.c_str(), nullptr);
    GstPtr<GstCaps> caps;
    if (kind_ == Kind::Video) {
        g_object_set(convert.get(), "n-threads", g_get_num_processors(), nullptr);
        g_object_set(decoded.get(), "max-size-buffers", kDecodedQueueFrames, "max-size-bytes", kDecodedQueueBytes, "max-size-time",
                     kDemuxerQueueTime, nullptr);
        // Follows the stream's orientation tag; passes frames through untouched without one.
        gst_util_set_object_arg(G_OBJECT(upright.get()), "video-direction", "auto");
        // Without a tag the flip's method never changes, and videoflip only switches to
        // passing frames through when it does: it would copy every decoded frame into a
        // new buffer (CPU, and a frame's worth of memory allocated per frame). A tag that
        // turns the picture switches passing through off again.
        gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(upright.get()), TRUE);
        // BGR, or a 4:2:0 format the sink converts itself while it copies.
        caps = CapsFromMediaType(MediaType{.majortype = MajorType::Video});
    } else {
        // No dither noise: the same file always decodes to the same bytes.
        gst_util_set_object_arg(G_OBJECT(convert.get()), "dithering", "none");
        caps = adopt(gst_caps_from_string("audio/x-raw, format=(string){ S16LE, U8 }, layout=(string)interleaved"));
    }
    g_object_set(filter.get(), "caps", caps.get(), nullptr);
    g_object_set(sink_.get(), "sync", FALSE, nullptr);

    // The demuxer's queues are bounded in time too. Otherwise, while the reader waits
    // for the engine, the demuxer runs on through the file feeding the other kind's
    // fakesink and queues every packet of this kind it passes (all the sound of a long
    // file, in the audio reader): memory grows with the input's length.
    g_object_set(decodebin_.get(), "max-size-time", kDemuxerQueueTime, nullptr);
    g_signal_connect(decodebin_.get(), "pad-added", G_CALLBACK(&SourceGraph::PadAddedThunk), this);
    g_signal_connect(decodebin_.get(), "no-more-pads", G_CALLBACK(&SourceGraph::NoMorePadsThunk), this);
    g_signal_connect(decodebin_.get(), "autoplug-select", G_CALLBACK(&SourceGraph::AutoplugSelectThunk), this);
    g_signal_connect(pipeline_.get(), "deep-element-added", G_CALLBACK(&SourceGraph::ElementAddedThunk), this);

    GstBin* bin = GST_BIN(pipeline_.get());
    gst_bin_add_many(bin, source.get(), decodebin_.get(), convert.get(), resize.get(), filter.get(), sink_.get(),
                     nullptr);
    if (!gst_element_link(source.get(), decodebin_.get()) ||
        !gst_element_link_many(resize.get(), filter.get(), sink_.get(), nullptr))
        return E_FAIL;
    if (upright) {
        gst_bin_add(bin, upright.get());
        if (!gst_element_link_many(convert.get(), upright.get(), resize.get(), nullptr))
            return E_FAIL;
    } else if (!gst_element_link(convert.get(), resize.get())) {
        return E_FAIL;
    }
    if (decoded) {
        gst_bin_add(bin, decoded.get());
        if (!gst_element_link(decoded.get(), convert.get()))
            return E_FAIL;
        converterInput_ = std::move(decoded);
        GstPtr<GstPad> input = adopt(gst_element_get_static_pad(converterInput_.get(), "sink"));
        gst_pad_add_probe(input.get(), GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, &SourceGraph::RepairPixelAspect, nullptr,
                          nullptr);
    } else {
        converterInput_ = std::move(convert);
    }
    return S_OK;
}

HRESULT SourceGraph::Preroll(const std::atomic<bool>* stopRequested)
{
    const GstStateChangeReturn change = gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED);
    if (change == GST_STATE_CHANGE_FAILURE)
        return E_FAIL;
    std::unique_lock lock(mutex_);
    const auto settled = [this] { return prerolled_ || failed_ || (noMorePads_ && !linked_); };
    if (change == GST_STATE_CHANGE_ASYNC) {
        // A stop request is set by a signal handler, which cannot notify: look at it now
        // and then.
        while (!changed_.wait_for(lock, kStopPollPeriod, settled)) {
            if (stopRequested && stopRequested->load()) {
                GST_INFO("stopped while prerolling");
                return E_ABORT;
            }
        }
    }
    if (!linked_ && !sawKind_ && noMorePads_) {
        GST_INFO("the file has no stream of the requested kind");
        return kNoStreamOfKind;
    }
    if (failed_ || !linked_) {
        GST_INFO("no stream of the requested kind could be prerolled");
        return E_FAIL;
    }
    return S_OK;
}

HRESULT SourceGraph::Run()
{
    return gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? E_FAIL : S_OK;
}

bool SourceGraph::Seek(uint64_t positionNs)
{
    const auto flags = static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);
    return gst_element_seek_simple(pipeline_.get(), GST_FORMAT_TIME, flags, static_cast<gint64>(positionNs));
}

bool SourceGraph::QueryDuration(GstFormat format, int64_t* value) const
{
    // Asked of the reader's sink alone: the pipeline would answer with the longest of
    // all its streams, in whatever unit each stream counts.
    gint64 answer = 0;
    if (!gst_element_query_duration(sink_.get(), format, &answer) || answer < 0)
        return false;
    *value = answer;
    return true;
}

std::string SourceGraph::FirstError() const
{
    std::lock_guard lock(mutex_);
    return firstError_;
}

void SourceGraph::Fail()
{
    {
        std::lock_guard lock(mutex_);
        failed_ = true;
    }
    changed_.notify_all();
}

void SourceGraph::OnPadAdded(GstPad* pad)
{
    GstPtr<GstCaps> caps = adopt(gst_pad_get_current_caps(pad));
    if (!caps)
        caps = adopt(gst_pad_query_caps(pad, nullptr));
    bool render = false;
    {
        std::lock_guard lock(mutex_);
        if (KindOfCaps(caps.get()) == ServedKind())
            sawKind_ = true;
        if (IsRawOf(caps.get(), kind_)) {
            render = !linked_;
            linked_ = true;
        }
    }
    if (!render) {
        LinkToFakeSink(pad);
        return;
    }
    GstPtr<GstPad> input = adopt(gst_element_get_static_pad(converterInput_.get(), "sink"));
    const GstPadLinkReturn link = gst_pad_link(pad, input.get());
    if (GST_PAD_LINK_FAILED(link)) {
        GST_WARNING("cannot link the decoded stream: %s", gst_pad_link_get_name(link));
        Fail();
    }
}

void SourceGraph::LinkToFakeSink(GstPad* pad)
{
    // Streams nobody renders must neither hold up preroll nor make the demuxer stop
    // with not-linked.
    GstPtr<GstElement> fake = MakeElement("fakesink");
    if (!fake) {
        Fail();
        return;
    }
    g_object_set(fake.get(), "sync", FALSE, "async", FALSE, "enable-last-sample", FALSE, nullptr);
    gst_bin_add(GST_BIN(pipeline_.get()), fake.get());
    gst_element_sync_state_with_parent(fake.get());
    GstPtr<GstPad> input = adopt(gst_element_get_static_pad(fake.get(), "sink"));
    if (GST_PAD_LINK_FAILED(gst_pad_link(pad, input.get())))
        GST_WARNING("cannot link an unused stream to a fakesink");
}

StreamKind SourceGraph::ServedKind() const
{
    return kind_ == Kind::Video ? StreamKind::Video : StreamKind::Audio;
}

void SourceGraph::OnElementAdded(GstElement* element)
{
    GstElementFactory* factory = gst_element_get_factory(element);
    const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : nullptr;
    if (!klass)
        return;
    // Adaptive demuxers hand out fragments of whole files, which may hold both kinds.
    if (std::strstr(klass, "Demux") && !std::strstr(klass, "Adaptive")) {
        g_signal_connect(element, "pad-added", G_CALLBACK(&SourceGraph::DemuxerPadAddedThunk),
                         GINT_TO_POINTER(static_cast<int>(ServedKind())));
        return;
    }
    if (kind_ == Kind::Video && std::strstr(klass, "Decoder") && std::strstr(klass, "Video"))
        OnVideoDecoderAdded(element);
}

void SourceGraph::OnVideoDecoderAdded(GstElement* element)
{
    bool largeFrames = false;
    {
        std::lock_guard lock(mutex_);
        largeFrames = largeFrames_;
    }
    if (largeFrames && g_object_class_find_property(G_OBJECT_GET_CLASS(element), "thread-type")) {
        GST_INFO("large frames: %s decodes with slice threads", GST_OBJECT_NAME(element));
        gst_util_set_object_arg(G_OBJECT(element), "thread-type", "slice");
    }
    GstPtr<GstPad> input = adopt(gst_element_get_static_pad(element, "sink"));
    if (input)
        gst_pad_add_probe(input.get(), GST_PAD_PROBE_TYPE_BUFFER, &SourceGraph::DropLoneDecodingTime, nullptr, nullptr);
}

// The other kind's packets would only travel through decodebin's queue, waking its
// thread for each one, to a fakesink: they are dropped as the demuxer hands them out.
// Events still pass, so the stream is exposed, and ends, as before.
void SourceGraph::OnDemuxerPadAdded(GstPad* pad, StreamKind served)
{
    if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC)
        return;
    auto stream = std::make_unique<DemuxedStream>();
    stream->served = served;
    const GstPtr<GstCaps> caps = adopt(gst_pad_get_current_caps(pad));
    stream->skip = IsElementaryStreamOfOtherKind(served, caps.get());
    gst_pad_add_probe(pad,
                      static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                                   GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                      &SourceGraph::SkipOtherKind, stream.release(),
                      [](gpointer data) { delete static_cast<DemuxedStream*>(data); });
}

GstPadProbeReturn SourceGraph::SkipOtherKind(GstPad*, GstPadProbeInfo* info, gpointer data)
{
    auto* stream = static_cast<DemuxedStream*>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps* caps = nullptr;
            gst_event_parse_caps(event, &caps);
            stream->skip = IsElementaryStreamOfOtherKind(stream->served, caps);
        }
        return GST_PAD_PROBE_OK;
    }
    return stream->skip ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

// Some AVI writers store a pixel aspect of -1/1, which the converters refuse; such a
// picture is taken to have square pixels.
GstPadProbeReturn SourceGraph::RepairPixelAspect(GstPad*, GstPadProbeInfo* info, gpointer)
{
    GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS)
        return GST_PAD_PROBE_OK;
    GstCaps* caps = nullptr;
    gst_event_parse_caps(event, &caps);
    int num = 0;
    int den = 0;
    if (!caps || gst_caps_get_size(caps) == 0 ||
        !gst_structure_get_fraction(gst_caps_get_structure(caps, 0), "pixel-aspect-ratio", &num, &den) ||
        (num > 0 && den > 0))
        return GST_PAD_PROBE_OK;
    const GstPtr<GstCaps> repaired = adopt(gst_caps_copy(caps));
    gst_caps_set_simple(repaired.get(), "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
    GST_INFO("pixel aspect %d/%d taken as square", num, den);
    // The probe owns the event it passes on.
    GST_PAD_PROBE_INFO_DATA(info) = gst_event_new_caps(repaired.get());
    gst_event_unref(event);
    return GST_PAD_PROBE_OK;
}

// MPEG program streams stamp only some pictures with a presentation time; the parser
// gives the others a decoding time alone. Decoders that see both mix the two up
// around B-frames (a picture stamped three slots late, the next ones repeating
// stamps). Without the decoding time a decoder times such a picture from the one
// before it in display order, which is right.
GstPadProbeReturn SourceGraph::DropLoneDecodingTime(GstPad*, GstPadProbeInfo* info, gpointer)
{
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (!buffer || GST_BUFFER_PTS_IS_VALID(buffer) || !GST_BUFFER_DTS_IS_VALID(buffer))
        return GST_PAD_PROBE_OK;
    buffer = gst_buffer_make_writable(buffer);
    GST_BUFFER_DTS(buffer) = GST_CLOCK_TIME_NONE;
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    return GST_PAD_PROBE_OK;
}

void SourceGraph::OnNoMorePads()
{
    {
        std::lock_guard lock(mutex_);
        noMorePads_ = true;
    }
    changed_.notify_all();
}

int SourceGraph::OnAutoplugSelect(GstCaps* caps, GstElementFactory* factory)
{
    const char* klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass || std::strstr(klass, "Demux"))
        return kAutoplugTry;
    const StreamKind kind = KindOfCaps(caps);
    if (kind != ServedKind() && kind != StreamKind::Other)
        return kAutoplugExpose;  // the other kind is neither parsed nor decoded
    if (kind_ == Kind::Video && kind == StreamKind::Video && std::strstr(klass, "Decoder")) {
        // A decoder fed without a frame rate makes one up; the sink must not believe it.
        int num = 0;
        int den = 0;
        control_.SetFrameRateTrusted(FrameRateFromCaps(caps, &num, &den));
        int width = 0;
        int height = 0;
        const GstStructure* structure = gst_caps_get_structure(caps, 0);
        if (gst_structure_get_int(structure, "width", &width) && gst_structure_get_int(structure, "height", &height)) {
            std::lock_guard lock(mutex_);
            largeFrames_ = static_cast<int64_t>(width) * height > kFrameThreadsMaxPixels;
        }
    }
    return kAutoplugTry;
}

GstBusSyncReply SourceGraph::OnBusMessage(GstMessage* message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* rawError = nullptr;
        gchar* rawDebug = nullptr;
        gst_message_parse_error(message, &rawError, &rawDebug);
        GstPtr<GError> error(rawError);
        GstPtr<gchar> debug(rawDebug);
        GST_WARNING("pipeline error from %s: %s (%s)", GST_OBJECT_NAME(GST_MESSAGE_SRC(message)),
                    error ? error->message : "", debug ? debug.get() : "");
        {
            std::lock_guard lock(mutex_);
            if (firstError_.empty())
                firstError_ = std::string(GST_OBJECT_NAME(GST_MESSAGE_SRC(message))) + ": " +
                              (error ? error->message : "error");
        }
        // Before the first sample this fails the open; after it, it ends the stream.
        Fail();
        control_.AbortStream();
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline_.get())) {
            {
                std::lock_guard lock(mutex_);
                prerolled_ = true;
            }
            changed_.notify_all();
        }
        break;
    default:
        break;
    }
    // Nobody pops the bus: every message is dealt with here.
    return GST_BUS_DROP;
}

// The thunks are C callbacks: nothing may be thrown through them. A failure is logged
// only; the pipeline goes on without what the callback would have done.
void SourceGraph::PadAddedThunk(GstElement*, GstPad* pad, gpointer self)
{
    GuardCallback(nullptr, "linking a decoded stream", [&] { static_cast<SourceGraph*>(self)->OnPadAdded(pad); });
}

void SourceGraph::NoMorePadsThunk(GstElement*, gpointer self)
{
    GuardCallback(nullptr, "ending the decoded streams", [&] { static_cast<SourceGraph*>(self)->OnNoMorePads(); });
}

int SourceGraph::AutoplugSelectThunk(GstElement*, GstPad*, GstCaps* caps, GstElementFactory* factory, gpointer self)
{
    return GuardCallback(
        nullptr, "choosing a decoder",
        [&] { return static_cast<SourceGraph*>(self)->OnAutoplugSelect(caps, factory); }, kAutoplugTry);
}

void SourceGraph::ElementAddedThunk(GstBin*, GstBin*, GstElement* element, gpointer self)
{
    GuardCallback(nullptr, "watching a decoder or demuxer",
                  [&] { static_cast<SourceGraph*>(self)->OnElementAdded(element); });
}

void SourceGraph::DemuxerPadAddedThunk(GstElement*, GstPad* pad, gpointer served)
{
    GuardCallback(nullptr, "watching a demuxed stream",
                  [&] { OnDemuxerPadAdded(pad, static_cast<StreamKind>(GPOINTER_TO_INT(served))); });
}

GstBusSyncReply SourceGraph::BusThunk(GstBus*, GstMessage* message, gpointer self)
{
    return GuardCallback(
        nullptr, "handling a pipeline message", [&] { return static_cast<SourceGraph*>(self)->OnBusMessage(message); },
        GST_BUS_DROP);
}

}  // namespace klova
