#include "media_out/writer_handoff.h"

#include <utility>

namespace klova {

void WriterHandoff::SetWaitWatcher(std::function<void()> watcher, std::chrono::milliseconds period)
{
    waitWatcher_ = std::move(watcher);
    watchPeriod_ = period;
}

HRESULT WriterHandoff::Put(const uint8_t* data, uint32_t length)
{
    if (!data) {
        running_.ResetEvent();
        {
            std::lock_guard guard(lock_);
            endRequested_ = true;
            slot_ = Slot::End;
            data_ = nullptr;
            length_ = 0;
        }
        dataReady_.Set();
        return S_OK;
    }

    {
        std::lock_guard guard(lock_);
        const HRESULT aborted = abortResult_.load();
        if (aborted < 0)
            return aborted;
        if (!started_ || endRequested_)
            return E_FAIL;
        slot_ = Slot::Full;
        data_ = data;
        length_ = length;
    }
    dataReady_.Set();
    int signalled = -1;
    if (waitWatcher_) {
        while ((signalled = SyncEvent::WaitAnyFor({&consumed_, &aborted_}, watchPeriod_)) < 0)
            waitWatcher_();
    } else {
        signalled = SyncEvent::WaitAny({&consumed_, &aborted_});
    }
    if (signalled == 0)
        return S_OK;

    // Aborted: take the data back unless the streaming thread already has it; waiting
    // for the lock lets a copy in progress finish first.
    std::lock_guard guard(lock_);
    if (slot_ == Slot::Full) {
        slot_ = Slot::Empty;
        data_ = nullptr;
        dataReady_.ResetEvent();
    }
    consumed_.ResetEvent();
    return abortResult_.load();
}

void WriterHandoff::Abort(HRESULT result)
{
    HRESULT expected = S_OK;
    abortResult_.compare_exchange_strong(expected, result < 0 ? result : E_FAIL);  // the first failure stays
    aborted_.Set();
}

void WriterHandoff::Start()
{
    {
        std::lock_guard guard(lock_);
        started_ = true;
        slot_ = Slot::Empty;
        data_ = nullptr;
    }
    endRequested_ = false;
    abortResult_ = S_OK;
    aborted_.ResetEvent();
    flushing_.ResetEvent();
    dataReady_.ResetEvent();
    consumed_.ResetEvent();
    running_.Set();
}

void WriterHandoff::Stop()
{
    {
        std::lock_guard guard(lock_);
        started_ = false;
    }
    running_.ResetEvent();
}

void WriterHandoff::SetFlushing(bool flushing)
{
    if (flushing)
        flushing_.Set();
    else
        flushing_.ResetEvent();
}

bool WriterHandoff::EndRequested() const
{
    return endRequested_;
}

WriterHandoff::Take WriterHandoff::WaitForData(const uint8_t** data, uint32_t* length,
                                               std::unique_lock<std::mutex>* guard)
{
    for (;;) {
        if (!running_.IsSet())
            return Take::End;
        if (SyncEvent::WaitAny({&dataReady_, &flushing_}) == 1)
            return Take::Flushing;
        std::unique_lock locked(lock_);
        if (slot_ == Slot::End) {
            consumed_.Set();
            return Take::End;
        }
        if (slot_ == Slot::Full) {
            *data = data_;
            *length = length_;
            *guard = std::move(locked);
            return Take::Data;
        }
        // The engine took its data back after an abort: nothing to send.
    }
}

void WriterHandoff::Consumed(std::unique_lock<std::mutex>* guard)
{
    slot_ = Slot::Empty;
    data_ = nullptr;
    consumed_.Set();
    guard->unlock();
}

}  // namespace klova
