#include "gui/about_dialog.h"

#include "gui/app_icon.h"
#include "gui/control_ids.h"
#include "gui/string_text.h"
#include "resources/string_table.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace klova {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About KLOVA Video Converter"));

    auto* icon = new QLabel(this);
    icon->setPixmap(ApplicationIcon().pixmap(48, 48));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("KLOVA Video Converter\nversion 1.0"), this);
    auto* converts = new QLabel(
        QStringLiteral("KLOVA Video Converter converts AVI and Windows Media Video files. You can use it to change "
                       "fps, frame size, and compression codec of video stream, sampling depth, frequency, and "
                       "number of channels of audio stream."),
        this);
    auto* scenes = new QLabel(
        QStringLiteral("KLOVA Video Converter also detects scene changes and splits video by episodes. The scenes "
                       "can be exported as a project for the video editor Montra 3.0."),
        this);
    for (QLabel* paragraph : {converts, scenes})
        paragraph->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(ControlName(ControlId::kStart));
    ok->setDefault(true);
    auto* visit = new QPushButton(QStringLiteral("Visit our web site"), this);
    visit->setObjectName(ControlName(ControlId::kVisitWebSite));
    visit->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(visit, &QPushButton::clicked, this, &AboutDialog::OnVisitWebSite);

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(converts);
    texts->addWidget(scenes);
    texts->addStretch();
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(visit);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(icon);
    layout->addLayout(texts, 1);
    layout->addLayout(buttons);

    // Wider than high (about 250 x 146 dialog units): the paragraphs wrap at a width
    // that follows the font.
    const int textWidth = fontMetrics().averageCharWidth() * 46;
    for (QLabel* paragraph : {converts, scenes})
        paragraph->setFixedWidth(textWidth);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    ok->setFocus();
}

void AboutDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    activateWindow();
}

void AboutDialog::OnVisitWebSite() { QDesktopServices::openUrl(QUrl(StringText(IDS_WEB_ADDRESS))); }

}  // namespace klova
