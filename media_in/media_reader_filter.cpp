#include "media_in/media_reader_filter.h"

#include "media_in/media_type_caps.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>

GST_DEBUG_CATEGORY_EXTERN(klova_media_reader_debug);
#define GST_CAT_DEFAULT klova_media_reader_debug

namespace klova {

namespace {

// How often a wait for a sample looks at the stop request.
constexpr std::chrono::milliseconds kStopPollPeriod{100};

// A video frame mapped for reading while the object lives.
class MappedVideoFrame {
public:
    MappedVideoFrame(GstBuffer* buffer, const GstVideoInfo& info)
    {
        GstVideoInfo mapInfo = info;
        mapped_ = gst_video_frame_map(&frame_, &mapInfo, buffer, GST_MAP_READ);
    }
    ~MappedVideoFrame()
    {
        if (mapped_)
            gst_video_frame_unmap(&frame_);
    }
    MappedVideoFrame(const MappedVideoFrame&) = delete;
    MappedVideoFrame& operator=(const MappedVideoFrame&) = delete;

    bool mapped() const { return mapped_; }
    const GstVideoFrame& frame() const { return frame_; }

private:
    GstVideoFrame frame_{};
    bool mapped_ = false;
};

MediaTime NsToMediaTime(guint64 ns)
{
    return static_cast<MediaTime>((ns + 50) / 100);
}

// Copies bytes [offset, offset + length) of the bottom-up DIB image of a top-down
// frame into dst. Row padding of the DIB is zero-filled.
void CopyBottomUp(const GstVideoFrame& frame, uint32_t offset, uint32_t length, uint8_t* dst)
{
    const int32_t width = GST_VIDEO_FRAME_WIDTH(&frame);
    const int32_t height = GST_VIDEO_FRAME_HEIGHT(&frame);
    const auto* src = static_cast<const uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
    const ptrdiff_t srcStride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
    const uint32_t rowBytes = static_cast<uint32_t>(width) * 3;
    const uint32_t dstStride = static_cast<uint32_t>(DibStride(width));

    uint32_t position = offset;
    const uint32_t end = offset + length;
    while (position < end) {
        const uint32_t row = position / dstStride;
        const uint32_t column = position % dstStride;
        const uint32_t chunk = std::min(dstStride - column, end - position);
        const uint32_t copied = column < rowBytes ? std::min(chunk, rowBytes - column) : 0;
        const uint8_t* srcRow = src + static_cast<ptrdiff_t>(height - 1 - static_cast<int32_t>(row)) * srcStride;
        uint8_t* out = dst + (position - offset);
        std::memcpy(out, srcRow + column, copied);
        std::memset(out + copied, 0, chunk - copied);
        position += chunk;
    }
}

// Caps that hold a connected format fixed: later renegotiation may change anything
// but the frame size or the sample layout the reader's buffer was made for.
GstPtr<GstCaps> PinnedCaps(const MediaType& type)
{
    if (type.majortype == MajorType::Video) {
        const BITMAPINFOHEADER& bitmap = type.videoInfo.bmiHeader;
        GstPtr<GstCaps> caps = CapsFromMediaType(MediaType{.majortype = MajorType::Video});
        gst_caps_set_simple(caps.get(), "width", G_TYPE_INT, bitmap.biWidth, "height", G_TYPE_INT, bitmap.biHeight,
                            nullptr);
        return caps;
    }
    const WAVEFORMATEX& wave = type.waveFormat;
    return adopt(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, wave.wBitsPerSample == 8 ? "U8" : "S16LE",
                                     "layout", G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT,
                                     static_cast<int>(wave.nSamplesPerSec), "channels", G_TYPE_INT,
                                     static_cast<int>(wave.nChannels), nullptr));
}

}  // namespace

MediaReaderFilter::MediaReaderFilter(GstBaseSink* owner) : owner_(owner)
{
    gst_video_info_init(&videoInfo_);
    gst_video_info_init(&heldInfo_);
}

MediaReaderFilter::~MediaReaderFilter() = default;

