#include "dialogs/encoder_property_page.h"

#include "codecs/encoder_config_store.h"
#include "codecs/encoder_properties.h"
#include "dialogs/property_editor.h"
#include "gui/help_window.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace klova {
namespace {

constexpr int kEditorCharacters = 30;
constexpr int kVisibleRows = 16;

}  // namespace

EncoderPropertyPage::EncoderPropertyPage(GstElement* encoder, const QString& encoderName,
                                         EncoderConfigStore& encoderConfigs, HelpWindow& help, QWidget* parent)
    : OptionDialog(parent, help, HelpTopic::kEncoderSettings, QStringLiteral("%1 Properties").arg(encoderName)),
      encoderConfigs_(encoderConfigs)
{
    if (GstElementFactory* factory = gst_element_get_factory(encoder))
        factoryName_ = GST_OBJECT_NAME(factory);

    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const int editorWidth = fontMetrics().averageCharWidth() * kEditorCharacters;
    for (const EncoderProperty& property : ConfigurableProperties(encoder)) {
        Row row{PropertyEditor::Create(property, page), std::make_unique<PropertyValue>(property.spec->value_type)};
        g_object_get_property(G_OBJECT(encoder), property.spec->name, row.opened->get());
        row.editor->Show(*row.opened->get());
        QWidget* control = row.editor->control();
        if (property.kind != PropertyKind::Boolean)
            control->setFixedWidth(editorWidth);
        auto* label = new QLabel(QString::fromUtf8(property.spec->name) + QLatin1Char(':'), page);
        label->setToolTip(control->toolTip());
        label->setBuddy(control);
        form->addRow(label, control);
        rows_.push_back(std::move(row));
    }

    auto* scroll = new QScrollArea(this);
    scroll->setWidget(page);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int rowHeight = page->sizeHint().height() / std::max<int>(1, static_cast<int>(rows_.size()));
    scroll->setMinimumWidth(page->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() +
                            2 * scroll->frameWidth());
    scroll->setMinimumHeight(std::min(page->sizeHint().height(), rowHeight * kVisibleRows) + 2 * scroll->frameWidth());

    QPushButton* reset = buttons()->addButton(QStringLiteral("Reset to defaults"), QDialogButtonBox::ResetRole);
    reset->setObjectName(QStringLiteral("resetToDefaults"));
    reset->setAutoDefault(false);
    connect(reset, &QPushButton::clicked, this, &EncoderPropertyPage::ResetToDefaults);

    auto* note = new QLabel(QStringLiteral("These settings apply to every conversion with this encoder until the "
                                           "program ends. Point at a setting to see what it does."),
                            this);
    note->setWordWrap(true);
    note->setFixedSize(scroll->minimumWidth(), note->heightForWidth(scroll->minimumWidth()));
    auto* content = new QVBoxLayout;
    content->addWidget(note);
    content->addWidget(scroll);
    SetContent(content, 0, false);
    QList<QWidget*> order;
    for (const Row& row : rows_)
        order << row.editor->control();
    SetTabOrder(order);
}

EncoderPropertyPage::~EncoderPropertyPage() = default;

void EncoderPropertyPage::ResetToDefaults()
{
    for (const Row& row : rows_)
        row.editor->Show(*g_param_spec_get_default_value(row.editor->property().spec));
}

void EncoderPropertyPage::accept()
{
    for (const Row& row : rows_) {
        GParamSpec* spec = row.editor->property().spec;
        PropertyValue shown(spec->value_type);
        row.editor->Read(shown.get());
        if (g_param_values_cmp(spec, shown.get(), row.opened->get()) != 0)
            encoderConfigs_.Remember(factoryName_, spec->name, *shown.get());
    }
    OptionDialog::accept();
}

}  // namespace klova
