// The parts of the main window on their own: the preview, the About box, the help
// window and the file dialogs.
#include "gui/about_dialog.h"
#include "gui/dialog_units.h"
#include "gui/file_browser.h"
#include "gui/help_window.h"
#include "gui/preview_widget.h"
#include "resources/string_table.h"
#include "tests/gui/qt_test_main.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>

#include <vector>

namespace klova {

// Receives the addresses the desktop would open in a browser.
class UrlCatcher : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls << url; }
};

class WindowPartsTest : public QObject {
    Q_OBJECT

private:
    static constexpr int kWidth = 8;
    static constexpr int kHeight = 6;
    static constexpr int kStride = 24;  // 8 x 3 bytes, already a multiple of 4

    // A bottom-up DIB: the top picture row blue, every other row green.
    static std::vector<uint8_t> Frame()
    {
        std::vector<uint8_t> frame(kStride * kHeight);
        for (int row = 0; row < kHeight; ++row)
            for (int x = 0; x < kWidth; ++x) {
                uint8_t* pixel = &frame[row * kStride + x * 3];
                const bool top = row == kHeight - 1;
                pixel[0] = top ? 255 : 0;  // B
                pixel[1] = top ? 0 : 255;  // G
                pixel[2] = 0;              // R
            }
        return frame;
    }

private slots:
    void previewShowsTheFrameUprightAndLeavesItUnchangedWithoutAStatusLine()
    {
        PreviewWidget preview;
        preview.resize(100, 100);
        preview.Prepare(kWidth, kHeight, 320, 240);
        std::vector<uint8_t> frame = Frame();
        const std::vector<uint8_t> original = frame;
        preview.ShowFrame(frame.data(), QString(), QFont());
        QVERIFY(preview.showsFrame());
        QCOMPARE(preview.frameImage().pixelColor(0, 0), QColor(0, 0, 255));
        QCOMPARE(preview.frameImage().pixelColor(0, kHeight - 1), QColor(0, 255, 0));
        QVERIFY(frame == original);
        preview.Erase();
        QVERIFY(!preview.showsFrame());
    }

    void previewWritesTheStatusLineIntoTheCallersFrameAtTheTopLeft()
    {
        PreviewWidget preview;
        preview.Prepare(64, 32, 64, 32);
        std::vector<uint8_t> frame(64 * 3 * 32, 0);  // black, bottom-up
        preview.ShowFrame(frame.data(), QStringLiteral("1/0: 10 20 30 40"), QFont());
        // Black text on white: the first picture row (the buffer's last) turns white.
        const uint8_t* topRow = &frame[31 * 64 * 3];
        QCOMPARE(int(topRow[0]), 255);
        // Far below the line the frame is untouched.
        QCOMPARE(int(frame[0]), 0);
    }

    void previewStretchesIntoTheRectangleOfTheSourceAspect()
    {
        PreviewWidget preview;
        preview.setFrameStyle(QFrame::NoFrame);
        preview.resize(200, 100);
        // Output frames 8 x 6 from a 4:3 source: drawn 133 wide, centred.
        preview.Prepare(kWidth, kHeight, 640, 480);
        QCOMPARE(preview.previewRect(), (PreviewRect{33, 0, 166, 100}));
        std::vector<uint8_t> frame = Frame();
        preview.ShowFrame(frame.data(), QString(), QFont());
        const QImage shown = preview.grab().toImage();
        QCOMPARE(shown.pixelColor(100, 2), QColor(0, 0, 255));   // the top picture row, stretched
        QCOMPARE(shown.pixelColor(100, 60), QColor(0, 255, 0));
        QVERIFY(shown.pixelColor(10, 60) != QColor(0, 255, 0));  // a bar beside the picture
        // Without smoothing, neighbouring stretched rows keep their pure colours.
        QCOMPARE(shown.pixelColor(100, 17), QColor(0, 255, 0));
        preview.Release();
        QVERIFY(!preview.showsFrame());
        QVERIFY(preview.frameImage().isNull());
    }

