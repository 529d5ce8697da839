#include "media_out/avi_writer.h"

#include "codecs/audio_bit_rate_rule.h"
#include "codecs/avi_encoder_check.h"
#include "codecs/device_moniker_list.h"
#include "codecs/encoder_input_format.h"
#include "codecs/video_compression_adapter.h"
#include "media_out/avi_channel_mask.h"
#include "platform/errors.h"
#include "platform/frame_rate_fraction.h"
#include "resources/string_table.h"

#include <algorithm>
#include <system_error>

GST_DEBUG_CATEGORY_STATIC(avi_writer_debug);
#define GST_CAT_DEFAULT avi_writer_debug

namespace klova {

namespace {

// Every queue is bounded by bytes and by time, so memory does not grow with the length
// of the input; the muxer takes the streams in time order (MuxInputStamper), so no
// queue has to hold much, and MuxStallGuard lets one hold more should the muxer ever
// wait for the other stream while it is full.

// Raw frames queued before an encoder: enough for the encoder thread and the engine to
// overlap, few enough that the engine cannot run far ahead and fill memory.
constexpr guint kEncoderQueueFrames = 4;

// Queued before the muxer: frames of one stream while the muxer writes the other, and
// what an encoder on the other stream holds back before it gives its first output.
constexpr guint64 kMuxQueueTime = GST_SECOND;
constexpr guint kMinMuxQueueBytes = 2 * 1024 * 1024;
constexpr guint kRawMuxQueueFrames = 3;  // uncompressed frames can be large (25 MB at 4K)

// Audio waits while a video encoder holds frames back before its first output (x264's
// look-ahead, B-frames): a few seconds of sound are small.
constexpr guint64 kAudioQueueTime = 3 * GST_SECOND;
constexpr guint kMinAudioQueueBytes = 256 * 1024;

// How often a hand-off that waits looks whether the muxer has stalled.
constexpr std::chrono::milliseconds kStallCheckPeriod{250};

// The PCM a DV file carries beside the video: 16-bit stereo at one of DV's rates.
constexpr const char* kDvAudioCaps = "audio/x-raw, format=(string)S16LE, rate=(int){ 48000, 44100, 32000 }, "
                                     "channels=(int)2, layout=(string)interleaved";

void InitDebugCategory()
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(avi_writer_debug, "klovaaviwriter", 0, "AVI writer");
        return true;
    }();
    (void)initialised;
}

[[noreturn]] void ThrowOpenFailed(const std::string& detail)
{
    GST_WARNING("%s", detail.c_str());
    throw CMyException(ErrorCode::OutputOpenFailed, detail);
}

GstPtr<GstElement> Held(GstElement* element)
{
    return GstPtr<GstElement>(GST_ELEMENT(gst_object_ref(element)));
}

}  // namespace

AviWriter::AviWriter(const EncoderConfigStore& encoderConfigs, AviCompression compression)
    : encoderConfigs_(encoderConfigs), compression_(std::move(compression))
{
    InitDebugCategory();
    if (!gst_is_initialized() || !RegisterVideoWriterProxy() || !RegisterAudioWriterProxy())
        throw CMyException(ErrorCode::GraphInitFailed, "GStreamer is not ready");
    graph_ = retain(gst_pipeline_new(nullptr));
    if (!graph_)
        throw CMyException(ErrorCode::GraphInitFailed, "cannot create the pipeline");
    // No clock: the pipeline runs as fast as the engine hands in data.
    gst_pipeline_use_clock(GST_PIPELINE(graph_.get()), nullptr);
    linker_.emplace(GST_BIN(graph_.get()));
    GstPtr<GstBus> bus = adopt(gst_element_get_bus(graph_.get()));
    gst_bus_set_sync_handler(bus.get(), OnBusMessage, this, nullptr);
}

