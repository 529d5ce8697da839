#include "dialogs/property_editor.h"

#include "dialogs/real_spin_box.h"
#include "dialogs/wide_spin_box.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>

namespace klova {
namespace {

constexpr const char* kNickProperty = "klovaNick";

class BooleanEditor : public PropertyEditor {
public:
    BooleanEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, new QCheckBox(parent)), box_(static_cast<QCheckBox*>(control()))
    {
    }
    void Show(const GValue& value) override { box_->setChecked(g_value_get_boolean(&value)); }
    void Read(GValue* value) const override { g_value_set_boolean(value, box_->isChecked()); }

private:
    QCheckBox* box_;
};

class SignedEditor : public PropertyEditor {
public:
    SignedEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, MakeBox(property.spec, parent)), box_(static_cast<WideSpinBox<int64_t>*>(control()))
    {
    }
    void Show(const GValue& value) override { box_->setValue(GetSigned(value)); }
    void Read(GValue* value) const override { SetSigned(property().spec, value, box_->value()); }

private:
    static QWidget* MakeBox(const GParamSpec* spec, QWidget* parent)
    {
        int64_t minimum = 0;
        int64_t maximum = 0;
        SignedLimits(spec, &minimum, &maximum);
        return new WideSpinBox<int64_t>(minimum, maximum, parent);
    }
    WideSpinBox<int64_t>* box_;
};

class UnsignedEditor : public PropertyEditor {
public:
    UnsignedEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, MakeBox(property.spec, parent)), box_(static_cast<WideSpinBox<uint64_t>*>(control()))
    {
    }
    void Show(const GValue& value) override { box_->setValue(GetUnsigned(value)); }
    void Read(GValue* value) const override { SetUnsigned(property().spec, value, box_->value()); }

private:
    static QWidget* MakeBox(const GParamSpec* spec, QWidget* parent)
    {
        uint64_t minimum = 0;
        uint64_t maximum = 0;
        UnsignedLimits(spec, &minimum, &maximum);
        return new WideSpinBox<uint64_t>(minimum, maximum, parent);
    }
    WideSpinBox<uint64_t>* box_;
};

class RealEditor : public PropertyEditor {
public:
    RealEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, MakeBox(property.spec, parent)), box_(static_cast<RealSpinBox*>(control()))
    {
    }
    void Show(const GValue& value) override { box_->setValue(GetReal(value)); }
    void Read(GValue* value) const override { SetReal(property().spec, value, box_->value()); }

private:
    static QWidget* MakeBox(const GParamSpec* spec, QWidget* parent)
    {
        double minimum = 0.0;
        double maximum = 0.0;
        RealLimits(spec, &minimum, &maximum);
        const bool single = G_PARAM_SPEC_VALUE_TYPE(spec) == G_TYPE_FLOAT;
        return new RealSpinBox(minimum, maximum, single ? 7 : 15, parent);
    }
    RealSpinBox* box_;
};

// The named values by their descriptions, each with its short name as tooltip.
class EnumerationEditor : public PropertyEditor {
public:
    EnumerationEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, new QComboBox(parent)), list_(static_cast<QComboBox*>(control()))
    {
        const GEnumClass* values = G_PARAM_SPEC_ENUM(property.spec)->enum_class;
        for (guint i = 0; i < values->n_values; ++i) {
            list_->addItem(QString::fromUtf8(values->values[i].value_name), values->values[i].value);
            list_->setItemData(i, QString::fromUtf8(values->values[i].value_nick), Qt::ToolTipRole);
        }
        list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        // The list opens wide enough for the longest description, whatever the box's width.
        list_->view()->setMinimumWidth(list_->view()->sizeHintForColumn(0) + 2 * list_->view()->frameWidth());
    }
    void Show(const GValue& value) override
    {
        const int number = g_value_get_enum(&value);
        int index = list_->findData(number);
        if (index < 0) {  // a value without a name: shown by its number
            list_->addItem(QString::number(number), number);
            index = list_->count() - 1;
        }
        list_->setCurrentIndex(index);
    }
    void Read(GValue* value) const override { g_value_set_enum(value, list_->currentData().toInt()); }

private:
    QComboBox* list_;
};

