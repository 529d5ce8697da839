// A spin box for floating-point properties: shows a value in as few digits as its
// precision needs ("1.25", "1e-05", "3.40282e+38") rather than at a fixed number of
// decimals, so neither tiny nor huge values are rounded away. UI thread only.
#pragma once

#include <QDoubleSpinBox>

namespace klova {

class RealSpinBox : public QDoubleSpinBox {
    Q_OBJECT

public:
    // significantDigits: 7 for a float property, 15 for a double.
    RealSpinBox(double minimum, double maximum, int significantDigits, QWidget* parent = nullptr);

    QString textFromValue(double value) const override;
    double valueFromText(const QString& text) const override;
    QValidator::State validate(QString& input, int& position) const override;
    void fixup(QString& input) const override;

private:
    int significantDigits_;
};

}  // namespace klova
