#include "codecs/encoder_description.h"

#include "platform/gst_ptr.h"

namespace klova {
namespace {

std::string Text(const char* text) { return text ? text : ""; }

}  // namespace

EncoderDescription DescribeEncoder(GstElementFactory* factory)
{
    EncoderDescription about;
    if (!factory)
        return about;
    about.longName = Text(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_LONGNAME));
    about.description = Text(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_DESCRIPTION));
    about.author = Text(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_AUTHOR));
    about.klass = Text(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS));
    about.factoryName = Text(GST_OBJECT_NAME(factory));

    const GstPtr<GstPlugin> plugin = adopt(gst_plugin_feature_get_plugin(GST_PLUGIN_FEATURE(factory)));
    if (!plugin)
        return about;
    about.plugin = Text(gst_plugin_get_name(plugin.get()));
    const std::string pluginDescription = Text(gst_plugin_get_description(plugin.get()));
    if (!pluginDescription.empty())
        about.plugin += " (" + pluginDescription + ")";
    about.version = Text(gst_plugin_get_version(plugin.get()));
    about.license = Text(gst_plugin_get_license(plugin.get()));
    about.package = Text(gst_plugin_get_package(plugin.get()));
    const std::string source = Text(gst_plugin_get_source(plugin.get()));
    if (!source.empty() && about.package.find(source) == std::string::npos)
        about.package += about.package.empty() ? source : " [" + source + "]";
    about.origin = Text(gst_plugin_get_origin(plugin.get()));
    return about;
}

}  // namespace klova