HRESULT MediaReaderFilter::CheckMediaType(const MediaType& preferred, FormatType requiredFormat,
                                          const MediaType* proposed)
{
    if (!proposed)
        return E_POINTER;
    const bool partial = preferred.majortype == MajorType::None || preferred.formattype == FormatType::None;
    if (!partial)
        return SameMediaType(preferred, *proposed) ? S_OK : S_FALSE;

    if (preferred.majortype != MajorType::None && proposed->majortype != preferred.majortype)
        return S_FALSE;
    if (preferred.subtype != SubType::None && proposed->subtype != preferred.subtype)
        return S_FALSE;
    if (preferred.formattype != FormatType::None) {
        MediaType blockOnly = *proposed;
        blockOnly.majortype = preferred.majortype;
        blockOnly.subtype = preferred.subtype;
        if (!SameMediaType(preferred, blockOnly))
            return S_FALSE;
    }
    if (requiredFormat == FormatType::None)
        return S_OK;
    return proposed->formattype == requiredFormat ? S_OK : S_FALSE;
}

// --- IMediaReaderControl -------------------------------------------------------------

HRESULT MediaReaderFilter::SetPreferredType(const MediaType* type, const FormatType* requiredFormat)
{
    if (!type || !requiredFormat)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    preferred_ = *type;
    requiredFormat_ = *requiredFormat;
    return S_OK;
}

HRESULT MediaReaderFilter::GetConnectedType(MediaType* type)
{
    if (!type)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *type = connected_;
    return S_OK;
}

HRESULT MediaReaderFilter::GetBufferSize(uint32_t* size)
{
    if (!size)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    *size = 0;
    if (connected_.formattype == FormatType::VideoInfo) {
        *size = connected_.videoInfo.bmiHeader.biSizeImage;
    } else if (connected_.formattype == FormatType::WaveFormatEx) {
        // A quarter second, rounded up to whole blocks.
        const uint32_t blocks = (connected_.waveFormat.nSamplesPerSec + 3) / 4;
        *size = blocks * connected_.waveFormat.nBlockAlign;
    }
    return S_OK;
}

HRESULT MediaReaderFilter::SetFlush(bool flush)
{
    {
        std::lock_guard lock(mutex_);
        flushing_ = flush;
        if (flush) {
            requested_ = false;
            ahead_.reset();  // from before the seek
        }
    }
    changed_.notify_all();
    return S_OK;
}

HRESULT MediaReaderFilter::RequestSample()
{
    {
        std::lock_guard lock(mutex_);
        if (ahead_ && ahead_->timed && !flushing_ && !aborted_) {
            // Taken on this thread: the streaming thread may go on with the next frame.
            PublishLocked(ahead_->data, ahead_->length, ahead_->start, ahead_->stop);
            ahead_.reset();
        } else {
            requested_ = true;
        }
    }
    changed_.notify_all();
    return S_OK;
}

HRESULT MediaReaderFilter::WaitForSample()
{
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return delivered_ || ((ended_ || aborted_) && !copying_ && !converting_); };
    if (stopRequested_) {
        // The flag is set by a signal handler, which cannot notify: look at it now and then.
        while (!changed_.wait_for(lock, kStopPollPeriod, ready)) {
            if (stopRequested_->load() && !copying_ && !converting_) {
                requested_ = false;
                return S_FALSE;
            }
        }
    } else {
        changed_.wait(lock, ready);
    }
    if (delivered_) {
        delivered_ = false;
        return S_OK;
    }
    requested_ = false;
    return S_FALSE;
}

HRESULT MediaReaderFilter::SetBuffer(uint32_t size, uint8_t* buffer)
{
    if (size == 0 || !buffer)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    bufferSize_ = size;
    buffer_ = buffer;
    return S_OK;
}

HRESULT MediaReaderFilter::SetSpareBuffer(uint8_t* buffer)
{
    std::lock_guard lock(mutex_);
    spare_ = buffer;
    return S_OK;
}

HRESULT MediaReaderFilter::GetData(uint8_t** data)
{
    if (!data)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *data = lastData_;
    return S_OK;
}

HRESULT MediaReaderFilter::GetDataLength(bool reset, uint32_t* length)
{
    if (!length)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *length = lastLength_;
    if (reset)
        lastLength_ = 0;
    return S_OK;
}

HRESULT MediaReaderFilter::GetTimes(bool reset, MediaTime* start, MediaTime* stop)
{
    if (!start || !stop)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *start = lastStart_;
    *stop = lastStop_;
    if (reset) {
        lastStart_ = 0;
        lastStop_ = 0;
    }
    return S_OK;
}

