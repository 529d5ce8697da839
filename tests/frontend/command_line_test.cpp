#include "frontend/command_line.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace klova {
namespace {

ConversionSettings FromArguments(const std::vector<std::string>& arguments)
{
    return SettingsFromCommandLine(ParseCommandLine(arguments));
}

// A Key=Value is read as the profile would store it: quotes and backslash escapes are
// the profile's, not part of the value.
TEST(CommandLine, ValuesAreTakenInTheProfilesOwnForm)
{
    const ConversionSettings s = FromArguments({"SrcFileName=\" in put.avi \"", "DstFileName=plain.avi",
                                                "MediaProfile=\"Broadband (384 Kbps)\"",
                                                "ClipsFileName=\"tab\\there\\\"s.msq\"", "FrameRate=25000"});
    EXPECT_EQ(s.SrcFileName, " in put.avi ");
    EXPECT_EQ(s.DstFileName, "plain.avi");
    EXPECT_EQ(s.MediaProfile, "Broadband (384 Kbps)");
    EXPECT_EQ(s.ClipsFileName, "tab\there\"s.msq");  // \t is a tab, as in the file
    EXPECT_DOUBLE_EQ(s.FrameRate, 25.0);
}

TEST(CommandLine, SettingsNoConversionCanUseAreRefusedNamingTheKey)
{
    test::TempDir dir;
    const auto refusal = [](const std::vector<std::string>& arguments) -> std::string {
        try {
            FromArguments(arguments);
        } catch (const std::invalid_argument& error) {
            return error.what();
        }
        return "accepted";
    };
    EXPECT_NE(refusal({"DstFileName=out.avi", "SceneDetection=3"}).find("SceneDetection=3"), std::string::npos);
    EXPECT_NE(refusal({"DstFileName=out.avi", "SceneDetection=-1"}).find("SceneDetection"), std::string::npos);
    for (const std::string& folder : {std::string("dir/"), dir.path(), dir.path() + "/.", std::string("..")})
        EXPECT_NE(refusal({"DstFileName=" + folder}).find("DstFileName"), std::string::npos) << folder;
    EXPECT_NE(refusal({"SrcFileName=in.avi"}).find("DstFileName is empty"), std::string::npos);
    // An editor project writes no output file: its name does not matter.
    EXPECT_EQ(refusal({"SceneDetection=2", "ClipsFileName=scenes.msq"}), "accepted");
    EXPECT_EQ(refusal({"DstFileName=" + dir.File("out.avi"), "SceneDetection=1"}), "accepted");
}

}  // namespace
}  // namespace klova
