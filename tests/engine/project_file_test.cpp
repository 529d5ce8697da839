#include "engine/project_file.h"

#include "platform/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace klova {
namespace {

TEST(ProjectFile, WritesHeaderInputPathCutsAndEndPosition)
{
    test::TempDir dir;
    const std::string path = dir.File("scenes.msq");
    ProjectFile file(path, "/media/in put/holiday.mpg");
    EXPECT_TRUE(test::FileNames(dir.path()).empty());  // nothing before the first cut
    for (int64_t frame : {0, 97, 180}) {
        file.AddProjectCut(frame);
        // Each line reaches the (temporary) file at once; the name appears only whole.
        ASSERT_EQ(test::FileNames(dir.path()).size(), 1u);
        const std::string temporary = dir.File(test::FileNames(dir.path()).front());
        EXPECT_EQ(temporary.rfind(dir.File(".scenes.msq."), 0), 0u) << temporary;
        EXPECT_EQ(test::ReadFile(temporary).substr(test::ReadFile(temporary).size() - 2), "\r\n");
    }
    EXPECT_TRUE(file.IsOpen());
    file.AddProjectCut(250);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(test::FileNames(dir.path()), std::vector<std::string>{"scenes.msq"});
    EXPECT_EQ(test::ReadFile(path),
              "text description 30\r\n/media/in put/holiday.mpg\r\n0\r\n97\r\n180\r\n250\r\n");
}

TEST(ProjectFile, AnUnfinishedFileLeavesAnExistingOneAsItWas)
{
    test::TempDir dir;
    const std::string path = dir.File("scenes.msq");
    std::ofstream(path, std::ios::binary) << "earlier project";
    {
        ProjectFile file(path, "/media/in.avi");
        file.AddProjectCut(0);
        file.AddProjectCut(12);
    }
    EXPECT_EQ(test::ReadFile(path), "earlier project");
    EXPECT_EQ(test::FileNames(dir.path()), std::vector<std::string>{"scenes.msq"});
}

TEST(ProjectFile, APathThatNamesTheInputIsRefusedAndTheInputKept)
{
    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    std::ofstream(input, std::ios::binary) << "the input video";
    ASSERT_EQ(::symlink(input.c_str(), dir.File("link.msq").c_str()), 0);
    for (const std::string& path : {input, dir.File("./in.avi"), dir.File("link.msq")}) {
        ProjectFile file(path, input);
        EXPECT_THROW(file.AddProjectCut(0), FileException) << path;
        EXPECT_FALSE(file.IsOpen());
        EXPECT_NO_THROW(file.Close());
    }
    EXPECT_EQ(test::ReadFile(input), "the input video");
    EXPECT_EQ(test::FileNames(dir.path()), (std::vector<std::string>{"in.avi", "link.msq"}));
}

TEST(ProjectFile, ASecondRunReplacesTheFile)
{
    test::TempDir dir;
    const std::string path = dir.File("scenes.msq");
    {
        ProjectFile first(path, "/media/first.avi");
        for (int64_t frame : {0, 10, 20, 30, 40, 50})
            first.AddProjectCut(frame);
        first.Close();
    }
    ProjectFile second(path, "/media/second.avi");
    second.AddProjectCut(0);
    second.AddProjectCut(5000000000);  // 64-bit positions
    second.Close();
    EXPECT_EQ(test::ReadFile(path), "text description 30\r\n/media/second.avi\r\n0\r\n5000000000\r\n");
}

TEST(ProjectFile, AnUncreatableFileRaisesFileExceptionAndStaysClosed)
{
    test::TempDir dir;
    ProjectFile file(dir.File("missing/folder/scenes.msq"), "/media/in.avi");
    EXPECT_THROW(file.AddProjectCut(0), FileException);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NO_THROW(file.Close());
}

TEST(ProjectFile, AFailingWriteRaisesFileExceptionAndClosesTheFile)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    ProjectFile file("/dev/full", "/media/in.avi");
    EXPECT_THROW(file.AddProjectCut(0), FileException);
    EXPECT_FALSE(file.IsOpen());
    // The teardown's end position must not reopen (and truncate) the file.
    EXPECT_THROW(file.AddProjectCut(1), FileException);
    EXPECT_NO_THROW(file.Close());
}

}  // namespace
}  // namespace klova