    void aboutBoxShowsItsTextsAndOpensTheWebPageWithoutClosing()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
        AboutDialog about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About KLOVA Video Converter"));
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains(QStringLiteral("KLOVA Video Converter\nversion 1.0")));
        QVERIFY(texts.join(' ').contains(QStringLiteral("splits video by episodes")));
        QVERIFY(texts.join(' ').contains(QStringLiteral("Montra 3.0")));

        about.show();
        auto* ok = about.findChild<QPushButton*>(QStringLiteral("1"));
        auto* visit = about.findChild<QPushButton*>(QStringLiteral("1098"));
        QVERIFY(ok && visit);
        QCOMPARE(visit->text(), QStringLiteral("Visit our web site"));
        QVERIFY(ok->isDefault());
        QTest::mouseClick(visit, Qt::LeftButton);
        QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QString::fromStdString(LoadStringResource(IDS_WEB_ADDRESS)))});
        QVERIFY(about.isVisible());
        QTest::keyClick(&about, Qt::Key_Return);
        QVERIFY(!about.isVisible());
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }

    void helpOpensAtTheTopicOfTheDialogItIsAskedFrom()
    {
        HelpWindow help;
        QDialog options;
        auto* helpButton = new QPushButton(QStringLiteral("Help"), &options);
        helpButton->setObjectName(QStringLiteral("57670"));
        InstallHelp(options, help, HelpTopic::kAudioRendering);
        options.show();
        QTest::mouseClick(helpButton, Qt::LeftButton);
        QVERIFY(help.isVisible());
        QCOMPARE(help.source().fragment(), QStringLiteral("audio-rendering"));

        // Every topic, and every control of the main window and of the option dialogs,
        // has its place in the page.
        QFile file(QStringLiteral(":/help/klova_help.html"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString page = QString::fromUtf8(file.readAll());
        QVERIFY(help.findChild<QTextBrowser*>()->toPlainText().contains(QStringLiteral("Clip splitting modes")));
        for (const char* words :
             {"Input file", "Output file", "Output file type", "Keep input file parameters", "Clip splitting mode",
              "Video compressor to write AVI file", "Audio compressor to write AVI file",
              "Windows Media profile to write WMV file", "Show preview", "Start", "Stop", "Exit", "Frame rate (fps)",
              "Frame width (pixels)", "Frame height (pixels)", "Keep input file aspect ratio",
              "Keep input file audio parameters", "Set custom parameters", "Bits per channel", "Frequency",
              "Compression Quality", "Key Frame Every", "Data Rate", "Configure...", "About...",
              "Split video to clips sequence", "Make Montra 3.0 project"})
            QVERIFY2(page.contains(QString::fromLatin1(words)), words);
        for (const char* topic : {HelpTopic::kMainWindow, HelpTopic::kVideoRendering, HelpTopic::kAudioRendering,
                                  HelpTopic::kVideoCompression, HelpTopic::kAudioCompression})
            QVERIFY2(page.contains(QStringLiteral("name=\"%1\"").arg(QString::fromLatin1(topic))), topic);
        help.close();
    }

    void fileDialogsTakeTheFiltersThePreselectedOneAndTheStartingPlace()
    {
        const FileDialogRequest request = MakeFileDialogRequest(
            FileDialogMode::Save, "wmv", LoadStringResource(IDS_OUTPUT_FILTER), "/tmp/a.wmv", "/home/u/Documents");
        QCOMPARE(NameFilters(request), (QStringList{QStringLiteral("AVI video files (*.avi)"),
                                                    QStringLiteral("Windows Media video files (*.wmv)"),
                                                    QStringLiteral("All files (*)")}));
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        ConfigureFileDialog(dialog, request);
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog.selectedNameFilter(), QStringLiteral("Windows Media video files (*.wmv)"));
        QCOMPARE(dialog.defaultSuffix(), QStringLiteral("wmv"));
        QCOMPARE(dialog.directory().absolutePath(), QStringLiteral("/tmp"));

        const FileDialogRequest input = MakeFileDialogRequest(
            FileDialogMode::Open, "avi", LoadStringResource(IDS_INPUT_FILTER), "", "/tmp");
        ConfigureFileDialog(dialog, input);
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
        QCOMPARE(dialog.selectedNameFilter(),
                 QStringLiteral("Video files (*.avi *.mpg *.mpeg *.dat *.wmv)"));
    }

    void dialogUnitsFollowTheFont()
    {
        QFont small;
        small.setPixelSize(10);
        QFont large;
        large.setPixelSize(20);
        const QSize a = DialogUnitsToPixels(small, 229, 349);
        const QSize b = DialogUnitsToPixels(large, 229, 349);
        QVERIFY(a.height() > a.width());  // taller than wide, as the template
        QVERIFY(b.width() > a.width() * 3 / 2 && b.height() > a.height() * 3 / 2);
    }
};

}  // namespace klova

KLOVA_QTEST_MAIN(klova::WindowPartsTest)
#include "window_parts_test.moc"
