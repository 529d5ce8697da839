// "Video Rendering" and "Audio Rendering": what they show, the enabling rules, the
// width-height coupling in the input's proportions, OK with its validation, Cancel, and
// how the main window's runner hands the values back. Offscreen.
#include "dialogs/audio_rendering_dialog.h"
#include "dialogs/option_control_ids.h"
#include "dialogs/qt_option_dialogs.h"
#include "dialogs/video_rendering_dialog.h"

#include "codecs/encoder_config_store.h"
#include "gui/help_window.h"
#include "tests/gui/dialog_test_helpers.h"
#include "tests/gui/qt_test_main.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace klova {

using test::Control;
namespace Id = OptionControlId;

class RenderingDialogsTest : public QObject {
    Q_OBJECT

private:
    HelpWindow help_;
    EncoderConfigStore configs_;

    // Custom frame size with the aspect kept, for an input of width x height.
    static VideoRenderingValues CustomSize(int32_t inputWidth, int32_t inputHeight)
    {
        VideoRenderingValues values;
        values.customFrameRate = false;
        values.frameRate = 30.0;
        values.customFrameSize = true;
        values.width = 320;
        values.height = 240;
        values.keepAspect = 1;
        values.aspect = static_cast<double>(inputWidth) / inputHeight;
        return values;
    }

