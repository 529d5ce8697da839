#include "dialogs/qt_option_dialogs.h"

#include "dialogs/audio_compression_dialog.h"
#include "dialogs/audio_rendering_dialog.h"
#include "dialogs/video_compression_dialog.h"
#include "dialogs/video_rendering_dialog.h"

namespace klova {

QtOptionDialogs::QtOptionDialogs(HelpWindow& help, EncoderConfigStore& encoderConfigs)
    : help_(help), encoderConfigs_(encoderConfigs)
{
}

bool QtOptionDialogs::RunVideoRendering(QWidget* parent, VideoRenderingValues& values)
{
    VideoRenderingDialog dialog(values, help_, parent);
    dialog.RunModal();
    // OK and Cancel alike: the radio choices and the coupling have changed the values.
    values = dialog.values();
    return true;
}

bool QtOptionDialogs::RunAudioRendering(QWidget* parent, AudioRenderingValues& values)
{
    AudioRenderingDialog dialog(values, help_, parent);
    if (dialog.RunModal() != QDialog::Accepted)
        return false;
    values = dialog.values();
    return true;
}

void QtOptionDialogs::RunVideoCompression(QWidget* parent, AVICOMPRESSOPTIONS& videoFormat, std::string& videoCodec)
{
    VideoCompressionDialog dialog(videoFormat, videoCodec, encoderConfigs_, help_, parent);
    dialog.RunModal();
    if (dialog.failure())
        std::rethrow_exception(dialog.failure());
}

void QtOptionDialogs::RunAudioCompression(QWidget* parent, WAVEFORMATEX& audioFormat, std::string& audioCodec)
{
    AudioCompressionDialog dialog(audioFormat, audioCodec, help_, parent);
    dialog.RunModal();
}

}  // namespace klova
