// A Win32-style event (auto or manual reset) with wait-for-any, on a mutex and a
// condition variable. Used for the one-item hand-offs between the engine thread and
// the streaming threads.
#pragma once

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

private:
    bool TryConsumeLocked();

    // All events share one lock and one condition, so a wait can span several of them.
    static std::mutex& Lock();
    static std::condition_variable& Changed();

    const bool manual_;
    bool set_;
};

}  // namespace klova
