// The main window driven as a person would: typing into the combos, choosing entries
// from their lists, clicking and pressing keys. File dialogs, option dialogs, the
// question box and the About box are answered by script. Offscreen.
#include "gui/main_dialog.h"

#include "codecs/encoder_config_store.h"
#include "dialogs/option_dialogs.h"
#include "gui/control_ids.h"
#include "gui/file_browser.h"
#include "gui/help_window.h"
#include "gui/history_combo_box.h"
#include "gui/preview_widget.h"
#include "media_out/win_media_library.h"
#include "tests/gui/qt_test_main.h"
#include "tests/support/test_support.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <deque>
#include <fstream>
#include <set>
#include <sstream>

namespace klova {

// The question box and the About box would block a test: they are counted and
// answered by script.
class TestDialog : public MainDialog {
public:
    using MainDialog::MainDialog;
    bool answer = true;
    int questions = 0;
    int aboutBoxes = 0;

protected:
    bool ConfirmCancel() override
    {
        if (!converting())
            return true;
        ++questions;
        return answer;
    }
    void ShowAboutBox() override { ++aboutBoxes; }
};

// Answers the file dialogs in turn; an empty answer is a cancel.
class ScriptedBrowser : public FileBrowser {
public:
    std::deque<std::string> answers;
    std::vector<FileDialogRequest> requests;

    std::string Browse(QWidget*, const FileDialogRequest& request) override
    {
        requests.push_back(request);
        if (answers.empty())
            return {};
        const std::string answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Stands in for the option dialogs: records what they were given and hands back
// scripted values.
class ScriptedOptionDialogs : public OptionDialogs {
public:
    int videoRendering = 0;
    VideoRenderingValues videoGiven;
    int audioRendering = 0;
    int videoCompression = 0;
    std::string videoCodecChosen;

    bool RunVideoRendering(QWidget*, VideoRenderingValues& values) override
    {
        ++videoRendering;
        videoGiven = values;
        values.customFrameSize = true;
        values.width = 64;
        return true;
    }
    bool RunAudioRendering(QWidget*, AudioRenderingValues&) override
    {
        ++audioRendering;
        return false;
    }
    void RunVideoCompression(QWidget*, AVICOMPRESSOPTIONS&, std::string& videoCodec) override
    {
        ++videoCompression;
        videoCodec = videoCodecChosen;
    }
    void RunAudioCompression(QWidget*, WAVEFORMATEX&, std::string&) override {}
};

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;
    EncoderConfigStore configs_;
    WinMediaLibrary library_{test::BuildPath("")};
    ScriptedBrowser browser_;
    ScriptedOptionDialogs dialogs_;
    HelpWindow help_;
    std::string clip_;      // 2 s, 160 x 120, 25 fps, with sound
    std::string longClip_;  // 8 s

    std::string Profile() const { return dir_.File("klova.ini"); }

    std::unique_ptr<TestDialog> Open(const std::string& profile)
    {
        browser_ = ScriptedBrowser();
        auto dialog = std::make_unique<TestDialog>(
            MainDialogServices{profile, configs_, library_, browser_, dialogs_, help_});
        dialog->show();
        return dialog;
    }
    std::unique_ptr<TestDialog> Open() { return Open(Profile()); }

    template <typename Widget = QWidget>
    static Widget* Control(const QDialog& dialog, int id)
    {
        auto* widget = dialog.findChild<Widget*>(ControlName(id));
        if (!widget)
            qFatal("no control %d", id);
        return widget;
    }
    static QComboBox* Combo(const QDialog& dialog, int id) { return Control<QComboBox>(dialog, id); }

    // Opens the list and clicks the entry.
    static void Choose(QComboBox* combo, int index)
    {
        QVERIFY(index >= 0 && index < combo->count());
        combo->showPopup();
        QAbstractItemView* view = combo->view();
        QTRY_VERIFY(view->isVisible());
        const QModelIndex item = view->model()->index(index, 0);
        view->scrollTo(item);
        const QRect entry = view->visualRect(item);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
        QTRY_VERIFY(!view->isVisible());
    }
    static void Choose(QComboBox* combo, const QString& text)
    {
        const int index = combo->findText(text, Qt::MatchFixedString);
        QVERIFY2(index >= 0, qPrintable(text));
        Choose(combo, index);
    }

    // Replaces the edit text by typing.
    static void Type(QComboBox* combo, const QString& text)
    {
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(combo->lineEdit(), text);
    }

    static void Click(const QDialog& dialog, int id) { QTest::mouseClick(Control(dialog, id), Qt::LeftButton); }

    static void WaitUntilIdle(TestDialog& dialog)
    {
        for (int i = 0; i < 60000 && dialog.converting(); ++i)
            QTest::qWait(1);
    }

    static QStringList Entries(const QComboBox* combo)
    {
        QStringList entries;
        for (int i = 0; i < combo->count(); ++i)
            entries << combo->itemText(i);
        return entries;
    }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::vector<std::string> OptionKeys(const std::string& text)
    {
        std::vector<std::string> keys;
        std::istringstream lines(text.substr(text.find("[Options]")));
        for (std::string line; std::getline(lines, line);)
            if (line.find('=') != std::string::npos)
                keys.push_back(line.substr(0, line.find('=')));
        return keys;
    }

    // The top-left 4 x 4 pixels of one frame of a file, as RGB bytes.
    static std::string TopLeftPixels(const std::string& file, int frame)
    {
        const test::CommandResult result = test::RunCommand(
            "ffmpeg -v error -i " + test::ShellQuote(file) + " -vf 'select=eq(n\\," + std::to_string(frame) +
            "),crop=4:4:0:0' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
        return result.out;
    }
    static bool HasWhite(const std::string& pixels)
    {
        for (size_t i = 0; i + 2 < pixels.size(); i += 3)
            if (uint8_t(pixels[i]) > 200 && uint8_t(pixels[i + 1]) > 200 && uint8_t(pixels[i + 2]) > 200)
                return true;
        return false;
    }

private slots:
    void initTestCase()
    {
        clip_ = dir_.File("clip.avi");
        longClip_ = dir_.File("long.avi");
        test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=duration=2 -c:v mjpeg "
                     "-c:a pcm_s16le " + test::ShellQuote(clip_));
        test::Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=8 -f lavfi -i sine=duration=8 -c:v mjpeg "
                     "-c:a pcm_s16le " + test::ShellQuote(longClip_));
        QVERIFY(test::FileSize(clip_) > 0 && test::FileSize(longClip_) > 0);
    }

