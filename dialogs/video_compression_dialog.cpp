#include "dialogs/video_compression_dialog.h"

#include "codecs/device_moniker_list.h"
#include "codecs/encoder_description.h"
#include "codecs/encoder_properties.h"
#include "dialogs/encoder_about_dialog.h"
#include "dialogs/encoder_property_page.h"
#include "dialogs/number_text.h"
#include "dialogs/option_control_ids.h"
#include "engine/conversion_settings.h"
#include "gui/control_ids.h"
#include "gui/help_window.h"
#include "gui/wait_cursor.h"
#include "platform/errors.h"
#include "resources/string_table.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace klova {
namespace {

constexpr int kTemplateWidth = 232;  // dialog units
constexpr int kQualityMaximum = 100;
constexpr int kQualityTicks = 10;
constexpr int kNumberCharacters = 8;

template <typename Widget>
Widget* Named(Widget* widget, int id)
{
    widget->setObjectName(ControlName(id));
    return widget;
}

// The encoder of a friendly name on the scratch pipeline, taken out again when the
// handler that needed it is done.
class ScratchEncoder {
public:
    // Throws CMyException (OutputOpenFailed) when no listed encoder has the name.
    ScratchEncoder(AviWriter& scratch, const std::string& name)
        : scratch_(scratch), encoder_(scratch.FindVideoCompressor(name))
    {
    }
    ~ScratchEncoder() { scratch_.RemoveFilter(encoder_.get()); }
    ScratchEncoder(const ScratchEncoder&) = delete;
    ScratchEncoder& operator=(const ScratchEncoder&) = delete;

    GstElement* get() const { return encoder_.get(); }

private:
    AviWriter& scratch_;
    GstPtr<GstElement> encoder_;
};

// The installed video encoders by friendly name (an unreadable name as ""), then
// "<Uncompressed>", sorted as the list shows them: letter case aside.
QStringList CompressorList()
{
    const DeviceMonikerList list(CompressorCategory::Video);
    QStringList names;
    std::string name;
    // E_INVALIDARG: past the last entry.
    for (int32_t index = 0; list.GetFriendlyName(index, &name) != E_INVALIDARG; ++index)
        names << QString::fromStdString(name);
    names << QString::fromStdString(LoadStringResource(IDS_UNCOMPRESSED));
    names.removeDuplicates();  // a name finds the first encoder of it
    std::stable_sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return names;
}

QLineEdit* DigitsEdit(int id, QWidget* parent)
{
    auto* edit = Named(new QLineEdit(parent), id);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setFixedWidth(edit->fontMetrics().averageCharWidth() * kNumberCharacters + 12);
    return edit;
}

}  // namespace

