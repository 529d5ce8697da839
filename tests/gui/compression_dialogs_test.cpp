// "Video compression" with its encoder pages, and "Audio compression": the lists and
// their selection, the quality slider, the key-frame and data-rate boxes, OK and Cancel
// on the record and the name, About and Configure; and a value set on the Configure page
// reaching the next conversion's file, judged by ffprobe. Offscreen.
#include "dialogs/audio_compression_dialog.h"
#include "dialogs/encoder_about_dialog.h"
#include "dialogs/encoder_property_page.h"
#include "dialogs/option_control_ids.h"
#include "dialogs/video_compression_dialog.h"

#include "codecs/device_moniker_list.h"
#include "codecs/encoder_config_store.h"
#include "codecs/encoder_properties.h"
#include "engine/conversion_host.h"
#include "engine/conversion_job.h"
#include "gui/help_window.h"
#include "platform/gst_ptr.h"
#include "tests/gui/dialog_test_helpers.h"
#include "tests/gui/qt_test_main.h"
#include "tests/support/test_support.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include <cstring>
#include <sstream>
#include <vector>

namespace klova {

using test::Control;
namespace Id = OptionControlId;

namespace {

constexpr const char* kMpeg4 = "libav MPEG-4 part 2 encoder";

class NoHost : public ConversionHost {
public:
    std::optional<std::u16string> ResolveMediaProfile(const std::string&) override { return std::nullopt; }
};

QStringList Entries(const QComboBox* combo)
{
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    return entries;
}

bool SameRecord(const AVICOMPRESSOPTIONS& a, const AVICOMPRESSOPTIONS& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

int BitRate(GstElement* encoder)
{
    int bitrate = 0;
    g_object_get(encoder, "bitrate", &bitrate, nullptr);
    return bitrate;
}

}  // namespace

class CompressionDialogsTest : public QObject {
    Q_OBJECT

private:
    HelpWindow help_;
    EncoderConfigStore configs_;
    test::TempDir dir_;

    static void Click(const QWidget& dialog, int id) { test::ClickButton(Control(dialog, id)); }
    static void Click(const QWidget& dialog, const QString& name)
    {
        auto* button = dialog.findChild<QPushButton*>(name);
        QVERIFY(button);
        test::ClickButton(button);
    }
    static QComboBox* Compressors(const QWidget& dialog) { return Control<QComboBox>(dialog, Id::kVideoCompressors); }

    // What an encoder made now starts with: the remembered settings applied.
    int RememberedBitRate()
    {
        GstPtr<GstElement> encoder = MakeElement("avenc_mpeg4");
        configs_.Apply(encoder.get());
        return BitRate(encoder.get());
    }

    // Opens the Configure page over the dialog and runs action on it.
    static void OnConfigurePage(VideoCompressionDialog& dialog, std::function<void(EncoderPropertyPage&)> action)
    {
        test::OnNextModalBox([&action](QWidget* box) {
            auto* page = qobject_cast<EncoderPropertyPage*>(box);
            QVERIFY(page);
            action(*page);
        });
        Click(dialog, Id::kConfigure);
    }

    static void SetBitRate(EncoderPropertyPage& page, const QString& bitrate)
    {
        auto* box = page.findChild<QAbstractSpinBox*>(QStringLiteral("bitrate"));
        QVERIFY(box);
        test::TypeInto(box, bitrate);
    }

    // Converts 4 s of generated video with the MPEG-4 encoder; the frames that are key
    // frames in the file, as ffprobe reports them.
    std::vector<int> ConvertAndProbeKeyFrames(const std::string& name)
    {
        const std::string input = dir_.File("input.avi");
        if (test::FileSize(input) <= 0)
            test::Ffmpeg("-f lavfi -i testsrc2=size=320x240:rate=25:duration=4 -c:v mjpeg -q:v 2 " +
                         test::ShellQuote(input));
        ConversionSettings settings;
        settings.SrcFileName = input;
        settings.DstFileName = dir_.File(name);
        settings.VideoCodec = kMpeg4;
        settings.WantPreview = 0;
        // The fresh record: no key-frame interval of its own, so the encoder's setting holds.
        settings.VideoFormat = DefaultVideoFormat();
        NoHost host;
        // No Windows Media output here, so no binding of its library.
        ConversionJob job(settings, EngineServices{configs_, {}}, host);
        job.StartConversion();
        while (job.Step()) {
        }
        job.StopConversion();
        if (test::ProbeStream(settings.DstFileName, "video")["codec_name"] != "mpeg4")
            return {};
        const test::CommandResult packets =
            test::RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 " +
                             test::ShellQuote(settings.DstFileName));
        std::vector<int> keyFrames;
        std::istringstream lines(packets.out);
        int frame = 0;
        for (std::string flags; std::getline(lines, flags); ++frame)
            if (flags.find('K') != std::string::npos)
                keyFrames.push_back(frame);
        return keyFrames;
    }

