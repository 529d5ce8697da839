// The application object: prepares the process (GStreamer first, the profile path
// second), loads the Windows Media writer library once, runs the main window, and shuts
// down in the reverse order.
#pragma once

#include "codecs/encoder_config_store.h"

#include <string>

namespace klova {

class ConverterApp {
public:
    ConverterApp(int& argc, char** argv);
    ~ConverterApp();
    ConverterApp(const ConverterApp&) = delete;
    ConverterApp& operator=(const ConverterApp&) = delete;

    // Start-up, the main window's modal run, and exit; returns the process exit code.
    int Run();

    const std::string& profilePath() const { return profilePath_; }

private:
    void ExitInstance();

    int& argc_;
    char** argv_;
    bool gstInitialised_ = false;
    std::string profilePath_;
    // Encoder settings made through an encoder's configuration page, for every later
    // use of that encoder in the process. Released before GStreamer shuts down.
    EncoderConfigStore encoderConfigs_;
};

}  // namespace klova
