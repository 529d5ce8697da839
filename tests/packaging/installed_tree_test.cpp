// The installed tree (cmake --install into a temporary prefix): every file where a
// desktop expects it, and the installed programs working from there, the library
// found relative to bin/ and the window's profile in the user's folder.
#include "frontend/settings_store.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace klova {
namespace {

constexpr const char* kAppId = "org.example.klova_video.Converter";

bool HasProgram(const std::string& name) { return test::RunCommand("command -v " + name).exitStatus == 0; }

class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = std::make_unique<test::TempDir>();
        install_ = test::RunCommand(test::ShellQuote(KLOVA_CMAKE) + " --install " + test::ShellQuote(KLOVA_BUILD_DIR) +
                                    " --prefix " + test::ShellQuote(root_->File("usr")));
    }
    static void TearDownTestSuite() { root_.reset(); }

    void SetUp() override { ASSERT_EQ(install_.exitStatus, 0) << install_.out << install_.err; }

    static std::string Installed(const std::string& path) { return root_->File("usr/" + path); }

    static std::unique_ptr<test::TempDir> root_;
    static test::CommandResult install_;
};

std::unique_ptr<test::TempDir> InstalledTree::root_;
test::CommandResult InstalledTree::install_;

// Width and height from a PNG's header.
std::pair<int, int> PngSize(const std::string& file)
{
    const std::string bytes = test::ReadFile(file);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return {0, 0};
    auto word = [&](size_t at) {
        return static_cast<int>(static_cast<unsigned char>(bytes[at]) << 24 | static_cast<unsigned char>(bytes[at + 1]) << 16 |
                                static_cast<unsigned char>(bytes[at + 2]) << 8 | static_cast<unsigned char>(bytes[at + 3]));
    };
    return {word(16), word(20)};
}

int Mode(const std::string& file)
{
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

TEST_F(InstalledTree, PutsEveryFileWhereTheDesktopLooksForIt)
{
    EXPECT_EQ(Mode(Installed("bin/klova")), 0755);
    EXPECT_EQ(Mode(Installed("bin/klova-convert")), 0755);
    EXPECT_EQ(Mode(Installed(KLOVA_PRIVATE_LIBDIR "/libasfout.so")), 0644);
    EXPECT_FALSE(std::filesystem::exists(Installed("bin/libasfout.so")));
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const std::string icon =
            Installed("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps/klova.png");
        EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
    }
    for (const std::string& file :
         {std::string("share/applications/") + kAppId + ".desktop", std::string("share/metainfo/") + kAppId + ".metainfo.xml",
          std::string("share/man/man1/klova.1.gz"), std::string("share/man/man1/klova-convert.1.gz"),
          std::string("share/bash-completion/completions/klova-convert"), std::string("share/doc/klova/copyright"),
          std::string("share/doc/klova/changelog.Debian.gz"), std::string("share/lintian/overrides/klova")})
        EXPECT_EQ(Mode(Installed(file)), 0644) << file;

    const std::string desktop = test::ReadFile(Installed(std::string("share/applications/") + kAppId + ".desktop"));
    EXPECT_NE(desktop.find("\nExec=klova %f\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nIcon=klova\n"), std::string::npos);
    EXPECT_NE(desktop.find("\nCategories=AudioVideo;Video;AudioVideoEditing;\n"), std::string::npos);
    EXPECT_NE(desktop.find("video/x-msvideo;"), std::string::npos);
}

TEST_F(InstalledTree, DesktopEntryAndMetainfoValidate)
{
    if (!HasProgram("desktop-file-validate") || !HasProgram("appstreamcli"))
        GTEST_SKIP() << "desktop-file-validate or appstreamcli is not installed (scripts/package.sh runs both)";
    test::CommandResult result = test::RunCommand(
        "desktop-file-validate " + test::ShellQuote(Installed(std::string("share/applications/") + kAppId + ".desktop")));
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(result.out, "");
    result = test::RunCommand("appstreamcli validate --no-net " +
                              test::ShellQuote(Installed(std::string("share/metainfo/") + kAppId + ".metainfo.xml")));
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
}

TEST(Metainfo, ScreenshotsAreThoseOfTheDocsFolder)
{
    const std::filesystem::path folder = std::filesystem::path(KLOVA_SOURCE_DIR) / "docs/screenshots";
    if (!std::filesystem::is_directory(folder))
        GTEST_SKIP() << "no docs/screenshots yet";
    const std::string metainfo = test::ReadFile(std::string(KLOVA_SOURCE_DIR) + "/packaging/" + kAppId + ".metainfo.xml");
    const std::string prefix = "/docs/screenshots/";
    int screenshots = 0;
    for (size_t at = metainfo.find(prefix); at != std::string::npos; at = metainfo.find(prefix, at + 1), ++screenshots) {
        const size_t start = at + prefix.size();
        const std::string name = metainfo.substr(start, metainfo.find('<', start) - start);
        EXPECT_TRUE(std::filesystem::exists(folder / name)) << name;
    }
    EXPECT_GT(screenshots, 0);
}

