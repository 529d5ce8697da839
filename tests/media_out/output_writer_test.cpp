// Both output writers through the one interface the session uses: the file each makes,
// the end call's answer, and the Windows Media adapter's set-up failures.
#include "media_out/output_writer.h"

#include "codecs/encoder_config_store.h"
#include "media_out/avi_writer.h"
#include "media_out/win_media_library.h"
#include "media_out/win_media_writer_adapter.h"
#include "platform/errors.h"
#include "platform/unicode_text.h"
#include "tests/media_out/avi_test_media.h"
#include "tests/support/test_names.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

namespace klova {
namespace {

constexpr const char* kProfile = "Broadband (384 Kbps)";  // a built-in Windows Media profile

const WinMediaLibrary& Library()
{
    static const WinMediaLibrary library(test::BuildPath(""));
    return library;
}

struct WriterCase {
    const char* kind;
    const char* extension;
    bool withAudio;
    std::function<std::unique_ptr<OutputWriter>(const EncoderConfigStore&)> make;
};

void PrintTo(const WriterCase& c, std::ostream* out) { *out << c.kind << (c.withAudio ? " with audio" : " silent"); }

std::unique_ptr<OutputWriter> MakeAvi(const EncoderConfigStore& configs)
{
    return std::make_unique<AviWriter>(configs, AviCompression{{}, "<Uncompressed>", "PCM"});
}

std::unique_ptr<OutputWriter> MakeWmv(const EncoderConfigStore&)
{
    return std::make_unique<WinMediaWriterAdapter>(&Library(), Utf8ToUtf16(kProfile));
}

class OutputWriterTest : public ::testing::TestWithParam<WriterCase> {};

// Open, a frame and its chunk per output frame, End: a file of the size, length and
// streams asked for; End answers the same again, and nothing is written after it.
TEST_P(OutputWriterTest, WritesTheFileItWasOpenedForAndEndsIt)
{
    const WriterCase& c = GetParam();
    test::TempDir dir;
    const std::string file = dir.File(std::string("out") + c.extension);
    EncoderConfigStore configs;
    const std::unique_ptr<OutputWriter> writer = c.make(configs);

    OutputFormat format{160, 120, 25.0};
    if (c.withAudio)
        format.audio = MakePcmFormat(2, 44100, 16);
    writer->Open(file, format);
    const std::vector<uint8_t> chunk(format.audio ? test::ChunkBytes(*format.audio, format.frameRate) : 0, 0x10);
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(writer->WriteVideo(test::MakeFrame(160, 120, i).data())) << "frame " << i;
        if (format.audio)
            ASSERT_TRUE(writer->WriteAudio(chunk.data(), static_cast<uint32_t>(chunk.size()))) << "chunk " << i;
    }
    EXPECT_TRUE(writer->End());
    EXPECT_TRUE(writer->End());
    EXPECT_FALSE(writer->WriteVideo(test::MakeFrame(160, 120, 0).data()));

    const test::ProbeFields video = test::ProbeStream(file, "video", true);
    EXPECT_EQ(video.at("width"), "160");
    EXPECT_EQ(video.at("height"), "120");
    EXPECT_EQ(video.at("nb_read_frames"), "25");
    EXPECT_EQ(test::ProbeStreams(file).size(), c.withAudio ? 2u : 1u);
    EXPECT_EQ(test::DecodeErrors(file), "");
}

size_t FilesIn(const std::string& folder)
{
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// The file appears whole under its name at the end, or not at all: until End an
// existing file of that name is as it was, and a writer dropped without End (a failed
// run) leaves it so, with no temporary file behind.
TEST_P(OutputWriterTest, TheFileTakesItsNameOnlyWhenComplete)
{
    const WriterCase& c = GetParam();
    test::TempDir dir;
    const std::string file = dir.File(std::string("out") + c.extension);
    std::ofstream(file, std::ios::binary) << "an earlier file";
    EncoderConfigStore configs;
    OutputFormat format{160, 120, 25.0};
    if (c.withAudio)
        format.audio = MakePcmFormat(2, 44100, 16);
    const std::vector<uint8_t> chunk(format.audio ? test::ChunkBytes(*format.audio, format.frameRate) : 0, 0x10);
    const auto writeFrames = [&](OutputWriter& writer) {
        writer.Open(file, format);
        for (int i = 0; i < 5; ++i) {
            ASSERT_TRUE(writer.WriteVideo(test::MakeFrame(160, 120, i).data()));
            if (format.audio) {
                ASSERT_TRUE(writer.WriteAudio(chunk.data(), static_cast<uint32_t>(chunk.size())));
            }
        }
    };

    {
        const std::unique_ptr<OutputWriter> dropped = c.make(configs);
        writeFrames(*dropped);
    }
    EXPECT_EQ(test::ReadFile(file), "an earlier file");
    EXPECT_EQ(FilesIn(dir.path()), 1u);

    const std::unique_ptr<OutputWriter> writer = c.make(configs);
    writeFrames(*writer);
    EXPECT_EQ(test::ReadFile(file), "an earlier file");
    EXPECT_EQ(FilesIn(dir.path()), 2u);  // the new file, under its temporary name
    EXPECT_TRUE(writer->End());
    EXPECT_EQ(FilesIn(dir.path()), 1u);
    EXPECT_EQ(test::ProbeStream(file, "video", true).at("nb_read_frames"), "5");
}

INSTANTIATE_TEST_SUITE_P(Writers, OutputWriterTest,
                         ::testing::Values(WriterCase{"AVI", ".avi", true, MakeAvi},
                                           WriterCase{"AVI", ".avi", false, MakeAvi},
                                           WriterCase{"WMV", ".wmv", true, MakeWmv},
                                           WriterCase{"WMV", ".wmv", false, MakeWmv}),
                         test::PrintedName());

TEST(WinMediaWriterAdapter, AFileThatCannotBeSetUpIsAWindowsMediaFailure)
{
    test::TempDir dir;
    const WinMediaLibrary missing(dir.path());  // no library in an empty folder
    const OutputFormat format{160, 120, 25.0};
    const auto expectFailure = [&](WinMediaWriterAdapter writer, const std::string& path) {
        try {
            writer.Open(path, format);
            ADD_FAILURE() << "opened " << path;
        } catch (const CMyException& error) {
            EXPECT_EQ(error.code(), static_cast<int32_t>(ErrorCode::WindowsMediaFailed));
        }
        EXPECT_FALSE(writer.End());  // nothing was opened, so nothing is complete
    };
    expectFailure(WinMediaWriterAdapter(nullptr, Utf8ToUtf16(kProfile)), dir.File("none.wmv"));
    expectFailure(WinMediaWriterAdapter(&missing, Utf8ToUtf16(kProfile)), dir.File("missing.wmv"));
    expectFailure(WinMediaWriterAdapter(&Library(), u"No such profile"), dir.File("unknown.wmv"));
    expectFailure(WinMediaWriterAdapter(&Library(), Utf8ToUtf16(kProfile)), "/nonexistent/klova/out.wmv");
}

}  // namespace
}  // namespace klova