    void init() { std::remove(Profile().c_str()); }

    void showsEveryControlByItsIdWithItsText()
    {
        const auto dialog = Open();
        QCOMPARE(dialog->windowTitle(), QStringLiteral("KLOVA Video Converter"));
        const std::pair<int, const char*> texts[] = {
            {ControlId::kInputFileLabel, "&Input file:"},
            {ControlId::kOutputFileLabel, "&Output file:"},
            {ControlId::kOutputTypeLabel, "Output file &type:"},
            {ControlId::kVideoCodecLabel, "Vi&deo compressor to write AVI file:"},
            {ControlId::kAudioCodecLabel, "A&udio compressor to write AVI file:"},
            {ControlId::kMediaProfileLabel, "Windows &Media profile to write WMV file:"},
        };
        for (const auto& [id, text] : texts)
            QCOMPARE(Control<QLabel>(*dialog, id)->text(), QString::fromUtf8(text));
        QCOMPARE(Control<QCheckBox>(*dialog, ControlId::kKeepSettings)->text(),
                 QStringLiteral("&Keep input file parameters"));
        QCOMPARE(Control<QCheckBox>(*dialog, ControlId::kShowPreview)->text(), QStringLiteral("Show &preview"));
        QCOMPARE(Control<QPushButton>(*dialog, ControlId::kVideoOptions)->text(), QStringLiteral("&Video..."));
        QCOMPARE(Control<QPushButton>(*dialog, ControlId::kAudioOptions)->text(), QStringLiteral("&Audio..."));
        QCOMPARE(Control<QPushButton>(*dialog, ControlId::kExit)->text(), QStringLiteral("E&xit"));
        QCOMPARE(Control<QPushButton>(*dialog, ControlId::kHelp)->text(), QStringLiteral("Help"));
        QVERIFY(Control<QPushButton>(*dialog, ControlId::kStart)->isDefault());
        QVERIFY(Control(*dialog, ControlId::kPreview) && Control(*dialog, ControlId::kStatusBox));
        QCOMPARE(Entries(Combo(*dialog, ControlId::kOutputType)),
                 (QStringList{QStringLiteral("Audio video interleaved (AVI)"), QStringLiteral("Windows Media video (WMV)")}));
        QCOMPARE(Entries(Combo(*dialog, ControlId::kSplitMode)),
                 (QStringList{QStringLiteral("Don't split video to clip sequence"),
                              QStringLiteral("Split video to clips sequence"), QStringLiteral("Make Montra 3.0 project ()"),
                              QStringLiteral("        Browse for Montra 3.0 project...")}));
        // The lists end in their command entries; the compressors are sorted.
        const QStringList videoCodecs = Entries(Combo(*dialog, ControlId::kVideoCodec));
        QCOMPARE(videoCodecs.back(), QStringLiteral("Advanced..."));
        QVERIFY(videoCodecs.contains(QStringLiteral("<Uncompressed>")));
        QVERIFY(std::is_sorted(videoCodecs.begin(), videoCodecs.end() - 1,
                               [](const QString& a, const QString& b) { return a.toUtf8() < b.toUtf8(); }));
        QCOMPARE(Entries(Combo(*dialog, ControlId::kInputFile)), QStringList{QStringLiteral("Browse for input file...")});
        QCOMPARE(Entries(Combo(*dialog, ControlId::kMediaProfile)).back(), QStringLiteral("Browse for more profiles..."));
        QVERIFY(Entries(Combo(*dialog, ControlId::kMediaProfile)).size() > 1);  // the library's built-in profiles

        // Fixed size, taller than wide, with a minimise box; the About box opens by itself once.
        QCOMPARE(dialog->minimumSize(), dialog->maximumSize());
        QVERIFY(dialog->height() > dialog->width());
        QVERIFY(dialog->windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(dialog->aboutBoxes, 0);
        QTest::qWait(20);
        QCOMPARE(dialog->aboutBoxes, 1);
        QTest::qWait(20);
        QCOMPARE(dialog->aboutBoxes, 1);
    }

    void escapeWhileIdleRunsTheStopSequenceWithoutAQuestionAndKeepsTheWindow()
    {
        const auto dialog = Open();
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(dir_.File("missing.avi")));
        Click(*dialog, ControlId::kStart);
        QCOMPARE(dialog->statusText(), QStringLiteral("Cannot open input file."));
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->questions, 0);
        QCOMPARE(dialog->statusText(), QString());
        QVERIFY(Control(*dialog, ControlId::kStart)->isEnabled());
        QVERIFY(!Control(*dialog, ControlId::kStop)->isEnabled());
    }

