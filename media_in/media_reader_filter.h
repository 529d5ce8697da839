// The state and behaviour of the "MediaReader" sink: hands one decoded sample at a
// time to an input reader, on request, copying it into the reader's own buffer.
// The GObject element (KlovaMediaReaderSink) owns one instance and forwards its virtual
// methods here.
#pragma once

#include "media_in/frame_timer.h"
#include "media_in/yuv_to_bgr_converter.h"
#include "media_in/media_reader_control.h"
#include "media_in/media_type.h"
#include "platform/gst_ptr.h"

#include <gst/audio/audio.h>
#include <gst/base/gstbasesink.h>
#include <gst/video/video.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace klova {

// Threads: the IMediaReaderControl operations run on the engine thread (AbortStream on
// any thread); Render, SetCaps and the event hooks on the streaming thread; Unlock and
// UnlockStop on whichever thread changes state or flushes. mutex_ guards everything
// both sides touch; the render-side state (timer, held frame, stream formats) belongs
// to the streaming thread.
//
// Hand-off: RequestSample sets requested_; Render consumes it, copies into the buffer
// outside the lock (the reader is blocked in WaitForSample and does not touch the
// buffer), then publishes length and times and sets delivered_. One sample in flight.
//
// With a spare buffer, 4:2:0 frames go ahead of the requests instead: render converts
// each frame as it arrives into the buffer the reader does not hold and parks it as
// ahead_, to be timed by the next frame's arrival (or the end of the stream); the
// next RequestSample then publishes it on the engine thread at once. Render waits
// before converting the following frame until the reader has taken the parked one, so
// the reader still sees every frame, one at a time and in order, the buffer it holds
// is never written, and no decoded frame is kept waiting for its times.
class MediaReaderFilter final : public IMediaReaderControl {
public:
    explicit MediaReaderFilter(GstBaseSink* owner);
    ~MediaReaderFilter();
    MediaReaderFilter(const MediaReaderFilter&) = delete;
    MediaReaderFilter& operator=(const MediaReaderFilter&) = delete;

    // Whether a proposed type is acceptable: S_OK to accept, S_FALSE to refuse,
    // E_POINTER for null. A preferred type whose majortype or formattype is None only
    // has to match where it is specified, and then the proposed type must carry the
    // required format type (unless that is None); a fully specified preferred type
    // must be matched exactly, format block included.
    static HRESULT CheckMediaType(const MediaType& preferred, FormatType requiredFormat, const MediaType* proposed);

    // IMediaReaderControl
    HRESULT SetPreferredType(const MediaType* type, const FormatType* requiredFormat) override;
    HRESULT GetConnectedType(MediaType* type) override;
    HRESULT GetBufferSize(uint32_t* size) override;
    HRESULT SetFlush(bool flush) override;
    HRESULT RequestSample() override;
    HRESULT WaitForSample() override;
    HRESULT SetBuffer(uint32_t size, uint8_t* buffer) override;
    HRESULT SetSpareBuffer(uint8_t* buffer) override;
    HRESULT GetData(uint8_t** data) override;
    HRESULT GetDataLength(bool reset, uint32_t* length) override;
    HRESULT GetTimes(bool reset, MediaTime* start, MediaTime* stop) override;
    HRESULT AbortStream() override;
    HRESULT SetStopRequest(const std::atomic<bool>* stopRequested) override;
    HRESULT SetFrameRateTrusted(bool trusted) override;
    HRESULT SetNominalFrameRate(double framesPerSecond) override;
    HRESULT SetRowsRead(std::vector<uint8_t> dibRows) override;
    HRESULT GetStreamOrigin(uint64_t* originNs) override;
    HRESULT SetTimeOrigin(uint64_t positionNs) override;

    // GstBaseSink virtual methods. QueryCaps returns a new reference.
    GstCaps* QueryCaps(GstCaps* filter);
    bool SetCaps(GstCaps* caps);
    // Before each buffer (preroll and render): the first one fixes the connected format.
    void Prepare();
    GstFlowReturn Render(GstBuffer* buffer);
    void Unlock();
    void UnlockStop();
    void Stop();

