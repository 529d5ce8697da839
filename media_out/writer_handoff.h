// The one-item hand-off between the engine thread and a writer proxy's streaming
// thread: the engine's call blocks until the streaming thread has copied the data, so
// exactly one frame (or chunk) is in flight and the engine may reuse its buffer as soon
// as the call returns.
#pragma once

#include "platform/media_types.h"
#include "platform/sync_event.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>

namespace klova {

class WriterHandoff {
public:
    enum class Take { Data, End, Flushing };

    WriterHandoff() = default;
    WriterHandoff(const WriterHandoff&) = delete;
    WriterHandoff& operator=(const WriterHandoff&) = delete;

    // Engine thread. Hands over the data (and its length in bytes, for data whose size
    // varies) and blocks until the streaming thread has copied it (S_OK) or the pipeline
    // has failed (the failure, negative). Null ends the stream and returns S_OK at once.
    // E_FAIL at once when no stream is running (never started, or already ended), since
    // nothing would ever take the data.
    HRESULT Put(const uint8_t* data, uint32_t length = 0);

    // Runs watcher on the engine thread every `period` for as long as a Put waits, so the
    // owner can free a pipeline that has stopped taking data. Set before streaming.
    void SetWaitWatcher(std::function<void()> watcher, std::chrono::milliseconds period);

    // Any thread: the pipeline failed. A waiting Put wakes with the result, and so does
    // every later Put until the stream is started again.
    void Abort(HRESULT result);

    // Streaming side, from the element's state changes: the stream begins (running, no
    // abort) or is over; flushing releases a streaming thread waiting for data.
    void Start();
    void Stop();
    void SetFlushing(bool flushing);

    // True once the engine has handed over the end of the stream.
    bool EndRequested() const;

    // Streaming thread. Waits for the next data unless the stream has ended. On Data the
    // hand-off lock is held through *guard and *data (of *length bytes) stays valid until
    // Consumed(guard).
    Take WaitForData(const uint8_t** data, uint32_t* length, std::unique_lock<std::mutex>* guard);
    void Consumed(std::unique_lock<std::mutex>* guard);

private:
    enum class Slot { Empty, Full, End };

    // Guards the slot, the data pointer and the flags below. The streaming thread holds
    // it while it copies, so an engine call that gives up on an abort cannot return
    // (and let the caller free its buffer) in the middle of the copy.
    mutable std::mutex lock_;
    Slot slot_ = Slot::Empty;
    const uint8_t* data_ = nullptr;
    uint32_t length_ = 0;
    bool started_ = false;

    // Engine thread only.
    std::function<void()> waitWatcher_;
    std::chrono::milliseconds watchPeriod_{0};

    // Lock-free: an abort can come from the streaming thread itself while it holds lock_
    // (an error posted in the middle of a copy).
    std::atomic<bool> endRequested_{false};
    std::atomic<HRESULT> abortResult_{S_OK};

    SyncEvent dataReady_{SyncEvent::Reset::Auto};
    SyncEvent consumed_{SyncEvent::Reset::Auto};
    SyncEvent running_{SyncEvent::Reset::Manual};
    SyncEvent aborted_{SyncEvent::Reset::Manual};
    SyncEvent flushing_{SyncEvent::Reset::Manual};
};

}  // namespace klova
