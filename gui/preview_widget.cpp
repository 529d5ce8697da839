#include "gui/preview_widget.h"

#include "gui/control_ids.h"

#include <QPainter>

#include <cstdlib>
#include <cstring>

namespace klova {
namespace {

// Rows of an RGB24 DIB are padded to 4 bytes, like the rows of a QImage.
qsizetype DibStride(int32_t width) { return ((qsizetype{24} * width + 31) / 32) * 4; }

}  // namespace

PreviewWidget::PreviewWidget(QWidget* parent) : QFrame(parent)
{
    setObjectName(ControlName(ControlId::kPreview));
    setAccessibleName(QStringLiteral("(preview)"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PreviewWidget::Prepare(int32_t outputWidth, int32_t outputHeight, int32_t sourceWidth, int32_t sourceHeight)
{
    image_ = QImage(outputWidth, std::abs(outputHeight), QImage::Format_BGR888);
    image_.fill(Qt::black);
    sourceWidth_ = sourceWidth;
    sourceHeight_ = sourceHeight;
    showing_ = false;
    UpdatePreviewRect();
    update();
}

void PreviewWidget::ShowFrame(uint8_t* frame, const QString& statusLine, const QFont& font)
{
    if (image_.isNull())
        return;
    const int height = image_.height();
    const qsizetype stride = DibStride(image_.width());
    const size_t rowBytes = static_cast<size_t>(image_.width()) * 3;
    // The DIB is bottom-up, the image top-down.
    for (int y = 0; y < height; ++y)
        std::memcpy(image_.scanLine(y), frame + (height - 1 - y) * stride, rowBytes);
    if (!statusLine.isEmpty()) {
        QPainter painter(&image_);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(Qt::white);
        painter.drawText(QRect(0, 0, image_.width(), height), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         statusLine);
        painter.end();
        for (int y = 0; y < height; ++y)
            std::memcpy(frame + (height - 1 - y) * stride, image_.constScanLine(y), rowBytes);
    }
    showing_ = true;
    update(contentsRect());
}

void PreviewWidget::Erase()
{
    showing_ = false;
    update();
}

void PreviewWidget::Release()
{
    image_ = QImage();
    Erase();
}

void PreviewWidget::UpdatePreviewRect()
{
    const QRect area = contentsRect();
    previewRect_ = ComputePreviewRect(sourceWidth_, sourceHeight_, area.width(), area.height());
}

void PreviewWidget::resizeEvent(QResizeEvent* event)
{
    QFrame::resizeEvent(event);
    UpdatePreviewRect();
}

void PreviewWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.fillRect(area, palette().color(QPalette::Dark));
    if (showing_ && !image_.isNull()) {
        const QRect target(area.left() + previewRect_.left, area.top() + previewRect_.top, previewRect_.width(),
                           previewRect_.height());
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(target, image_);
    } else {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(area, Qt::AlignCenter, accessibleName());
    }
    painter.end();
    QFrame::paintEvent(event);
}

}  // namespace klova