AviWriter::~AviWriter()
{
    // The owner normally ends both streams first. A writer dropped half-way (after a
    // failure) releases its threads and closes its file, whose temporary name is then
    // removed: the output of a failed run does not appear.
    gst_element_set_state(graph_.get(), GST_STATE_NULL);
    GstPtr<GstBus> bus = adopt(gst_element_get_bus(graph_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
}

void AviWriter::Open(const std::string& path, const OutputFormat& format)
{
    SetVideoFormat(compression_.videoSettings, format.frameRate, format.width, format.height,
                   compression_.videoCodecName);
    pixelAspect_ = format.pixelAspect;
    audioChannelMask_ = format.audioChannelMask;
    OpenFile(path);
    if (format.audio)
        AddAudioStream(*format.audio, format.frameRate, compression_.audioCodecName);
}

void AviWriter::SetVideoFormat(const AVICOMPRESSOPTIONS& videoSettings, double frameRate, int32_t width,
                               int32_t height, const std::string& videoCodecName)
{
    videoSettings_ = videoSettings;
    frameRate_ = frameRate;
    frameWidth_ = width;
    frameHeight_ = height;
    videoCodecName_ = videoCodecName;
    bitCount_ = 24;
}

GstPtr<GstElement> AviWriter::FindCompressor(const std::string& friendlyName, bool video)
{
    const DeviceMonikerList list(video ? CompressorCategory::Video : CompressorCategory::Audio, friendlyName);
    GstPtr<GstElement> encoder;
    if (Failed(list.CreateByName(friendlyName, &encoder)))
        ThrowOpenFailed("no " + std::string(video ? "video" : "audio") + " encoder named \"" + friendlyName + "\"");
    encoderConfigs_.Apply(encoder.get());
    if (!linker_->Add(encoder.get(), friendlyName))
        ThrowOpenFailed("cannot add " + friendlyName);
    return encoder;
}

GstPtr<GstElement> AviWriter::FindVideoCompressor(const std::string& friendlyName)
{
    return FindCompressor(friendlyName, true);
}

GstPtr<GstElement> AviWriter::FindAudioCompressor(const std::string& friendlyName)
{
    return FindCompressor(friendlyName, false);
}

void AviWriter::RemoveFilter(GstElement* filter)
{
    if (!filter || GST_ELEMENT_PARENT(filter) != graph_.get())
        return;
    gst_element_set_state(filter, GST_STATE_NULL);
    gst_bin_remove(GST_BIN(graph_.get()), filter);
}

// Quality and key-frame spacing from the options record. A dwQuality outside 0..10000
// (the fresh profile's 100000, for one) is refused by the encoder, which then keeps its
// own default.
void AviWriter::ApplyVideoSettings(GstElement* encoder) const
{
    VideoCompressionAdapter adapter(encoder);
    int32_t capabilities = 0;
    if (Failed(adapter.GetInfo(nullptr, nullptr, nullptr, nullptr, nullptr, &capabilities)))
        return;
    if (capabilities & VideoCompressionAdapter::CompressionCaps_CanQuality)
        adapter.put_Quality(videoSettings_.dwQuality * 0.0001);
    if ((capabilities & VideoCompressionAdapter::CompressionCaps_CanKeyFrame) &&
        (videoSettings_.dwFlags & AVICOMPRESSF_KEYFRAMES))
        adapter.put_KeyFrameRate(static_cast<int32_t>(videoSettings_.dwKeyFrameEvery));
}

// Whether the encoder opens on the frames it will get, in one of the formats (any it
// takes when null), with its settings: a twin of it, set up the same way, is opened on them.
bool AviWriter::EncoderOpens(GstElement* encoder, const GstCaps* formats) const
{
    GstPtr<GstElement> twin = retain(gst_element_factory_create(gst_element_get_factory(encoder), nullptr));
    if (!twin)
        return false;
    encoderConfigs_.Apply(twin.get());
    ApplyVideoSettings(twin.get());
    GstPtr<GstCaps> input = EncoderInputFormat::FixedInput(twin.get(), formats, frameWidth_, frameHeight_, frameRate_);
    return input && AviEncoderCheck::StartsOn(std::move(twin), input.get());
}

// The encoder gets 4:2:0 when it takes it at this size (or the format its configuration
// asks for): a converter and a filter that holds the converter to those formats. An
// encoder that takes 4:2:0 only at other sizes (x264 at odd ones) gets what negotiation
// settles on, as does one that takes no 4:2:0 at all. A size or a setting the encoder
// refuses fails here, when the file opens, rather than at the first frame.
void AviWriter::ConnectVideoEncoder(GstElement* from, GstElement* encoder)
{
    const std::string size = std::to_string(frameWidth_) + " x " + std::to_string(frameHeight_);
    if (!AviEncoderCheck::TakesFrameSize(encoder, frameWidth_, frameHeight_))
        ThrowOpenFailed(videoCodecName_ + " does not take " + size + " frames");
    GstPtr<GstCaps> formats = EncoderInputFormat::Choose(encoder, encoderConfigs_.InputFormat(encoder));
    if (formats && !EncoderOpens(encoder, formats.get())) {
        GST_INFO("%s takes no 4:2:0 at %s", videoCodecName_.c_str(), size.c_str());
        formats.reset();
    }
    if (!formats && !EncoderOpens(encoder, nullptr))
        ThrowOpenFailed(videoCodecName_ + " does not open on " + size + " frames with these settings");
    if (!formats) {
        linker_->Connect(from, encoder);
        return;
    }
    // An encoder that takes I420 gets it from the proxy, converted in the copy the proxy
    // makes anyway; the converter then passes the frames through.
    const GstPtr<GstCaps> i420 = adopt(gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "I420", nullptr));
    if (gst_caps_can_intersect(formats.get(), i420.get()))
        videoProxy_->OfferI420(true);
    GstElement* convert = linker_->Create("videoconvert", "Encoder Input Converter");
    g_object_set(convert, "n-threads", 0u, nullptr);  // one per core
    GstElement* filter = linker_->Create("capsfilter", "Encoder Input Format");
    g_object_set(filter, "caps", formats.get(), nullptr);
    linker_->Connect(from, convert);
    linker_->Connect(convert, filter);
    linker_->Connect(filter, encoder);
}

GstElement* AviWriter::CreateQueue(const char* name, guint maxBuffers, guint maxBytes, guint64 maxTime)
{
    GstElement* queue = linker_->Create("queue", name);
    g_object_set(queue, "max-size-buffers", maxBuffers, "max-size-bytes", maxBytes, "max-size-time", maxTime, nullptr);
    return queue;
}

// The first output pad of an element (an encoder's "src", whatever its name).
GstPtr<GstPad> AviWriter::OutputPad(GstElement* element)
{
    GstPtr<GstPad> pad = adopt(gst_element_get_static_pad(element, "src"));
    if (pad)
        return pad;
    GstPtr<GstIterator> pads = adopt(gst_element_iterate_src_pads(element));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(pads.get(), &item) == GST_ITERATOR_OK)
        pad = GstPtr<GstPad>(GST_PAD(g_value_dup_object(&item)));
    g_value_unset(&item);
    return pad;
}