TEST_F(InstalledTree, ManualPagesDescribeEveryKeyAndOption)
{
    const std::string convertPage = test::RunCommand("gzip -dc " + test::ShellQuote(Installed("share/man/man1/klova-convert.1.gz"))).out;
    const std::string windowPage = test::RunCommand("gzip -dc " + test::ShellQuote(Installed("share/man/man1/klova.1.gz"))).out;
    for (const SettingKey& key : SettingKeys()) {
        EXPECT_NE(convertPage.find(std::string(key.name) + "="), std::string::npos) << key.name;
        EXPECT_NE(windowPage.find(key.name), std::string::npos) << key.name;
    }
    for (const char* section : {".SH SYNOPSIS", ".SH OPTIONS", ".SH KEYS", ".SH EXIT STATUS", ".SH EXAMPLES", ".SH FILES"}) {
        EXPECT_NE(convertPage.find(section), std::string::npos) << section;
        EXPECT_NE(windowPage.find(section), std::string::npos) << section;
    }
    for (const char* option : {"list\\-encoders", "list\\-profiles", "\\-\\-version", "\\-\\-profile", "\\-\\-help"})
        EXPECT_NE(convertPage.find(option), std::string::npos) << option;
    EXPECT_NE(convertPage.find(KLOVA_PRIVATE_LIBDIR "/libasfout.so"), std::string::npos) << "FILES names the library";

    if (!HasProgram("man"))
        GTEST_SKIP() << "man is not installed";
    for (const char* page : {"share/man/man1/klova.1.gz", "share/man/man1/klova-convert.1.gz"}) {
        const test::CommandResult result =
            test::RunCommand("MANWIDTH=80 man --warnings -l " + test::ShellQuote(Installed(page)) + " 2>&1 >/dev/null");
        EXPECT_EQ(result.exitStatus, 0) << page;
        EXPECT_EQ(result.out, "") << page;  // groff's warnings
    }
}

TEST_F(InstalledTree, InstalledConverterFindsItsLibraryAndConverts)
{
    const std::string program = test::ShellQuote(Installed("bin/klova-convert"));
    const test::CommandResult listing = test::RunCommand(program + " --list-profiles");
    ASSERT_EQ(listing.exitStatus, 0) << listing.err;
    EXPECT_EQ(listing.out, test::RunCommand(test::ShellQuote(test::BuildPath("klova-convert")) + " --list-profiles").out);

    test::TempDir dir;
    const std::string input = dir.File("in.avi");
    test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=10:duration=1 -c:v mpeg4 " +
                 test::ShellQuote(input));
    const std::string output = dir.File("out.wmv");
    const test::CommandResult result =
        test::RunCommand(program + " " + test::ShellQuote("SrcFileName=" + input) + " " +
                         test::ShellQuote("DstFileName=" + output) + " DstFileType=1 'MediaProfile=Broadband (384 Kbps)'");
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(test::ProbeStream(output, "video", true).at("nb_read_frames"), "10");
}

TEST_F(InstalledTree, InstalledWindowKeepsItsProfileInTheUsersFolderAndOpensTheNamedFile)
{
    test::TempDir dir;
    const std::string input = dir.File("clip.mpg");
    // The program holds SIGTERM from its first moment; the pause lets it get that far.
    const test::CommandResult result = test::RunCommand(
        "cd " + test::ShellQuote(dir.path()) + " || exit 99; XDG_CONFIG_HOME=" + test::ShellQuote(dir.File("config")) +
        " QT_QPA_PLATFORM=offscreen " + test::ShellQuote(Installed("bin/klova")) +
        " clip.mpg & pid=$!; sleep 2; kill -TERM $pid; wait $pid");
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_FALSE(std::filesystem::exists(Installed("bin/klova.ini")));
    // Written by the window as it closed: the named file and every other key.
    const std::string profile = test::ReadFile(dir.File("config/klova.ini"));
    EXPECT_NE(profile.find("SrcFileName=" + input + "\r\n"), std::string::npos) << profile;
    for (const SettingKey& key : SettingKeys())
        EXPECT_NE(profile.find(std::string("\n") + key.name + "="), std::string::npos) << key.name;
}

}  // namespace
}  // namespace klova
