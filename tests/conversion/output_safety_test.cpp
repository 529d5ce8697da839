// End-to-end runs of klova-convert on what must never happen: an output that destroys
// its input, an output that appears half-written or replaces a good file after a
// failure, and a run that converted nothing reported as a success.
#include "tests/conversion/indexed_video.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace klova {
namespace {

class OutputSafety : public ::testing::Test {
protected:
    // Starts klova-convert in the background; returns its process id.
    pid_t Start(const std::vector<std::string>& settings)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            std::vector<char*> argv{const_cast<char*>("klova-convert")};
            for (const std::string& setting : settings)
                argv.push_back(const_cast<char*>(setting.c_str()));
            argv.push_back(nullptr);
            ::execv(test::BuildPath("klova-convert").c_str(), argv.data());
            ::_exit(127);
        }
        return child;
    }

    static int ExitStatus(pid_t child)
    {
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // The names in the test folder, hidden ones (temporary files) included.
    std::vector<std::string> Names() const { return test::FileNames(dir_.path()); }

    test::TempDir dir_;
};

// Every way an output can name the input is refused before anything is written: the
// input keeps every byte, and the run fails with the output's (or the project's) text.
TEST_F(OutputSafety, AnOutputThatIsTheInputIsRefusedAndTheInputKept)
{
    const std::string input = dir_.File("clip00000.avi");
    test::MakeIndexedVideo(input, {.frames = 20, .audio = "-c:a pcm_s16le"});
    const std::string original = test::ReadFile(input);
    ASSERT_EQ(::link(input.c_str(), dir_.File("hard.avi").c_str()), 0);
    ASSERT_EQ(::symlink(input.c_str(), dir_.File("soft.avi").c_str()), 0);

    struct Case {
        const char* what;
        std::vector<std::string> settings;
        const char* message;
    };
    const std::string source = "SrcFileName=" + input;
    const std::vector<Case> cases = {
        {"the same path", {source, "DstFileName=" + input}, "Cannot open output file."},
        {"another spelling", {source, "DstFileName=" + dir_.path() + "/./clip00000.avi"}, "Cannot open output file."},
        {"a hard link", {source, "DstFileName=" + dir_.File("hard.avi")}, "Cannot open output file."},
        {"a symbolic link", {source, "DstFileName=" + dir_.File("soft.avi")}, "Cannot open output file."},
        {"a clip name", {source, "DstFileName=" + dir_.File("clip.avi"), "SceneDetection=1"},
         "Cannot open output file."},
        {"a WMV output", {source, "DstFileName=" + input, "DstFileType=1"}, "Cannot open output file."},
        {"the project file",
         {source, "DstFileName=" + dir_.File("unused.avi"), "SceneDetection=2", "ClipsFileName=" + input},
         "Cannot write Montra project file"},
    };
    for (const Case& c : cases) {
        const test::CommandResult result = test::RunKlovaConvert(c.settings);
        EXPECT_EQ(result.exitStatus, 1) << c.what;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << ": " << result.err;
        EXPECT_TRUE(test::ReadFile(input) == original) << c.what;
    }
    EXPECT_EQ(Names(), (std::vector<std::string>{"clip00000.avi", "hard.avi", "soft.avi"}));
}

// A conversion that fails leaves an existing file of the output's name as it was and
// no temporary file behind.
TEST_F(OutputSafety, AFailedConversionLeavesAnExistingOutputUntouched)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.frames = 20, .audio = "-c:a pcm_s16le"});
    const std::string output = dir_.File("out.avi");
    std::ofstream(output, std::ios::binary) << "yesterday's conversion";
    const test::CommandResult result =
        test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=No such encoder"});
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.err.find("Cannot open output file."), std::string::npos) << result.err;
    EXPECT_EQ(test::ReadFile(output), "yesterday's conversion");
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.avi", "out.avi"}));

    // A successful run replaces it.
    ASSERT_EQ(test::RunKlovaConvert({"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=<Uncompressed>"})
                  .exitStatus,
              0);
    EXPECT_EQ(test::ReadFrameIndexes(output).size(), 20u);
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.avi", "out.avi"}));
}

