// The bash completion of klova-convert: its word lists come from the program and match
// what the program takes, and its replies are quoted so that the shell reads the
// completed argument back as the name.
#include "frontend/command_line.h"
#include "frontend/settings_store.h"
#include "codecs/compressor_names.h"
#include "media_out/win_media_library.h"
#include "media_out/win_media_profiles.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace klova {
namespace {

// Calls the completion function as bash does for the line typed so far, with the
// cursor at its end; returns COMPREPLY.
std::vector<std::string> Complete(const std::string& line)
{
    const std::string script =
        "source \"$1\"\n"
        "COMP_LINE=$3; COMP_POINT=${#COMP_LINE}\n"
        "read -ra COMP_WORDS <<<\"$COMP_LINE\"\n"
        "[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')\n"
        "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
        "COMPREPLY=()\n"
        "_klova_convert \"$2\" \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD - 1]}\"\n"
        "printf '%s\\n' \"${COMPREPLY[@]}\"\n";
    const test::CommandResult result =
        test::RunCommand("bash -c " + test::ShellQuote(script) + " bash " +
                         test::ShellQuote(std::string(KLOVA_SOURCE_DIR) + "/packaging/klova-convert.bash-completion") +
                         " " + test::ShellQuote(test::BuildPath("klova-convert")) + " " + test::ShellQuote(line));
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    std::vector<std::string> replies;
    std::istringstream lines(result.out);
    for (std::string reply; std::getline(lines, reply);)
        if (!reply.empty())
            replies.push_back(reply);
    return replies;
}

std::vector<std::string> Sorted(std::vector<std::string> words)
{
    std::sort(words.begin(), words.end());
    return words;
}

TEST(Completion, KeysAreEveryProfileKeyWithItsEqualsSign)
{
    std::vector<std::string> keys;
    for (const SettingKey& key : SettingKeys())
        keys.push_back(std::string(key.name) + "=");
    EXPECT_EQ(Sorted(Complete("klova-convert ")), Sorted(keys));
    EXPECT_EQ(Sorted(Complete("klova-convert SrcFileName=a.avi Keep")),
              Sorted({"KeepAspect=", "KeepFrameRate=", "KeepFrameSize=", "KeepSettings=", "KeepSound="}));
}

TEST(Completion, OptionsAreTheOptionsTheHelpNames)
{
    const std::vector<std::string> options = Complete("klova-convert -");
    EXPECT_EQ(Sorted(options),
              Sorted({"--help", "--list-encoders", "--list-profiles", "--profile", "--profile=", "--version"}));
    const std::string usage = UsageText();
    for (const std::string& option : options) {
        const std::string bare = option.back() == '=' ? option.substr(0, option.size() - 1) : option;
        EXPECT_NE(usage.find(bare), std::string::npos) << option;
        const CommandLine parsed = ParseCommandLine({bare == "--profile" ? bare + "=p.ini" : bare});
        EXPECT_TRUE(AsksOnly(parsed) || parsed.profilePath) << option;
    }
}

TEST(Completion, EncoderNamesAreTheListedNames)
{
    // Inside quotes the names come back as they are; readline closes the quote.
    EXPECT_EQ(Complete("klova-convert VideoCodec='"), ListCompressorNames(CompressorCategory::Video));
    EXPECT_EQ(Complete("klova-convert audiocodec=\""), ListCompressorNames(CompressorCategory::Audio));
}

TEST(Completion, ProfileNamesAreTheLibrarysBuiltInProfiles)
{
    const std::vector<std::string> names = FillProfileList(WinMediaLibrary(KLOVA_BUILD_DIR));
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(Complete("klova-convert DstFileType=1 MediaProfile='"), names);
}

TEST(Completion, RepliesAreQuotedForWhereTheShellsWordBegins)
{
    // Readline replaces the text after "=": the rest of the name, escaped.
    EXPECT_EQ(Complete("klova-convert VideoCodec=\\<Unc"), std::vector<std::string>{"\\<Uncompressed\\>"});
    EXPECT_EQ(Complete("klova-convert MediaProfile=Broadband\\ h"),
              std::vector<std::string>{"Broadband\\ high\\ quality\\ \\(768\\ Kbps\\)"});
    // A quote before the key: readline's word starts at the key.
    EXPECT_EQ(Complete("klova-convert 'MediaProfile=Dial"),
              std::vector<std::string>{"MediaProfile=Dial-up and mobile (150 Kbps)"});
    EXPECT_TRUE(Complete("klova-convert VideoCodec=no-such-encoder").empty());
    EXPECT_TRUE(Complete("klova-convert FrameRate=2").empty());
}

TEST(Completion, FileKeysAndTheProfileOptionCompleteFileNames)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.File("my videos"));
    std::ofstream(dir.File("my videos/take (1).mpg")).put('x');
    std::ofstream(dir.File("look.prx")).put('x');
    // File names come back unquoted: readline quotes them itself.
    EXPECT_EQ(Complete("klova-convert SrcFileName=" + dir.File("my")), std::vector<std::string>{dir.File("my videos")});
    EXPECT_EQ(Complete("klova-convert --profile " + dir.File("lo")), std::vector<std::string>{dir.File("look.prx")});
    // A profile value that begins no built-in name is a .prx file.
    EXPECT_EQ(Complete("klova-convert MediaProfile=" + dir.File("lo")), std::vector<std::string>{dir.File("look.prx")});
}

}  // namespace
}  // namespace klova
