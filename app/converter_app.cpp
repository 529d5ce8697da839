#include "app/converter_app.h"

#include "app/main_dialog.h"
#include "app/settings_store.h"
#include "app/termination_watcher.h"
#include "platform/app_paths.h"
#include "platform/ini_file.h"
#include "platform/install_layout.h"

#include <gst/gst.h>

#include <QApplication>
#include <QIcon>

#include <filesystem>

namespace klova {
namespace {

// A file named on the command line (as a file manager's "Open with" passes it) becomes
// the input file: it is put into the profile the window is about to load.
void TakeInputFileArgument(int argc, char** argv, const std::string& profilePath)
{
    if (argc < 2 || argv[1][0] == '\0' || argv[1][0] == '-')
        return;
    std::error_code failed;
    const std::filesystem::path file = std::filesystem::absolute(argv[1], failed);
    if (failed)
        return;
    IniFile profile(profilePath);
    profile.Load();
    profile.SetString(kOptionsSection, "SrcFileName", file.lexically_normal().string());
    profile.Save();
}

}  // namespace

ConverterApp::ConverterApp(int& argc, char** argv) : argc_(argc), argv_(argv) {}

ConverterApp::~ConverterApp() { ExitInstance(); }

int ConverterApp::Run()
{
    TerminationWatcher::HoldTerminationSignals();
    GError* error = nullptr;
    gstInitialised_ = gst_init_check(&argc_, &argv_, &error);
    if (!gstInitialised_) {
        if (error)
            g_error_free(error);
        return 0;
    }

    profilePath_ = ChooseProfilePath(ExecutablePath());

    QApplication application(argc_, argv_);  // takes Qt's own options out of argv
    TakeInputFileArgument(argc_, argv_, profilePath_);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/128.png")));
    {
        MainDialog dialog(profilePath_, encoderConfigs_, PrivateLibraryFolder(ExecutableFolder()));
        TerminationWatcher watcher([&dialog] { dialog.CloseWithoutQuestion(); });
        dialog.exec();
    }
    ExitInstance();
    return 0;
}

void ConverterApp::ExitInstance()
{
    encoderConfigs_.Clear();
    if (gstInitialised_) {
        gstInitialised_ = false;
        gst_deinit();
    }
}

}  // namespace klova