HRESULT MediaReaderFilter::AbortStream()
{
    {
        std::lock_guard lock(mutex_);
        aborted_ = true;
    }
    changed_.notify_all();
    return S_OK;
}

HRESULT MediaReaderFilter::SetStopRequest(const std::atomic<bool>* stopRequested)
{
    std::lock_guard lock(mutex_);
    stopRequested_ = stopRequested;
    return S_OK;
}

HRESULT MediaReaderFilter::SetFrameRateTrusted(bool trusted)
{
    std::lock_guard lock(mutex_);
    frameRateTrusted_ = trusted;
    return S_OK;
}

HRESULT MediaReaderFilter::SetRowsRead(std::vector<uint8_t> dibRows)
{
    std::shared_ptr<const std::vector<uint8_t>> rows;
    if (!dibRows.empty())
        rows = std::make_shared<const std::vector<uint8_t>>(std::move(dibRows));
    std::lock_guard lock(mutex_);
    rowsRead_ = std::move(rows);
    return S_OK;
}

std::shared_ptr<const std::vector<uint8_t>> MediaReaderFilter::RowsRead() const
{
    std::lock_guard lock(mutex_);
    return rowsRead_;
}

HRESULT MediaReaderFilter::SetNominalFrameRate(double framesPerSecond)
{
    if (!(framesPerSecond > 0.0))
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    pendingNominalRate_ = framesPerSecond;
    return S_OK;
}

HRESULT MediaReaderFilter::GetStreamOrigin(uint64_t* originNs)
{
    if (!originNs)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *originNs = originNs_;
    return originKnown_ ? S_OK : S_FALSE;
}

HRESULT MediaReaderFilter::SetTimeOrigin(uint64_t positionNs)
{
    std::lock_guard lock(mutex_);
    pendingTimeOrigin_ = positionNs;
    return S_OK;
}

// --- GstBaseSink ---------------------------------------------------------------------

GstCaps* MediaReaderFilter::QueryCaps(GstCaps* filter)
{
    GstPtr<GstCaps> caps;
    {
        std::lock_guard lock(mutex_);
        caps = pinnedCaps_ ? adopt(gst_caps_ref(pinnedCaps_.get())) : CapsFromMediaType(preferred_);
    }
    if (filter)
        return gst_caps_intersect_full(filter, caps.get(), GST_CAPS_INTERSECT_FIRST);
    return caps.release();
}

MediaTime MediaReaderFilter::LoneFrameDuration() const
{
    gint64 durationNs = 0;
    gint64 frames = 0;
    if (gst_pad_peer_query_duration(owner_->sinkpad, GST_FORMAT_TIME, &durationNs) &&
        gst_pad_peer_query_duration(owner_->sinkpad, GST_FORMAT_DEFAULT, &frames) && durationNs > 0 && frames > 0)
        return NsToMediaTime(static_cast<guint64>(durationNs)) / frames;
    return 0;
}

bool MediaReaderFilter::SetCaps(GstCaps* caps)
{
    MediaType proposed = MediaTypeFromCaps(caps);
    std::unique_lock lock(mutex_);
    if (CheckMediaType(preferred_, requiredFormat_, &proposed) != S_OK) {
        GST_WARNING_OBJECT(owner_, "refusing caps %" GST_PTR_FORMAT, static_cast<gpointer>(caps));
        return false;
    }
    if (pinnedCaps_ && !gst_caps_can_intersect(caps, pinnedCaps_.get())) {
        GST_WARNING_OBJECT(owner_, "refusing a change of format to %" GST_PTR_FORMAT, static_cast<gpointer>(caps));
        return false;
    }

    isVideo_ = proposed.majortype == MajorType::Video;
    if (isVideo_) {
        if (!gst_video_info_from_caps(&videoInfo_, caps))
            return false;
        const bool trusted = frameRateTrusted_;
        if (!trusted) {
            proposed.videoInfo.AvgTimePerFrame = 0;
            proposed.videoInfo.dwBitRate = 0;
        }
        const double nominalRate =
            trusted && videoInfo_.fps_n > 0 && videoInfo_.fps_d > 0 ? double(videoInfo_.fps_n) / videoInfo_.fps_d : 0.0;
        lock.unlock();
        // Asked upstream, so not under the lock.
        const MediaTime lone = nominalRate == 0.0 ? LoneFrameDuration() : 0;
        frameTimer_.Configure(nominalRate, trusted, lone);
        lock.lock();
    } else if (proposed.formattype == FormatType::WaveFormatEx) {
        audioBlockAlign_ = proposed.waveFormat.nBlockAlign;
        audioRate_ = proposed.waveFormat.nSamplesPerSec;
    }

    // Until the first sample the format may still change (a rotation tag makes the
    // picture upright after the first caps); from then on the reader's buffer is made
    // for it.
    if (!pinnedCaps_)
        connected_ = proposed;
    GST_DEBUG_OBJECT(owner_, "connected with %" GST_PTR_FORMAT, static_cast<gpointer>(caps));
    return true;
}

