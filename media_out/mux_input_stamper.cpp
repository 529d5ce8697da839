#include "media_out/mux_input_stamper.h"

#include "platform/callback_guard.h"

GST_DEBUG_CATEGORY_STATIC(mux_input_stamper_debug);
#define GST_CAT_DEFAULT mux_input_stamper_debug

namespace klova {

MuxInputStamper::MuxInputStamper(GstPad* pad, Kind kind, int32_t rateNumerator, int32_t rateDenominator)
    : pad_(GST_PAD(gst_object_ref(pad))), kind_(kind), rateNumerator_(rateNumerator),
      rateDenominator_(rateDenominator > 0 ? rateDenominator : 1)
{
    static const bool initialised = [] {
        GST_DEBUG_CATEGORY_INIT(mux_input_stamper_debug, "klovamuxstamps", 0, "time stamps into the AVI muxer");
        return true;
    }();
    (void)initialised;
    gst_segment_init(&incoming_, GST_FORMAT_TIME);
    probe_ = gst_pad_add_probe(pad,
                               static_cast<GstPadProbeType>(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST |
                                                            GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM),
                               OnData, this, nullptr);
}

MuxInputStamper::~MuxInputStamper()
{
    if (probe_)
        gst_pad_remove_probe(pad_.get(), probe_);
}

GstClockTime MuxInputStamper::VideoTime(uint64_t frames) const
{
    if (rateNumerator_ <= 0)
        return 0;
    return gst_util_uint64_scale(frames, GST_SECOND * static_cast<uint64_t>(rateDenominator_),
                                 static_cast<uint64_t>(rateNumerator_));
}

GstPadProbeReturn MuxInputStamper::OnData(GstPad*, GstPadProbeInfo* info, gpointer self) noexcept
{
    return GuardCallback(
        nullptr, "stamping a buffer for the muxer", [&] { return static_cast<MuxInputStamper*>(self)->Stamp(info); },
        GST_PAD_PROBE_OK);
}

GstPadProbeReturn MuxInputStamper::Stamp(GstPadProbeInfo* info)
{
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM) {
        GstEvent* event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_SEGMENT) {
            const GstSegment* segment = nullptr;
            gst_event_parse_segment(event, &segment);
            if (segment->format == GST_FORMAT_TIME)
                gst_segment_copy_into(segment, &incoming_);
            GstSegment outgoing;
            gst_segment_init(&outgoing, GST_FORMAT_TIME);
            GstEvent* replacement = gst_event_new_segment(&outgoing);
            gst_event_set_seqnum(replacement, gst_event_get_seqnum(event));
            gst_event_unref(event);
            GST_PAD_PROBE_INFO_DATA(info) = replacement;
        }
        return GST_PAD_PROBE_OK;
    }

    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList* list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
        GST_PAD_PROBE_INFO_DATA(info) = list;
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            StampBuffer(gst_buffer_list_get_writable(list, i));
        return GST_PAD_PROBE_OK;
    }
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    StampBuffer(buffer);
    return GST_PAD_PROBE_OK;
}

void MuxInputStamper::StampBuffer(GstBuffer* buffer)
{
    if (kind_ == Kind::Video) {
        const GstClockTime start = VideoTime(frames_);
        const GstClockTime stop = VideoTime(++frames_);
        GST_BUFFER_PTS(buffer) = start;
        GST_BUFFER_DTS(buffer) = start;
        GST_BUFFER_DURATION(buffer) = stop - start;
        return;
    }

    // Audio: its running time, half a second on; a buffer without a usable time follows
    // the one before.
    GstClockTime start = audioEnd_;
    const GstClockTime pts = GST_BUFFER_PTS(buffer);
    if (GST_CLOCK_TIME_IS_VALID(pts)) {
        const GstClockTime running = gst_segment_to_running_time(&incoming_, GST_FORMAT_TIME, pts);
        if (GST_CLOCK_TIME_IS_VALID(running))
            start = running + kMuxerVideoDelay;
    }
    if (start < kMuxerVideoDelay)
        start = kMuxerVideoDelay;
    GST_BUFFER_PTS(buffer) = start;
    GST_BUFFER_DTS(buffer) = start;
    audioEnd_ = start + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
}

}  // namespace klova
