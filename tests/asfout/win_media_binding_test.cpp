// The program's binding to libasfout.so: loading, the profile list and the profile
// resolution both front ends use.
#include "media_out/win_media_library.h"
#include "media_out/win_media_profiles.h"
#include "platform/unicode_text.h"
#include "tests/asfout/wmv_test_writer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>

namespace klova::test {
namespace {

TEST(WinMediaLibrary, ExportsOnlyTheFactory)
{
    const CommandResult result =
        RunCommand("nm -D --defined-only " + ShellQuote(std::string(KLOVA_BUILD_DIR) + "/libasfout.so"));
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::istringstream lines(result.out);
    std::vector<std::string> symbols;
    std::string address, kind, name;
    while (lines >> address >> kind >> name)
        symbols.push_back(name);
    EXPECT_EQ(symbols, std::vector<std::string>{"CreateWinMediaWriter"});
}

TEST(WinMediaLibrary, MissingLibraryOnlyDisablesWriters)
{
    TempDir empty;
    const WinMediaLibrary library(empty.path());
    EXPECT_FALSE(library.IsAvailable());
    EXPECT_FALSE(library.CreateWriter());
    EXPECT_TRUE(FillProfileList(library).empty());
    const std::string prx = empty.File("p.prx");
    WriteFileBytes(prx, PrxFileBytes("<profile/>"));
    EXPECT_EQ(ResolveMediaProfile(library, prx), std::nullopt);
}

TEST(WinMediaLibrary, LibraryWithoutTheFactoryIsUnavailable)
{
    const WinMediaLibrary library(KLOVA_NO_FACTORY_DIR);
    EXPECT_FALSE(library.IsAvailable());
    EXPECT_FALSE(library.CreateWriter());
    EXPECT_TRUE(FillProfileList(library).empty());
}

TEST(WinMediaLibrary, WriterKeepsTheLibraryLoaded)
{
    WinMediaWriterPtr writer;
    {
        const WinMediaLibrary library(KLOVA_BUILD_DIR);
        ASSERT_TRUE(library.IsAvailable());
        writer = library.CreateWriter();
    }
    ASSERT_TRUE(writer);
    std::u16string name;
    EXPECT_EQ(writer->GetProfileName(0, &name), 0);
    EXPECT_FALSE(name.empty());
}

TEST(FillProfileList, ListsTheBuiltInProfilesInTheirFixedOrder)
{
    const std::vector<std::string> names = FillProfileList(BuiltLibrary());
    std::vector<std::string> expected;
    for (const ExpectedProfile& profile : ExpectedProfiles())
        expected.push_back(profile.name);
    EXPECT_EQ(names, expected);
    EXPECT_GE(names.size(), 5u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
    EXPECT_EQ(FillProfileList(BuiltLibrary()), names);

    WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
    std::u16string name;
    EXPECT_EQ(writer->GetProfileName(static_cast<int32_t>(names.size()), &name), 1);  // S_FALSE past the end
}

TEST(DescribeProfiles, GivesEachListedProfilesVideoAndAudioBitRates)
{
    const std::vector<ProfileDescription> profiles = DescribeProfiles(BuiltLibrary());
    ASSERT_EQ(profiles.size(), ExpectedProfiles().size());
    for (size_t i = 0; i < profiles.size(); ++i) {
        EXPECT_EQ(profiles[i].name, ExpectedProfiles()[i].name);
        EXPECT_EQ(profiles[i].videoBitsPerSecond, ExpectedProfiles()[i].videoKbps * 1000LL) << profiles[i].name;
        EXPECT_EQ(profiles[i].audioBitsPerSecond, ExpectedProfiles()[i].audioKbps * 1000LL) << profiles[i].name;
    }

    WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
    int64_t video = -1, audio = -1;
    EXPECT_EQ(writer->GetProfileBitRates(static_cast<int32_t>(profiles.size()), &video, &audio), 1);  // S_FALSE
    EXPECT_LT(writer->GetProfileBitRates(-1, &video, &audio), 0);
    EXPECT_LT(writer->GetProfileBitRates(0, nullptr, &audio), 0);
    EXPECT_LT(writer->GetProfileBitRates(0, &video, nullptr), 0);
    EXPECT_TRUE(DescribeProfiles(WinMediaLibrary(KLOVA_NO_FACTORY_DIR)).empty());
}

TEST(FindProfile, FindsEachListedNameAndOnlyWholeExactNames)
{
    WinMediaWriterPtr writer = BuiltLibrary().CreateWriter();
    ASSERT_TRUE(writer);
    const std::vector<std::string> names = FillProfileList(BuiltLibrary());
    for (size_t i = 0; i < names.size(); ++i) {
        int32_t index = -5;
        EXPECT_GE(writer->FindProfile(Utf8ToUtf16(names[i]).c_str(), &index), 0);
        EXPECT_EQ(index, static_cast<int32_t>(i));
    }
    const std::string first = names.front();
    std::string lower = first;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& near : {lower, first.substr(0, first.size() - 1), first + " ", std::string()}) {
        int32_t index = 0;
        writer->FindProfile(Utf8ToUtf16(near).c_str(), &index);
        EXPECT_EQ(index, -1) << '"' << near << '"';
    }
}

TEST(ResolveMediaProfile, BuiltInNameIsTheProfileText)
{
    const std::string name = ExpectedProfiles()[3].name;
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), name), Utf8ToUtf16(name));
}

TEST(ResolveMediaProfile, ReadsThePrxFileAsUtf16UpToTheFirstZero)
{
    TempDir dir;
    const std::string prx = dir.File("profile.prx");
    // A byte-order mark, "<p>", a zero character, more text, and an odd last byte.
    WriteFileBytes(prx, std::string("\xFF\xFE<\0p\0>\0\0\0x\0y\0z", 15));
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), prx), std::u16string(u"\uFEFF<p>"));

    WriteFileBytes(prx, std::string("<\0a\0\xAC\x20", 6) + "b");  // no mark, no zero, odd length
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), prx), std::u16string(u"<a\u20AC"));

    WriteFileBytes(prx, "");
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), prx), std::u16string());
}

TEST(ResolveMediaProfile, UnreadableSettingGivesNoText)
{
    TempDir dir;
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), dir.File("missing.prx")), std::nullopt);
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), dir.path()), std::nullopt);
    EXPECT_EQ(ResolveMediaProfile(BuiltLibrary(), ""), std::nullopt);
}

}  // namespace
}  // namespace klova::test
