// A spin box for the full range of 64-bit integer properties (signed or unsigned),
// which the standard spin box, limited to int, cannot hold. Typing is checked against
// the range as it goes; stepping stops at either end. UI thread only.
#pragma once

#include <QAbstractSpinBox>
#include <QLineEdit>

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <optional>

namespace klova {

template <typename T>
    requires std::same_as<T, int64_t> || std::same_as<T, uint64_t>
class WideSpinBox : public QAbstractSpinBox {
public:
    WideSpinBox(T minimum, T maximum, QWidget* parent = nullptr)
        : QAbstractSpinBox(parent), minimum_(minimum), maximum_(std::max(minimum, maximum)), value_(minimum)
    {
        setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        setAccelerated(true);
        setValue(minimum);
    }

    T minimum() const { return minimum_; }
    T maximum() const { return maximum_; }

    // The number shown; while the text is unfinished, the last whole number.
    T value() const
    {
        const std::optional<T> number = Parse(text());
        return number ? std::clamp(*number, minimum_, maximum_) : value_;
    }

    void setValue(T value)
    {
        value_ = std::clamp(value, minimum_, maximum_);
        lineEdit()->setText(QString::number(value_));
    }

protected:
    QValidator::State validate(QString& input, int&) const override
    {
        const QString text = input.trimmed();
        if (text.isEmpty() || text == QLatin1String("+") || (text == QLatin1String("-") && Signed()))
            return QValidator::Intermediate;
        const std::optional<T> number = Parse(text);
        if (!number)
            return QValidator::Invalid;
        return *number >= minimum_ && *number <= maximum_ ? QValidator::Acceptable : QValidator::Intermediate;
    }

    void fixup(QString& input) const override
    {
        const std::optional<T> number = Parse(input);
        input = QString::number(number ? std::clamp(*number, minimum_, maximum_) : value_);
    }

    void stepBy(int steps) override
    {
        const T current = value();
        const T amount = static_cast<T>(steps < 0 ? -static_cast<int64_t>(steps) : steps);
        T next{};
        const bool beyond = steps < 0 ? __builtin_sub_overflow(current, amount, &next)
                                      : __builtin_add_overflow(current, amount, &next);
        setValue(beyond ? (steps < 0 ? minimum_ : maximum_) : next);
        selectAll();
    }

    StepEnabled stepEnabled() const override
    {
        const T current = value();
        StepEnabled enabled = StepNone;
        if (current > minimum_)
            enabled |= StepDownEnabled;
        if (current < maximum_)
            enabled |= StepUpEnabled;
        return enabled;
    }

private:
    static constexpr bool SignedType() { return std::same_as<T, int64_t>; }
    bool Signed() const { return SignedType() && minimum_ < 0; }

    static std::optional<T> Parse(const QString& text)
    {
        bool ok = false;
        T number{};
        if constexpr (SignedType())
            number = text.trimmed().toLongLong(&ok, 10);
        else
            number = text.trimmed().startsWith(QLatin1Char('-')) ? 0 : text.trimmed().toULongLong(&ok, 10);
        return ok ? std::optional<T>(number) : std::nullopt;
    }

    T minimum_;
    T maximum_;
    T value_;
};

}  // namespace klova