void MediaReaderFilter::Prepare()
{
    std::lock_guard lock(mutex_);
    if (!pinnedCaps_ && connected_.formattype != FormatType::None)
        pinnedCaps_ = PinnedCaps(connected_);
}

std::optional<int64_t> MediaReaderFilter::RunningTimeNs(GstClockTime position) const
{
    // The segment is written by this same streaming thread.
    const GstSegment& segment = owner_->segment;
    if (!GST_CLOCK_TIME_IS_VALID(position) || segment.format != GST_FORMAT_TIME)
        return std::nullopt;
    guint64 runningNs = 0;
    const int sign = gst_segment_to_running_time_full(&segment, GST_FORMAT_TIME, position, &runningNs);
    if (sign == 0)
        return std::nullopt;
    return sign > 0 ? static_cast<int64_t>(runningNs) : -static_cast<int64_t>(runningNs);
}

int64_t MediaReaderFilter::OriginRunningTimeNs() const
{
    if (!timeOrigin_)
        return 0;  // the segment start
    return RunningTimeNs(*timeOrigin_).value_or(0);
}

GstFlowReturn MediaReaderFilter::WaitForRequest()
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return (requested_ && !flushing_) || unlocked_ || aborted_; });
            // After a failure nothing more is delivered, even if a request came first:
            // the input has ended there, until a flush starts it again.
            if (aborted_ && !unlocked_)
                return GST_FLOW_EOS;
            if (!unlocked_) {
                requested_ = false;
                copying_ = true;
                return GST_FLOW_OK;
            }
        }
        // Flushing or leaving PLAYING: the base class decides whether the sample is
        // dropped (flushing) or kept for when the pipeline plays again.
        const GstFlowReturn flow = gst_base_sink_wait_preroll(owner_);
        if (flow != GST_FLOW_OK)
            return flow;
    }
}

void MediaReaderFilter::PublishLocked(uint8_t* data, uint32_t length, MediaTime start, MediaTime stop)
{
    lastData_ = data;
    lastLength_ = length;
    lastStart_ = start;
    lastStop_ = stop;
    delivered_ = true;
}

void MediaReaderFilter::Publish(uint32_t length, MediaTime start, MediaTime stop)
{
    {
        std::lock_guard lock(mutex_);
        PublishLocked(buffer_, length, start, stop);
        copying_ = false;
    }
    changed_.notify_all();
}

GstFlowReturn MediaReaderFilter::WaitForFreeBuffer(uint8_t** target)
{
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return (!ahead_ && !flushing_) || unlocked_ || aborted_; });
            if (aborted_ && !unlocked_)
                return GST_FLOW_EOS;
            if (!unlocked_) {
                *target = lastData_ == buffer_ ? spare_ : buffer_;
                converting_ = true;
                return GST_FLOW_OK;
            }
        }
        // As in WaitForRequest: flushing drops the frame, a pause keeps it.
        const GstFlowReturn flow = gst_base_sink_wait_preroll(owner_);
        if (flow != GST_FLOW_OK)
            return flow;
    }
}

