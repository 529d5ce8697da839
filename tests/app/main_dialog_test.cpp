// Widget tests of the main window, under QT_QPA_PLATFORM=offscreen.
#include "app/main_dialog.h"

#include "codecs/encoder_config_store.h"
#include "tests/support/test_support.h"

#include <gst/gst.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <fstream>
#include <sstream>

namespace klova {

// The question box would block a test: answers are scripted.
class ScriptedDialog : public MainDialog {
public:
    using MainDialog::MainDialog;
    bool answer = true;
    int questions = 0;

protected:
    bool ConfirmCancel() override
    {
        if (!converting())
            return true;
        ++questions;
        return answer;
    }
};

class MainDialogTest : public QObject {
    Q_OBJECT

private:
    test::TempDir dir_;
    EncoderConfigStore configs_;
    const WinMediaLibrary winMediaLibrary_{test::BuildPath("")};

    std::string Profile() const { return dir_.File("klova.ini"); }

    static std::string ReadFile(const std::string& path)
    {
        std::ifstream in(path);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void WaitUntilIdle(ScriptedDialog& dialog)
    {
        for (int i = 0; i < 20000 && dialog.converting(); ++i)
            QTest::qWait(5);
    }

private slots:
    void showsTheTitleAndTheControlsByTheirIds()
    {
        ScriptedDialog dialog(Profile(), configs_, winMediaLibrary_);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("KLOVA Video Converter"));
        QVERIFY(dialog.findChild<QPlainTextEdit*>(QStringLiteral("1017")));
        auto* start = dialog.findChild<QPushButton*>(QStringLiteral("1"));
        auto* stop = dialog.findChild<QPushButton*>(QStringLiteral("2"));
        auto* exit = dialog.findChild<QPushButton*>(QStringLiteral("57665"));
        QVERIFY(start && stop && exit);
        QCOMPARE(start->text(), QStringLiteral("Start"));
        QCOMPARE(stop->text(), QStringLiteral("Stop"));
        QCOMPARE(exit->text(), QStringLiteral("E&xit"));
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
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

    void savesEveryKeyInOrderWhenDestroyed()
    {
        const std::string fresh = dir_.File("fresh.ini");
        { ScriptedDialog dialog(fresh, configs_, winMediaLibrary_); }
        const std::vector<std::string> keys = OptionKeys(ReadFile(fresh));
        QCOMPARE(keys.size(), size_t{28});
        QCOMPARE(keys.front(), std::string("LastFolder"));
        QCOMPARE(keys[4], std::string("VideoCodec"));
        QCOMPARE(keys.back(), std::string("ClipsFileName"));
    }

    void keepsForeignSectionsAndReadsBackWhatItSaved()
    {
        {
            std::ofstream(Profile()) << "[Mine]\nA=1\n[Options]\nSrcFileName= in.avi \nFrameRate=25000\n";
            ScriptedDialog dialog(Profile(), configs_, winMediaLibrary_);
            QCOMPARE(dialog.settings().SrcFileName, std::string("in.avi"));
            QCOMPARE(dialog.settings().FrameRate, 25.0);
            dialog.settings().DstFileName = "  out file.avi";
        }
        const std::string saved = ReadFile(Profile());
        QVERIFY(saved.find("[Mine]\r\nA=1") != std::string::npos);
        QCOMPARE(OptionKeys(saved).size(), size_t{28});
        ScriptedDialog reread(Profile(), configs_, winMediaLibrary_);
        QCOMPARE(reread.settings().DstFileName, std::string("  out file.avi"));
    }

    void aFailedStartShowsItsMessageAndLeavesTheWindowIdle()
    {
        ScriptedDialog dialog(Profile(), configs_, winMediaLibrary_);
        dialog.settings().SrcFileName = dir_.File("missing.avi");
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
        QCOMPARE(dialog.statusText(), QStringLiteral("Cannot open input file."));
        QVERIFY(!dialog.converting());
        QVERIFY(dialog.failureShown());
        // The next command (here Escape, the Stop command) clears the message.
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QCOMPARE(dialog.statusText(), QString());
    }

    void escapeStopsButNeverClosesTheWindow()
    {
        ScriptedDialog dialog(Profile(), configs_, winMediaLibrary_);
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.questions, 0);
    }

    void convertsFromTheIdleLoopAndClearsTheStatusBoxAtTheEnd()
    {
        const std::string input = dir_.File("in.avi");
        const std::string output = dir_.File("out.avi");
        test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mjpeg " + test::ShellQuote(input));
        ScriptedDialog dialog(Profile(), configs_, winMediaLibrary_);
        dialog.settings().SrcFileName = input;
        dialog.settings().DstFileName = output;
        dialog.settings().VideoCodec = "<Uncompressed>";
        dialog.show();
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("1")), Qt::LeftButton);
        QVERIFY(dialog.converting());
        QVERIFY(!dialog.findChild<QPushButton*>(QStringLiteral("1"))->isEnabled());
        WaitUntilIdle(dialog);
        QVERIFY(!dialog.converting());
        QCOMPARE(dialog.statusText(), QString());
        QCOMPARE(test::ProbeStream(output, "video", true)["nb_read_frames"], std::string("25"));
    }

    void closingDuringAConversionAsksAndNoKeepsItRunning()
    {
        const std::string input = dir_.File("long.avi");
        test::Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=4 -c:v mjpeg " + test::ShellQuote(input));
        ScriptedDialog dialog(Profile(), configs_, winMediaLibrary_);
        dialog.settings().SrcFileName = input;
        dialog.settings().DstFileName = dir_.File("long-out.avi");
        dialog.settings().VideoCodec = "<Uncompressed>";
        dialog.show();
        dialog.OnStart();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();  // a few idle steps: the output file is open
        dialog.answer = false;
        dialog.close();
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.converting());
        QCOMPARE(dialog.questions, 1);
        dialog.answer = true;
        dialog.close();
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.converting());
        QVERIFY(test::FileSize(dir_.File("long-out.avi")) > 0);
    }
};

}  // namespace klova

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    QApplication application(argc, argv);
    klova::MainDialogTest test;
    const int result = QTest::qExec(&test, argc, argv);
    gst_deinit();
    return result;
}

#include "main_dialog_test.moc"
