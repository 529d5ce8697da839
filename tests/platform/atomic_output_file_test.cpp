#include "platform/atomic_output_file.h"
#include "platform/same_file.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace klova {
namespace {

void WriteFile(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(SameFile, EverySpellingOfTheInputIsTheInputAndANewNameIsNot)
{
    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    WriteFile(input, "video");
    ::mkdir(dir.File("sub").c_str(), 0777);
    ASSERT_EQ(::link(input.c_str(), dir.File("hard.avi").c_str()), 0);
    ASSERT_EQ(::symlink(input.c_str(), dir.File("soft.avi").c_str()), 0);
    EXPECT_TRUE(IsSameFile(input, input));
    EXPECT_TRUE(IsSameFile(input, dir.File("sub/../in.avi")));
    EXPECT_TRUE(IsSameFile(input, dir.File("hard.avi")));
    EXPECT_TRUE(IsSameFile(input, dir.File("soft.avi")));
    WriteFile(dir.File("copy.avi"), "video");
    EXPECT_FALSE(IsSameFile(input, dir.File("copy.avi")));  // equal bytes, another file
    EXPECT_FALSE(IsSameFile(input, dir.File("new.avi")));   // not there yet
    EXPECT_FALSE(IsSameFile(dir.File("absent.avi"), dir.File("new.avi")));
    EXPECT_FALSE(IsSameFile(input, ""));
}

TEST(AtomicOutputFile, TheFileAppearsUnderItsNameOnlyWhenCommitted)
{
    test::TempDir dir;
    const std::string final = dir.File("out.avi");
    WriteFile(final, "old");
    ::chmod(final.c_str(), 0640);
    AtomicOutputFile file(final);
    const std::string temporary = file.writePath();
    EXPECT_EQ(std::filesystem::path(temporary).parent_path(), std::filesystem::path(dir.path()));
    EXPECT_EQ(temporary.rfind(dir.File(".out.avi."), 0), 0u) << temporary;
    EXPECT_EQ(temporary.substr(temporary.size() - 5), ".part");
    WriteFile(temporary, "new");
    EXPECT_EQ(test::ReadFile(final), "old");  // untouched while written
    EXPECT_TRUE(file.Commit());
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(test::ReadFile(final), "new");
    EXPECT_EQ(test::FileNames(dir.path()), std::vector<std::string>{"out.avi"});
    struct stat info {};
    ASSERT_EQ(::stat(final.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);  // a replaced file keeps its permissions
}

TEST(AtomicOutputFile, AFileNeverCommittedLeavesTheOldOneAndNoTemporaryFile)
{
    test::TempDir dir;
    const std::string final = dir.File("out.avi");
    WriteFile(final, "old");
    {
        AtomicOutputFile file(final);
        WriteFile(file.writePath(), "half");
    }
    EXPECT_EQ(test::ReadFile(final), "old");
    EXPECT_EQ(test::FileNames(dir.path()), std::vector<std::string>{"out.avi"});
    {
        AtomicOutputFile file(dir.File("new.avi"));
        file.Discard();
        EXPECT_FALSE(file.Commit());  // settled
    }
    EXPECT_EQ(test::FileNames(dir.path()), std::vector<std::string>{"out.avi"});
}

TEST(AtomicOutputFile, TwoWritersOfOneNameEachWriteWholeAndTheLastCommitWins)
{
    test::TempDir dir;
    const std::string final = dir.File("out.avi");
    AtomicOutputFile first(final);
    AtomicOutputFile second(final);
    EXPECT_NE(first.writePath(), second.writePath());
    WriteFile(first.writePath(), std::string(1000, 'a'));
    WriteFile(second.writePath(), std::string(2000, 'b'));
    EXPECT_TRUE(second.Commit());
    EXPECT_TRUE(first.Commit());
    EXPECT_EQ(test::ReadFile(final), std::string(1000, 'a'));
}

TEST(AtomicOutputFile, ALinkKeepsPointingAtItsTargetAndADeviceIsWrittenInPlace)
{
    test::TempDir dir;
    const std::string target = dir.File("target.avi");
    WriteFile(target, "old");
    ASSERT_EQ(::symlink(target.c_str(), dir.File("link.avi").c_str()), 0);
    AtomicOutputFile viaLink(dir.File("link.avi"));
    WriteFile(viaLink.writePath(), "new");
    EXPECT_TRUE(viaLink.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link.avi")));
    EXPECT_EQ(test::ReadFile(target), "new");

    AtomicOutputFile device("/dev/null");
    EXPECT_EQ(device.writePath(), "/dev/null");
    EXPECT_TRUE(device.Commit());
    EXPECT_TRUE(std::filesystem::exists("/dev/null"));
}

TEST(AtomicOutputFile, NamesThatCannotBeWrittenAreRefusedAtOnce)
{
    test::TempDir dir;
    EXPECT_THROW(AtomicOutputFile(dir.File("no/such/folder/out.avi")), std::system_error);
    EXPECT_THROW(AtomicOutputFile(dir.path()), std::system_error);  // a folder
    EXPECT_THROW(AtomicOutputFile(""), std::system_error);
    EXPECT_EQ(test::FileNames(dir.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace klova