void AviWriter::StampVideo(GstElement* element)
{
    GstPtr<GstPad> pad = OutputPad(element);
    if (!pad)
        ThrowOpenFailed("no output to stamp on " + std::string(GST_ELEMENT_NAME(element)));
    const FrameRateFraction rate = ToFrameRateFraction(frameRate_);
    videoStamper_.emplace(pad.get(), MuxInputStamper::Kind::Video, rate.numerator, rate.denominator);
}

void AviWriter::OpenFile(const std::string& path)
{
    if (videoSource_)
        ThrowOpenFailed("the file is already open");
    try {
        outputFile_.emplace(path);
    } catch (const std::system_error& error) {
        ThrowOpenFailed("cannot create " + path + ": " + error.what());
    }
    const std::string& writePath = outputFile_->writePath();
    videoSource_ = MakeElement(kVideoWriterProxyFactory);
    if (!videoSource_ || !linker_->Add(videoSource_.get(), "VideoWriterProxy"))
        ThrowOpenFailed("cannot create VideoWriterProxy");
    videoProxy_ = GetVideoWriterProxy(videoSource_.get());
    videoProxy_->SetFrameSize(frameWidth_, frameHeight_);
    videoProxy_->SetFrameRate(frameRate_);
    videoProxy_->SetBitCount(bitCount_);
    videoProxy_->SetPixelAspect(pixelAspect_.x, pixelAspect_.y);
    // A queue right behind the proxy decouples the engine from the rest: an encoder runs
    // on the queue's thread, beside the engine. Without an encoder it is the muxer's queue.
    const bool compress = !videoCodecName_.empty() && videoCodecName_ != LoadStringResource(IDS_UNCOMPRESSED);
    const guint frameBytes = DibImageSize(frameWidth_, frameHeight_, bitCount_);
    GstElement* videoQueue =
        compress ? CreateQueue("VideoQueue", kEncoderQueueFrames, kEncoderQueueFrames * frameBytes, kMuxQueueTime)
                 : CreateQueue("VideoQueue", 0, std::max(kMinMuxQueueBytes, kRawMuxQueueFrames * frameBytes),
                               kMuxQueueTime);
    linker_->Connect(videoSource_.get(), videoQueue);
    muxVideoQueue_ = videoQueue;
    GstPtr<GstElement> compressor;
    if (compress) {
        compressor = FindVideoCompressor(videoCodecName_);
        ApplyVideoSettings(compressor.get());
        if (AviEncoderCheck::WritesFileItself(compressor.get())) {
            g_object_set(compressor.get(), "location", writePath.c_str(), nullptr);
            linker_->Connect(videoQueue, compressor.get());
            sinkCompressor_ = std::move(compressor);
            return;
        }
    }

    GstElement* producer = compress ? compressor.get() : videoSource_.get();
    if (!AviEncoderCheck::MuxerTakesFrameSize(producer, frameWidth_, frameHeight_))
        ThrowOpenFailed("AVI output cannot hold " + std::to_string(frameWidth_) + " x " + std::to_string(frameHeight_) +
                        " frames of " + (compress ? videoCodecName_ : std::string("uncompressed video")));
    aviMux_ = Held(linker_->Create("avimux", "AVI Mux"));
    GstElement* fileWriter = linker_->Create("filesink", "File writer");
    g_object_set(fileWriter, "location", writePath.c_str(), "sync", FALSE, nullptr);
    if (compress) {
        ConnectVideoEncoder(videoQueue, compressor.get());
        dvOutput_ = AviEncoderCheck::IsDvEncoder(compressor.get());
        GstElement* muxQueue =
            CreateQueue("MuxQueue", 0, std::max(kMinMuxQueueBytes, 2 * frameBytes), kMuxQueueTime);
        linker_->Connect(compressor.get(), muxQueue);
        linker_->Connect(muxQueue, aviMux_.get());
        muxVideoQueue_ = muxQueue;
        StampVideo(compressor.get());
    } else {
        linker_->Connect(videoQueue, aviMux_.get());
        StampVideo(videoSource_.get());
    }
    linker_->Connect(aviMux_.get(), fileWriter);
    stallGuard_.emplace(aviMux_.get());
    videoProxy_->SetWaitWatcher([this] { stallGuard_->Check(); }, kStallCheckPeriod);

    // Open the file now, so a path that cannot be written fails here rather than as a
    // failed run later.
    if (gst_element_set_state(fileWriter, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE)
        ThrowOpenFailed("cannot create " + writePath);
}

void AviWriter::AddAudioStream(const WAVEFORMATEX& format, double frameRate, const std::string& audioCodecName)
{
    if (!videoSource_ || audioSource_)
        ThrowOpenFailed("audio stream added out of order");
    audioSource_ = MakeElement(kAudioWriterProxyFactory);
    if (!audioSource_ || !linker_->Add(audioSource_.get(), "AudioWriterProxy"))
        ThrowOpenFailed("cannot create AudioWriterProxy");
    audioProxy_ = GetAudioWriterProxy(audioSource_.get());
    audioProxy_->SetFrameRate(frameRate);
    audioProxy_->SetFormat(&format);
    // It must keep flowing while a video encoder holds frames back, or the muxer
    // (waiting for both) would stall the engine.
    const auto queueBytes = static_cast<guint>(
        std::min<guint64>(std::max<guint64>(kMinAudioQueueBytes, gst_util_uint64_scale(format.nAvgBytesPerSec,
                                                                                        kAudioQueueTime, GST_SECOND)),
                          G_MAXINT));
    GstElement* audioQueue = CreateQueue("AudioQueue", 0, queueBytes, kAudioQueueTime);
    linker_->Connect(audioSource_.get(), audioQueue);
    if (stallGuard_) {
        stallGuard_->Watch(muxVideoQueue_, audioQueue);
        audioProxy_->SetWaitWatcher([this] { stallGuard_->Check(); }, kStallCheckPeriod);
    }

    if (dvOutput_) {
        GstElement* convert = linker_->Create("audioconvert", "ACM Wrapper");
        GstElement* resample = linker_->Create("audioresample", "DV Audio Resampler");
        GstElement* dvAudio = linker_->Create("capsfilter", "DV Audio");
        GstPtr<GstCaps> caps = adopt(gst_caps_from_string(kDvAudioCaps));
        g_object_set(dvAudio, "caps", caps.get(), nullptr);
        linker_->Connect(audioQueue, convert);
        linker_->Connect(convert, resample);
        linker_->Connect(resample, dvAudio);
        linker_->Connect(dvAudio, aviMux_.get());
        StampAudio(dvAudio);
        return;
    }

    GstElement* target = sinkCompressor_ ? sinkCompressor_.get() : aviMux_.get();
    if (!audioCodecName.empty() && audioCodecName != "PCM" && audioCodecName != "pcm") {
        GstPtr<GstElement> compressor = FindAudioCompressor(audioCodecName);
        AudioBitRateRule::Attach(compressor.get());
        linker_->Connect(audioQueue, compressor.get(), GraphLinker::MediaKind::Audio);
        linker_->Connect(compressor.get(), target, GraphLinker::MediaKind::Audio);
        StampAudio(compressor.get());
    } else {
        linker_->Connect(audioQueue, target);
        StampAudio(audioQueue);
        // Surround PCM: the proxy offers its channels unpositioned; the speakers go
        // straight into the header.
        if (target == aviMux_.get() && format.nChannels > 2 && audioChannelMask_ != 0)
            WatchAviChannelMask(aviMux_.get(), audioChannelMask_);
    }
}

// Only audio on its way into our muxer is stamped: an encoder that writes the file
// itself keeps its own times.
void AviWriter::StampAudio(GstElement* lastElement)
{
    if (!aviMux_)
        return;
    GstPtr<GstPad> pad = OutputPad(lastElement);
    if (!pad)
        ThrowOpenFailed("no output to stamp on " + std::string(GST_ELEMENT_NAME(lastElement)));
    audioStamper_.emplace(pad.get(), MuxInputStamper::Kind::Audio);
}

void AviWriter::StartGraph()
{
    if (running_)
        return;
    if (gst_element_set_state(graph_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(graph_.get(), GST_STATE_NULL);
        throw CMyException(ErrorCode::GraphRunFailed, "the pipeline does not start");
    }
    running_ = true;
}

bool AviWriter::Finish(HRESULT hr, HRESULT* result) const
{
    if (result)
        *result = hr;
    return Succeeded(hr);
}

bool AviWriter::WriteVideo(const uint8_t* frame, HRESULT* result)
{
    if (!frame)
        return Finish(EndOfOutput(), result);
    if (!videoProxy_ || ended_)
        return Finish(E_FAIL, result);
    StartGraph();
    // Per output frame the engine writes the video, then the audio while it lasts. A
    // second video frame with no audio after the first means the audio is over: end its
    // stream, or the muxer would wait for it while the video queue fills.
    if (audioProxy_ && !audioEnded_ && videoWrites_ > audioWrites_) {
        audioProxy_->PutSamples(nullptr, 0);
        audioEnded_ = true;
    }
    ++videoWrites_;
    return Finish(videoProxy_->PutFrame(frame), result);
}

bool AviWriter::WriteAudio(const uint8_t* chunk, uint32_t length, HRESULT* result)
{
    if (!chunk)
        return Finish(EndOfOutput(), result);
    if (!audioProxy_ || ended_ || audioEnded_)
        return Finish(E_FAIL, result);
    StartGraph();
    // Likewise a second chunk with no frame between means the video is over.
    if (!videoEnded_ && audioWrites_ > videoWrites_) {
        videoProxy_->PutFrame(nullptr);
        videoEnded_ = true;
    }
    ++audioWrites_;
    return Finish(audioProxy_->PutSamples(chunk, length), result);
}

HRESULT AviWriter::EndOfOutput()
{
    if (ended_)
        return endResult_;
    ended_ = true;
    if (videoProxy_)
        videoProxy_->PutFrame(nullptr);
    if (audioProxy_)
        audioProxy_->PutSamples(nullptr, 0);
    // The muxer completes the file (index, final header) on the end of both streams;
    // the end reaches the bus once the file writer has it, or a failure does.
    if (running_)
        finished_.Wait();
    // Closing the file can fail too (data still buffered, disk full): the file writer
    // reports that while it stops.
    const bool stopped = gst_element_set_state(graph_.get(), GST_STATE_NULL) != GST_STATE_CHANGE_FAILURE;
    const bool wroteData = running_;
    running_ = false;
    {
        std::lock_guard guard(busLock_);
        if (!stopped && graphResult_ >= 0)
            graphResult_ = E_FAIL;
        endResult_ = graphResult_;
    }
    // A complete file takes the final name; a failed one, or one that never got a frame
    // (no header was written), is removed and any file of that name stays as it was.
    if (outputFile_) {
        if (Succeeded(endResult_) && wroteData) {
            if (!outputFile_->Commit()) {
                GST_WARNING("cannot rename the finished file to %s", outputFile_->finalPath().c_str());
                std::lock_guard guard(busLock_);
                graphError_ = "cannot give the finished file its name " + outputFile_->finalPath();
                endResult_ = E_FAIL;
            }
        } else {
            outputFile_->Discard();
        }
    }
    return endResult_;
}

std::string AviWriter::FailureDetail() const
{
    std::lock_guard guard(busLock_);
    if (!graphError_.empty())
        return graphError_;
    if (Failed(graphResult_) || (ended_ && Failed(endResult_)))
        return "the AVI file could not be completed";
    return {};
}

GstBusSyncReply AviWriter::OnBusMessage(GstBus*, GstMessage* message, gpointer self) noexcept
{
    auto* writer = static_cast<AviWriter*>(self);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gchar* debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        const GstPtr<GError> ownedError(error);
        const GstPtr<gchar> ownedDebug(debug);
        GST_WARNING("error from %s: %s (%s)", GST_MESSAGE_SRC_NAME(message), error ? error->message : "",
                    debug ? debug : "");
        {
            std::lock_guard guard(writer->busLock_);
            if (writer->graphResult_ >= 0) {
                writer->graphResult_ = E_FAIL;
                writer->graphError_ = std::string(GST_MESSAGE_SRC_NAME(message)) + ": " +
                                      (error ? error->message : "error") + (debug ? std::string(" (") + debug + ")" : "");
            }
        }
        writer->finished_.Set();
        // Passed on, so the proxies' sync-message watch wakes a waiting engine call.
        return GST_BUS_PASS;
    }
    case GST_MESSAGE_EOS:
        writer->finished_.Set();
        return GST_BUS_DROP;
    default:
        // Nobody pops this bus: dropping keeps it from growing.
        return GST_BUS_DROP;
    }
}

}  // namespace klova
