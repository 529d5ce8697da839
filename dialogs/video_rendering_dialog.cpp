#include "dialogs/video_rendering_dialog.h"

#include "dialogs/number_text.h"
#include "dialogs/option_control_ids.h"
#include "gui/control_ids.h"
#include "gui/help_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

namespace klova {
namespace {

constexpr int kTemplateWidth = 210;  // dialog units
constexpr int kEditCharacters = 10;

template <typename Widget>
Widget* Named(Widget* widget, int id)
{
    widget->setObjectName(ControlName(id));
    return widget;
}

QLineEdit* NumberEdit(int id, QWidget* parent)
{
    auto* edit = Named(new QLineEdit(parent), id);
    edit->setFixedWidth(edit->fontMetrics().averageCharWidth() * kEditCharacters + 12);
    return edit;
}

// The two radio buttons of a keep-or-custom choice, checked by its index (none for
// another index), and a group that reports clicks by index.
QButtonGroup* Choice(QRadioButton* keep, QRadioButton* custom, int index, QObject* owner)
{
    auto* group = new QButtonGroup(owner);
    group->addButton(keep, 0);
    group->addButton(custom, 1);
    if (QAbstractButton* checked = group->button(index))
        checked->setChecked(true);
    return group;
}

// The choice's fields under its radio buttons, indented like a dependent setting.
QGroupBox* ChoiceGroup(const QString& title, QRadioButton* keep, QRadioButton* custom, QFormLayout* fields,
                       QWidget* extra, QWidget* parent)
{
    auto* group = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(keep);
    layout->addWidget(custom);
    const int indent = custom->style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                       custom->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    fields->setContentsMargins(indent, 0, 0, 0);
    fields->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    layout->addLayout(fields);
    if (extra) {
        auto* row = new QHBoxLayout;
        row->setContentsMargins(indent, 0, 0, 0);
        row->addWidget(extra);
        layout->addLayout(row);
    }
    return group;
}

}  // namespace

VideoRenderingDialog::VideoRenderingDialog(const VideoRenderingValues& values, HelpWindow& help, QWidget* parent)
    : OptionDialog(parent, help, HelpTopic::kVideoRendering, QStringLiteral("Video Rendering")),
      values_(values),
      frameRateChoice_(values.customFrameRate ? 1 : 0),
      frameSizeChoice_(values.customFrameSize ? 1 : 0)
{
    keepFrameRate_ = Named(new QRadioButton(QStringLiteral("Keep input file frame rate")), OptionControlId::kKeepFrameRate);
    customFrameRate_ = Named(new QRadioButton(QStringLiteral("Set custom frame rate")), OptionControlId::kCustomFrameRate);
    frameRate_ = NumberEdit(OptionControlId::kFrameRate, this);
    auto* rateFields = new QFormLayout;
    rateFields->addRow(QStringLiteral("Frame rate (fps):"), frameRate_);
    QGroupBox* rateGroup = ChoiceGroup(QStringLiteral("Frame rate"), keepFrameRate_, customFrameRate_, rateFields,
                                       nullptr, this);

    keepFrameSize_ = Named(new QRadioButton(QStringLiteral("Keep input file frame size")), OptionControlId::kKeepFrameSize);
    customFrameSize_ = Named(new QRadioButton(QStringLiteral("Set custom frame size")), OptionControlId::kCustomFrameSize);
    width_ = NumberEdit(OptionControlId::kFrameWidth, this);
    height_ = NumberEdit(OptionControlId::kFrameHeight, this);
    keepAspect_ = Named(new QCheckBox(QStringLiteral("Keep input file aspect ratio")), OptionControlId::kKeepAspect);
    auto* sizeFields = new QFormLayout;
    sizeFields->addRow(QStringLiteral("Frame width (pixels):"), width_);
    sizeFields->addRow(QStringLiteral("Frame height (pixels):"), height_);
    QGroupBox* sizeGroup = ChoiceGroup(QStringLiteral("Frame size"), keepFrameSize_, customFrameSize_, sizeFields,
                                       keepAspect_, this);

    // The controls show the fields.
    QButtonGroup* rateChoice = Choice(keepFrameRate_, customFrameRate_, frameRateChoice_, this);
    QButtonGroup* sizeChoice = Choice(keepFrameSize_, customFrameSize_, frameSizeChoice_, this);
    frameRate_->setText(RealText(values_.frameRate));
    width_->setText(QString::number(values_.width));
    height_->setText(QString::number(values_.height));
    keepAspect_->setChecked(values_.keepAspect != 0);
    ApplyEnablingRules();

    connect(rateChoice, &QButtonGroup::idClicked, this, &VideoRenderingDialog::OnFrameRateChoice);
    connect(sizeChoice, &QButtonGroup::idClicked, this, &VideoRenderingDialog::OnFrameSizeChoice);
    connect(keepAspect_, &QCheckBox::clicked, this, &VideoRenderingDialog::OnKeepAspectClicked);
    connect(width_, &QLineEdit::textChanged, this, &VideoRenderingDialog::OnWidthChanged);
    connect(height_, &QLineEdit::textChanged, this, &VideoRenderingDialog::OnHeightChanged);

    auto* content = new QVBoxLayout;
    content->addWidget(rateGroup);
    content->addWidget(sizeGroup);
    SetContent(content, kTemplateWidth);
    SetTabOrder({keepFrameRate_, customFrameRate_, frameRate_, keepFrameSize_, customFrameSize_, width_, height_,
                 keepAspect_});
    if (QAbstractButton* checked = rateChoice->checkedButton())
        checked->setFocus(Qt::TabFocusReason);
}

void VideoRenderingDialog::OnFrameRateChoice(int choice)
{
    frameRateChoice_ = choice;
    values_.customFrameRate = choice != 0;
    ApplyEnablingRules();
    if (choice == 1)
        FocusLater(frameRate_);
}

void VideoRenderingDialog::OnFrameSizeChoice(int choice)
{
    frameSizeChoice_ = choice;
    values_.customFrameSize = choice != 0;
    ApplyEnablingRules();
    if (choice == 1)
        FocusLater(width_);
}

// A radio button chosen with an arrow key takes the focus itself once its click is
// reported, so the box gets it right after.
void VideoRenderingDialog::FocusLater(QLineEdit* edit)
{
    QMetaObject::invokeMethod(
        edit,
        [edit] {
            if (edit->isEnabled())
                edit->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
}

void VideoRenderingDialog::OnKeepAspectClicked()
{
    values_.keepAspect = keepAspect_->isChecked() ? 1 : 0;
    if (!Coupled())
        return;
    values_.width = IntegerOrZero(width_->text());
    values_.height = RoundHalfUp(values_.width / values_.aspect);
    height_->setText(QString::number(values_.height));
}

// Writing one box changes the other, whose change must not answer back: only the box
// that holds the keyboard focus (the one being typed into) couples.
void VideoRenderingDialog::OnWidthChanged()
{
    if (!Coupled() || !width_->hasFocus())
        return;
    values_.width = IntegerOrZero(width_->text());
    values_.height = RoundHalfUp(values_.width / values_.aspect);
    height_->setText(QString::number(values_.height));
}

void VideoRenderingDialog::OnHeightChanged()
{
    if (!Coupled() || !height_->hasFocus())
        return;
    values_.height = IntegerOrZero(height_->text());
    values_.width = RoundHalfUp(values_.height * values_.aspect);
    width_->setText(QString::number(values_.width));
}

void VideoRenderingDialog::ApplyEnablingRules()
{
    frameRate_->setEnabled(frameRateChoice_ != 0);
    width_->setEnabled(frameSizeChoice_ != 0);
    height_->setEnabled(frameSizeChoice_ != 0);
    keepAspect_->setEnabled(frameSizeChoice_ != 0 && values_.aspect > 0.0);
}

void VideoRenderingDialog::accept()
{
    // Read in the order of the boxes, so the first bad one is the one reported.
    const std::optional<double> frameRate = ParseReal(frameRate_->text());
    if (!frameRate) {
        RefuseInput(frameRate_, "Please enter a number.");
        return;
    }
    const std::optional<int32_t> width = ParseInteger(width_->text());
    if (!width) {
        RefuseInput(width_, "Please enter an integer.");
        return;
    }
    const std::optional<int32_t> height = ParseInteger(height_->text());
    if (!height) {
        RefuseInput(height_, "Please enter an integer.");
        return;
    }
    values_.customFrameRate = frameRateChoice_ != 0;
    values_.frameRate = *frameRate;
    values_.customFrameSize = frameSizeChoice_ != 0;
    values_.width = *width;
    values_.height = *height;
    values_.keepAspect = keepAspect_->isChecked() ? 1 : 0;
    OptionDialog::accept();
}

}  // namespace klova
