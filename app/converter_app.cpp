#include "app/converter_app.h"

#include "app/termination_watcher.h"
#include "dialogs/qt_option_dialogs.h"
#include "gui/app_icon.h"
#include "gui/file_browser.h"
#include "gui/help_window.h"
#include "gui/main_dialog.h"
#include "media_out/win_media_library.h"
#include "platform/app_paths.h"

#include <gst/gst.h>

#include <QApplication>

namespace klova {

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

    QApplication application(argc_, argv_);
    {
        // Missing, the library only disables WMV output.
        const std::string folder = ExecutableFolder();
        const WinMediaLibrary winMediaLibrary(folder);
        QtFileBrowser fileBrowser;
        HelpWindow helpWindow;
        QtOptionDialogs optionDialogs(helpWindow, encoderConfigs_);
        MainDialog dialog(MainDialogServices{profilePath_, encoderConfigs_, winMediaLibrary, folder, fileBrowser,
                                             optionDialogs, helpWindow});
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
