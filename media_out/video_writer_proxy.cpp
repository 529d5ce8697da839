#include "media_out/video_writer_proxy.h"

#include "media_out/bgr_to_i420_converter.h"
#include "media_out/writer_proxy_pin.h"
#include "platform/frame_rate_fraction.h"
#include "platform/gst_ptr.h"

#include <gst/video/video.h>

#include <cstring>
#include <mutex>

GST_DEBUG_CATEGORY_STATIC(video_writer_proxy_debug);
#define GST_CAT_DEFAULT video_writer_proxy_debug

namespace klova {
namespace {

class VideoWriterProxyFilter final : public WriterProxyPin, public IVideoWriterProxy {
public:
    explicit VideoWriterProxyFilter(GstBaseSrc* element) : WriterProxyPin(element) {}

    HRESULT SetFrameSize(int32_t width, int32_t height) override;
    HRESULT SetFrameRate(double framesPerSecond) override;
    HRESULT SetBitCount(int32_t bitCount) override;
    HRESULT OfferI420(bool offer) override;
    HRESULT SetPixelAspect(int32_t x, int32_t y) override;
    HRESULT PutFrame(const uint8_t* frame) override { return handoff_.Put(frame); }
    void SetWaitWatcher(std::function<void()> watcher, std::chrono::milliseconds period) override
    {
        handoff_.SetWaitWatcher(std::move(watcher), period);
    }

    GstCaps* GetCaps(GstCaps* filter) const override;
    bool SetCaps(GstCaps* caps) override;
    std::optional<Piece> CopyInto(const uint8_t* data, uint32_t length, uint8_t* out, size_t capacity) override;

protected:
    guint OutputBufferSize() const override;

private:
    // Guards the settings (engine thread) against caps building (any thread).
    mutable std::mutex stateLock_;
    int32_t width_ = 320;
    int32_t height_ = 240;
    int32_t bitCount_ = 24;
    double frameRate_ = 15.0;
    bool offerI420_ = false;
    PixelAspect pixelAspect_;

    // Fixed by SetCaps before streaming starts; read by CopyInto on the streaming thread.
    uint32_t rowBytes_ = 0;  // of the engine's frames
    uint32_t rows_ = 0;
    uint32_t imageSize_ = 0;   // of the engine's frames
    uint32_t outputSize_ = 0;  // of the buffers sent: imageSize_ for BGR
    bool toI420_ = false;
    BgrToI420Converter i420Converter_;
    MediaTime frameDuration_ = 0;
};

HRESULT VideoWriterProxyFilter::SetFrameSize(int32_t width, int32_t height)
{
    std::lock_guard guard(stateLock_);
    width_ = width;
    height_ = height;
    return S_OK;
}

HRESULT VideoWriterProxyFilter::SetFrameRate(double framesPerSecond)
{
    std::lock_guard guard(stateLock_);
    frameRate_ = framesPerSecond;
    return S_OK;
}

HRESULT VideoWriterProxyFilter::SetBitCount(int32_t bitCount)
{
    std::lock_guard guard(stateLock_);
    bitCount_ = bitCount;
    return S_OK;
}

HRESULT VideoWriterProxyFilter::OfferI420(bool offer)
{
    std::lock_guard guard(stateLock_);
    offerI420_ = offer;
    return S_OK;
}

HRESULT VideoWriterProxyFilter::SetPixelAspect(int32_t x, int32_t y)
{
    if (x <= 0 || y <= 0)
        return E_INVALIDARG;
    std::lock_guard guard(stateLock_);
    pixelAspect_ = {x, y};
    return S_OK;
}

// BGR of the configured size and rate, after I420 when that is offered. Pixels that are
// not square are offered with their shape first (the muxer and most encoders store it),
// then without one, so an encoder that insists on its own (DV) can still settle it.
// Square pixels give no shape at all, for the same reason.
GstCaps* VideoWriterProxyFilter::GetCaps(GstCaps* filter) const
{
    std::lock_guard guard(stateLock_);
    const FrameRateFraction rate = ToFrameRateFraction(frameRate_);
    if (bitCount_ != 24 || width_ <= 0 || height_ <= 0 || rate.numerator <= 0)
        return gst_caps_new_empty();
    GstPtr<GstCaps> caps = adopt(gst_caps_new_empty());
    if (offerI420_) {
        // GStreamer's own colorimetry and chroma siting for the size, stated in full.
        GstVideoInfo i420;
        gst_video_info_set_format(&i420, GST_VIDEO_FORMAT_I420, width_, height_);
        GST_VIDEO_INFO_FPS_N(&i420) = rate.numerator;
        GST_VIDEO_INFO_FPS_D(&i420) = rate.denominator;
        GstCaps* yuv = gst_video_info_to_caps(&i420);
        gst_structure_remove_field(gst_caps_get_structure(yuv, 0), "pixel-aspect-ratio");
        gst_caps_append(caps.get(), yuv);
    }
    gst_caps_append(caps.get(), gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT,
                                                    width_, "height", G_TYPE_INT, height_, "framerate",
                                                    GST_TYPE_FRACTION, rate.numerator, rate.denominator, nullptr));
    if (!pixelAspect_.IsSquare()) {
        GstCaps* anyShape = gst_caps_copy(caps.get());
        gst_caps_set_simple(caps.get(), "pixel-aspect-ratio", GST_TYPE_FRACTION, pixelAspect_.x, pixelAspect_.y,
                            nullptr);
        gst_caps_append(caps.get(), anyShape);
    }
    if (filter)
        caps = adopt(gst_caps_intersect_full(filter, caps.get(), GST_CAPS_INTERSECT_FIRST));
    return caps.release();
}

bool VideoWriterProxyFilter::SetCaps(GstCaps* caps)
{
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps))
        return false;
    const GstVideoFormat format = GST_VIDEO_INFO_FORMAT(&info);
    if (format != GST_VIDEO_FORMAT_BGR && format != GST_VIDEO_FORMAT_I420)
        return false;
    std::lock_guard guard(stateLock_);
    if (format == GST_VIDEO_FORMAT_I420 && (!offerI420_ || !i420Converter_.Configure(info)))
        return false;
    // The engine's rows are DIB rows: padded to 4 bytes, as GStreamer's BGR rows are.
    rowBytes_ = static_cast<uint32_t>(DibStride(GST_VIDEO_INFO_WIDTH(&info), 24));
    if (format == GST_VIDEO_FORMAT_BGR && static_cast<uint32_t>(GST_VIDEO_INFO_PLANE_STRIDE(&info, 0)) != rowBytes_)
        return false;
    rows_ = static_cast<uint32_t>(GST_VIDEO_INFO_HEIGHT(&info));
    imageSize_ = rowBytes_ * rows_;
    toI420_ = format == GST_VIDEO_FORMAT_I420;
    outputSize_ = toI420_ ? static_cast<uint32_t>(GST_VIDEO_INFO_SIZE(&info)) : imageSize_;
    frameDuration_ = FrameDuration(frameRate_);
    GST_DEBUG_OBJECT(element_, "%s frames of %u bytes, %" G_GINT64_FORMAT " units each",
                     gst_video_format_to_string(format), outputSize_, frameDuration_);
    return true;
}