// A button that names the bits set and opens a menu with one tick per named bit.
class FlagsEditor : public PropertyEditor {
public:
    FlagsEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, new QToolButton(parent)),
          button_(static_cast<QToolButton*>(control())),
          flags_(G_PARAM_SPEC_FLAGS(property.spec)->flags_class)
    {
        button_->setPopupMode(QToolButton::InstantPopup);
        button_->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        auto* menu = new QMenu(button_);
        for (guint i = 0; i < flags_->n_values; ++i) {
            const GFlagsValue& flag = flags_->values[i];
            if (flag.value == 0)
                continue;
            QAction* action = menu->addAction(QStringLiteral("%1 - %2").arg(QString::fromUtf8(flag.value_nick),
                                                                           QString::fromUtf8(flag.value_name)));
            action->setCheckable(true);
            action->setData(flag.value);
            action->setProperty(kNickProperty, QString::fromUtf8(flag.value_nick));
            QObject::connect(action, &QAction::toggled, button_, [this, action](bool on) {
                const guint bits = action->data().toUInt();
                bits_ = on ? (bits_ | bits) : (bits_ & ~bits);
                Refresh();
            });
        }
        button_->setMenu(menu);
    }
    void Show(const GValue& value) override
    {
        bits_ = g_value_get_flags(&value);
        Refresh();
    }
    void Read(GValue* value) const override { g_value_set_flags(value, bits_); }

private:
    // Ticks and text from the bits; a combined flag shows ticked when all its bits are set.
    void Refresh()
    {
        QStringList names;
        for (QAction* action : button_->menu()->actions()) {
            const guint bits = action->data().toUInt();
            const bool on = (bits_ & bits) == bits;
            const QSignalBlocker quiet(action);
            action->setChecked(on);
            if (on)
                names << action->property(kNickProperty).toString();
        }
        button_->setText(names.isEmpty() ? QStringLiteral("(none)") : names.join(QLatin1Char('+')));
    }

    QToolButton* button_;
    GFlagsClass* flags_;
    guint bits_ = 0;
};

// A box cannot tell no text from empty text, and encoders differ in which they take
// ("" where the default is "", no text where it is none): an empty box gives back the
// empty value the page opened with, or the property's own default emptiness once a text
// was cleared.
class TextEditor : public PropertyEditor {
public:
    TextEditor(const EncoderProperty& property, QWidget* parent)
        : PropertyEditor(property, new QLineEdit(parent)), line_(static_cast<QLineEdit*>(control()))
    {
        emptyIsNone_ = g_value_get_string(g_param_spec_get_default_value(property.spec)) == nullptr;
    }
    void Show(const GValue& value) override
    {
        const char* text = g_value_get_string(&value);
        if (!opened_) {
            opened_ = true;
            if (!text || !*text)
                emptyIsNone_ = text == nullptr;
        }
        line_->setText(QString::fromUtf8(text));
    }
    void Read(GValue* value) const override
    {
        const QByteArray text = line_->text().toUtf8();
        g_value_set_string(value, text.isEmpty() && emptyIsNone_ ? nullptr : text.constData());
    }

private:
    QLineEdit* line_;
    bool opened_ = false;
    bool emptyIsNone_;
};

}  // namespace

PropertyEditor::PropertyEditor(const EncoderProperty& property, QWidget* control)
    : property_(property), control_(control)
{
    control_->setObjectName(QString::fromUtf8(property.spec->name));
    control_->setToolTip(QString::fromStdString(DescribeProperty(property)));
}

std::unique_ptr<PropertyEditor> PropertyEditor::Create(const EncoderProperty& property, QWidget* parent)
{
    switch (property.kind) {
    case PropertyKind::Boolean: return std::make_unique<BooleanEditor>(property, parent);
    case PropertyKind::SignedInteger: return std::make_unique<SignedEditor>(property, parent);
    case PropertyKind::UnsignedInteger: return std::make_unique<UnsignedEditor>(property, parent);
    case PropertyKind::Real: return std::make_unique<RealEditor>(property, parent);
    case PropertyKind::Enumeration: return std::make_unique<EnumerationEditor>(property, parent);
    case PropertyKind::Flags: return std::make_unique<FlagsEditor>(property, parent);
    case PropertyKind::Text: return std::make_unique<TextEditor>(property, parent);
    }
    return nullptr;
}

}  // namespace klova