    void aFailedStartShowsItsMessageUntilTheNextCommand()
    {
        const auto dialog = Open();
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(dir_.File("missing.avi")));
        Type(Combo(*dialog, ControlId::kOutputFile), QString::fromStdString(dir_.File("never.avi")));
        Click(*dialog, ControlId::kStart);
        QCOMPARE(dialog->statusText(), QStringLiteral("Cannot open input file."));
        QVERIFY(!dialog->converting());
        QVERIFY(dialog->failureShown());
        QVERIFY(Control(*dialog, ControlId::kStart)->isEnabled());
        QVERIFY(!dialog->controls().progress->isVisible());
        // The typed names were taken and stand at the top of their histories.
        QCOMPARE(dialog->settings().SrcFileName, dir_.File("missing.avi"));
        QCOMPARE(Combo(*dialog, ControlId::kInputFile)->itemText(0), QString::fromStdString(dir_.File("missing.avi")));
        QTest::qWait(20);  // idle passes leave it standing
        QCOMPARE(dialog->statusText(), QStringLiteral("Cannot open input file."));
        Click(*dialog, ControlId::kKeepSettings);
        QCOMPARE(dialog->statusText(), QString());
    }

    void wmvEnablesTheProfileControlsAndAviTheCompressorControls()
    {
        const auto dialog = Open();
        const int compressorControls[] = {ControlId::kVideoCodec, ControlId::kVideoCodecLabel, ControlId::kAudioCodec,
                                          ControlId::kAudioCodecLabel};
        const int profileControls[] = {ControlId::kMediaProfile, ControlId::kMediaProfileLabel};
        for (const int type : {1, 0, 1}) {
            Choose(Combo(*dialog, ControlId::kOutputType), type);
            QCOMPARE(dialog->settings().DstFileType, type);
            for (const int id : compressorControls)
                QCOMPARE(Control(*dialog, id)->isEnabled(), type == 0);
            for (const int id : profileControls)
                QCOMPARE(Control(*dialog, id)->isEnabled(), type == 1);
        }
    }

    void keepInputFileParametersDisablesVideoAndAudioOptions()
    {
        const auto dialog = Open();
        auto* video = Control<QPushButton>(*dialog, ControlId::kVideoOptions);
        auto* audio = Control<QPushButton>(*dialog, ControlId::kAudioOptions);
        QVERIFY(Control<QCheckBox>(*dialog, ControlId::kKeepSettings)->isChecked());
        QVERIFY(!video->isEnabled() && !audio->isEnabled());
        QTest::mouseClick(video, Qt::LeftButton);
        QCOMPARE(dialogs_.videoRendering, 0);

        Click(*dialog, ControlId::kKeepSettings);
        QCOMPARE(dialog->settings().KeepSettings, 0);
        QVERIFY(video->isEnabled() && audio->isEnabled());
        // Video... learns the aspect from the input and takes back what the dialog hands back.
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(longClip_));
        QTest::mouseClick(video, Qt::LeftButton);
        QCOMPARE(dialogs_.videoRendering, 1);
        QCOMPARE(dialogs_.videoGiven.aspect, 320.0 / 240.0);
        QCOMPARE(dialog->settings().KeepFrameSize, 0);
        QCOMPARE(dialog->settings().FrameWidth, 64);
        // Audio... ended without OK: nothing changes.
        QTest::mouseClick(audio, Qt::LeftButton);
        QCOMPARE(dialogs_.audioRendering, 1);
        QCOMPARE(dialog->settings().KeepSound, 1);
        // Video... on an input that cannot be opened shows the failure; no dialog.
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(dir_.File("missing.avi")));
        QTest::mouseClick(video, Qt::LeftButton);
        QCOMPARE(dialogs_.videoRendering, 1);
        QCOMPARE(dialog->statusText(), QStringLiteral("Cannot open input file."));

        Click(*dialog, ControlId::kKeepSettings);
        QVERIFY(!video->isEnabled() && !audio->isEnabled());
        dialogs_ = ScriptedOptionDialogs();
    }

    void elevenBrowsedInputsLeaveTheNewestTenAndALetterCaseVariantMovesToTheTop()
    {
        const auto dialog = Open();
        QComboBox* input = Combo(*dialog, ControlId::kInputFile);
        for (int i = 1; i <= 11; ++i) {
            browser_.answers.push_back("/videos/" + std::to_string(i) + ".avi");
            Choose(input, QStringLiteral("Browse for input file..."));
        }
        QCOMPARE(input->count(), 11);
        QCOMPARE(input->itemText(0), QStringLiteral("/videos/11.avi"));
        QCOMPARE(input->itemText(9), QStringLiteral("/videos/2.avi"));
        QCOMPARE(input->currentText(), QStringLiteral("/videos/11.avi"));
        QCOMPARE(dialog->settings().SrcFileName, std::string("/videos/11.avi"));
        // The first browse starts in the documents folder, each later one at the file shown.
        QCOMPARE(browser_.requests.front().mode, FileDialogMode::Open);
        QCOMPARE(browser_.requests.front().initialFile, std::string());
        QCOMPARE(browser_.requests.back().initialFolder, std::string("/videos/"));
        QCOMPARE(browser_.requests.back().initialFile, std::string("10.avi"));

        browser_.answers.push_back("/VIDEOS/5.AVI");
        Choose(input, QStringLiteral("Browse for input file..."));
        QCOMPARE(input->count(), 11);
        QCOMPARE(input->itemText(0), QStringLiteral("/VIDEOS/5.AVI"));
        QVERIFY(input->findText(QStringLiteral("/videos/5.avi"), Qt::MatchCaseSensitive) < 0);

        // Cancelling keeps the input; an ordinary entry is taken as it is.
        Choose(input, QStringLiteral("Browse for input file..."));
        QCOMPARE(input->currentText(), QStringLiteral("/VIDEOS/5.AVI"));
        Choose(input, QStringLiteral("/videos/7.avi"));
        QCOMPARE(dialog->settings().SrcFileName, std::string("/videos/7.avi"));
        QCOMPARE(input->itemText(0), QStringLiteral("/videos/7.avi"));
    }

    void switchingTheOutputTypeReplacesTheExtensionOfTheOutputName()
    {
        const auto dialog = Open();
        QComboBox* output = Combo(*dialog, ControlId::kOutputFile);
        QComboBox* type = Combo(*dialog, ControlId::kOutputType);
        const struct {
            const char* typed;
            int type;
            const char* expected;
        } cases[] = {{"/clips/a.avi", 1, "/clips/a.wmv"}, {"/clips/a", 0, "/clips/a.avi"}, {"", 1, ""},
                     {"/cl.ips/a", 1, "/cl.ips/a.wmv"}};
        for (const auto& c : cases) {
            Type(output, QString::fromUtf8(c.typed));
            Choose(type, 1 - c.type);
            Type(output, QString::fromUtf8(c.typed));
            Choose(type, c.type);
            QCOMPARE(output->currentText(), QString::fromUtf8(c.expected));
            QCOMPARE(dialog->settings().DstFileName, std::string(c.expected));
        }
        QCOMPARE(output->count(), 1);  // the renamed output does not enter the history
    }

    void theOutputDialogPreselectsTheFilterOfTheOutputType()
    {
        const auto dialog = Open();
        QComboBox* output = Combo(*dialog, ControlId::kOutputFile);
        Choose(Combo(*dialog, ControlId::kOutputType), 1);
        browser_.answers.push_back("/clips/b.wmv");
        Choose(output, QStringLiteral("Browse for output file..."));
        QCOMPARE(browser_.requests.back().mode, FileDialogMode::Save);
        QCOMPARE(browser_.requests.back().filterIndex, 2);
        QCOMPARE(browser_.requests.back().defaultExtension, std::string("wmv"));
        QCOMPARE(dialog->settings().DstFileName, std::string("/clips/b.wmv"));

        Choose(Combo(*dialog, ControlId::kOutputType), 0);
        browser_.answers.push_back("/clips/c.wmv");  // the other extension: the type stays
        Choose(output, QStringLiteral("Browse for output file..."));
        QCOMPARE(browser_.requests.back().filterIndex, 1);
        QCOMPARE(browser_.requests.back().defaultExtension, std::string("avi"));
        QCOMPARE(dialog->settings().DstFileType, 0);
        QCOMPARE(output->currentText(), QStringLiteral("/clips/c.wmv"));
    }

    void theProjectEntryBrowsesOnlyWhenItNamesNoFile()
    {
        const auto dialog = Open();
        QComboBox* mode = Combo(*dialog, ControlId::kSplitMode);
        Choose(mode, 1);
        QCOMPARE(dialog->settings().SceneDetection, 1);

        Choose(mode, 3);  // cancelled: the previous mode stays
        QCOMPARE(browser_.requests.size(), size_t{1});
        QCOMPARE(mode->currentIndex(), 1);
        QCOMPARE(dialog->settings().SceneDetection, 1);

        browser_.answers.push_back("/projects/trip.msq");
        Choose(mode, 3);
        QCOMPARE(browser_.requests.back().defaultExtension, std::string("msq"));
        QCOMPARE(mode->currentIndex(), 2);
        QCOMPARE(mode->itemText(2), QStringLiteral("Make Montra 3.0 project (trip.msq)"));
        QCOMPARE(mode->count(), 4);
        QCOMPARE(dialog->settings().SceneDetection, 2);
        QCOMPARE(dialog->settings().ClipsFileName, std::string("/projects/trip.msq"));

        Choose(mode, 0);
        Choose(mode, 2);  // named already: no dialog
        QCOMPARE(browser_.requests.size(), size_t{2});
        QCOMPARE(dialog->settings().SceneDetection, 2);
    }

    void aChosenProfileFileShowsByItsNameWithNothingSelected()
    {
        const auto dialog = Open();
        Choose(Combo(*dialog, ControlId::kOutputType), 1);
        QComboBox* profile = Combo(*dialog, ControlId::kMediaProfile);
        browser_.answers.push_back("/profiles/my.prx");
        Choose(profile, QStringLiteral("Browse for more profiles..."));
        QCOMPARE(browser_.requests.back().defaultExtension, std::string("prx"));
        QTRY_COMPARE(profile->currentText(), QStringLiteral("my.prx"));
        QCOMPARE(profile->currentIndex(), -1);
        QCOMPARE(dialog->settings().MediaProfile, std::string("/profiles/my.prx"));

        // Cancelled: the unchanged profile's name comes back.
        Choose(profile, QStringLiteral("Browse for more profiles..."));
        QTRY_COMPARE(profile->currentText(), QStringLiteral("my.prx"));
        QCOMPARE(dialog->settings().MediaProfile, std::string("/profiles/my.prx"));

        // A built-in profile is taken by its name.
        Choose(profile, 0);
        QCOMPARE(dialog->settings().MediaProfile, profile->itemText(0).toStdString());
    }

    void typedProfileTextNeverReachesTheSettingsButTypedFileNamesAreSavedOnClose()
    {
        {
            const auto dialog = Open();
            Type(Combo(*dialog, ControlId::kVideoCodec), QStringLiteral("typed encoder"));
            Choose(Combo(*dialog, ControlId::kOutputType), 1);
            Type(Combo(*dialog, ControlId::kMediaProfile), QStringLiteral("typed profile"));
            Type(Combo(*dialog, ControlId::kOutputFile), QStringLiteral("/clips/typed.wmv"));
            dialog->close();
            QCOMPARE(dialog->settings().MediaProfile, std::string());
        }
        const std::string saved = ReadFile(Profile());
        QCOMPARE(OptionKeys(saved).size(), size_t{28});
        QVERIFY(saved.find("MediaProfile=\r\n") != std::string::npos);
        QVERIFY(saved.find("DstFileName=/clips/typed.wmv\r\n") != std::string::npos);
        QVERIFY(saved.find("VideoCodec=typed encoder\r\n") != std::string::npos);
        QVERIFY(saved.find("DstFileType=1\r\n") != std::string::npos);

        // The next start shows what was saved.
        const auto again = Open();
        QCOMPARE(Combo(*again, ControlId::kOutputFile)->currentText(), QStringLiteral("/clips/typed.wmv"));
        QCOMPARE(Combo(*again, ControlId::kOutputType)->currentIndex(), 1);
        QCOMPARE(Combo(*again, ControlId::kVideoCodec)->currentText(), QStringLiteral("typed encoder"));
    }

    void advancedRunsTheCompressionDialogAndSelectsTheNameItHandsBack()
    {
        const auto dialog = Open();
        QComboBox* codec = Combo(*dialog, ControlId::kVideoCodec);
        dialogs_.videoCodecChosen = "<Uncompressed>";
        Choose(codec, QStringLiteral("Advanced..."));
        QCOMPARE(dialogs_.videoCompression, 1);
        QCOMPARE(codec->currentText(), QStringLiteral("<Uncompressed>"));
        QVERIFY(codec->currentIndex() >= 0);
        QCOMPARE(dialog->settings().VideoCodec, std::string("<Uncompressed>"));
        dialogs_ = ScriptedOptionDialogs();
    }

    void aConversionWritesWhatKlovaConvertWritesAndEndsIdleWithAnEmptyStatusBox()
    {
        const std::string windowOutput = dir_.File("window.avi");
        const std::string headlessOutput = dir_.File("headless.avi");
        const auto dialog = Open();
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(longClip_));
        Type(Combo(*dialog, ControlId::kOutputFile), QString::fromStdString(windowOutput));
        Choose(Combo(*dialog, ControlId::kVideoCodec), QStringLiteral("<Uncompressed>"));
        Click(*dialog, ControlId::kStart);
        QVERIFY(dialog->converting());
        QVERIFY(!Control(*dialog, ControlId::kStart)->isEnabled());
        QVERIFY(!Control(*dialog, ControlId::kVideoOptions)->isEnabled());
        QVERIFY(Control(*dialog, ControlId::kStop)->isEnabled());
        QCOMPARE(dialog->focusWidget(), Control(*dialog, ControlId::kStop));

        // While converting the statistics, the progress and the preview change.
        std::set<QString> texts;
        std::set<int> progress;
        int previewFrames = 0;
        auto* bar = dialog->controls().progress;
        while (dialog->converting()) {
            QCoreApplication::processEvents();
            texts.insert(dialog->statusText());
            if (dialog->converting()) {
                QVERIFY(bar->isVisible());
                progress.insert(bar->value());
                previewFrames += dialog->controls().preview->showsFrame() ? 1 : 0;
            }
        }
        QVERIFY(texts.size() > 10);
        QVERIFY(std::any_of(texts.begin(), texts.end(),
                            [](const QString& t) { return t.startsWith(QStringLiteral(" Frames processed\t")); }));
        QVERIFY(progress.size() > 10);
        QVERIFY(*progress.rbegin() > 900);
        QVERIFY(previewFrames > 10);

        QCOMPARE(dialog->statusText(), QString());
        QVERIFY(Control(*dialog, ControlId::kStart)->isEnabled());
        QVERIFY(!Control(*dialog, ControlId::kStop)->isEnabled());
        QVERIFY(!bar->isVisible());
        QVERIFY(!dialog->controls().preview->showsFrame());

        const test::CommandResult headless = test::RunCommand(
            test::ShellQuote(test::BuildPath("klova-convert")) + " " + test::ShellQuote("SrcFileName=" + longClip_) +
            " " + test::ShellQuote("DstFileName=" + headlessOutput) + " 'VideoCodec=<Uncompressed>'");
        QCOMPARE(headless.exitStatus, 0);
        const auto frameHashes = [](const std::string& file) {
            return test::RunCommand("ffmpeg -v error -i " + test::ShellQuote(file) + " -f framemd5 -").out;
        };
        QVERIFY(!frameHashes(windowOutput).empty());
        QCOMPARE(frameHashes(windowOutput), frameHashes(headlessOutput));
        QCOMPARE(test::FileSize(windowOutput), test::FileSize(headlessOutput));
    }

    void aFailureDuringTheStepsLeavesItsMessageAfterTheJobEnds()
    {
        const auto dialog = Open();
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(clip_));
        Type(Combo(*dialog, ControlId::kOutputFile), QString::fromStdString(dir_.File("no-such-folder/out.avi")));
        Click(*dialog, ControlId::kStart);
        QVERIFY(dialog->converting());  // the output is opened by the first step
        WaitUntilIdle(*dialog);
        QVERIFY(!dialog->statusText().isEmpty());
        QVERIFY(!dialog->statusText().startsWith(QStringLiteral(" Frames")));
        QVERIFY(!dialog->failureShown());
        QVERIFY(Control(*dialog, ControlId::kStart)->isEnabled());
        const QString message = dialog->statusText();
        QTest::qWait(20);
        QCOMPARE(dialog->statusText(), message);
    }

    void framesCarryTheSceneValuesLineOnlyWhileThePreviewIsShown()
    {
        const std::string scenes = dir_.File("scenes.avi");
        // Bright blue, then dark blue: the value test finds the change.
        test::Ffmpeg("-f lavfi -i color=0x3030ff:size=160x120:rate=25:duration=1 -f lavfi -i "
                     "color=0x000040:size=160x120:rate=25:duration=1 -filter_complex concat=n=2:v=1:a=0 -c:v mjpeg -q:v 2 " +
                     test::ShellQuote(scenes));
        std::ofstream(Profile()) << "[Options]\nShowStatistics=1\nVideoCodec=<Uncompressed>\n";
        for (const bool preview : {true, false}) {
            const std::string output = dir_.File(preview ? "lined.avi" : "plain.avi");
            const auto dialog = Open();
            Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(scenes));
            Type(Combo(*dialog, ControlId::kOutputFile), QString::fromStdString(output));
            Choose(Combo(*dialog, ControlId::kSplitMode), 1);
            if (!preview)
                Click(*dialog, ControlId::kShowPreview);
            Click(*dialog, ControlId::kStart);
            WaitUntilIdle(*dialog);
            QCOMPARE(dialog->statusText(), QString());
            const std::string firstClip = dir_.File(preview ? "lined00000.avi" : "plain00000.avi");
            const std::string secondClip = dir_.File(preview ? "lined00001.avi" : "plain00001.avi");
            QVERIFY(test::FileSize(secondClip) > 0);  // the scene change split the output
            QCOMPARE(HasWhite(TopLeftPixels(firstClip, 5)), preview);
            QCOMPARE(HasWhite(TopLeftPixels(secondClip, 5)), preview);
        }
    }

    void untickingShowPreviewDuringAConversionErasesItAtOnce()
    {
        const auto dialog = Open();
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(longClip_));
        Type(Combo(*dialog, ControlId::kOutputFile), QString::fromStdString(dir_.File("unticked.avi")));
        Click(*dialog, ControlId::kStart);
        PreviewWidget* preview = dialog->controls().preview;
        QTRY_VERIFY(preview->showsFrame());
        Click(*dialog, ControlId::kShowPreview);
        QVERIFY(!preview->showsFrame());
        QCOMPARE(dialog->settings().WantPreview, 0);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
        QVERIFY(dialog->converting());
        QVERIFY(!preview->showsFrame());
        Click(*dialog, ControlId::kShowPreview);  // ticked again: the frames come back
        QTRY_VERIFY(preview->showsFrame());
        dialog->answer = true;
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        QVERIFY(!dialog->converting());
    }

    void stopAndClosingAskDuringAConversionAndNoKeepsItRunning()
    {
        const auto dialog = Open();
        Type(Combo(*dialog, ControlId::kInputFile), QString::fromStdString(longClip_));
        Type(Combo(*dialog, ControlId::kOutputFile), QString::fromStdString(dir_.File("closed.avi")));
        Choose(Combo(*dialog, ControlId::kVideoCodec), QStringLiteral("<Uncompressed>"));
        Click(*dialog, ControlId::kStart);
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();  // a few idle steps: the output file is open
        dialog->answer = false;
        Click(*dialog, ControlId::kStop);
        QVERIFY(dialog->converting());
        dialog->close();
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->converting());
        QCOMPARE(dialog->questions, 2);
        dialog->answer = true;
        dialog->close();
        QVERIFY(!dialog->isVisible());
        QVERIFY(!dialog->converting());
        QCOMPARE(dialog->questions, 3);
        // What was written is a complete file.
        QVERIFY(test::DecodeErrors(dir_.File("closed.avi")).empty());
        QVERIFY(std::stoi(test::ProbeStream(dir_.File("closed.avi"), "video", true)["nb_read_frames"]) > 0);
    }

    void aDroppedFileBecomesTheInput()
    {
        const auto dialog = Open();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(clip_))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(dialog.get(), &drop);
        QCOMPARE(Combo(*dialog, ControlId::kInputFile)->currentText(), QString::fromStdString(clip_));
        QCOMPARE(dialog->settings().SrcFileName, clip_);

        QMimeData folder;
        folder.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir_.path()))});
        QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &folder, Qt::LeftButton, Qt::NoModifier);
        refused.setAccepted(false);
        QApplication::sendEvent(dialog.get(), &refused);
        QVERIFY(!refused.isAccepted());
    }

    void helpAndAboutAreAtHand()
    {
        const auto dialog = Open();
        QTest::qWait(20);
        QTest::keyClick(dialog.get(), Qt::Key_F1);
        QVERIFY(dialog->helpWindow().isVisible());
        QCOMPARE(dialog->helpWindow().source().fragment(), QStringLiteral("main-window"));
        dialog->helpWindow().close();
        Click(*dialog, ControlId::kHelp);
        QVERIFY(dialog->helpWindow().isVisible());

        // The context menu holds the About entry.
        QString entry;
        QTimer::singleShot(50, [&entry] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            entry = menu->actions().front()->text();
            menu->actions().front()->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), dialog->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(dialog.get(), &event);
        QCOMPARE(entry, QStringLiteral("&About KLOVA Video Converter..."));
        QCOMPARE(dialog->aboutBoxes, 2);
        dialog->close();
        QVERIFY(!dialog->helpWindow().isVisible());
    }
};

}  // namespace klova

KLOVA_QTEST_MAIN(klova::MainDialogTest)
#include "main_dialog_test.moc"
