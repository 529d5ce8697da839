// Build tree against installed tree: where the private library and the profile are.
#include "platform/app_paths.h"
#include "platform/install_layout.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace klova {
namespace {

class InstallLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir_.File("usr/bin"));
        ::setenv("XDG_CONFIG_HOME", dir_.File("config").c_str(), 1);
    }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    void InstallLibraryFolder()
    {
        std::filesystem::create_directories(dir_.File("usr/bin/") + InstalledLibraryFolderFromBin());
    }

    test::TempDir dir_;
};

TEST_F(InstallLayout, BuildTreeKeepsLibraryAndProfileBesideTheProgram)
{
    const std::string bin = dir_.File("usr/bin");
    EXPECT_FALSE(IsInstalledLayout(bin));
    EXPECT_EQ(PrivateLibraryFolder(bin), bin);
    EXPECT_EQ(ChooseProfilePath(bin + "/klova"), bin + "/klova.ini");
}

TEST_F(InstallLayout, InstalledProgramFindsItsLibraryRelativeToBinAndKeepsItsProfileInTheUsersFolder)
{
    InstallLibraryFolder();
    const std::string bin = dir_.File("usr/bin");
    EXPECT_TRUE(IsInstalledLayout(bin));
    const std::string library = (std::filesystem::path(bin) / InstalledLibraryFolderFromBin()).lexically_normal();
    EXPECT_EQ(library.rfind(dir_.File("usr/lib"), 0), 0u) << library;
    EXPECT_EQ(PrivateLibraryFolder(bin), library);
    EXPECT_EQ(PrivateLibraryFolder(bin + "/"), library);
    // bin/ is writable here, as /usr/bin is for root: the profile still goes to the user's folder.
    EXPECT_EQ(ChooseProfilePath(bin + "/klova"), dir_.File("config/klova.ini"));
}

TEST_F(InstallLayout, NoFolderIsNoInstalledLayout)
{
    EXPECT_FALSE(IsInstalledLayout(""));
    EXPECT_EQ(PrivateLibraryFolder(""), "");
}

}  // namespace
}  // namespace klova
