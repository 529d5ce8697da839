// The input pipeline around a "mediareader" sink: what it decodes and how a streaming
// failure reaches a waiting reader.
#include "media_in/media_reader_sink.h"
#include "media_in/media_type.h"
#include "media_in/source_graph.h"
#include "tests/media_in/media_fixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace klova {
namespace {

class GraphUnderTest {
public:
    GraphUnderTest(SourceGraph::Kind kind, const std::string& file)
    {
        EXPECT_TRUE(RegisterMediaReaderSink());
        sink_ = MakeElement("mediareader");
        control_ = MediaReaderControlOf(sink_.get());
        MediaType preferred = kind == SourceGraph::Kind::Video ? VideoRequestType : AudioRequestType;
        const FormatType required = preferred.formattype;
        preferred.formattype = FormatType::None;
        control_->SetPreferredType(&preferred, &required);
        graph_ = std::make_unique<SourceGraph>(kind, sink_.get(), *control_);
        EXPECT_EQ(graph_->Build(file), S_OK);
        EXPECT_EQ(graph_->Preroll(), S_OK);
        uint32_t size = 0;
        control_->GetBufferSize(&size);
        buffer_.resize(size);
        EXPECT_EQ(control_->SetBuffer(size, buffer_.data()), S_OK);
        EXPECT_EQ(graph_->Run(), S_OK);
    }

    ~GraphUnderTest() { graph_.reset(); }

    bool Read()
    {
        control_->RequestSample();
        return control_->WaitForSample() == S_OK;
    }

    // Factory class strings of every element in the pipeline, bins included.
    std::vector<std::string> ElementClasses()
    {
        std::vector<std::string> classes;
        GstPtr<GstObject> pipeline = adopt(gst_element_get_parent(sink_.get()));
        GstPtr<GstIterator> elements = adopt(gst_bin_iterate_recurse(GST_BIN(pipeline.get())));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(elements.get(), &item) == GST_ITERATOR_OK) {
            auto* element = GST_ELEMENT(g_value_get_object(&item));
            if (GstElementFactory* factory = gst_element_get_factory(element))
                classes.push_back(gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS));
            g_value_reset(&item);
        }
        g_value_unset(&item);
        return classes;
    }

    GstElement* sink() { return sink_.get(); }

    // The "thread-type" flags of the video decoder, as lower-case text ("" when it has
    // none).
    std::string DecoderThreadType()
    {
        std::string threadType;
        GstPtr<GstObject> pipeline = adopt(gst_element_get_parent(sink_.get()));
        GstPtr<GstIterator> elements = adopt(gst_bin_iterate_recurse(GST_BIN(pipeline.get())));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(elements.get(), &item) == GST_ITERATOR_OK) {
            auto* element = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* factory = gst_element_get_factory(element);
            const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : "";
            GParamSpec* property = g_object_class_find_property(G_OBJECT_GET_CLASS(element), "thread-type");
            if (std::strstr(klass, "Decoder") && std::strstr(klass, "Video") && property) {
                GValue value = G_VALUE_INIT;
                g_value_init(&value, property->value_type);
                g_object_get_property(G_OBJECT(element), "thread-type", &value);
                GstPtr<gchar> text(gst_value_serialize(&value));
                GstPtr<gchar> lower(g_ascii_strdown(text.get(), -1));
                threadType = lower.get();
                g_value_unset(&value);
            }
            g_value_reset(&item);
        }
        g_value_unset(&item);
        return threadType;
    }

private:
    GstPtr<GstElement> sink_;
    IMediaReaderControl* control_ = nullptr;
    std::vector<uint8_t> buffer_;
    std::unique_ptr<SourceGraph> graph_;
};

bool AnyDecoderOf(const std::vector<std::string>& classes, const char* kind)
{
    for (const std::string& klass : classes)
        if (klass.find("Decoder") != std::string::npos && klass.find(kind) != std::string::npos)
            return true;
    return false;
}

TEST(SourceGraph, DecodesOnlyTheStreamKindItServes)
{
    const std::string& file = test::Fixture("h264_aac.mp4");
    GraphUnderTest video(SourceGraph::Kind::Video, file);
    ASSERT_TRUE(video.Read());
    const std::vector<std::string> videoClasses = video.ElementClasses();
    EXPECT_TRUE(AnyDecoderOf(videoClasses, "Video"));
    EXPECT_FALSE(AnyDecoderOf(videoClasses, "Audio")) << "the video reader decodes sound";

    GraphUnderTest audio(SourceGraph::Kind::Audio, file);
    ASSERT_TRUE(audio.Read());
    const std::vector<std::string> audioClasses = audio.ElementClasses();
    EXPECT_TRUE(AnyDecoderOf(audioClasses, "Audio"));
    EXPECT_FALSE(AnyDecoderOf(audioClasses, "Video")) << "the audio reader decodes pictures";
}

TEST(SourceGraph, StreamingFailureAfterTheFirstSampleEndsTheStream)
{
    GraphUnderTest graph(SourceGraph::Kind::Video, test::Fixture("mjpeg_pcm.avi"));
    ASSERT_TRUE(graph.Read());
    ASSERT_TRUE(graph.Read());
    // What a decoder posts when it gives up; the reader must see an end, not hang.
    GST_ELEMENT_ERROR(graph.sink(), STREAM, DECODE, ("test failure"), ("posted by the test"));
    EXPECT_FALSE(graph.Read());
    EXPECT_FALSE(graph.Read());
}

// Frame threads keep pictures of their own, which at 4K sizes cost more memory than the
// whole rest of a conversion; pictures up to 1080p keep them.
TEST(SourceGraph, DecodesFramesAbove1080pWithSliceThreadsOnly)
{
    GraphUnderTest large(SourceGraph::Kind::Video, test::Fixture("h264_2048x1152.mp4"));
    ASSERT_TRUE(large.Read());
    const std::string largeThreads = large.DecoderThreadType();
    if (largeThreads.empty())
        GTEST_SKIP() << "the H.264 decoder has no thread-type setting";
    EXPECT_EQ(largeThreads, "slice");

    GraphUnderTest small(SourceGraph::Kind::Video, test::Fixture("h264_aac.mp4"));
    ASSERT_TRUE(small.Read());
    EXPECT_NE(small.DecoderThreadType(), "slice");
}

}  // namespace
}  // namespace klova
