// The preview area of the main window (1069): shows the output frames of a conversion,
// stretched without smoothing into the rectangle that keeps the source's aspect, and
// writes the scene values line into each frame it shows. UI thread only.
#pragma once

#include "frontend/preview_rect.h"

#include <QFrame>
#include <QImage>

#include <cstdint>

namespace klova {

class PreviewWidget : public QFrame {
    Q_OBJECT

public:
    explicit PreviewWidget(QWidget* parent = nullptr);

    // Set-up at the start of a conversion: the frame image of the output size (the one
    // allocation of the preview) and the rectangle for the source's aspect.
    void Prepare(int32_t outputWidth, int32_t outputHeight, int32_t sourceWidth, int32_t sourceHeight);

    // Shows one output frame: a bottom-up RGB24 DIB of the output size, copied into the
    // frame image; statusLine is written at its top-left corner in font (black on
    // white) and the image copied back, so the caller's frame then carries the line.
    void ShowFrame(uint8_t* frame, const QString& statusLine, const QFont& font);

    // Wipes the frame shown; the next frame appears again.
    void Erase();

    // Frees what Prepare set up and wipes the area.
    void Release();

    // The rectangle the frames are drawn into, in the widget's contents.
    const PreviewRect& previewRect() const { return previewRect_; }
    bool showsFrame() const { return showing_; }
    // The frame image as last shown (top-down), for inspection.
    const QImage& frameImage() const { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void UpdatePreviewRect();

    QImage image_;
    int32_t sourceWidth_ = 0;
    int32_t sourceHeight_ = 0;
    PreviewRect previewRect_;
    bool showing_ = false;
};

}  // namespace klova