    static std::vector<int> EveryNth(int spacing, int frames)
    {
        std::vector<int> positions;
        for (int frame = 0; frame < frames; frame += spacing)
            positions.push_back(frame);
        return positions;
    }

private slots:
    void initTestCase()
    {
        GstPtr<GstElement> mpeg4 = MakeElement("avenc_mpeg4");
        if (!mpeg4)
            QSKIP("libav MPEG-4 encoder missing");
    }

    void init() { configs_.Clear(); }

    void videoShowsItsControlsAndTheSortedEncodersWithUncompressed()
    {
        AVICOMPRESSOPTIONS record;
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Video compression"));
        QCOMPARE(Control<QCheckBox>(dialog, Id::kKeyFrames)->text(), QStringLiteral("&Key Frame Every"));
        QCOMPARE(Control<QCheckBox>(dialog, Id::kDataRate)->text(), QStringLiteral("&Data Rate"));
        QCOMPARE(Control<QPushButton>(dialog, Id::kConfigure)->text(), QStringLiteral("C&onfigure..."));
        QCOMPARE(Control<QPushButton>(dialog, Id::kAbout)->text(), QStringLiteral("&About..."));
        QCOMPARE(Control<QPushButton>(dialog, Id::kHelp)->text(), QStringLiteral("Help"));
        QStringList labels;
        for (const QLabel* label : dialog.findChildren<QLabel*>())
            labels << label->text();
        for (const char* text : {"&Compressors:", "Compression &Quality:", "frames", "KB/sec"})
            QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
        QCOMPARE(Control<QLabel>(dialog, Id::kQualityNumber)->alignment() & Qt::AlignRight, Qt::AlignRight);

        const QStringList entries = Entries(Compressors(dialog));
        QVERIFY(entries.contains(QStringLiteral("<Uncompressed>")));
        QVERIFY(entries.contains(QString::fromUtf8(kMpeg4)));
        QVERIFY(std::is_sorted(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
            return QString::compare(a, b, Qt::CaseInsensitive) < 0;
        }));
        QCOMPARE(Compressors(dialog)->currentText(), QString::fromUtf8(kMpeg4));
        auto* slider = Control<QSlider>(dialog, Id::kQuality);
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 100);
        QCOMPARE(slider->tickInterval(), 10);
        // The MPEG-4 encoder has both pages.
        QVERIFY(Control(dialog, Id::kConfigure)->isEnabled());
        QVERIFY(Control(dialog, Id::kAbout)->isEnabled());
    }

    void theFirstEntryBeginningWithTheNameIsSelectedAndWithoutOneTheFirstEntry()
    {
        AVICOMPRESSOPTIONS record;
        std::string prefix = "LIBAV mpeg-4 PART";
        VideoCompressionDialog named(record, prefix, configs_, help_);
        QCOMPARE(Compressors(named)->currentText(), QString::fromUtf8(kMpeg4));
        std::string unknown = "no such encoder";
        VideoCompressionDialog first(record, unknown, configs_, help_);
        QCOMPARE(Compressors(first)->currentIndex(), 0);
    }

    void aStoredQualityAboveTheRangeShowsTheSliderAtItsEndAndOkStoresTenThousand()
    {
        AVICOMPRESSOPTIONS record = DefaultVideoFormat();  // 100,000
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QCOMPARE(Control<QSlider>(dialog, Id::kQuality)->value(), 100);
        QCOMPARE(Control<QLabel>(dialog, Id::kQualityNumber)->text(), QStringLiteral("1000"));
        Click(dialog, Id::kOk);
        QCOMPARE(record.dwQuality, 10000u);

        record.dwQuality = 5049;  // (5049 + 50) / 100 = 50
        VideoCompressionDialog again(record, name, configs_, help_);
        QVERIFY(test::ShowActive(again));
        auto* slider = Control<QSlider>(again, Id::kQuality);
        QCOMPARE(slider->value(), 50);
        slider->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(Control<QLabel>(again, Id::kQualityNumber)->text(), QStringLiteral("53"));
        Click(again, Id::kOk);
        QCOMPARE(record.dwQuality, 5300u);
    }

    void uncompressedDisablesAboutAndConfigure()
    {
        AVICOMPRESSOPTIONS record;
        std::string name = "<Uncompressed>";
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        QCOMPARE(Compressors(dialog)->currentText(), QStringLiteral("<Uncompressed>"));
        QVERIFY(!Control(dialog, Id::kConfigure)->isEnabled());
        QVERIFY(!Control(dialog, Id::kAbout)->isEnabled());
        test::Choose(Compressors(dialog), QString::fromUtf8(kMpeg4));
        QVERIFY(Control(dialog, Id::kConfigure)->isEnabled());
        QVERIFY(Control(dialog, Id::kAbout)->isEnabled());
        test::Choose(Compressors(dialog), QStringLiteral("<Uncompressed>"));
        QVERIFY(!Control(dialog, Id::kConfigure)->isEnabled());
        QVERIFY(!Control(dialog, Id::kAbout)->isEnabled());
        QVERIFY(!dialog.failure());
    }

    void okStoresKeyFramesDataRateAndTheirFlagsAndLeavesTheOtherFields()
    {
        AVICOMPRESSOPTIONS record;
        record.fccHandler = 0x1234;
        record.dwInterleaveEvery = 7;
        record.dwFlags = 0x100;  // a bit no dialog control owns: cleared by OK
        record.dwQuality = 7500;
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        QVERIFY(!Control(dialog, Id::kKeyFrameEvery)->isEnabled());
        QVERIFY(!Control(dialog, Id::kBytesPerSecond)->isEnabled());
        Click(dialog, Id::kDataRate);
        QVERIFY(Control(dialog, Id::kBytesPerSecond)->isEnabled());
        test::TypeInto(Control(dialog, Id::kBytesPerSecond), QStringLiteral("500"));
        Click(dialog, Id::kOk);
        QCOMPARE(record.dwBytesPerSecond, 500u);
        QCOMPARE(record.dwFlags, AVICOMPRESSF_DATARATE);
        QCOMPARE(record.dwQuality, 7500u);
        QCOMPARE(record.fccHandler, 0x1234u);
        QCOMPARE(record.dwInterleaveEvery, 7u);

        VideoCompressionDialog again(record, name, configs_, help_);
        QVERIFY(test::ShowActive(again));
        Click(again, Id::kKeyFrames);
        test::TypeInto(Control(again, Id::kKeyFrameEvery), QStringLiteral("30"));
        // The typed number stays while the slider moves.
        QTest::keyClick(Control(again, Id::kQuality), Qt::Key_End);
        QCOMPARE(Control<QLineEdit>(again, Id::kKeyFrameEvery)->text(), QStringLiteral("30"));
        Click(again, Id::kOk);
        QCOMPARE(record.dwKeyFrameEvery, 30u);
        QCOMPARE(record.dwFlags, AVICOMPRESSF_DATARATE | AVICOMPRESSF_KEYFRAMES);
        QCOMPARE(record.dwQuality, 10000u);
    }

    void okWithAnEmptyNumberBoxThatIsOnKeepsTheDialogAndWritesNothing()
    {
        AVICOMPRESSOPTIONS record;
        record.dwFlags = AVICOMPRESSF_KEYFRAMES;
        record.dwKeyFrameEvery = 12;
        const AVICOMPRESSOPTIONS before = record;
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        test::TypeInto(Control(dialog, Id::kKeyFrameEvery), QString());
        QString message;
        test::AnswerNextMessage(&message);
        Click(dialog, Id::kOk);
        QCOMPARE(message, QStringLiteral("Please enter an integer."));
        QVERIFY(dialog.isVisible());
        QVERIFY(SameRecord(record, before));
        // Switched off, the empty box keeps the recorded number.
        Click(dialog, Id::kKeyFrames);
        Click(dialog, Id::kOk);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(record.dwKeyFrameEvery, 12u);
        QCOMPARE(record.dwFlags, 0u);
    }

    void cancelKeepsANewlyChosenEncoderButNotTheNumbers()
    {
        AVICOMPRESSOPTIONS record;
        record.dwQuality = 4000;
        const AVICOMPRESSOPTIONS before = record;
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        test::Choose(Compressors(dialog), QStringLiteral("<Uncompressed>"));
        Click(dialog, Id::kDataRate);
        QTest::keyClick(Control(dialog, Id::kQuality), Qt::Key_End);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(name, std::string("<Uncompressed>"));
        QVERIFY(SameRecord(record, before));

        // Without a name given, or without a choice made, Cancel changes nothing.
        std::string empty;
        VideoCompressionDialog unnamed(record, empty, configs_, help_);
        QVERIFY(test::ShowActive(unnamed));
        test::Choose(Compressors(unnamed), QString::fromUtf8(kMpeg4));
        Click(unnamed, Id::kCancel);
        QCOMPARE(empty, std::string());
        std::string typed = "typed encoder";
        VideoCompressionDialog untouched(record, typed, configs_, help_);
        Click(untouched, Id::kCancel);
        QCOMPARE(typed, std::string("typed encoder"));
    }

    void aboutShowsTheEncodersOwnDescriptionTitledWithItsName()
    {
        AVICOMPRESSOPTIONS record;
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        QString title;
        QStringList texts;
        test::OnNextModalBox([&](QWidget* box) {
            title = box->windowTitle();
            for (const QLabel* label : box->findChildren<QLabel*>())
                texts << label->text();
            Click(*box, Id::kOk);
        });
        Click(dialog, Id::kAbout);
        QCOMPARE(title, QString::fromUtf8(kMpeg4));
        const QString all = texts.join(QLatin1Char('\n'));
        for (const char* expected : {"libav MPEG-4 part 2 encoder", "avenc_mpeg4", "LGPL", "Author:", "Plug-in:",
                                     "Version:", "Licence:", "Source package:", "Wim Taymans"})
            QVERIFY2(all.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(dialog.isVisible());
    }

    void configureShowsTheEncodersSettingsAndOkKeepsOnlyWhatChanged()
    {
        AVICOMPRESSOPTIONS record;
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        OnConfigurePage(dialog, [](EncoderPropertyPage& page) {
            QCOMPARE(page.windowTitle(), QStringLiteral("libav MPEG-4 part 2 encoder Properties"));
            auto* bitrate = page.findChild<QAbstractSpinBox*>(QStringLiteral("bitrate"));
            QVERIFY(bitrate);
            QCOMPARE(bitrate->text(), QStringLiteral("200000"));
            QVERIFY(bitrate->toolTip().contains(QStringLiteral("Range: 0 to 2147483647.")));
            QVERIFY(bitrate->toolTip().contains(QStringLiteral("Default: 200000.")));
            for (const char* hidden : {"name", "parent", "multipass-cache-file", "qos"})
                QVERIFY2(!page.findChild<QWidget*>(QString::fromUtf8(hidden)), hidden);
            QVERIFY(page.findChild<QComboBox*>(QStringLiteral("cmp")));
            QVERIFY(page.findChild<QCheckBox*>(QStringLiteral("alternate-scan")));
            QVERIFY(page.findChild<QLineEdit*>(QStringLiteral("rc-eq")));
            SetBitRate(page, QStringLiteral("1500000"));
            test::Choose(page.findChild<QComboBox*>(QStringLiteral("cmp")), QStringLiteral("sum of squared errors"));
            Click(page, Id::kOk);
        });
        QCOMPARE(RememberedBitRate(), 1500000);
        GstPtr<GstElement> encoder = MakeElement("avenc_mpeg4");
        configs_.Apply(encoder.get());
        gint cmp = -1;
        g_object_get(encoder.get(), "cmp", &cmp, nullptr);
        QCOMPARE(cmp, 1);

        // The page opens with the values kept; Cancel keeps nothing of what it changed.
        OnConfigurePage(dialog, [](EncoderPropertyPage& page) {
            QCOMPARE(page.findChild<QAbstractSpinBox*>(QStringLiteral("bitrate"))->text(), QStringLiteral("1500000"));
            SetBitRate(page, QStringLiteral("900000"));
            Click(page, Id::kCancel);
        });
        QCOMPARE(RememberedBitRate(), 1500000);

        // Reset to defaults brings every default back; OK keeps them.
        OnConfigurePage(dialog, [](EncoderPropertyPage& page) {
            Click(page, QStringLiteral("resetToDefaults"));
            QCOMPARE(page.findChild<QAbstractSpinBox*>(QStringLiteral("bitrate"))->text(), QStringLiteral("200000"));
            QCOMPARE(page.findChild<QComboBox*>(QStringLiteral("cmp"))->currentIndex(), 0);
            Click(page, Id::kOk);
        });
        QCOMPARE(RememberedBitRate(), 200000);
        QVERIFY(dialog.isVisible());
        QVERIFY(!dialog.failure());
    }

    // The libav wrapper of this platform passes no bit rate to its encoders (their
    // "bitrate" is kept on the page but the files come out alike), so the setting
    // judged here is the key-frame spacing, which ffprobe reads off the file.
    void aSettingMadeOnTheConfigurePageShowsInTheNextConversionsFile()
    {
        constexpr int kFrames = 100;  // 4 s at 25 fps
        GstPtr<GstElement> fresh = MakeElement("avenc_mpeg4");
        int defaultSpacing = 0;
        g_object_get(fresh.get(), "gop-size", &defaultSpacing, nullptr);
        QCOMPARE(ConvertAndProbeKeyFrames("default.avi"), EveryNth(defaultSpacing, kFrames));

        AVICOMPRESSOPTIONS record = DefaultVideoFormat();
        std::string name = kMpeg4;
        VideoCompressionDialog dialog(record, name, configs_, help_);
        QVERIFY(test::ShowActive(dialog));
        OnConfigurePage(dialog, [](EncoderPropertyPage& page) {
            auto* spacing = page.findChild<QAbstractSpinBox*>(QStringLiteral("gop-size"));
            QVERIFY(spacing);
            test::TypeInto(spacing, QStringLiteral("5"));
            Click(page, Id::kOk);
        });
        Click(dialog, Id::kCancel);  // the page's settings stay whatever the dialog's end
        QCOMPARE(ConvertAndProbeKeyFrames("configured.avi"), EveryNth(5, kFrames));

        VideoCompressionDialog again(record, name, configs_, help_);
        QVERIFY(test::ShowActive(again));
        OnConfigurePage(again, [](EncoderPropertyPage& page) {
            QCOMPARE(page.findChild<QAbstractSpinBox*>(QStringLiteral("gop-size"))->text(), QStringLiteral("5"));
            Click(page, QStringLiteral("resetToDefaults"));
            Click(page, Id::kOk);
        });
        QCOMPARE(ConvertAndProbeKeyFrames("reset.avi"), EveryNth(defaultSpacing, kFrames));
    }

    // Every listed encoder: its page shows every setting and takes its defaults back, and
    // a new instance of that encoder takes what the page kept without a complaint from
    // GLib (x264's option string, for one, must never be set to no text at all).
    void everyListedEncodersPageKeepsValuesItsEncoderTakes()
    {
        int complaints = 0;
        const auto count = [](const gchar* domain, GLogLevelFlags, const gchar* message, gpointer complaints) {
            qWarning("%s: %s", domain, message);
            ++*static_cast<int*>(complaints);
        };
        const auto levels = GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL);
        const guint objectHandler = g_log_set_handler("GLib-GObject", levels, count, &complaints);
        const guint glibHandler = g_log_set_handler("GLib", levels, count, &complaints);
        const DeviceMonikerList list(CompressorCategory::Video);
        int encoders = 0;
        std::string name;
        for (int32_t index = 0; list.GetFriendlyName(index, &name) != E_INVALIDARG; ++index) {
            GstPtr<GstElement> encoder;
            if (Failed(list.BindObject(index, &encoder)))
                continue;
            ++encoders;
            EncoderConfigStore store;
            EncoderPropertyPage page(encoder.get(), QString::fromStdString(name), store, help_);
            const auto controls = page.findChildren<QWidget*>();
            QVERIFY2(ConfigurableProperties(encoder.get()).empty() ||
                         std::any_of(controls.begin(), controls.end(),
                                     [](const QWidget* control) { return !control->toolTip().isEmpty(); }),
                     name.c_str());
            page.ResetToDefaults();
            page.accept();
            GstPtr<GstElement> fresh;
            QVERIFY(Succeeded(list.BindObject(index, &fresh)));
            store.Apply(fresh.get());
        }
        g_log_remove_handler("GLib-GObject", objectHandler);
        g_log_remove_handler("GLib", glibHandler);
        QVERIFY(encoders > 5);
        QCOMPARE(complaints, 0);
    }

    void audioRewritesTheRecordAsPcmOnOkAndCancelWritesNothing()
    {
        WAVEFORMATEX record;
        record.wFormatTag = 0x55;
        record.nChannels = 2;
        record.nSamplesPerSec = 44100;
        record.wBitsPerSample = 16;
        record.cbSize = 12;
        std::string name = "PCM";  // no listed encoder: shown as typed
        const WAVEFORMATEX before = record;
        {
            AudioCompressionDialog dialog(record, name, help_);
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Audio compression"));
            auto* list = Control<QComboBox>(dialog, Id::kAudioCompressors);
            QVERIFY(list->isEditable());
            QCOMPARE(list->currentText(), QStringLiteral("PCM"));
            QCOMPARE(list->currentIndex(), -1);
            QVERIFY(list->count() > 0);
            const QStringList entries = Entries(list);
            QVERIFY(std::is_sorted(entries.begin(), entries.end(), [](const QString& a, const QString& b) {
                return QString::compare(a, b, Qt::CaseInsensitive) < 0;
            }));
            Click(dialog, Id::kCancel);
            QCOMPARE(name, std::string("PCM"));
            QVERIFY(std::memcmp(&record, &before, sizeof record) == 0);
        }
        {
            AudioCompressionDialog dialog(record, name, help_);
            Click(dialog, Id::kOk);
            QCOMPARE(name, std::string("PCM"));
            QCOMPARE(record.wFormatTag, uint16_t{1});
            QCOMPARE(record.nBlockAlign, uint16_t{4});
            QCOMPARE(record.nAvgBytesPerSec, 176400u);
            QCOMPARE(record.cbSize, uint16_t{0});
            QCOMPARE(record.nChannels, uint16_t{2});
            QCOMPARE(record.nSamplesPerSec, 44100u);
            QCOMPARE(record.wBitsPerSample, uint16_t{16});
        }
        {
            WAVEFORMATEX zero;
            AudioCompressionDialog dialog(zero, name, help_);
            QVERIFY(test::ShowActive(dialog));
            auto* list = Control<QComboBox>(dialog, Id::kAudioCompressors);
            const QString chosen = list->itemText(0);
            test::Choose(list, chosen);
            QTest::keyClick(&dialog, Qt::Key_Return);
            QCOMPARE(QString::fromStdString(name), chosen);
            WAVEFORMATEX expected;
            expected.wFormatTag = 1;
            QVERIFY(std::memcmp(&zero, &expected, sizeof zero) == 0);
        }
        {
            std::string typed = "my own encoder";  // any name may be typed
            AudioCompressionDialog dialog(record, typed, help_);
            QVERIFY(test::ShowActive(dialog));
            test::TypeInto(Control<QComboBox>(dialog, Id::kAudioCompressors)->lineEdit(), QStringLiteral("other"));
            Click(dialog, Id::kOk);
            QCOMPARE(typed, std::string("other"));
        }
    }

    void f1AndHelpShowEachCompressionPage()
    {
        AVICOMPRESSOPTIONS record;
        std::string name = kMpeg4;
        VideoCompressionDialog video(record, name, configs_, help_);
        QVERIFY(test::ShowActive(video));
        QTest::keyClick(&video, Qt::Key_F1);
        QCOMPARE(help_.source().fragment(), QStringLiteral("video-compression"));
        OnConfigurePage(video, [this](EncoderPropertyPage& page) {
            Click(page, Id::kHelp);
            QCOMPARE(help_.source().fragment(), QStringLiteral("encoder-settings"));
            Click(page, Id::kCancel);
        });
        WAVEFORMATEX format;
        AudioCompressionDialog audio(format, name, help_);
        QVERIFY(test::ShowActive(audio));
        QTest::keyClick(&audio, Qt::Key_F1);
        QCOMPARE(help_.source().fragment(), QStringLiteral("audio-compression"));
        help_.close();
    }
};

}  // namespace klova

KLOVA_QTEST_MAIN(klova::CompressionDialogsTest)
#include "compression_dialogs_test.moc"
