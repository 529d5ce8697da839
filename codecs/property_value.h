// One initialised GValue of a given type, unset (releasing what it holds) when it goes.
#pragma once

#include <gst/gst.h>

namespace klova {

class PropertyValue {
public:
    explicit PropertyValue(GType type) { g_value_init(&value_, type); }
    ~PropertyValue() { g_value_unset(&value_); }
    PropertyValue(const PropertyValue&) = delete;
    PropertyValue& operator=(const PropertyValue&) = delete;

    GValue* get() { return &value_; }
    const GValue* get() const { return &value_; }

private:
    GValue value_ = G_VALUE_INIT;
};

}  // namespace klova
