// An encoder's Configure page, generated from its properties (see
// ConfigurableProperties): one row per property with the encoder's current value, the
// description and range as tooltip, and "Reset to defaults". OK keeps every value changed
// on the page in the encoder settings store, for every later instance of that encoder in
// this run of the program; Cancel keeps nothing. The encoder itself is only read.
// UI thread only.
#pragma once

#include "codecs/property_value.h"
#include "dialogs/option_dialog.h"

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

namespace klova {

class EncoderConfigStore;
class PropertyEditor;

class EncoderPropertyPage : public OptionDialog {
    Q_OBJECT

public:
    // The encoder is borrowed for the construction only.
    EncoderPropertyPage(GstElement* encoder, const QString& encoderName, EncoderConfigStore& encoderConfigs,
                        HelpWindow& help, QWidget* parent = nullptr);
    ~EncoderPropertyPage() override;

    // Every control shows its property's default.
    void ResetToDefaults();

    void accept() override;

private:
    struct Row {
        std::unique_ptr<PropertyEditor> editor;
        std::unique_ptr<PropertyValue> opened;  // the value when the page opened
    };

    std::string factoryName_;
    EncoderConfigStore& encoderConfigs_;
    std::vector<Row> rows_;
};

}  // namespace klova
