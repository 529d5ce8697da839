// The settings of an encoder that its configuration page offers: the properties that
// describe the encoding, each with its kind, range and default. What only the pipeline
// needs (the element's name and parent, file locations, the base classes' timing and
// QoS switches, read-outs) and values a page cannot edit are left out.
#pragma once

#include <gst/gst.h>

#include <cstdint>
#include <string>
#include <vector>

namespace klova {

enum class PropertyKind {
    Boolean,
    SignedInteger,    // int, long, int64 (and char)
    UnsignedInteger,  // uint, ulong, uint64 (and uchar)
    Real,             // float, double
    Enumeration,
    Flags,
    Text,
};

struct EncoderProperty {
    // Borrowed from the encoder's class, which stays registered for the whole process.
    GParamSpec* spec = nullptr;
    PropertyKind kind = PropertyKind::Text;
};

// The encoder's configurable properties, by name. Each is readable and writable after
// construction and not deprecated.
std::vector<EncoderProperty> ConfigurableProperties(GstElement* encoder);

// The description of a property for a tooltip: its blurb (or its name when it has
// none), its range and its default.
std::string DescribeProperty(const EncoderProperty& property);

// Limits of the integer and real kinds, taken from the property's GParamSpec.
void SignedLimits(const GParamSpec* spec, int64_t* minimum, int64_t* maximum);
void UnsignedLimits(const GParamSpec* spec, uint64_t* minimum, uint64_t* maximum);
void RealLimits(const GParamSpec* spec, double* minimum, double* maximum);

// A property value converted to and from the widest type of its kind; setting clamps to
// the GParamSpec's range. The value must hold the GParamSpec's own type.
int64_t GetSigned(const GValue& value);
uint64_t GetUnsigned(const GValue& value);
double GetReal(const GValue& value);
void SetSigned(const GParamSpec* spec, GValue* value, int64_t number);
void SetUnsigned(const GParamSpec* spec, GValue* value, uint64_t number);
void SetReal(const GParamSpec* spec, GValue* value, double number);

}  // namespace klova
