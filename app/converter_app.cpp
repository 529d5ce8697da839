#include "app/converter_app.h"

#include "app/main_dialog.h"
#include "app/termination_watcher.h"
#include "platform/app_paths.h"
#include "platform/install_layout.h"

#include <gst/gst.h>

#include <QApplication>
#include <QIcon>

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
