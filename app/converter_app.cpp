#include "app/converter_app.h"

#include "app/termination_watcher.h"
#include "dialogs/qt_option_dialogs.h"
#include "frontend/settings_store.h"
#include "gui/app_icon.h"
#include "gui/file_browser.h"
#include "gui/help_window.h"
#include "gui/main_dialog.h"
#include "media_out/win_media_library.h"
#include "platform/app_paths.h"
#include "platform/gst_ptr.h"
#include "platform/ini_file.h"
#include "platform/install_layout.h"

#include <gst/gst.h>

#include <QApplication>

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
    const GstPtr<GError> initError(error);
    if (!gstInitialised_)
        return 0;

    profilePath_ = ChooseProfilePath(ExecutablePath());

    QApplication application(argc_, argv_);  // takes Qt's own options out of argv
    TakeInputFileArgument(argc_, argv_, profilePath_);
    {
        // The one load of the Windows Media writer library in the process: the window's
        // profile list and every conversion share it. Missing, it only disables WMV output.
        const WinMediaLibrary winMediaLibrary(PrivateLibraryFolder(ExecutableFolder()));
        QtFileBrowser fileBrowser;
        HelpWindow helpWindow;
        QtOptionDialogs optionDialogs(helpWindow, encoderConfigs_);
        MainDialog dialog(
            MainDialogServices{profilePath_, encoderConfigs_, winMediaLibrary, fileBrowser, optionDialogs, helpWindow});
        QApplication::setWindowIcon(ApplicationIcon());
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