GstFlowReturn MediaReaderFilter::ConvertAhead(const GstVideoFrame& frame, uint32_t imageSize,
                                              std::optional<FrameTimer::Times> times)
{
    uint8_t* target = nullptr;
    const GstFlowReturn flow = WaitForFreeBuffer(&target);
    if (flow != GST_FLOW_OK)
        return flow;
    const std::shared_ptr<const std::vector<uint8_t>> rows = RowsRead();
    // Outside the lock: the reader holds the other buffer, and nothing reads this one
    // until it is published.
    yuvConverter_.Convert(frame, target, rows.get());
    {
        std::lock_guard lock(mutex_);
        converting_ = false;
        if (flushing_) {
            // A seek began meanwhile: the frame is from before it.
        } else if (times && requested_ && !aborted_) {
            requested_ = false;
            PublishLocked(target, imageSize, times->start, times->stop);
        } else {
            ahead_ = times ? Ahead{target, imageSize, times->start, times->stop, true} : Ahead{target, imageSize};
        }
    }
    changed_.notify_all();
    NoteFirstFrame(frame);
    return GST_FLOW_OK;
}

GstFlowReturn MediaReaderFilter::Render(GstBuffer* buffer)
{
    if (!buffer)
        return GST_FLOW_ERROR;
    {
        std::lock_guard lock(mutex_);
        if (!buffer_ || bufferSize_ == 0) {
            GST_ELEMENT_ERROR(owner_, CORE, FAILED, (nullptr), ("no buffer was given to the sink"));
            return GST_FLOW_ERROR;
        }
    }
    return isVideo_ ? RenderVideo(buffer) : RenderAudio(buffer);
}

GstFlowReturn MediaReaderFilter::RenderVideo(GstBuffer* buffer)
{
    const std::optional<int64_t> runningNs = RunningTimeNs(GST_BUFFER_PTS(buffer));
    const int64_t originNs = OriginRunningTimeNs();
    std::optional<MediaTime> start;
    if (runningNs) {
        // A frame that ends before the origin (or starts before it, without a known
        // end) is from before the position a seek asked for.
        const bool hasDuration = GST_BUFFER_DURATION_IS_VALID(buffer);
        const int64_t endNs = *runningNs + (hasDuration ? static_cast<int64_t>(GST_BUFFER_DURATION(buffer)) : 0);
        if (*runningNs < originNs && (!hasDuration || endNs <= originNs))
            return GST_FLOW_OK;
        start = NsToMediaTime(static_cast<guint64>(std::max<int64_t>(*runningNs - originNs, 0)));
    }
    std::optional<MediaTime> duration;
    if (GST_BUFFER_DURATION_IS_VALID(buffer))
        duration = NsToMediaTime(GST_BUFFER_DURATION(buffer));
    double nominalRate = 0.0;
    bool trusted = false;
    {
        std::lock_guard lock(mutex_);
        nominalRate = std::exchange(pendingNominalRate_, 0.0);
        trusted = frameRateTrusted_;
    }
    if (nominalRate > 0.0)
        frameTimer_.Configure(nominalRate, trusted, 0);
    const std::optional<FrameTimer::Times> released = frameTimer_.Push(start, duration);
    if (released && heldFrame_) {
        const GstFlowReturn flow = DeliverVideo(heldFrame_.get(), heldInfo_, *released);
        heldFrame_.reset();
        if (flow != GST_FLOW_OK)
            return flow;
    } else if (released) {
        TimeParked(*released);
    }
    if (ConvertsAhead()) {
        // Converted at once and timed when the next frame arrives: no decoded frame
        // is held meanwhile.
        return ConvertAheadUntimed(buffer);
    }
    heldFrame_.reset(gst_buffer_ref(buffer));
    heldInfo_ = videoInfo_;
    return GST_FLOW_OK;
}

bool MediaReaderFilter::ConvertsAhead() const
{
    std::lock_guard lock(mutex_);
    return spare_ != nullptr && YuvToBgrConverter::Supports(GST_VIDEO_INFO_FORMAT(&videoInfo_));
}

void MediaReaderFilter::TimeParked(FrameTimer::Times times)
{
    {
        std::lock_guard lock(mutex_);
        if (!ahead_ || ahead_->timed)
            return;
        ahead_->start = times.start;
        ahead_->stop = times.stop;
        ahead_->timed = true;
        if (requested_ && !flushing_ && !aborted_) {
            requested_ = false;
            PublishLocked(ahead_->data, ahead_->length, ahead_->start, ahead_->stop);
            ahead_.reset();
        }
    }
    changed_.notify_all();
}

