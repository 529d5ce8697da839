// Helpers of the option-dialog tests: controls by id, typing into a box as a person
// would (the box holding the keyboard focus), and answering a box that a dialog opens
// modally while the test waits.
#pragma once

#include "gui/control_ids.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace klova::test {

template <typename Widget = QWidget>
Widget* Control(const QWidget& dialog, int id)
{
    auto* widget = dialog.findChild<Widget*>(ControlName(id));
    if (!widget)
        qFatal("no control %d", id);
    return widget;
}

// Clicks a button where its indicator or text is: the left end (a check box or radio
// button stretched by its layout does not take clicks beyond its text).
inline void ClickButton(QWidget* button)
{
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(std::min(8, button->width() / 2), button->height() / 2));
}

// Opens a combo box's list and clicks the entry, as a person chooses one.
inline void Choose(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    QVERIFY2(index >= 0, qPrintable(text));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex item = view->model()->index(index, 0);
    view->scrollTo(item);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(item).center());
    QTRY_VERIFY(!view->isVisible());
}

// Shows the dialog and waits until it holds the keyboard.
inline bool ShowActive(QDialog& dialog)
{
    dialog.show();
    dialog.activateWindow();
    return QTest::qWaitForWindowActive(&dialog);
}

// Focuses the box and replaces its text by typing.
inline void TypeInto(QWidget* box, const QString& text)
{
    box->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(box))
        edit->selectAll();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

// Runs action on the next modal box that opens (once the event loop turns): the box is
// handed over; the action closes it (a box it leaves open, after a failed check, is
// cancelled so the test goes on).
inline void OnNextModalBox(std::function<void(QWidget*)> action)
{
    auto* poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, [poll, action = std::move(action)] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        // Its keyboard shortcuts answer only once it is the active window.
        if (QTest::qWaitForWindowActive(box))
            action(box);
        if (auto* dialog = qobject_cast<QDialog*>(box); dialog && dialog->isVisible())
            dialog->reject();
    });
    poll->start();
}

// Answers the next message box with its default button; its text into *text.
inline void AnswerNextMessage(QString* text)
{
    OnNextModalBox([text](QWidget* box) {
        auto* message = qobject_cast<QMessageBox*>(box);
        if (!message)
            return;
        *text = message->text();
        message->accept();
    });
}

}  // namespace klova::test
