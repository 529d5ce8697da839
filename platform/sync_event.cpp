#include "platform/sync_event.h"

namespace klova {

std::mutex& SyncEvent::Lock()
{
    static std::mutex lock;
    return lock;
}

std::condition_variable& SyncEvent::Changed()
{
    static std::condition_variable changed;
    return changed;
}

void SyncEvent::Set()
{
    {
        std::lock_guard guard(Lock());
        set_ = true;
    }
    Changed().notify_all();
}

void SyncEvent::ResetEvent()
{
    std::lock_guard guard(Lock());
    set_ = false;
}

bool SyncEvent::IsSet() const
{
    std::lock_guard guard(Lock());
    return set_;
}

bool SyncEvent::TryConsumeLocked()
{
    if (!set_)
        return false;
    if (!manual_)
        set_ = false;
    return true;
}

void SyncEvent::Wait()
{
    std::unique_lock guard(Lock());
    Changed().wait(guard, [this] { return TryConsumeLocked(); });
}

int SyncEvent::WaitAny(std::initializer_list<SyncEvent*> events)
{
    std::unique_lock guard(Lock());
    int signalled = -1;
    Changed().wait(guard, [&] {
        int index = 0;
        for (SyncEvent* event : events) {
            if (event->TryConsumeLocked()) {
                signalled = index;
                return true;
            }
            ++index;
        }
        return false;
    });
    return signalled;
}

}  // namespace klova
