// A Win32-style event (auto or manual reset) with wait-for-any, on a mutex and
// condition variables. Used for the one-item hand-offs between the engine thread and
// the streaming threads.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>

namespace klova {

class SyncEvent {
public:
    enum class Reset { Auto, Manual };

    explicit SyncEvent(Reset kind, bool initiallySet = false) : manual_(kind == Reset::Manual), set_(initiallySet) {}
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;

    void Set();
    void ResetEvent();
    bool IsSet() const;

    // Blocks until the event is set; an auto-reset event is consumed by the wait.
    void Wait();

    // Blocks until one of the events is set; returns its position in the list (the
    // first set one wins, as with WaitForMultipleObjects) and consumes it if auto-reset.
    static int WaitAny(std::initializer_list<SyncEvent*> events);

    // The same, giving up after the timeout: -1 when no event was set by then.
    static int WaitAnyFor(std::initializer_list<SyncEvent*> events, std::chrono::milliseconds timeout);

    // Threads waiting on one event at the same time, at most.
    static constexpr size_t kMaxWaiters = 8;

private:
    bool TryConsumeLocked();
    void AddWaiterLocked(std::condition_variable* waiter);
    void RemoveWaiterLocked(std::condition_variable* waiter);

    // One lock for all events, so a wait can span several of them; each waiting thread
    // sleeps on its own condition variable, and Set wakes only the threads waiting on
    // that event.
    static std::mutex& Lock();

    const bool manual_;
    bool set_;
    std::array<std::condition_variable*, kMaxWaiters> waiters_{};
};

}  // namespace klova
