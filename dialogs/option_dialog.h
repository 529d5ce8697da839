// What the option dialogs have in common: a title, OK (the default button), Cancel and
// Help below their controls, F1 and Help showing the dialog's page of the program's help
// window, and window-modal runs, so the help window stays usable beside them. The
// keyboard goes to a dialog when it shows and back to the window that opened it when it
// closes (without a window manager nothing else would move it). UI thread only.
#pragma once

#include <QDialog>
#include <QList>

class QDialogButtonBox;
class QLayout;
class QLineEdit;

namespace klova {

class HelpWindow;

class OptionDialog : public QDialog {
    Q_OBJECT

public:
    // Runs the dialog modally over its parent; QDialog::Accepted after OK.
    int RunModal();

protected:
    OptionDialog(QWidget* parent, HelpWindow& help, const char* helpTopic, const QString& title);

    // Lays the controls out above the buttons. A fixed-size dialog is at least as wide as
    // its classic template (templateWidth dialog units at the dialog's font); a resizable
    // one starts at its preferred size.
    void SetContent(QLayout* content, int templateWidth, bool fixedSize = true);

    QDialogButtonBox* buttons() const { return buttons_; }

    // The keyboard's order: the controls as listed, then the buttons below them; the
    // first control takes the focus when the dialog opens.
    void SetTabOrder(const QList<QWidget*>& controls);

    // OK found a box whose text it cannot take: the message says what is wanted, and the
    // box gets the focus with its text selected for typing over.
    void RefuseInput(QLineEdit* box, const char* message);

    void showEvent(QShowEvent* event) override;

private:
    QDialogButtonBox* buttons_ = nullptr;
};

// The keyboard back to window once a box over it has closed.
void ReturnKeyboardTo(QWidget* window);

}  // namespace klova
