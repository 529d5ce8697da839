#include "media_out/audio_writer_proxy.h"

#include "media_out/writer_proxy_pin.h"
#include "platform/frame_rate_fraction.h"
#include "platform/gst_ptr.h"

#include <gst/audio/audio.h>

#include <cmath>
#include <cstring>
#include <mutex>

GST_DEBUG_CATEGORY_STATIC(audio_writer_proxy_debug);
#define GST_CAT_DEFAULT audio_writer_proxy_debug

namespace klova {
namespace {

GstAudioFormat PcmFormat(uint16_t bitsPerSample)
{
    switch (bitsPerSample) {
    case 8: return GST_AUDIO_FORMAT_U8;
    case 16: return GST_AUDIO_FORMAT_S16LE;
    case 24: return GST_AUDIO_FORMAT_S24LE;
    case 32: return GST_AUDIO_FORMAT_S32LE;
    default: return GST_AUDIO_FORMAT_UNKNOWN;
    }
}

// Bytes of the largest chunk the engine hands over at this rate: one frame's exact share
// (at the rate's fraction, as the engine counts it) rounded up, with a block to spare.
uint32_t MaxChunkBytes(uint32_t bytesPerSecond, uint32_t blockAlign, double frameRate)
{
    const FrameRateFraction rate = ToFrameRateFraction(frameRate);
    if (rate.numerator <= 0)
        return 0;
    const uint64_t blocks = static_cast<uint64_t>(bytesPerSecond / blockAlign) * static_cast<uint64_t>(rate.denominator) /
                                static_cast<uint64_t>(rate.numerator) +
                            2;
    const uint64_t bytes = blocks * blockAlign;
    return bytes < 2147483647u ? static_cast<uint32_t>(bytes) : 0;
}

class AudioWriterProxyFilter final : public WriterProxyPin, public IAudioWriterProxy {
public:
    explicit AudioWriterProxyFilter(GstBaseSrc* element) : WriterProxyPin(element) {}

    HRESULT SetFrameRate(double framesPerSecond) override;
    HRESULT SetFormat(const WAVEFORMATEX* format) override;
    HRESULT PutSamples(const uint8_t* chunk, uint32_t length) override;
    void SetWaitWatcher(std::function<void()> watcher, std::chrono::milliseconds period) override
    {
        handoff_.SetWaitWatcher(std::move(watcher), period);
    }

    GstCaps* GetCaps(GstCaps* filter) const override;
    bool SetCaps(GstCaps* caps) override;
    std::optional<Piece> CopyInto(const uint8_t* data, uint32_t length, uint8_t* out, size_t capacity) override;

protected:
    guint OutputBufferSize() const override;
    void ResetStream() override { bytesSent_ = 0; }

private:
    // Guards the settings (engine thread) against caps building (any thread).
    mutable std::mutex stateLock_;
    double frameRate_ = 15.0;
    WAVEFORMATEX format_;

    // Fixed by SetCaps before streaming starts.
    uint32_t blockAlign_ = 0;
    uint32_t maxChunkBytes_ = 0;
    uint64_t timeBytesPerSecond_ = 0;  // the byte rate the time stamps count in
    uint64_t bytesSent_ = 0;           // streaming thread only
};

HRESULT AudioWriterProxyFilter::SetFrameRate(double framesPerSecond)
{
    std::lock_guard guard(stateLock_);
    frameRate_ = framesPerSecond;
    return S_OK;
}

HRESULT AudioWriterProxyFilter::SetFormat(const WAVEFORMATEX* format)
{
    if (!format)
        return E_POINTER;
    std::lock_guard guard(stateLock_);
    format_ = *format;
    return S_OK;
}

HRESULT AudioWriterProxyFilter::PutSamples(const uint8_t* chunk, uint32_t length)
{
    if (chunk) {
        uint32_t blockAlign = 0;
        uint32_t maxChunkBytes = 0;
        {
            std::lock_guard guard(stateLock_);
            blockAlign = blockAlign_;
            maxChunkBytes = maxChunkBytes_;
        }
        // Before the format is settled nothing runs, and the hand-off says so.
        if (blockAlign != 0 && (length % blockAlign != 0 || length > maxChunkBytes))
            return E_INVALIDARG;
        if (blockAlign != 0 && length == 0)
            return S_OK;  // a frame shorter than one sample block carries no sound
    }
    return handoff_.Put(chunk, length);
}

GstCaps* AudioWriterProxyFilter::GetCaps(GstCaps* filter) const
{
    std::lock_guard guard(stateLock_);
    const GstAudioFormat sampleFormat = PcmFormat(format_.wBitsPerSample);
    if (sampleFormat == GST_AUDIO_FORMAT_UNKNOWN || format_.nChannels == 0 || format_.nSamplesPerSec == 0)
        return gst_caps_new_empty();
    // No positions: more than two channels go out unpositioned (see avi_channel_mask.h
    // for where their speakers are written).
    GstAudioInfo info;
    gst_audio_info_set_format(&info, sampleFormat, static_cast<gint>(format_.nSamplesPerSec), format_.nChannels,
                              nullptr);
    GstPtr<GstCaps> caps = adopt(gst_audio_info_to_caps(&info));
    if (caps && filter)
        caps = adopt(gst_caps_intersect_full(filter, caps.get(), GST_CAPS_INTERSECT_FIRST));
    return caps ? caps.release() : gst_caps_new_empty();
}

bool AudioWriterProxyFilter::SetCaps(GstCaps* caps)
{
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, caps))
        return false;
    const uint32_t blockAlign = static_cast<uint32_t>(GST_AUDIO_INFO_BPF(&info));
    const uint32_t bytesPerSecond = blockAlign * static_cast<uint32_t>(GST_AUDIO_INFO_RATE(&info));
    std::lock_guard guard(stateLock_);
    if (blockAlign == 0 || !(frameRate_ > 0.0) || !std::isfinite(frameRate_))
        return false;
    const uint32_t maxChunkBytes = MaxChunkBytes(bytesPerSecond, blockAlign, frameRate_);
    if (maxChunkBytes == 0)
        return false;
    blockAlign_ = blockAlign;
    maxChunkBytes_ = maxChunkBytes;
    // The time stamps count in the byte rate the engine gave; a record without one
    // counts in the offered rate rather than dividing by zero.
    timeBytesPerSecond_ = format_.nAvgBytesPerSec ? format_.nAvgBytesPerSec : bytesPerSecond;
    GST_DEBUG_OBJECT(element_, "blocks of %u bytes, chunks of up to %u bytes", blockAlign_, maxChunkBytes_);
    return true;
}

