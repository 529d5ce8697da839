// The engine-to-streaming-thread hand-off: one item in flight, end of stream, aborts.
#include "media_out/writer_handoff.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace klova {
namespace {

TEST(WriterHandoff, PutReturnsOnlyAfterTheStreamingThreadCopied)
{
    WriterHandoff handoff;
    handoff.Start();
    const uint8_t frames[3] = {10, 20, 30};
    std::atomic<int> returned{0};
    std::vector<uint8_t> seen;

    std::thread streaming([&] {
        for (;;) {
            const uint8_t* data = nullptr;
            uint32_t length = 0;
            std::unique_lock<std::mutex> guard;
            const WriterHandoff::Take take = handoff.WaitForData(&data, &length, &guard);
            if (take != WriterHandoff::Take::Data)
                break;
            // The engine is still inside Put while the data is being read.
            EXPECT_EQ(returned.load(), static_cast<int>(seen.size()));
            EXPECT_EQ(length, seen.size() + 1u);  // the length travels with the data
            seen.push_back(*data);
            handoff.Consumed(&guard);
        }
    });
    for (const uint8_t& frame : frames) {
        EXPECT_EQ(handoff.Put(&frame, static_cast<uint32_t>(returned.load() + 1)), S_OK);
        ++returned;
    }
    EXPECT_EQ(handoff.Put(nullptr), S_OK);
    streaming.join();
    EXPECT_EQ(seen, (std::vector<uint8_t>{10, 20, 30}));
}

TEST(WriterHandoff, PutWithNothingToTakeItFailsAtOnce)
{
    WriterHandoff handoff;
    const uint8_t frame = 1;
    EXPECT_EQ(handoff.Put(nullptr), S_OK);  // end before the stream ever ran
    EXPECT_EQ(handoff.Put(&frame), E_FAIL);

    handoff.Start();
    EXPECT_EQ(handoff.Put(nullptr), S_OK);
    EXPECT_TRUE(handoff.EndRequested());
    EXPECT_EQ(handoff.Put(&frame), E_FAIL);  // after the end
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    std::unique_lock<std::mutex> guard;
    EXPECT_EQ(handoff.WaitForData(&data, &length, &guard), WriterHandoff::Take::End);
}

TEST(WriterHandoff, AbortWakesTheWaitingPutAndTakesTheDataBack)
{
    WriterHandoff handoff;
    handoff.Start();
    const uint8_t frame = 1;
    std::thread failing([&] { handoff.Abort(static_cast<HRESULT>(0x80070070u)); });
    EXPECT_EQ(handoff.Put(&frame), static_cast<HRESULT>(0x80070070u));
    failing.join();
    EXPECT_EQ(handoff.Put(&frame), static_cast<HRESULT>(0x80070070u));  // and every later one

    // The streaming thread never sees the withdrawn frame; a flush releases it.
    std::thread stopping([&] { handoff.SetFlushing(true); });
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    std::unique_lock<std::mutex> guard;
    EXPECT_EQ(handoff.WaitForData(&data, &length, &guard), WriterHandoff::Take::Flushing);
    stopping.join();
}

TEST(WriterHandoff, AbortDuringTheCopyWaitsForTheCopyToFinish)
{
    WriterHandoff handoff;
    handoff.Start();
    uint8_t frame = 42;
    std::atomic<bool> copied{false};

    std::thread streaming([&] {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        std::unique_lock<std::mutex> guard;
        ASSERT_EQ(handoff.WaitForData(&data, &length, &guard), WriterHandoff::Take::Data);
        handoff.Abort(E_FAIL);  // a failure elsewhere while the frame is being read
        std::this_thread::yield();
        EXPECT_EQ(*data, 42);
        copied = true;
        handoff.Consumed(&guard);
    });
    const HRESULT hr = handoff.Put(&frame);
    // Whichever way Put ended, the copy was complete when it returned.
    EXPECT_TRUE(copied.load());
    EXPECT_TRUE(hr == S_OK || hr == E_FAIL);
    frame = 0;
    streaming.join();
}

TEST(WriterHandoff, FlushReleasesAWaitingStreamingThreadAndRestartClearsIt)
{
    WriterHandoff handoff;
    handoff.Start();
    std::thread streaming([&] {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        std::unique_lock<std::mutex> guard;
        EXPECT_EQ(handoff.WaitForData(&data, &length, &guard), WriterHandoff::Take::Flushing);
    });
    handoff.SetFlushing(true);
    streaming.join();
    handoff.Stop();

    handoff.Start();  // flush and abort cleared
    const uint8_t frame = 5;
    std::thread again([&] {
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        std::unique_lock<std::mutex> guard;
        ASSERT_EQ(handoff.WaitForData(&data, &length, &guard), WriterHandoff::Take::Data);
        handoff.Consumed(&guard);
    });
    EXPECT_EQ(handoff.Put(&frame), S_OK);
    again.join();
}

// A Put that waits long looks after the pipeline at every period, on its own thread,
// until its data is taken.
TEST(WriterHandoff, AWaitingPutRunsItsWatcherUntilTheDataIsTaken)
{
    WriterHandoff handoff;
    std::atomic<int> watched{0};
    const std::thread::id engine = std::this_thread::get_id();
    handoff.SetWaitWatcher(
        [&] {
            EXPECT_EQ(std::this_thread::get_id(), engine);
            ++watched;
        },
        std::chrono::milliseconds(10));
    handoff.Start();
    const uint8_t frame = 7;
    std::thread streaming([&] {
        while (watched.load() < 3)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        std::unique_lock<std::mutex> guard;
        ASSERT_EQ(handoff.WaitForData(&data, &length, &guard), WriterHandoff::Take::Data);
        handoff.Consumed(&guard);
    });
    EXPECT_EQ(handoff.Put(&frame), S_OK);
    streaming.join();
    EXPECT_GE(watched.load(), 3);
}

}  // namespace
}  // namespace klova
