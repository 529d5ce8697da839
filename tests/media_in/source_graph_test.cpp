// The input pipeline around a "mediareader" sink: what it decodes and how a streaming
// failure reaches a waiting reader.
#include "media_in/media_reader_sink.h"
#include "media_in/media_type.h"
#include "media_in/source_graph.h"
#include "tests/media_in/media_fixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
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

    GstElement* pipeline() { return GST_ELEMENT(GST_OBJECT_PARENT(sink_.get())); }

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

// Counts, by the kind of each stream, the packets that pass from the demuxer into the
// next element (decodebin's queue) from the moment it is made.
class DemuxedPacketCounter {
public:
    explicit DemuxedPacketCounter(GstElement* pipeline)
    {
        GstPtr<GstIterator> elements = adopt(gst_bin_iterate_recurse(GST_BIN(pipeline)));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(elements.get(), &item) == GST_ITERATOR_OK) {
            auto* element = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* factory = gst_element_get_factory(element);
            const char* klass = factory ? gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS) : "";
            if (std::strstr(klass, "Demux"))
                WatchSourcePads(element);
            g_value_reset(&item);
        }
        g_value_unset(&item);
    }

    ~DemuxedPacketCounter()
    {
        for (const Watch& watch : watches_)
            gst_pad_remove_probe(watch.pad.get(), watch.probe);
    }

    int Count(StreamKind kind) const { return counts_[static_cast<size_t>(kind)]; }

private:
    struct Watch {
        GstPtr<GstPad> pad;
        gulong probe;
    };

    void WatchSourcePads(GstElement* demuxer)
    {
        for (GList* item = GST_ELEMENT_PADS(demuxer); item; item = item->next) {
            auto* pad = GST_PAD(item->data);
            GstPtr<GstPad> peer = adopt(gst_pad_get_peer(pad));
            if (GST_PAD_DIRECTION(pad) != GST_PAD_SRC || !peer)
                continue;
            GstPtr<GstCaps> caps = adopt(gst_pad_get_current_caps(pad));
            std::atomic<int>* count = &counts_[static_cast<size_t>(KindOfCaps(caps.get()))];
            const gulong probe = gst_pad_add_probe(
                peer.get(), GST_PAD_PROBE_TYPE_BUFFER,
                [](GstPad*, GstPadProbeInfo*, gpointer data) {
                    ++*static_cast<std::atomic<int>*>(data);
                    return GST_PAD_PROBE_OK;
                },
                count, nullptr);
            watches_.push_back({std::move(peer), probe});
        }
    }

    std::array<std::atomic<int>, 3> counts_{};
    std::vector<Watch> watches_;
};

// The other kind's packets never reach decodebin's queue: the demuxer's probe drops
// them, so neither the queue's thread nor a fakesink handles each one.
TEST(SourceGraph, DropsTheOtherKindsPacketsAsTheDemuxerHandsThemOut)
{
    for (const char* name : {"pal_8s.mpg", "h264_aac_8s.mp4"}) {
        for (const SourceGraph::Kind kind : {SourceGraph::Kind::Video, SourceGraph::Kind::Audio}) {
            const bool video = kind == SourceGraph::Kind::Video;
            GraphUnderTest graph(kind, test::Fixture(name));
            const DemuxedPacketCounter counter(graph.pipeline());
            int samples = 0;
            while (graph.Read())
                ++samples;
            SCOPED_TRACE(std::string(name) + (video ? ", video reader" : ", audio reader"));
            EXPECT_GT(samples, video ? 150 : 0) << "the whole stream is read";
            EXPECT_GT(counter.Count(video ? StreamKind::Video : StreamKind::Audio), 0);
            EXPECT_EQ(counter.Count(video ? StreamKind::Audio : StreamKind::Video), 0);
        }
    }
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