    // Event hooks around the base class's handling. BeforeEvent may deliver the held
    // frame at the end of the stream (and block for it); false means the event is to
    // be refused because the sink is flushing.
    bool BeforeEvent(GstEvent* event);
    void AfterEvent(GstEventType type, bool handled);

private:
    GstFlowReturn RenderVideo(GstBuffer* buffer);
    GstFlowReturn RenderAudio(GstBuffer* buffer);
    GstFlowReturn DeliverVideo(GstBuffer* buffer, const GstVideoInfo& info, FrameTimer::Times times);
    GstFlowReturn WaitForRequest();
    // Waits until nothing is parked ahead and returns the buffer to convert into: the
    // one the reader does not hold.
    GstFlowReturn WaitForFreeBuffer(uint8_t** target);
    // Converts into the free buffer and parks the frame; without times it waits for
    // TimeParked, which the next frame's arrival (or the end) gives it.
    GstFlowReturn ConvertAhead(const GstVideoFrame& frame, uint32_t imageSize, std::optional<FrameTimer::Times> times);
    GstFlowReturn ConvertAheadUntimed(GstBuffer* buffer);
    // False, with the element error posted, when a 4:2:0 frame does not fit the buffer.
    bool ReadyToConvert(const GstVideoFrame& frame, uint32_t imageSize);
    void TimeParked(FrameTimer::Times times);
    bool ConvertsAhead() const;
    // The rows a conversion writes (null: all), for the conversion to hold on to.
    std::shared_ptr<const std::vector<uint8_t>> RowsRead() const;
    void NoteFirstFrame(const GstVideoFrame& frame);
    void Publish(uint32_t length, MediaTime start, MediaTime stop);
    // Under mutex_.
    void PublishLocked(uint8_t* data, uint32_t length, MediaTime start, MediaTime stop);
    std::optional<int64_t> RunningTimeNs(GstClockTime position) const;
    int64_t OriginRunningTimeNs() const;
    MediaTime LoneFrameDuration() const;
    void ResetStream();

    GstBaseSink* const owner_;  // owns this object

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    MediaType preferred_;
    FormatType requiredFormat_ = FormatType::None;
    MediaType connected_;
    GstPtr<GstCaps> pinnedCaps_;  // what the sink takes once the first sample arrived
    uint8_t* buffer_ = nullptr;   // borrowed from the reader
    uint8_t* spare_ = nullptr;    // borrowed from the reader; null for none
    uint32_t bufferSize_ = 0;
    uint8_t* lastData_ = nullptr;  // where the last delivery lies: the reader holds it
    // A frame converted ahead of its request.
    struct Ahead {
        uint8_t* data = nullptr;
        uint32_t length = 0;
        MediaTime start = 0;
        MediaTime stop = 0;
        bool timed = false;  // a request may take it
    };
    std::optional<Ahead> ahead_;
    bool converting_ = false;  // a frame is being converted ahead
    uint32_t lastLength_ = 0;
    MediaTime lastStart_ = 0;
    MediaTime lastStop_ = 0;
    bool requested_ = false;
    bool copying_ = false;  // a request was taken and its copy is under way
    bool delivered_ = false;
    bool ended_ = false;    // end of stream reached the sink
    bool aborted_ = false;  // a streaming failure ended the stream
    bool flushing_ = false; // SetFlush(true)
    bool unlocked_ = false; // the pipeline asked render to give up (flush or state change)
    bool frameRateTrusted_ = true;
    const std::atomic<bool>* stopRequested_ = nullptr;
    // A measured rate waiting to be handed to the frame timer on the streaming thread;
    // 0 when there is none.
    double pendingNominalRate_ = 0.0;
    // The DIB rows a 4:2:0 conversion writes; null for all. Shared with a conversion
    // under way, which took its own reference under the lock.
    std::shared_ptr<const std::vector<uint8_t>> rowsRead_;
    bool originKnown_ = false;
    uint64_t originNs_ = 0;
    std::optional<uint64_t> pendingTimeOrigin_;  // taken over at the next flush

    // Streaming-thread state.
    std::optional<uint64_t> timeOrigin_;  // where times count from; the segment start if unset
    bool isVideo_ = false;
    GstVideoInfo videoInfo_;
    uint32_t audioBlockAlign_ = 0;
    uint32_t audioRate_ = 0;
    std::optional<MediaTime> nextAudioStart_;
    FrameTimer frameTimer_;
    // Turns 4:2:0 frames into the BGR DIB in the copy. Used on the streaming thread only.
    YuvToBgrConverter yuvConverter_;
    bool firstFrameNoted_ = false;
    GstPtr<GstBuffer> heldFrame_;  // the frame whose duration waits for the next time stamp
    GstVideoInfo heldInfo_;
};

}  // namespace klova
