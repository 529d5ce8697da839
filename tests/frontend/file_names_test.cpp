#include "frontend/file_names.h"

#include <gtest/gtest.h>

namespace klova {
namespace {

TEST(ReplaceExtension, SwitchesTheOutputTypeOfANameWithOrWithoutAnExtension)
{
    EXPECT_EQ(ReplaceExtension("/clips/a.avi", ".wmv"), "/clips/a.wmv");
    EXPECT_EQ(ReplaceExtension("/clips/a", ".wmv"), "/clips/a.wmv");
    EXPECT_EQ(ReplaceExtension("/clips/a.b.avi", ".wmv"), "/clips/a.b.wmv");
    EXPECT_EQ(ReplaceExtension("C:\\clips\\a.avi", ".wmv"), "C:\\clips\\a.wmv");
    EXPECT_EQ(ReplaceExtension("a.avi", ".wmv"), "a.wmv");
}

TEST(ReplaceExtension, ADotInAFolderOrAtTheStartOfTheNameIsNoExtension)
{
    EXPECT_EQ(ReplaceExtension("/my.clips/a", ".avi"), "/my.clips/a.avi");
    EXPECT_EQ(ReplaceExtension("/clips/.hidden", ".avi"), "/clips/.hidden.avi");
}

TEST(FileNamePart, DropsTheFoldersOnly)
{
    EXPECT_EQ(FileNamePart("/profiles/my.prx"), "my.prx");
    EXPECT_EQ(FileNamePart("D:\\profiles\\my.prx"), "my.prx");
    EXPECT_EQ(FileNamePart("my.prx"), "my.prx");
    EXPECT_EQ(FileNamePart("/profiles/"), "");
    EXPECT_EQ(FileNamePart(""), "");
    EXPECT_EQ(FolderPart("/profiles/my.prx"), "/profiles/");
    EXPECT_EQ(FolderPart("my.prx"), "");
}

}  // namespace
}  // namespace klova
