// What an encoder is, for its About page: the metadata of its element factory and of
// the plug-in that provides it.
#pragma once

#include <gst/gst.h>

#include <string>

namespace klova {

struct EncoderDescription {
    std::string longName;     // the friendly name
    std::string description;
    std::string author;
    std::string klass;        // "Codec/Encoder/Video", ...
    std::string factoryName;  // the element's own name, as gst-launch-1.0 takes it
    std::string plugin;       // the plug-in's name and its own description
    std::string version;      // the plug-in's version
    std::string license;
    std::string package;      // the source package the plug-in was built from
    std::string origin;       // where that package comes from (an address)
};

// Empty fields where the factory or plug-in does not say.
EncoderDescription DescribeEncoder(GstElementFactory* factory);

}  // namespace klova