// A 4:2:0 frame is converted straight into a buffer of the reader's size, so it must
// fit in one piece; the converter follows the frame's size and colorimetry.
bool MediaReaderFilter::ReadyToConvert(const GstVideoFrame& frame, uint32_t imageSize)
{
    if (imageSize > bufferSize_) {
        GST_ELEMENT_ERROR(owner_, STREAM, FAILED, (nullptr), ("a frame larger than the reader's buffer"));
        return false;
    }
    if (!yuvConverter_.ConfiguredFor(frame.info))
        yuvConverter_.Configure(frame.info);
    return true;
}

GstFlowReturn MediaReaderFilter::ConvertAheadUntimed(GstBuffer* buffer)
{
    const MappedVideoFrame mapping(buffer, videoInfo_);
    if (!mapping.mapped()) {
        GST_ELEMENT_ERROR(owner_, STREAM, FAILED, (nullptr), ("cannot map a video frame"));
        return GST_FLOW_ERROR;
    }
    const GstVideoFrame& frame = mapping.frame();
    const uint32_t imageSize = DibImageSize(GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame));
    if (!ReadyToConvert(frame, imageSize))
        return GST_FLOW_ERROR;
    return ConvertAhead(frame, imageSize, std::nullopt);
}

GstFlowReturn MediaReaderFilter::DeliverVideo(GstBuffer* buffer, const GstVideoInfo& info, FrameTimer::Times times)
{
    const MappedVideoFrame mapping(buffer, info);
    if (!mapping.mapped()) {
        GST_ELEMENT_ERROR(owner_, STREAM, FAILED, (nullptr), ("cannot map a video frame"));
        return GST_FLOW_ERROR;
    }
    const GstVideoFrame& frame = mapping.frame();
    const uint32_t imageSize = DibImageSize(GST_VIDEO_FRAME_WIDTH(&frame), GST_VIDEO_FRAME_HEIGHT(&frame));
    if (YuvToBgrConverter::Supports(GST_VIDEO_FRAME_FORMAT(&frame))) {
        if (!ReadyToConvert(frame, imageSize))
            return GST_FLOW_ERROR;
        bool ahead = false;
        {
            std::lock_guard lock(mutex_);
            ahead = spare_ != nullptr;
        }
        if (ahead)
            return ConvertAhead(frame, imageSize, times);
        const GstFlowReturn flow = WaitForRequest();
        if (flow == GST_FLOW_OK) {
            yuvConverter_.Convert(frame, buffer_, RowsRead().get());
            Publish(imageSize, times.start, times.stop);
            NoteFirstFrame(frame);
        }
        return flow;
    }
    // One piece per request; more than one only when a frame is larger than the buffer.
    const MediaTime length = times.stop - times.start;
    GstFlowReturn flow = GST_FLOW_OK;
    for (uint32_t offset = 0; offset < imageSize && flow == GST_FLOW_OK;) {
        flow = WaitForRequest();
        if (flow != GST_FLOW_OK)
            break;
        const uint32_t piece = std::min(imageSize - offset, bufferSize_);
        CopyBottomUp(frame, offset, piece, buffer_);
        const MediaTime pieceStart = times.start + length * offset / imageSize;
        const MediaTime pieceStop = times.start + length * (offset + piece) / imageSize;
        Publish(piece, pieceStart, pieceStop);
        offset += piece;
    }
    if (flow == GST_FLOW_OK)
        NoteFirstFrame(frame);
    return flow;
}

// The start-up benchmark (bench/convert_bench.sh) times the way to this line.
void MediaReaderFilter::NoteFirstFrame(const GstVideoFrame& frame)
{
    if (firstFrameNoted_)
        return;
    firstFrameNoted_ = true;
    GST_INFO_OBJECT(owner_, "first frame handed over, %dx%d %s", GST_VIDEO_FRAME_WIDTH(&frame),
                    GST_VIDEO_FRAME_HEIGHT(&frame), gst_video_format_to_string(GST_VIDEO_FRAME_FORMAT(&frame)));
}

