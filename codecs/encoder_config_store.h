// Process-wide memory of encoder property values set through an encoder's
// configuration page, keyed by factory name, so that every later instance of that
// encoder in the process starts with the same settings.
#pragma once

#include <gst/gst.h>

#include <map>
#include <mutex>
#include <string>
#include <tuple>

namespace klova {

class EncoderConfigStore {
public:
    EncoderConfigStore() = default;
    ~EncoderConfigStore();
    EncoderConfigStore(const EncoderConfigStore&) = delete;
    EncoderConfigStore& operator=(const EncoderConfigStore&) = delete;

    // Keeps a copy of the value; a later value for the same property replaces it.
    void Remember(const std::string& factoryName, const std::string& property, const GValue& value);

    // Sets every remembered value of the encoder's factory on it. Properties the element
    // does not have (or no longer accepts) are skipped with a warning in the log.
    void Apply(GstElement* encoder) const;

    // The raw video format (a GStreamer format name: "I420", "Y444", ...) that the
    // encoder's configuration asks to be fed; a later call replaces it, "" forgets it.
    void RememberInputFormat(const std::string& factoryName, const std::string& format);

    // The format remembered for the encoder's factory, or "" when its configuration
    // leaves the choice to the writer.
    std::string InputFormat(GstElement* encoder) const;

    // Releases every value; values may hold GStreamer objects, so this runs before gst_deinit.
    void Clear();

private:
    // Owns one initialised GValue.
    class StoredValue {
    public:
        explicit StoredValue(const GValue& source);
        ~StoredValue();
        StoredValue(const StoredValue&) = delete;
        StoredValue& operator=(const StoredValue&) = delete;
        const GValue* get() const { return &value_; }

    private:
        GValue value_ = G_VALUE_INIT;
    };

    // Guarded by lock_: the store is shared by the window and every writer it creates.
    mutable std::mutex lock_;
    std::map<std::string, std::map<std::string, StoredValue>> values_;
    std::map<std::string, std::string> inputFormats_;  // by factory name
};

}  // namespace klova
