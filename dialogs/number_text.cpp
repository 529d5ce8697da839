#include "dialogs/number_text.h"

#include <cmath>
#include <limits>

namespace klova {

std::optional<int32_t> ParseInteger(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseUnsigned(const QString& text)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || !digits.front().isDigit())
        return std::nullopt;
    bool ok = false;
    const uint value = digits.toUInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

std::optional<double> ParseReal(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

int32_t RoundHalfUp(double value)
{
    const double rounded = std::trunc(value + 0.5);
    if (std::isnan(rounded))
        return 0;
    if (rounded <= std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    if (rounded >= std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

QString RealText(double value) { return QString::number(value, 'g', 15); }

}  // namespace klova
