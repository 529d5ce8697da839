#include "platform/sync_event.h"

#include <gtest/gtest.h>

#include <thread>

namespace klova {
namespace {

TEST(SyncEvent, AutoResetIsConsumedByOneWaitManualResetStays)
{
    SyncEvent autoEvent(SyncEvent::Reset::Auto);
    SyncEvent manualEvent(SyncEvent::Reset::Manual);
    autoEvent.Set();
    manualEvent.Set();
    autoEvent.Wait();
    manualEvent.Wait();
    EXPECT_FALSE(autoEvent.IsSet());
    EXPECT_TRUE(manualEvent.IsSet());
    manualEvent.ResetEvent();
    EXPECT_FALSE(manualEvent.IsSet());
}

TEST(SyncEvent, WaitAnyReportsTheFirstSetEventAndWakesAcrossThreads)
{
    SyncEvent flush(SyncEvent::Reset::Manual);
    SyncEvent request(SyncEvent::Reset::Auto);
    flush.Set();
    request.Set();
    EXPECT_EQ(SyncEvent::WaitAny({&flush, &request}), 0);
    flush.ResetEvent();
    EXPECT_EQ(SyncEvent::WaitAny({&flush, &request}), 1);

    std::thread setter([&] { request.Set(); });
    EXPECT_EQ(SyncEvent::WaitAny({&flush, &request}), 1);
    setter.join();
    EXPECT_FALSE(request.IsSet());
}

}  // namespace
}  // namespace klova
