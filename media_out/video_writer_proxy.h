// "VideoWriterProxy": the push source that feeds the engine's output frames into the
// AVI writer pipeline. Each frame is a 24-bit bottom-up DIB; it leaves as one top-down
// BGR buffer with time stamps from the frame rate, or, when the writer lets it offer
// I420 and the element downstream takes it, as I420 converted in the same copy.
//
// Registered in-process only (factory "videowriterproxy"). AviWriter builds the
// equivalent of
//   gst-launch-1.0 videowriterproxy ! queue ! avimux ! filesink location=out.avi
#pragma once

#include "platform/media_types.h"

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <functional>

namespace klova {

// Control interface of the element. The setters come before the element is linked:
// the caps it offers are built from them.
class IVideoWriterProxy {
public:
    virtual HRESULT SetFrameSize(int32_t width, int32_t height) = 0;  // 320 x 240 at creation
    virtual HRESULT SetFrameRate(double framesPerSecond) = 0;        // 15 at creation
    virtual HRESULT SetBitCount(int32_t bitCount) = 0;               // 24, the only one offered
    // Whether I420 is offered ahead of BGR (not at creation). The writer asks for it when
    // the encoder is fed 4:2:0: the frame is then converted in the copy the element
    // makes anyway, and the converter in front of the encoder passes it through. The
    // I420 carries the colorimetry GStreamer assumes for the size (BT.601 up to 576
    // lines, BT.709 above, limited range), with which videoconvert would have made it.
    virtual HRESULT OfferI420(bool offer) = 0;
    // The shape of the pixels, for players to show the picture as the source was
    // shown. Square at creation. E_INVALIDARG unless both are positive.
    virtual HRESULT SetPixelAspect(int32_t x, int32_t y) = 0;
    // Engine thread. Blocks until the streaming thread has copied the frame (S_OK) or
    // the pipeline failed (negative). Null ends the stream and returns at once.
    virtual HRESULT PutFrame(const uint8_t* frame) = 0;
    // Runs watcher on the engine thread every `period` while PutFrame waits. Before
    // streaming.
    virtual void SetWaitWatcher(std::function<void()> watcher, std::chrono::milliseconds period) = 0;

protected:
    ~IVideoWriterProxy() = default;
};

inline constexpr const char* kVideoWriterProxyFactory = "videowriterproxy";

// Registers the element factory in this process (idempotent, thread-safe).
bool RegisterVideoWriterProxy();

// The control interface of a videowriterproxy element, or null for any other element.
// Borrowed: valid while the element lives.
IVideoWriterProxy* GetVideoWriterProxy(GstElement* element);

}  // namespace klova
