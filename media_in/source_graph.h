// The decoding pipeline of one input reader: the file, decodebin, a converter to the
// sink's format and the "mediareader" sink. Streams of the other kind are not decoded:
// their packets are dropped as the demuxer hands them out, and they, like any further
// stream of the reader's kind, end in fakesinks. Video is turned
// upright as its orientation tag says, so everything after the reader sees the picture
// as it is meant to be shown:
//   filesrc ! decodebin ! queue ! videoconvert ! videoflip video-direction=auto
//     ! videoscale ! capsfilter ! mediareader
#pragma once

#include "media_in/media_reader_control.h"
#include "media_in/stream_caps.h"
#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <gst/gst.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>

namespace klova {

class SourceGraph {
public:
    enum class Kind { Video, Audio };

    // Preroll's failure for a file that has no stream of the reader's kind at all
    // (VFW_E_CANNOT_RENDER), as opposed to one it cannot decode.
    static constexpr HRESULT kNoStreamOfKind = static_cast<HRESULT>(0x80040218u);

    // sink: a "mediareader" element (a reference is taken); control: its interface.
    SourceGraph(Kind kind, GstElement* sink, IMediaReaderControl& control);
    ~SourceGraph();  // stops the pipeline, joining its streaming threads
    SourceGraph(const SourceGraph&) = delete;
    SourceGraph& operator=(const SourceGraph&) = delete;

    // Creates and links the elements for the file. E_FAIL when an element is missing.
    HRESULT Build(const std::string& fileName);

    // Pauses the pipeline and waits until the sink has its first sample (or the end),
    // or the pipeline failed, or the file turned out to have no stream of the kind, or
    // stopRequested (null: none) was set.
    HRESULT Preroll(const std::atomic<bool>* stopRequested = nullptr);

    HRESULT Run();

    // A flushing, accurate seek to a position on the upstream time line.
    bool Seek(uint64_t positionNs);

    // Duration of the reader's stream as the sink's upstream reports it.
    bool QueryDuration(GstFormat format, int64_t* value) const;

    // The first error the pipeline reported ("element: message"), or empty. Any thread.
    std::string FirstError() const;

private:
    // Called on streaming threads.
    void OnPadAdded(GstPad* pad);
    void OnNoMorePads();
    int OnAutoplugSelect(GstCaps* caps, GstElementFactory* factory);
    GstBusSyncReply OnBusMessage(GstMessage* message);

    StreamKind ServedKind() const;
    void OnElementAdded(GstElement* element);
    void OnVideoDecoderAdded(GstElement* element);
    static void OnDemuxerPadAdded(GstPad* pad, StreamKind served);
    void LinkToFakeSink(GstPad* pad);
    void Fail();

    // Pad probes, called on streaming threads.
    static GstPadProbeReturn RepairPixelAspect(GstPad* pad, GstPadProbeInfo* info, gpointer);
    static GstPadProbeReturn DropLoneDecodingTime(GstPad* pad, GstPadProbeInfo* info, gpointer);
    static GstPadProbeReturn SkipOtherKind(GstPad* pad, GstPadProbeInfo* info, gpointer stream);

    static void PadAddedThunk(GstElement* element, GstPad* pad, gpointer self);
    static void NoMorePadsThunk(GstElement* element, gpointer self);
    static int AutoplugSelectThunk(GstElement* bin, GstPad* pad, GstCaps* caps, GstElementFactory* factory,
                                   gpointer self);
    static GstBusSyncReply BusThunk(GstBus* bus, GstMessage* message, gpointer self);
    static void ElementAddedThunk(GstBin* bin, GstBin* subBin, GstElement* element, gpointer self);
    static void DemuxerPadAddedThunk(GstElement* demuxer, GstPad* pad, gpointer served);

    const Kind kind_;
    IMediaReaderControl& control_;
    GstPtr<GstElement> pipeline_;
    GstPtr<GstElement> sink_;
    GstPtr<GstElement> decodebin_;
    GstPtr<GstElement> converterInput_;  // first element after decodebin
    GstPtr<GstBus> bus_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string firstError_;
    bool linked_ = false;       // the stream of the kind reached the converter
    bool sawKind_ = false;      // the file has a stream of the kind, decodable or not
    bool largeFrames_ = false;  // the video decoder chosen last is for frames above 1080p
    bool noMorePads_ = false;
    bool prerolled_ = false;
    bool failed_ = false;
};

}  // namespace klova