VideoCompressionDialog::VideoCompressionDialog(AVICOMPRESSOPTIONS& videoFormat, std::string& videoCodec,
                                               EncoderConfigStore& encoderConfigs, HelpWindow& help, QWidget* parent)
    : OptionDialog(parent, help, HelpTopic::kVideoCompression, QStringLiteral("Video compression")),
      videoFormat_(videoFormat),
      videoCodec_(videoCodec),
      encoderConfigs_(encoderConfigs),
      help_(help),
      nameSupplied_(!videoCodec.empty()),
      scratch_(encoderConfigs),
      compressorName_(videoCodec),
      quality_(static_cast<int>((videoFormat.dwQuality + 50u) / 100u)),
      keyFramesOn_((videoFormat.dwFlags & AVICOMPRESSF_KEYFRAMES) != 0),
      dataRateOn_((videoFormat.dwFlags & AVICOMPRESSF_DATARATE) != 0)
{
    compressors_ = Named(new QComboBox(this), OptionControlId::kVideoCompressors);
    auto* compressorsLabel = new QLabel(QStringLiteral("&Compressors:"), this);
    compressorsLabel->setBuddy(compressors_);
    qualitySlider_ = Named(new QSlider(Qt::Horizontal, this), OptionControlId::kQuality);
    auto* qualityLabel = new QLabel(QStringLiteral("Compression &Quality:"), this);
    qualityLabel->setBuddy(qualitySlider_);
    qualityNumber_ = Named(new QLabel(this), OptionControlId::kQualityNumber);
    qualityNumber_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    qualityNumber_->setMinimumWidth(qualityNumber_->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    keyFrames_ = Named(new QCheckBox(QStringLiteral("&Key Frame Every"), this), OptionControlId::kKeyFrames);
    keyFrameEvery_ = DigitsEdit(OptionControlId::kKeyFrameEvery, this);
    dataRate_ = Named(new QCheckBox(QStringLiteral("&Data Rate"), this), OptionControlId::kDataRate);
    bytesPerSecond_ = DigitsEdit(OptionControlId::kBytesPerSecond, this);
    configure_ = Named(new QPushButton(QStringLiteral("C&onfigure..."), this), OptionControlId::kConfigure);
    about_ = Named(new QPushButton(QStringLiteral("&About..."), this), OptionControlId::kAbout);
    for (QPushButton* button : {configure_, about_})
        button->setAutoDefault(false);

    // The list, with the first entry that begins with the name selected (the first
    // entry when none does).
    compressors_->addItems(CompressorList());
    const int named = compressors_->findText(QString::fromStdString(videoCodec_), Qt::MatchStartsWith);
    compressors_->setCurrentIndex(std::max(named, 0));

    qualitySlider_->setRange(0, kQualityMaximum);
    qualitySlider_->setTickInterval(kQualityTicks);
    qualitySlider_->setTickPosition(QSlider::TicksBelow);
    qualitySlider_->setPageStep(kQualityTicks);
    // A stored quality above 10,000 puts the slider at its end while the number still
    // shows the stored value / 100, until the slider moves.
    qualitySlider_->setValue(quality_);
    qualityNumber_->setText(QString::number(quality_));
    keyFrames_->setChecked(keyFramesOn_);
    dataRate_->setChecked(dataRateOn_);
    keyFrameEvery_->setText(QString::number(videoFormat_.dwKeyFrameEvery));
    bytesPerSecond_->setText(QString::number(videoFormat_.dwBytesPerSecond));
    keyFrameEvery_->setEnabled(keyFramesOn_);
    bytesPerSecond_->setEnabled(dataRateOn_);

    connect(compressors_, &QComboBox::activated, this, &VideoCompressionDialog::OnCompressorChosen);
    connect(qualitySlider_, &QSlider::valueChanged, this, &VideoCompressionDialog::OnQualityMoved);
    connect(keyFrames_, &QCheckBox::clicked, this, [this] {
        ReadControls();
        keyFrameEvery_->setEnabled(keyFramesOn_);
    });
    connect(dataRate_, &QCheckBox::clicked, this, [this] {
        ReadControls();
        bytesPerSecond_->setEnabled(dataRateOn_);
    });
    connect(configure_, &QPushButton::clicked, this, &VideoCompressionDialog::OnConfigure);
    connect(about_, &QPushButton::clicked, this, &VideoCompressionDialog::OnAbout);

    auto* grid = new QGridLayout;
    grid->addWidget(compressorsLabel, 0, 0);
    grid->addWidget(compressors_, 0, 1, 1, 4);
    grid->addWidget(qualityLabel, 1, 0);
    auto* qualityRow = new QHBoxLayout;
    qualityRow->addWidget(qualitySlider_, 1);
    qualityRow->addWidget(qualityNumber_);
    grid->addLayout(qualityRow, 1, 1, 1, 4);
    grid->addWidget(keyFrames_, 2, 0);
    grid->addWidget(keyFrameEvery_, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("frames"), this), 2, 2);
    grid->addWidget(configure_, 2, 4);
    grid->addWidget(dataRate_, 3, 0);
    grid->addWidget(bytesPerSecond_, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("KB/sec"), this), 3, 2);
    grid->addWidget(about_, 3, 4);
    grid->setColumnStretch(3, 1);
    SetContent(grid, kTemplateWidth);
    SetTabOrder({compressors_, qualitySlider_, keyFrames_, keyFrameEvery_, dataRate_, bytesPerSecond_, configure_, about_});

    ReadControls();
    UpdatePages();
}