// Stopped half-way, a conversion leaves what it converted so far as a complete file
// under the final name, and nothing else.
TEST_F(OutputSafety, AStoppedConversionLeavesACompleteFileAndNoTemporaryFile)
{
    const std::string input = dir_.File("in.avi");
    test::MakeIndexedVideo(input, {.width = 320, .height = 240, .frames = 1500, .audio = "-c:a pcm_s16le"});
    const std::string output = dir_.File("out.avi");
    std::ofstream(output, std::ios::binary) << "yesterday's conversion";
    const pid_t child = Start({"SrcFileName=" + input, "DstFileName=" + output, "VideoCodec=<Uncompressed>"});
    ASSERT_GT(child, 0);
    // Until it is stopped, the old file stands; the new one grows under another name.
    const auto writtenSoFar = [&] {
        long long size = 0;
        for (const std::string& name : Names())
            if (name.rfind(".out.avi.", 0) == 0)
                size = test::FileSize(dir_.File(name));
        return size;
    };
    for (int i = 0; i < 200 && writtenSoFar() < 5'000'000; ++i)
        ::usleep(50'000);
    EXPECT_EQ(test::ReadFile(output), "yesterday's conversion");
    ::kill(child, SIGTERM);
    EXPECT_EQ(ExitStatus(child), 130);
    EXPECT_EQ(Names(), (std::vector<std::string>{"in.avi", "out.avi"}));
    const std::vector<int> frames = test::ReadFrameIndexes(output);
    EXPECT_GT(frames.size(), 10u);
    EXPECT_LT(frames.size(), 1500u);
    EXPECT_EQ(test::DecodeErrors(output), "");
}

// Two conversions writing one name at once each write a whole file; the one that ends
// last gives the name its content, and no temporary file is left.
TEST_F(OutputSafety, TwoConversionsToOneNameLeaveOneWholeFile)
{
    const std::string shortInput = dir_.File("short.avi");
    const std::string longInput = dir_.File("long.avi");
    test::MakeIndexedVideo(shortInput, {.frames = 40, .audio = "-c:a pcm_s16le"});
    test::MakeIndexedVideo(longInput, {.frames = 200, .audio = "-c:a pcm_s16le"});
    const std::string output = dir_.File("out.avi");
    const pid_t first = Start({"SrcFileName=" + longInput, "DstFileName=" + output, "VideoCodec=<Uncompressed>"});
    const pid_t second = Start({"SrcFileName=" + shortInput, "DstFileName=" + output, "VideoCodec=<Uncompressed>"});
    EXPECT_EQ(ExitStatus(first), 0);
    EXPECT_EQ(ExitStatus(second), 0);
    const size_t frames = test::ReadFrameIndexes(output).size();
    EXPECT_TRUE(frames == 40u || frames == 200u) << frames;
    EXPECT_EQ(test::DecodeErrors(output), "");
    EXPECT_EQ(Names(), (std::vector<std::string>{"long.avi", "out.avi", "short.avi"}));
}

// An MP4 whose first video sample claims 4 GiB fails before its first frame: the run
// fails with the input's text and writes nothing.
TEST_F(OutputSafety, AnInputWithNoReadableFrameFailsInsteadOfSucceedingEmpty)
{
    const std::string input = dir_.File("damaged.mp4");
    test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v libx264 -pix_fmt yuv420p " +
                 test::ShellQuote(input));
    std::string bytes = test::ReadFile(input);
    const size_t table = bytes.find("stsz");
    ASSERT_NE(table, std::string::npos);
    // stsz: version and flags, the common size (0: sizes follow), the count, the sizes.
    std::fill_n(bytes.begin() + static_cast<long>(table) + 16, 4, '\xff');
    std::ofstream(input, std::ios::binary | std::ios::trunc) << bytes;

    for (const char* mode : {"0", "1"}) {
        const test::CommandResult result = test::RunKlovaConvert(
            {"SrcFileName=" + input, "DstFileName=" + dir_.File("out.avi"), std::string("SceneDetection=") + mode});
        EXPECT_EQ(result.exitStatus, 1) << "mode " << mode;
        EXPECT_NE(result.err.find("Cannot open input file."), std::string::npos) << result.err;
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"damaged.mp4"});
}

}  // namespace
}  // namespace klova
