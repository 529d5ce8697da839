#include "dialogs/real_spin_box.h"

#include <QRegularExpression>

#include <cfloat>

namespace klova {

RealSpinBox::RealSpinBox(double minimum, double maximum, int significantDigits, QWidget* parent)
    : QDoubleSpinBox(parent), significantDigits_(significantDigits)
{
    // The most decimals the box allows: values are never rounded to fewer.
    setDecimals(DBL_MAX_10_EXP + DBL_DIG);
    setRange(minimum, maximum);
    setSingleStep(maximum - minimum <= 10.0 ? 0.1 : 1.0);
    setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    setAccelerated(true);
}

QString RealSpinBox::textFromValue(double value) const { return QString::number(value, 'g', significantDigits_); }

double RealSpinBox::valueFromText(const QString& text) const { return text.trimmed().toDouble(); }

QValidator::State RealSpinBox::validate(QString& input, int&) const
{
    const QString text = input.trimmed();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok)
        return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    // The beginnings of a number: "", "-", ".", "1e", "1e-".
    static const QRegularExpression partial(QStringLiteral("^[+-]?[0-9]*\\.?[0-9]*([eE][+-]?[0-9]*)?$"));
    return partial.match(text).hasMatch() ? QValidator::Intermediate : QValidator::Invalid;
}

void RealSpinBox::fixup(QString& input) const
{
    bool ok = false;
    const double value = input.trimmed().toDouble(&ok);
    input = textFromValue(ok ? qBound(minimum(), value, maximum()) : this->value());
}

}  // namespace klova