guint AudioWriterProxyFilter::OutputBufferSize() const
{
    std::lock_guard guard(stateLock_);
    return maxChunkBytes_;
}

// Called on the streaming thread. The times come from the byte count of the whole
// stream, so rounding never accumulates.
std::optional<WriterProxyPin::Piece> AudioWriterProxyFilter::CopyInto(const uint8_t* chunk, uint32_t length,
                                                                      uint8_t* out, size_t capacity)
{
    if (capacity < length)
        return std::nullopt;
    std::memcpy(out, chunk, length);
    const auto timeOf = [this](uint64_t bytes) {
        return static_cast<MediaTime>(gst_util_uint64_scale(bytes, kUnitsPerSecond, timeBytesPerSecond_));
    };
    const MediaTime duration = timeOf(bytesSent_ + length) - timeOf(bytesSent_);
    bytesSent_ += length;
    return Piece{length, duration};
}

}  // namespace
}  // namespace klova

G_BEGIN_DECLS
#define KLOVA_TYPE_AUDIO_WRITER_PROXY (klova_audio_writer_proxy_get_type())
G_DECLARE_FINAL_TYPE(KlovaAudioWriterProxy, klova_audio_writer_proxy, KLOVA, AUDIO_WRITER_PROXY, GstPushSrc)
G_END_DECLS

struct _KlovaAudioWriterProxy {
    GstPushSrc parent;
    klova::WriterProxyPin* pin;  // owned
};

G_DEFINE_TYPE(KlovaAudioWriterProxy, klova_audio_writer_proxy, GST_TYPE_PUSH_SRC)

namespace {

GstStaticPadTemplate srcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("audio/x-raw, format=(string){ U8, S16LE, S24LE, S32LE }, "
                                            "layout=(string)interleaved, rate=(int)[1, MAX], channels=(int)[1, MAX]"));

}  // namespace

static void klova_audio_writer_proxy_init(KlovaAudioWriterProxy* self)
{
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    gst_base_src_set_live(GST_BASE_SRC(self), FALSE);
    self->pin = new klova::AudioWriterProxyFilter(GST_BASE_SRC(self));
}

static void klova_audio_writer_proxy_finalize(GObject* object)
{
    delete KLOVA_AUDIO_WRITER_PROXY(object)->pin;
    G_OBJECT_CLASS(klova_audio_writer_proxy_parent_class)->finalize(object);
}

static void klova_audio_writer_proxy_class_init(KlovaAudioWriterProxyClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = klova_audio_writer_proxy_finalize;
    auto* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
    gst_element_class_set_static_metadata(elementClass, "AudioWriterProxy", "Source/Audio",
                                          "Hands the converter's output audio to the AVI writer pipeline",
                                          "KLOVA Video Converter");
    klova::WriterProxyPin::InstallCallbacks<KLOVA_AUDIO_WRITER_PROXY>(GST_PUSH_SRC_CLASS(klass));
}

namespace klova {

bool RegisterAudioWriterProxy()
{
    static const bool registered = [] {
        GST_DEBUG_CATEGORY_INIT(audio_writer_proxy_debug, "klovaaudiowriterproxy", 0, "AudioWriterProxy source");
        return gst_element_register(nullptr, kAudioWriterProxyFactory, GST_RANK_NONE,
                                    KLOVA_TYPE_AUDIO_WRITER_PROXY) == TRUE;
    }();
    return registered;
}

IAudioWriterProxy* GetAudioWriterProxy(GstElement* element)
{
    if (!element || !KLOVA_IS_AUDIO_WRITER_PROXY(element))
        return nullptr;
    return static_cast<AudioWriterProxyFilter*>(KLOVA_AUDIO_WRITER_PROXY(element)->pin);
}

}  // namespace klova
