// The help window: the bundled HTML help, opened at the topic of the window it is asked
// for. One window for the whole program, apart from the dialogs, so it stays usable
// beside them; F1 and every Help button (57670) lead here.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace klova {

// The property of a window naming its help topic (an anchor of the help page).
inline constexpr const char* kHelpTopicProperty = "klovaHelpTopic";

namespace HelpTopic {
inline constexpr const char* kMainWindow = "main-window";
inline constexpr const char* kVideoRendering = "video-rendering";
inline constexpr const char* kAudioRendering = "audio-rendering";
inline constexpr const char* kVideoCompression = "video-compression";
inline constexpr const char* kAudioCompression = "audio-compression";
inline constexpr const char* kEncoderSettings = "encoder-settings";
}  // namespace HelpTopic

class HelpWindow : public QDialog {
    Q_OBJECT

public:
    HelpWindow();

    // Shows the help at the topic of window (its kHelpTopicProperty; the main window's
    // topic when it has none) and brings the help window to the front.
    void ShowFor(const QWidget* window);
    void ShowTopic(const QString& topic);

    // The page and anchor shown, for inspection.
    QUrl source() const;

private:
    QTextBrowser* browser_ = nullptr;
};

// Gives a dialog its help: F1 and its Help button (57670, if it has one) show the help
// window at topic, which is also set as the dialog's kHelpTopicProperty.
void InstallHelp(QDialog& dialog, HelpWindow& help, const char* topic);

}  // namespace klova