GstFlowReturn MediaReaderFilter::RenderAudio(GstBuffer* buffer)
{
    if (audioBlockAlign_ == 0 || audioRate_ == 0) {
        GST_ELEMENT_ERROR(owner_, CORE, NEGOTIATION, (nullptr), ("audio arrived before its format"));
        return GST_FLOW_ERROR;
    }
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ)) {
        GST_ELEMENT_ERROR(owner_, STREAM, FAILED, (nullptr), ("cannot map an audio buffer"));
        return GST_FLOW_ERROR;
    }
    const auto total = static_cast<uint32_t>(map.size);
    uint32_t first = 0;  // bytes before the origin are cut off
    MediaTime start = nextAudioStart_.value_or(0);
    if (const std::optional<int64_t> runningNs = RunningTimeNs(GST_BUFFER_PTS(buffer))) {
        const int64_t beforeOriginNs = OriginRunningTimeNs() - *runningNs;
        if (beforeOriginNs > 0) {
            const uint64_t blocks = gst_util_uint64_scale_int_round(static_cast<guint64>(beforeOriginNs), audioRate_,
                                                                    GST_SECOND);
            first = static_cast<uint32_t>(std::min<uint64_t>(blocks * audioBlockAlign_, total));
            start = 0;
        } else {
            start = NsToMediaTime(static_cast<guint64>(-beforeOriginNs));
        }
    }
    const auto timeOfByte = [&](uint64_t offset) {
        const uint64_t samples = (offset - first) / audioBlockAlign_;
        return start + static_cast<MediaTime>(gst_util_uint64_scale_int_round(samples, kUnitsPerSecond, audioRate_));
    };
    GstFlowReturn flow = GST_FLOW_OK;
    // Pieces are whole blocks: the buffer size is.
    for (uint32_t offset = first; offset < total;) {
        flow = WaitForRequest();
        if (flow != GST_FLOW_OK)
            break;
        const uint32_t piece = std::min(total - offset, bufferSize_);
        std::memcpy(buffer_, map.data + offset, piece);
        Publish(piece, timeOfByte(offset), timeOfByte(offset + piece));
        offset += piece;
    }
    if (first < total)
        nextAudioStart_ = timeOfByte(total);
    gst_buffer_unmap(buffer, &map);
    return flow;
}

void MediaReaderFilter::Unlock()
{
    {
        std::lock_guard lock(mutex_);
        unlocked_ = true;
    }
    changed_.notify_all();
}

void MediaReaderFilter::UnlockStop()
{
    std::lock_guard lock(mutex_);
    unlocked_ = false;
}

void MediaReaderFilter::ResetStream()
{
    heldFrame_.reset();
    frameTimer_.Reset();
    nextAudioStart_.reset();
}

void MediaReaderFilter::Stop()
{
    ResetStream();
}

bool MediaReaderFilter::BeforeEvent(GstEvent* event)
{
    switch (GST_EVENT_TYPE(event)) {
    case GST_EVENT_SEGMENT: {
        const GstSegment* segment = nullptr;
        gst_event_parse_segment(event, &segment);
        std::lock_guard lock(mutex_);
        if (!originKnown_ && segment->format == GST_FORMAT_TIME) {
            originKnown_ = true;
            originNs_ = segment->start;
        }
        return true;
    }
    case GST_EVENT_EOS: {
        // The last frame has no successor to time it by.
        const std::optional<FrameTimer::Times> last = isVideo_ ? frameTimer_.Finish() : std::nullopt;
        if (last && heldFrame_) {
            const GstFlowReturn flow = DeliverVideo(heldFrame_.get(), heldInfo_, *last);
            heldFrame_.reset();
            return flow == GST_FLOW_OK;
        }
        if (last)
            TimeParked(*last);
        return true;
    }
    default:
        return true;
    }
}

void MediaReaderFilter::AfterEvent(GstEventType type, bool handled)
{
    if (type == GST_EVENT_EOS && handled) {
        {
            std::lock_guard lock(mutex_);
            ended_ = true;
        }
        changed_.notify_all();
    } else if (type == GST_EVENT_FLUSH_STOP) {
        // Serialised with the streaming thread: nothing is rendering now.
        ResetStream();
        std::lock_guard lock(mutex_);
        ahead_.reset();
        ended_ = false;
        aborted_ = false;
        if (pendingTimeOrigin_) {
            timeOrigin_ = pendingTimeOrigin_;
            pendingTimeOrigin_.reset();
        }
    }
}

}  // namespace klova