    static QLineEdit* Edit(const QWidget& dialog, int id) { return Control<QLineEdit>(dialog, id); }
    static void Click(const QWidget& dialog, int id) { test::ClickButton(Control(dialog, id)); }

private slots:
    void videoShowsEveryControlWithItsTextAndTheValuesItIsGiven()
    {
        VideoRenderingValues values = CustomSize(720, 576);
        values.customFrameRate = true;
        values.frameRate = 29.97;
        VideoRenderingDialog dialog(values, help_);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Video Rendering"));
        const std::pair<int, const char*> texts[] = {
            {Id::kKeepFrameRate, "Keep input file frame rate"}, {Id::kCustomFrameRate, "Set custom frame rate"},
            {Id::kKeepFrameSize, "Keep input file frame size"}, {Id::kCustomFrameSize, "Set custom frame size"},
        };
        for (const auto& [id, text] : texts)
            QCOMPARE(Control<QRadioButton>(dialog, id)->text(), QString::fromUtf8(text));
        QCOMPARE(Control<QCheckBox>(dialog, Id::kKeepAspect)->text(), QStringLiteral("Keep input file aspect ratio"));
        QCOMPARE(Control<QPushButton>(dialog, Id::kOk)->text(), QStringLiteral("OK"));
        QVERIFY(Control<QPushButton>(dialog, Id::kOk)->isDefault());
        QCOMPARE(Control<QPushButton>(dialog, Id::kCancel)->text(), QStringLiteral("Cancel"));
        QCOMPARE(Control<QPushButton>(dialog, Id::kHelp)->text(), QStringLiteral("Help"));
        QStringList groups;
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
            groups << group->title();
        QCOMPARE(groups, (QStringList{QStringLiteral("Frame rate"), QStringLiteral("Frame size")}));

        QVERIFY(Control<QRadioButton>(dialog, Id::kCustomFrameRate)->isChecked());
        QVERIFY(Control<QRadioButton>(dialog, Id::kCustomFrameSize)->isChecked());
        QCOMPARE(Edit(dialog, Id::kFrameRate)->text(), QStringLiteral("29.97"));
        QCOMPARE(Edit(dialog, Id::kFrameWidth)->text(), QStringLiteral("320"));
        QCOMPARE(Edit(dialog, Id::kFrameHeight)->text(), QStringLiteral("240"));
        QVERIFY(Control<QCheckBox>(dialog, Id::kKeepAspect)->isChecked());
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());  // a fixed-size dialog
    }

    void keepAspectCouplesWidthAndHeightInTheInputsProportions_data()
    {
        QTest::addColumn<int>("inputWidth");
        QTest::addColumn<int>("inputHeight");
        QTest::addColumn<QString>("typedWidth");
        QTest::addColumn<QString>("coupledHeight");
        QTest::addColumn<QString>("typedHeight");
        QTest::addColumn<QString>("coupledWidth");
        QTest::newRow("720 x 576") << 720 << 576 << "640" << "512" << "480" << "600";
        QTest::newRow("352 x 240, rounded half up") << 352 << 240 << "320" << "218" << "218" << "320";
        QTest::newRow("no input name: 4 x 3") << 4 << 3 << "320" << "240" << "480" << "640";
    }
    void keepAspectCouplesWidthAndHeightInTheInputsProportions()
    {
        QFETCH(int, inputWidth);
        QFETCH(int, inputHeight);
        QFETCH(QString, typedWidth);
        QFETCH(QString, coupledHeight);
        QFETCH(QString, typedHeight);
        QFETCH(QString, coupledWidth);
        VideoRenderingDialog dialog(CustomSize(inputWidth, inputHeight), help_);
        QVERIFY(test::ShowActive(dialog));
        QLineEdit* width = Edit(dialog, Id::kFrameWidth);
        QLineEdit* height = Edit(dialog, Id::kFrameHeight);

        test::TypeInto(width, typedWidth);
        QCOMPARE(height->text(), coupledHeight);
        QCOMPARE(width->text(), typedWidth);  // the height written does not answer back
        test::TypeInto(height, typedHeight);
        QCOMPARE(width->text(), coupledWidth);
        QCOMPARE(height->text(), typedHeight);

        // Cancel: the fields hold what the coupling read and wrote.
        dialog.reject();
        QCOMPARE(dialog.values().width, coupledWidth.toInt());
        QCOMPARE(dialog.values().height, typedHeight.toInt());
    }

    void tickingKeepAspectFitsTheHeightToTheWidthAndUntickedNothingCouples()
    {
        VideoRenderingValues values = CustomSize(720, 576);
        values.keepAspect = 0;
        VideoRenderingDialog dialog(values, help_);
        QVERIFY(test::ShowActive(dialog));
        test::TypeInto(Edit(dialog, Id::kFrameWidth), QStringLiteral("500"));
        QCOMPARE(Edit(dialog, Id::kFrameHeight)->text(), QStringLiteral("240"));
        Click(dialog, Id::kKeepAspect);
        QCOMPARE(Edit(dialog, Id::kFrameHeight)->text(), QStringLiteral("400"));
        QCOMPARE(dialog.values().keepAspect, 1);
        Click(dialog, Id::kKeepAspect);
        test::TypeInto(Edit(dialog, Id::kFrameWidth), QStringLiteral("100"));
        QCOMPARE(Edit(dialog, Id::kFrameHeight)->text(), QStringLiteral("400"));
        QCOMPARE(dialog.values().keepAspect, 0);
    }

    void aNegativeInputHeightDisablesKeepAspectAndTheCoupling()
    {
        VideoRenderingDialog dialog(CustomSize(720, -576), help_);  // top-down frames
        QVERIFY(test::ShowActive(dialog));
        QVERIFY(!Control(dialog, Id::kKeepAspect)->isEnabled());
        QVERIFY(Edit(dialog, Id::kFrameWidth)->isEnabled());
        test::TypeInto(Edit(dialog, Id::kFrameWidth), QStringLiteral("640"));
        QCOMPARE(Edit(dialog, Id::kFrameHeight)->text(), QStringLiteral("240"));
    }

    void keepingTheInputSizeDisablesWidthHeightAndAspectButOkStillStoresThem()
    {
        VideoRenderingDialog dialog(CustomSize(720, 576), help_);
        QVERIFY(test::ShowActive(dialog));
        test::TypeInto(Edit(dialog, Id::kFrameWidth), QStringLiteral("400"));
        Click(dialog, Id::kKeepFrameSize);
        for (const int id : {Id::kFrameWidth, Id::kFrameHeight, Id::kKeepAspect})
            QVERIFY(!Control(dialog, id)->isEnabled());
        QVERIFY(!Control(dialog, Id::kFrameRate)->isEnabled());  // the rate is kept too
        Click(dialog, Id::kCustomFrameRate);
        QVERIFY(Control(dialog, Id::kFrameRate)->isEnabled());
        QTRY_COMPARE(dialog.focusWidget(), Control(dialog, Id::kFrameRate));
        Click(dialog, Id::kOk);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.values().customFrameSize);
        QVERIFY(dialog.values().customFrameRate);
        QCOMPARE(dialog.values().width, 400);
        QCOMPARE(dialog.values().height, 320);
        QCOMPARE(dialog.values().keepAspect, 1);
    }

    void cancelReturnsTheChosenCustomRateWithTheRateItOpenedWith()
    {
        VideoRenderingValues values = CustomSize(720, 576);
        values.frameRate = 30.0;
        QtOptionDialogs runner(help_, configs_);
        test::OnNextModalBox([](QWidget* box) {
            Click(*box, Id::kCustomFrameRate);
            QTRY_COMPARE(box->focusWidget(), Control(*box, Id::kFrameRate));
            QTest::keyClick(Control(*box, Id::kFrameRate), Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(Control(*box, Id::kFrameRate), QStringLiteral("25"));
            Click(*box, Id::kCancel);
        });
        QVERIFY(runner.RunVideoRendering(nullptr, values));  // taken back after Cancel too
        QVERIFY(values.customFrameRate);
        QCOMPARE(values.frameRate, 30.0);
    }

    void okKeepsTheDialogOpenOnTextThatIsNotANumber_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("rate") << int(Id::kFrameRate) << "25 fps" << "Please enter a number.";
        QTest::newRow("empty rate") << int(Id::kFrameRate) << "" << "Please enter a number.";
        QTest::newRow("width") << int(Id::kFrameWidth) << "64.5" << "Please enter an integer.";
        QTest::newRow("height") << int(Id::kFrameHeight) << "tall" << "Please enter an integer.";
    }
    void okKeepsTheDialogOpenOnTextThatIsNotANumber()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        VideoRenderingValues values = CustomSize(720, 576);
        values.customFrameRate = true;
        values.keepAspect = 0;
        VideoRenderingDialog dialog(values, help_);
        QVERIFY(test::ShowActive(dialog));
        test::TypeInto(Edit(dialog, box), text);
        QString shown;
        test::AnswerNextMessage(&shown);
        Click(dialog, Id::kOk);
        QCOMPARE(shown, message);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget(), Control(dialog, box));
        QCOMPARE(dialog.values().frameRate, 30.0);
        // A fixed box is taken: zero and negative numbers included.
        test::TypeInto(Edit(dialog, box), QStringLiteral("-0"));
        Click(dialog, Id::kOk);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void audioShowsItsChoicesAndKeepingTheInputsSoundDisablesThem()
    {
        const AudioRenderingValues values{false, 1, 1, 3};
        AudioRenderingDialog dialog(values, help_);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Audio Rendering"));
        const std::pair<int, const char*> options[] = {
            {Id::kMono, "&Mono"},           {Id::kStereo, "&Stereo"},         {Id::k8Bits, "&8 bits"},
            {Id::k16Bits, "1&6 bits"},      {Id::k11025Hz, "&11,025 Hz"},     {Id::k22050Hz, "&22,050 Hz"},
            {Id::k32000Hz, "&32,000 Hz"},   {Id::k44100Hz, "&44,100 Hz"},     {Id::k48000Hz, "48,&000 Hz"},
        };
        QCOMPARE(Control<QRadioButton>(dialog, Id::kKeepSound)->text(), QStringLiteral("&Keep input file audio parameters"));
        QCOMPARE(Control<QRadioButton>(dialog, Id::kCustomSound)->text(), QStringLiteral("Set &custom parameters"));
        QVERIFY(Control<QRadioButton>(dialog, Id::kKeepSound)->isChecked());
        for (const auto& [id, text] : options) {
            QCOMPARE(Control<QRadioButton>(dialog, id)->text(), QString::fromUtf8(text));
            QVERIFY(!Control(dialog, id)->isEnabled());
        }
        QStringList groups;
        for (const QGroupBox* group : dialog.findChildren<QGroupBox*>())
            groups << group->title();
        QCOMPARE(groups, (QStringList{QStringLiteral("Channels"), QStringLiteral("Bits per channel"),
                                      QStringLiteral("Frequency")}));
        QVERIFY(Control<QRadioButton>(dialog, Id::kStereo)->isChecked());
        QVERIFY(Control<QRadioButton>(dialog, Id::k16Bits)->isChecked());
        QVERIFY(Control<QRadioButton>(dialog, Id::k44100Hz)->isChecked());

        Click(dialog, Id::kCustomSound);
        for (const auto& [id, text] : options)
            QVERIFY(Control(dialog, id)->isEnabled());
        Click(dialog, Id::kMono);
        Click(dialog, Id::k48000Hz);
        Click(dialog, Id::kKeepSound);  // disabled again, the choices still stored on OK
        QVERIFY(!Control(dialog, Id::kMono)->isEnabled());
        Click(dialog, Id::kOk);
        QCOMPARE(dialog.values().custom, false);
        QCOMPARE(dialog.values().channels, 0);
        QCOMPARE(dialog.values().bits, 1);
        QCOMPARE(dialog.values().sampleRate, 4);
    }

    void audioIndexesOutsideTheirGroupsSelectNothingAndReadBackAsMinusOne()
    {
        AudioRenderingDialog dialog(AudioRenderingValues{true, 7, -1, 9}, help_);
        QVERIFY(!Control<QRadioButton>(dialog, Id::kMono)->isChecked());
        QVERIFY(!Control<QRadioButton>(dialog, Id::kStereo)->isChecked());
        Click(dialog, Id::k8Bits);
        Click(dialog, Id::kOk);
        QCOMPARE(dialog.values().channels, -1);
        QCOMPARE(dialog.values().bits, 0);
        QCOMPARE(dialog.values().sampleRate, -1);
    }

    void theRunnerHandsAudioValuesBackOnlyAfterOk()
    {
        QtOptionDialogs runner(help_, configs_);
        AudioRenderingValues values{false, 1, 1, 3};
        test::OnNextModalBox([](QWidget* box) {
            Click(*box, Id::kCustomSound);
            Click(*box, Id::kMono);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QVERIFY(!runner.RunAudioRendering(nullptr, values));
        QCOMPARE(values.custom, false);
        QCOMPARE(values.channels, 1);

        test::OnNextModalBox([](QWidget* box) {
            // A mnemonic clicks its button the way a click looks: a moment later.
            QTest::keyClick(box, Qt::Key_C, Qt::AltModifier);  // "Set &custom parameters"
            QTRY_VERIFY(Control<QRadioButton>(*box, Id::kCustomSound)->isChecked());
            QTest::keyClick(box, Qt::Key_8, Qt::AltModifier);  // "&8 bits"
            QTRY_VERIFY(Control<QRadioButton>(*box, Id::k8Bits)->isChecked());
            QTest::keyClick(box, Qt::Key_Return);
        });
        QVERIFY(runner.RunAudioRendering(nullptr, values));
        QCOMPARE(values.custom, true);
        QCOMPARE(values.bits, 0);
        QCOMPARE(values.channels, 1);
    }

    void f1AndHelpShowEachDialogsPage()
    {
        VideoRenderingDialog video(CustomSize(4, 3), help_);
        QVERIFY(test::ShowActive(video));
        QTest::keyClick(&video, Qt::Key_F1);
        QVERIFY(help_.isVisible());
        QCOMPARE(help_.source().fragment(), QStringLiteral("video-rendering"));
        help_.close();
        AudioRenderingDialog audio(AudioRenderingValues{}, help_);
        QVERIFY(test::ShowActive(audio));
        Click(audio, Id::kHelp);
        QVERIFY(help_.isVisible());
        QCOMPARE(help_.source().fragment(), QStringLiteral("audio-rendering"));
        help_.close();
    }
};

}  // namespace klova

KLOVA_QTEST_MAIN(klova::RenderingDialogsTest)
#include "rendering_dialogs_test.moc"
