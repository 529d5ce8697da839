// The About box: the program's name, version and what it does, with a button that opens
// the maker's web page in the desktop's browser.
#pragma once

#include <QDialog>

namespace klova {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // "Visit our web site": the page opens and the box stays.
    void OnVisitWebSite();

protected:
    // The box takes the keyboard as it opens, also on a display without a window
    // manager to give it: Return closes it at once.
    void showEvent(QShowEvent* event) override;
};

}  // namespace klova
