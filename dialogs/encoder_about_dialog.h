// An encoder's About page: what its element factory and plug-in say about it (name,
// description, author, plug-in, version, licence, source package), in a box titled with
// the encoder's name. Modal over the dialog that opens it; OK closes it. UI thread only.
#pragma once

#include "codecs/encoder_description.h"

#include <QDialog>

namespace klova {

class EncoderAboutDialog : public QDialog {
    Q_OBJECT

public:
    EncoderAboutDialog(const EncoderDescription& description, const QString& encoderName, QWidget* parent = nullptr);

    // Runs the box modally over its parent; the keyboard then returns to the parent.
    int RunModal();

protected:
    void showEvent(QShowEvent* event) override;
};

}  // namespace klova
