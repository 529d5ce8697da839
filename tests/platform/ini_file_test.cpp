#include "platform/ini_file.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace klova {
namespace {

TEST(IniFileBlocks, EncodeLowNibbleFirstAndRejectMalformedText)
{
    const uint8_t bytes[] = {0x1F, 0x00, 0xFF, 0xA5};
    EXPECT_EQ(IniFile::EncodeBlock(bytes, sizeof bytes), "PBAAPPFK");
    const auto decoded = IniFile::DecodeBlock("PBAAPPFK");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(*decoded, std::vector<uint8_t>(std::begin(bytes), std::end(bytes)));
    EXPECT_FALSE(IniFile::DecodeBlock("PBA"));   // odd length
    EXPECT_FALSE(IniFile::DecodeBlock("PBaa"));  // not capital letters A..P
    EXPECT_FALSE(IniFile::DecodeBlock("PBQA"));
}

TEST(IniFileValues, AwkwardStringsReadBackExactlyAfterSaveAndLoad)
{
    const std::vector<std::string> values = {
        "",
        "  leading and trailing  ",
        "C:\\video\\holiday.avi",
        "/tmp/a=b;c#d/file.avi",
        "\"quoted\"",
        "\"",
        "ends with quote\"",
        "semi;colon",
        "#hash at start",
        ";semicolon at start",
        "[not a section]",
        "tab\tinside",
        "line\nbreak",
        "back\\slash at end\\",
        "Grüße/日本語/видео.avi",
        "\\x41 literal",
    };
    test::TempDir dir;
    const std::string path = dir.File("profile.ini");
    {
        IniFile profile(path);
        for (size_t i = 0; i < values.size(); ++i)
            profile.SetString("Options", "Key" + std::to_string(i), values[i]);
        ASSERT_TRUE(profile.Save());
    }
    IniFile reread(path);
    reread.Load();
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(reread.GetString("Options", "Key" + std::to_string(i)), values[i]) << "value " << i;
}

TEST(IniFileValues, KeysAndSectionsMatchWithoutCaseAndIntegersParseLikeTheProfileFunctions)
{
    test::TempDir dir;
    const std::string path = dir.File("profile.ini");
    std::ofstream(path) << "[options]\r\nframewidth = 640\r\nBad=abc\r\nNeg=-12x\r\nQuoted=\"  x  \"\r\n";
    IniFile profile(path);
    profile.Load();
    EXPECT_EQ(profile.GetInteger("Options", "FrameWidth", 1), 640);
    EXPECT_EQ(profile.GetInteger("Options", "Bad", 1), 0);
    EXPECT_EQ(profile.GetInteger("Options", "Neg", 1), -12);
    EXPECT_EQ(profile.GetInteger("Options", "Missing", 7), 7);
    EXPECT_EQ(profile.GetString("Options", "Quoted"), "  x  ");
    EXPECT_FALSE(profile.GetString("Other", "FrameWidth"));
}

TEST(IniFileSave, KeepsForeignSectionsCommentsAndKeysAndReplacesInPlace)
{
    test::TempDir dir;
    const std::string path = dir.File("profile.ini");
    std::ofstream(path) << "; my notes\n[Window]\nX=10\n\n[Options]\nUnknownKey=keep me\nFrameWidth=100\n\n[Tail]\nY=2\n";
    IniFile profile(path);
    profile.Load();
    profile.SetInteger("Options", "FrameWidth", 320);
    profile.SetString("Options", "SrcFileName", "in.avi");
    profile.SetString("Fresh", "Z", "3");
    ASSERT_TRUE(profile.Save());

    EXPECT_EQ(test::ReadFile(path), "; my notes\r\n[Window]\r\nX=10\r\n\r\n[Options]\r\nUnknownKey=keep me\r\nFrameWidth=320\r\n"
                              "SrcFileName=in.avi\r\n\r\n[Tail]\r\nY=2\r\n\r\n[Fresh]\r\nZ=3\r\n");
    // Only the profile itself is left in the folder: the temporary file was renamed over it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(IniFileSave, AFailedSaveLeavesTheOldProfile)
{
    test::TempDir dir;
    const std::string path = dir.File("missing-folder/profile.ini");
    IniFile profile(path);
    profile.SetString("Options", "A", "1");
    EXPECT_FALSE(profile.Save());

    // A profile path that is a folder cannot be replaced; the folder stays.
    const std::string folderPath = dir.File("taken");
    std::filesystem::create_directories(folderPath + "/inner");
    IniFile blocked(folderPath);
    blocked.SetString("Options", "A", "1");
    EXPECT_FALSE(blocked.Save());
    EXPECT_TRUE(std::filesystem::is_directory(folderPath + "/inner"));
}

}  // namespace
}  // namespace klova
