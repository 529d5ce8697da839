// One control editing one encoder property on a configuration page: a check box for a
// boolean, a spin box for a number (within the property's range), a list of the named
// values of an enumeration, a menu of the named bits of a flags value, a line for text.
// The control carries the property's name as objectName and its description as tooltip.
// UI thread only.
#pragma once

#include "codecs/encoder_properties.h"

#include <gst/gst.h>

#include <memory>

class QWidget;

namespace klova {

class PropertyEditor {
public:
    // A control for the property's kind; the parent owns it.
    static std::unique_ptr<PropertyEditor> Create(const EncoderProperty& property, QWidget* parent);

    virtual ~PropertyEditor() = default;
    PropertyEditor(const PropertyEditor&) = delete;
    PropertyEditor& operator=(const PropertyEditor&) = delete;

    const EncoderProperty& property() const { return property_; }
    QWidget* control() const { return control_; }

    // Shows a value of the property's type.
    virtual void Show(const GValue& value) = 0;

    // The value shown, into a value initialised to the property's type.
    virtual void Read(GValue* value) const = 0;

protected:
    PropertyEditor(const EncoderProperty& property, QWidget* control);

private:
    EncoderProperty property_;
    QWidget* control_;
};

}  // namespace klova
