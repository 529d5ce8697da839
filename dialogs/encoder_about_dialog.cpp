#include "dialogs/encoder_about_dialog.h"

#include "dialogs/option_control_ids.h"
#include "dialogs/option_dialog.h"
#include "gui/control_ids.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace klova {
namespace {

constexpr int kTextCharacters = 56;

QLabel* Text(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

EncoderAboutDialog::EncoderAboutDialog(const EncoderDescription& description, const QString& encoderName,
                                       QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(encoderName);
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* name = new QLabel(QString::fromStdString(description.longName), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    name->setFont(bold);
    QLabel* what = Text(QString::fromStdString(description.description), this);

    auto* facts = new QFormLayout;
    facts->setLabelAlignment(Qt::AlignLeft);
    const auto addFact = [this, facts](const char* label, const std::string& value) {
        if (!value.empty())
            facts->addRow(QString::fromUtf8(label), Text(QString::fromStdString(value), this));
    };
    addFact("Author:", description.author);
    addFact("Element:", description.factoryName);
    addFact("Class:", description.klass);
    addFact("Plug-in:", description.plugin);
    addFact("Version:", description.version);
    addFact("Licence:", description.license);
    addFact("Source package:", description.package);
    if (!description.origin.empty()) {
        const QString origin = QString::fromStdString(description.origin).toHtmlEscaped();
        QLabel* link = Text(QStringLiteral("<a href=\"%1\">%1</a>").arg(origin), this);
        link->setTextInteractionFlags(Qt::TextBrowserInteraction);
        link->setOpenExternalLinks(true);
        facts->addRow(QStringLiteral("Origin:"), link);
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(ControlName(OptionControlId::kOk));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name);
    layout->addWidget(what);
    layout->addSpacing(layout->spacing());
    layout->addLayout(facts);
    layout->addSpacing(layout->spacing());
    layout->addWidget(buttons);
    what->setFixedWidth(fontMetrics().averageCharWidth() * kTextCharacters);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok->setFocus();
}

int EncoderAboutDialog::RunModal()
{
    const int result = exec();
    ReturnKeyboardTo(parentWidget());
    return result;
}

void EncoderAboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    activateWindow();
}

}  // namespace klova
