#include "dialogs/option_dialog.h"

#include "dialogs/option_control_ids.h"
#include "gui/control_ids.h"
#include "gui/dialog_units.h"
#include "gui/help_window.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace klova {

OptionDialog::OptionDialog(QWidget* parent, HelpWindow& help, const char* helpTopic, const QString& title)
    : QDialog(parent)
{
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    buttons_ = new QDialogButtonBox(this);
    QPushButton* ok = buttons_->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(ControlName(OptionControlId::kOk));
    ok->setDefault(true);
    QPushButton* cancel = buttons_->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(ControlName(OptionControlId::kCancel));
    QPushButton* helpButton = buttons_->addButton(QStringLiteral("Help"), QDialogButtonBox::HelpRole);
    helpButton->setObjectName(ControlName(OptionControlId::kHelp));
    for (QPushButton* button : {cancel, helpButton})
        button->setAutoDefault(false);
    connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
    InstallHelp(*this, help, helpTopic);
}

void OptionDialog::SetContent(QLayout* content, int templateWidth, bool fixedSize)
{
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(content);
    layout->addSpacing(layout->spacing());
    layout->addWidget(buttons_);
    const QSize preferred = sizeHint().expandedTo(QSize(DialogUnitsToPixels(font(), templateWidth, 0).width(), 0));
    if (fixedSize) {
        setFixedSize(preferred);
    } else {
        setMinimumHeight(preferred.height());
        resize(preferred);
    }
}

void OptionDialog::SetTabOrder(const QList<QWidget*>& controls)
{
    QWidget* previous = nullptr;
    const auto chain = [&previous](QWidget* next) {
        if (previous)
            QWidget::setTabOrder(previous, next);
        previous = next;
    };
    for (QWidget* control : controls)
        chain(control);
    for (QAbstractButton* button : buttons_->buttons())
        chain(button);
    if (!controls.isEmpty())
        controls.front()->setFocus(Qt::TabFocusReason);
}

void OptionDialog::RefuseInput(QLineEdit* box, const char* message)
{
    QMessageBox::warning(this, QStringLiteral("KLOVA Video Converter"), QString::fromLatin1(message));
    box->setFocus(Qt::OtherFocusReason);
    box->selectAll();
}

int OptionDialog::RunModal()
{
    const int result = exec();
    ReturnKeyboardTo(parentWidget());
    return result;
}

void OptionDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    activateWindow();
}

void ReturnKeyboardTo(QWidget* window)
{
    if (window && window->isVisible())
        window->window()->activateWindow();
}

}  // namespace klova
