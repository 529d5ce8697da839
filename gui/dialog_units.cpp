#include "gui/dialog_units.h"

#include <QFontMetrics>

namespace klova {

QSize DialogUnitsToPixels(const QFont& font, int width, int height)
{
    const QFontMetrics metrics(font);
    // The average width of the 52 letters, rounded to whole pixels.
    const int letters =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = metrics.height();
    return QSize((width * baseX + 2) / 4, (height * baseY + 4) / 8);
}

}  // namespace klova
