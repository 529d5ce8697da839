// End-to-end runs of klova-convert that must end when asked: SIGTERM is honoured within
// a second in every phase (a custom frame rate far above the sound's byte rate, a long
// audio-only tail, the first milliseconds), and inputs that would block for good are
// refused at once.
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace klova {
namespace {

using Clock = std::chrono::steady_clock;

class Stops : public ::testing::Test {
protected:
    // registry: where GStreamer keeps its plug-in registry (empty: the usual place).
    pid_t Start(const std::vector<std::string>& settings, const std::string& registry = "")
    {
        const pid_t child = ::fork();
        if (child == 0) {
            if (!registry.empty()) {
                // Built by GStreamer's scanner process, as for any program.
                ::setenv("GST_REGISTRY", registry.c_str(), 1);
                ::setenv("GST_REGISTRY_FORK", "yes", 1);
            }
            std::vector<char*> argv{const_cast<char*>("klova-convert")};
            for (const std::string& setting : settings)
                argv.push_back(const_cast<char*>(setting.c_str()));
            argv.push_back(nullptr);
            // Quiet: the statistics are not wanted here.
            freopen("/dev/null", "w", stderr);
            ::execv(test::BuildPath("klova-convert").c_str(), argv.data());
            ::_exit(127);
        }
        return child;
    }

    // Waits for the child at most `limit`; a child still running is killed and reported.
    static int ExitStatusWithin(pid_t child, std::chrono::milliseconds limit)
    {
        const Clock::time_point deadline = Clock::now() + limit;
        int status = 0;
        while (::waitpid(child, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                ::kill(child, SIGKILL);
                ::waitpid(child, &status, 0);
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // SIGTERM after `after`; the exit status, or -1 when the child was still running five
    // seconds later. A stop takes a fifth of a second here; the margin is for a loaded
    // machine and sanitizer builds, whose exit alone can take a second. What is caught is
    // a stop that is never honoured.
    int StopAfter(pid_t child, std::chrono::milliseconds after)
    {
        std::this_thread::sleep_for(after);
        ::kill(child, SIGTERM);
        return ExitStatusWithin(child, std::chrono::milliseconds(5000));
    }

    // Waits (at most 30 s) until the conversion has opened its output, whose temporary
    // file then appears in the folder; a stop before that keeps no file.
    void AwaitOutput() const
    {
        for (int i = 0; i < 3000; ++i) {
            for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
                if (entry.path().filename().string().rfind(".out.avi.", 0) == 0)
                    return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "the conversion never opened its output";
    }

    test::TempDir dir_;
};

// 9,000 frames per second from 8 kHz 8-bit sound: less than a byte per frame. The
// frame loop once never ended here and ignored SIGTERM.
TEST_F(Stops, AFrameRateAboveTheSoundsByteRateStopsOnRequest)
{
    const std::string input = dir_.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=16x16:rate=25:duration=30 -f lavfi -i sine=sample_rate=8000:duration=30 "
                 "-c:v mjpeg -c:a pcm_u8 -ac 1 " + test::ShellQuote(input));
    const pid_t child = Start({"SrcFileName=" + input, "DstFileName=" + dir_.File("out.avi"),
                               "VideoCodec=<Uncompressed>", "KeepSettings=0", "KeepFrameRate=0", "FrameRate=9000000"});
    AwaitOutput();
    EXPECT_EQ(StopAfter(child, std::chrono::milliseconds(1000)), 130);
    EXPECT_EQ(test::DecodeErrors(dir_.File("out.avi")), "");

    // A rate no output file can state is refused at once.
    const test::CommandResult refused =
        test::RunCommand(test::ShellQuote(test::BuildPath("klova-convert")) + " SrcFileName=" +
                         test::ShellQuote(input) + " DstFileName=" + test::ShellQuote(dir_.File("x.avi")) +
                         " KeepSettings=0 KeepFrameRate=0 FrameRate=2000000000");
    EXPECT_EQ(refused.exitStatus, 1);
    EXPECT_NE(refused.err.find("Invalid output frame rate or frame size."), std::string::npos) << refused.err;
}

// One second of pictures and half an hour of sound at 1,000 frames per second: the
// audio-only frames after the video's end were written in one step that no stop could
// interrupt.
TEST_F(Stops, ALongAudioOnlyTailStopsOnRequest)
{
    const std::string input = dir_.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=16x16:rate=25:duration=1 -f lavfi -i sine=sample_rate=8000:duration=1800 "
                 "-c:v mjpeg -c:a pcm_u8 -ac 1 " + test::ShellQuote(input));
    const pid_t child = Start({"SrcFileName=" + input, "DstFileName=" + dir_.File("out.avi"),
                               "VideoCodec=<Uncompressed>", "KeepSettings=0", "KeepFrameRate=0", "FrameRate=1000000"});
    AwaitOutput();
    EXPECT_EQ(StopAfter(child, std::chrono::milliseconds(1500)), 130);
    EXPECT_EQ(test::DecodeErrors(dir_.File("out.avi")), "");
}

// Whether the process has a handler for SIGTERM yet (its SigCgt mask in /proc).
bool CatchesTerm(pid_t child)
{
    std::ifstream status("/proc/" + std::to_string(child) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGTERM - 1)) & 1;
    return false;
}

// A signal in the first milliseconds, before the conversion has started, is a stop:
// also while GStreamer starts (made slow here by a registry it has to build afresh),
// which once ended the program by the signal's default action.
TEST_F(Stops, ASignalAtTheVeryStartIsAStop)
{
    const std::string input = dir_.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=16x16:rate=25:duration=5 -c:v mjpeg " + test::ShellQuote(input));
    const pid_t early = Start({"SrcFileName=" + input, "DstFileName=" + dir_.File("out.avi")});
    for (int i = 0; i < 2000 && !CatchesTerm(early); ++i)
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    EXPECT_EQ(StopAfter(early, std::chrono::milliseconds(0)), 130);
    const pid_t starting =
        Start({"SrcFileName=" + input, "DstFileName=" + dir_.File("out.avi")}, dir_.File("fresh-registry.bin"));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ::kill(starting, SIGTERM);
    EXPECT_EQ(ExitStatusWithin(starting, std::chrono::milliseconds(30000)), 130);
}

// A FIFO would block the opening until someone writes into it: it is refused at once,
// as any input that is not a regular file or a block device.
TEST_F(Stops, InputsThatCouldBlockForGoodAreRefused)
{
    const std::string fifo = dir_.File("in.avi");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& input : {fifo, dir_.path()}) {
        const pid_t child = Start({"SrcFileName=" + input, "DstFileName=" + dir_.File("out.avi")});
        EXPECT_EQ(ExitStatusWithin(child, std::chrono::milliseconds(5000)), 1) << input;
    }
    const test::CommandResult result = test::RunCommand(
        "timeout 10 " + test::ShellQuote(test::BuildPath("klova-convert")) + " SrcFileName=" + test::ShellQuote(fifo) +
        " DstFileName=" + test::ShellQuote(dir_.File("out.avi")));
    EXPECT_NE(result.err.find("Cannot open input file."), std::string::npos) << result.err;
}

}  // namespace
}  // namespace klova
