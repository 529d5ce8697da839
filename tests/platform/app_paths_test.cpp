#include "platform/app_paths.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace klova {
namespace {

TEST(ProfilePath, ReplacesTheFileNamesExtensionOrAppendsOne)
{
    EXPECT_EQ(ProfilePathBeside("/opt/klova/build/klova"), "/opt/klova/build/klova.ini");
    EXPECT_EQ(ProfilePathBeside("/opt/klova.d/bin/klova"), "/opt/klova.d/bin/klova.ini");  // dot in a folder
    EXPECT_EQ(ProfilePathBeside("/opt/bin/klova.bin"), "/opt/bin/klova.ini");
    EXPECT_EQ(ProfilePathBeside("/opt/bin/klova.tar.gz"), "/opt/bin/klova.tar.ini");
    EXPECT_EQ(ProfilePathBeside("klova"), "klova.ini");
}

TEST(ProfilePath, GoesToTheUsersConfigurationFolderWhenTheProgramFolderIsNotWritable)
{
    test::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    EXPECT_EQ(ChooseProfilePath("/nonexistent-folder/bin/klova"), dir.File("config/klova.ini"));
    EXPECT_EQ(ChooseProfilePath(dir.File("klova")), dir.File("klova.ini"));
    ::unsetenv("XDG_CONFIG_HOME");
}

TEST(ProfilePath, ExecutablePathIsThisTestProgram)
{
    EXPECT_NE(ExecutablePath().find("platform_tests"), std::string::npos);
    EXPECT_EQ(ExecutableFolder() + "/platform_tests", ExecutablePath());
}

}  // namespace
}  // namespace klova
