#include "engine/project_file.h"

#include "platform/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace klova {
namespace {

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ProjectFile, WritesHeaderInputPathCutsAndEndPosition)
{
    test::TempDir dir;
    const std::string path = dir.File("scenes.msq");
    ProjectFile file(path, "/media/in put/holiday.mpg");
    EXPECT_FALSE(std::filesystem::exists(path));  // nothing before the first cut
    for (int64_t frame : {0, 97, 180}) {
        file.AddProjectCut(frame);
        // Each line reaches the file at once, not at close.
        EXPECT_EQ(ReadBytes(path).substr(ReadBytes(path).size() - 2), "\r\n");
    }
    EXPECT_TRUE(file.IsOpen());
    file.AddProjectCut(250);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadBytes(path),
              "text description 30\r\n/media/in put/holiday.mpg\r\n0\r\n97\r\n180\r\n250\r\n");
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
    EXPECT_EQ(ReadBytes(path), "text description 30\r\n/media/second.avi\r\n0\r\n5000000000\r\n");
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