guint VideoWriterProxyFilter::OutputBufferSize() const
{
    std::lock_guard guard(stateLock_);
    return outputSize_;
}

// Called on the streaming thread.
std::optional<WriterProxyPin::Piece> VideoWriterProxyFilter::CopyInto(const uint8_t* frame, uint32_t, uint8_t* out,
                                                                      size_t capacity)
{
    if (capacity < outputSize_)
        return std::nullopt;
    // Bottom-up in, top-down out, inside the one copy.
    if (toI420_) {
        i420Converter_.Convert(frame, out);
    } else {
        for (uint32_t row = 0; row < rows_; ++row)
            std::memcpy(out + row * rowBytes_, frame + (rows_ - 1 - row) * rowBytes_, rowBytes_);
    }
    return Piece{outputSize_, frameDuration_};
}

}  // namespace
}  // namespace klova

G_BEGIN_DECLS
#define KLOVA_TYPE_VIDEO_WRITER_PROXY (klova_video_writer_proxy_get_type())
G_DECLARE_FINAL_TYPE(KlovaVideoWriterProxy, klova_video_writer_proxy, KLOVA, VIDEO_WRITER_PROXY, GstPushSrc)
G_END_DECLS

struct _KlovaVideoWriterProxy {
    GstPushSrc parent;
    klova::WriterProxyPin* pin;  // owned
};

G_DEFINE_TYPE(KlovaVideoWriterProxy, klova_video_writer_proxy, GST_TYPE_PUSH_SRC)

namespace {

GstStaticPadTemplate srcTemplate = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("video/x-raw, format=(string){ I420, BGR }, width=(int)[1, MAX], height=(int)[1, MAX], "
                    "framerate=(fraction)[0/1, MAX]"));

}  // namespace

static void klova_video_writer_proxy_init(KlovaVideoWriterProxy* self)
{
    gst_base_src_set_format(GST_BASE_SRC(self), GST_FORMAT_TIME);
    gst_base_src_set_live(GST_BASE_SRC(self), FALSE);
    self->pin = new klova::VideoWriterProxyFilter(GST_BASE_SRC(self));
}

static void klova_video_writer_proxy_finalize(GObject* object)
{
    delete KLOVA_VIDEO_WRITER_PROXY(object)->pin;
    G_OBJECT_CLASS(klova_video_writer_proxy_parent_class)->finalize(object);
}

static void klova_video_writer_proxy_class_init(KlovaVideoWriterProxyClass* klass)
{
    G_OBJECT_CLASS(klass)->finalize = klova_video_writer_proxy_finalize;
    auto* elementClass = GST_ELEMENT_CLASS(klass);
    gst_element_class_add_static_pad_template(elementClass, &srcTemplate);
    gst_element_class_set_static_metadata(elementClass, "VideoWriterProxy", "Source/Video",
                                          "Hands the converter's output frames to the AVI writer pipeline",
                                          "KLOVA Video Converter");
    klova::WriterProxyPin::InstallCallbacks<KLOVA_VIDEO_WRITER_PROXY>(GST_PUSH_SRC_CLASS(klass));
}

namespace klova {

bool RegisterVideoWriterProxy()
{
    static const bool registered = [] {
        GST_DEBUG_CATEGORY_INIT(video_writer_proxy_debug, "klovavideowriterproxy", 0, "VideoWriterProxy source");
        return gst_element_register(nullptr, kVideoWriterProxyFactory, GST_RANK_NONE,
                                    KLOVA_TYPE_VIDEO_WRITER_PROXY) == TRUE;
    }();
    return registered;
}

IVideoWriterProxy* GetVideoWriterProxy(GstElement* element)
{
    if (!element || !KLOVA_IS_VIDEO_WRITER_PROXY(element))
        return nullptr;
    return static_cast<VideoWriterProxyFilter*>(KLOVA_VIDEO_WRITER_PROXY(element)->pin);
}

}  // namespace klova
