// "AudioWriterProxy": the push source that feeds the engine's audio, one output
// frame's worth per chunk, into the AVI writer pipeline as PCM buffers of whole sample
// blocks with time stamps from the byte count.
//
// Registered in-process only (factory "audiowriterproxy"). AviWriter builds the
// equivalent of
//   gst-launch-1.0 audiowriterproxy ! queue ! avimux ! filesink location=out.avi
#pragma once

#include "platform/media_types.h"

#include <gst/gst.h>

#include <chrono>
#include <cstdint>
#include <functional>

namespace klova {

// Control interface of the element. The setters come before the element is linked:
// the caps it offers are built from them.
class IAudioWriterProxy {
public:
    virtual HRESULT SetFrameRate(double framesPerSecond) = 0;  // 15 at creation
    // Copies the record. PCM of 8, 16, 24 or 32 bits is offered; the block size and
    // byte rate offered are derived from channels, bits and rate.
    virtual HRESULT SetFormat(const WAVEFORMATEX* format) = 0;
    // Engine thread. One frame's chunk of `length` bytes: whole sample blocks, at most
    // the frame's exact share rounded up and a block more (E_INVALIDARG otherwise); an
    // empty chunk is taken at once. Blocks until the streaming thread has copied them (S_OK) or
    // the pipeline failed (negative). Null ends the stream and returns at once.
    virtual HRESULT PutSamples(const uint8_t* chunk, uint32_t length) = 0;
    // Runs watcher on the engine thread every `period` while PutSamples waits. Before
    // streaming.
    virtual void SetWaitWatcher(std::function<void()> watcher, std::chrono::milliseconds period) = 0;

protected:
    ~IAudioWriterProxy() = default;
};

inline constexpr const char* kAudioWriterProxyFactory = "audiowriterproxy";

// Registers the element factory in this process (idempotent, thread-safe).
bool RegisterAudioWriterProxy();

// The control interface of an audiowriterproxy element, or null for any other element.
// Borrowed: valid while the element lives.
IAudioWriterProxy* GetAudioWriterProxy(GstElement* element);

}  // namespace klova
