#include "platform/sync_event.h"

#include <algorithm>
#include <stdexcept>

namespace klova {
namespace {

// The condition variable the calling thread sleeps on.
std::condition_variable& ThreadWaiter()
{
    thread_local std::condition_variable waiter;
    return waiter;
}

}  // namespace

std::mutex& SyncEvent::Lock()
{
    static std::mutex lock;
    return lock;
}

void SyncEvent::AddWaiterLocked(std::condition_variable* waiter)
{
    const auto free = std::find(waiters_.begin(), waiters_.end(), nullptr);
    if (free == waiters_.end())
        throw std::logic_error("too many threads wait on one event");
    *free = waiter;
}

void SyncEvent::RemoveWaiterLocked(std::condition_variable* waiter)
{
    std::replace(waiters_.begin(), waiters_.end(), waiter, static_cast<std::condition_variable*>(nullptr));
}

void SyncEvent::Set()
{
    std::lock_guard guard(Lock());
    set_ = true;
    for (std::condition_variable* waiter : waiters_)
        if (waiter)
            waiter->notify_one();
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
    WaitAny({this});
}

int SyncEvent::WaitAny(std::initializer_list<SyncEvent*> events)
{
    return WaitAnyFor(events, std::chrono::milliseconds::max());
}

int SyncEvent::WaitAnyFor(std::initializer_list<SyncEvent*> events, std::chrono::milliseconds timeout)
{
    std::unique_lock guard(Lock());
    const auto firstSet = [&] {
        int index = 0;
        for (SyncEvent* event : events) {
            if (event->TryConsumeLocked())
                return index;
            ++index;
        }
        return -1;
    };
    int signalled = firstSet();
    if (signalled >= 0 || timeout.count() <= 0)
        return signalled;

    const bool forever = timeout == std::chrono::milliseconds::max();
    const auto deadline = forever ? std::chrono::steady_clock::time_point::max()
                                  : std::chrono::steady_clock::now() + timeout;
    std::condition_variable& waiter = ThreadWaiter();
    for (SyncEvent* event : events)
        event->AddWaiterLocked(&waiter);
    while ((signalled = firstSet()) < 0) {
        if (forever) {
            waiter.wait(guard);
        } else if (waiter.wait_until(guard, deadline) == std::cv_status::timeout) {
            signalled = firstSet();
            break;
        }
    }
    for (SyncEvent* event : events)
        event->RemoveWaiterLocked(&waiter);
    return signalled;
}

}  // namespace klova