void VideoCompressionDialog::ReadControls()
{
    compressorName_ = compressors_->currentText().toStdString();
    quality_ = qualitySlider_->value();
    keyFramesOn_ = keyFrames_->isChecked();
    dataRateOn_ = dataRate_->isChecked();
}

void VideoCompressionDialog::OnCompressorChosen()
{
    ReadControls();
    compressorChosen_ = true;
    UpdatePages();
}

void VideoCompressionDialog::UpdatePages()
{
    EnablePages(false, false);
    if (compressorName_ == kUncompressedCodec)
        return;
    Guarded([this] {
        const WaitCursor wait;
        const ScratchEncoder encoder(scratch_, compressorName_);
        EnablePages(!ConfigurableProperties(encoder.get()).empty(), true);
    });
}

// The number follows the slider; text typed into the boxes stays as it is.
void VideoCompressionDialog::OnQualityMoved(int position)
{
    quality_ = position;
    qualityNumber_->setText(QString::number(quality_));
}

void VideoCompressionDialog::EnablePages(bool configure, bool about)
{
    configure_->setEnabled(configure);
    about_->setEnabled(about);
}

void VideoCompressionDialog::OnConfigure()
{
    if (!configure_->isEnabled())
        return;
    Guarded([this] {
        const ScratchEncoder encoder(scratch_, compressorName_);
        EncoderPropertyPage page(encoder.get(), QString::fromStdString(compressorName_), encoderConfigs_, help_, this);
        page.RunModal();
    });
    ReturnKeyboardTo(this);
}

void VideoCompressionDialog::OnAbout()
{
    if (!about_->isEnabled())
        return;
    Guarded([this] {
        const ScratchEncoder encoder(scratch_, compressorName_);
        EncoderAboutDialog about(DescribeEncoder(gst_element_get_factory(encoder.get())),
                                 QString::fromStdString(compressorName_), this);
        about.RunModal();
    });
    ReturnKeyboardTo(this);
}

void VideoCompressionDialog::Guarded(const std::function<void()>& action)
{
    try {
        action();
    } catch (const CMyException&) {
        if (!failure_)
            failure_ = std::current_exception();
        EnablePages(false, false);
    }
}

std::optional<uint32_t> VideoCompressionDialog::ReadNumber(QLineEdit* edit, bool on, uint32_t recorded)
{
    const std::optional<uint32_t> number = ParseUnsigned(edit->text());
    if (number || !on)
        return number.value_or(recorded);
    RefuseInput(edit, "Please enter an integer.");
    return std::nullopt;
}

void VideoCompressionDialog::accept()
{
    ReadControls();
    const std::optional<uint32_t> keyFrameEvery = ReadNumber(keyFrameEvery_, keyFramesOn_, videoFormat_.dwKeyFrameEvery);
    if (!keyFrameEvery)
        return;
    const std::optional<uint32_t> bytesPerSecond = ReadNumber(bytesPerSecond_, dataRateOn_, videoFormat_.dwBytesPerSecond);
    if (!bytesPerSecond)
        return;
    videoCodec_ = compressorName_;
    videoFormat_.dwKeyFrameEvery = *keyFrameEvery;
    // The number as typed: the box says KB/sec, the record keeps it unconverted.
    videoFormat_.dwBytesPerSecond = *bytesPerSecond;
    videoFormat_.dwQuality = static_cast<uint32_t>(quality_) * 100u;
    videoFormat_.dwFlags = (keyFramesOn_ ? AVICOMPRESSF_KEYFRAMES : 0u) | (dataRateOn_ ? AVICOMPRESSF_DATARATE : 0u);
    OptionDialog::accept();
}

void VideoCompressionDialog::reject()
{
    // An encoder chosen from the list survives Cancel; the numbers do not.
    if (nameSupplied_ && compressorChosen_)
        videoCodec_ = compressorName_;
    OptionDialog::reject();
}

}  // namespace klova
