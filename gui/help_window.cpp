#include "gui/help_window.h"

#include "gui/app_icon.h"
#include "gui/control_ids.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace klova {
namespace {

const QString kHelpPage = QStringLiteral("qrc:/help/klova_help.html");

}  // namespace

HelpWindow::HelpWindow() : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("KLOVA Video Converter Help"));
    setWindowIcon(ApplicationIcon());
    setObjectName(QStringLiteral("helpWindow"));
    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(browser_);
    layout->addWidget(buttons);
    resize(560, 620);
}

void HelpWindow::ShowFor(const QWidget* window)
{
    const QVariant topic = window ? window->property(kHelpTopicProperty) : QVariant();
    ShowTopic(topic.isValid() ? topic.toString() : QString::fromLatin1(HelpTopic::kMainWindow));
}

void HelpWindow::ShowTopic(const QString& topic)
{
    QUrl url(kHelpPage);
    url.setFragment(topic);
    browser_->setSource(url);
    browser_->scrollToAnchor(topic);
    show();
    raise();
    activateWindow();
}

QUrl HelpWindow::source() const { return browser_->source(); }

void InstallHelp(QDialog& dialog, HelpWindow& help, const char* topic)
{
    dialog.setProperty(kHelpTopicProperty, QString::fromLatin1(topic));
    auto* shortcut = new QShortcut(QKeySequence::HelpContents, &dialog);
    QObject::connect(shortcut, &QShortcut::activated, &dialog, [&dialog, &help] { help.ShowFor(&dialog); });
    if (auto* button = dialog.findChild<QPushButton*>(ControlName(ControlId::kHelp)))
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &help] { help.ShowFor(&dialog); });
}

}  // namespace klova
