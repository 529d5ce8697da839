// The private control interface of the "MediaReader" sink: how an input reader sets
// it up and asks it for one decoded sample at a time.
#pragma once

#include "media_in/media_type.h"
#include "platform/media_types.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace klova {

// Implemented by MediaReaderFilter. The sink element owns the object; whoever holds a
// reference to the element may use the interface. Unless noted, operations are called
// on the engine thread.
class IMediaReaderControl {
public:
    // The only type offered upstream, and the format type every accepted type must
    // carry (FormatType::None: any). E_POINTER if either is null.
    virtual HRESULT SetPreferredType(const MediaType* type, const FormatType* requiredFormat) = 0;

    // Copy of the type the sink is connected with (MajorType::None before that).
    virtual HRESULT GetConnectedType(MediaType* type) = 0;

    // The size a reader's buffer needs for the connected type: one frame of video, at
    // least a quarter second of whole audio blocks; 0 before the connection.
    virtual HRESULT GetBufferSize(uint32_t* size) = 0;

    // While set, nothing is copied and a pending request is withdrawn. The pipeline's
    // own flush (unlock) is what releases a delivery blocked in render.
    virtual HRESULT SetFlush(bool flush) = 0;

    // Allows exactly one sample (or one piece of a sample larger than the buffer) to be
    // copied into the buffer; with a spare buffer, takes the frame converted ahead, if
    // one is ready, at once.
    virtual HRESULT RequestSample() = 0;

    // Blocks until the requested sample was copied (S_OK) or the stream has ended
    // (S_FALSE: end of stream or a streaming failure). A wait that ends without a sample
    // withdraws the request, so nothing is copied behind the caller's back.
    virtual HRESULT WaitForSample() = 0;

    // The destination of every copy; the sink never frees it. E_INVALIDARG if either is 0.
    virtual HRESULT SetBuffer(uint32_t size, uint8_t* buffer) = 0;

    // A second buffer of the same size, or null for none. With it, 4:2:0 frames are
    // converted ahead of the request into whichever of the two buffers the reader does
    // not hold (the one it was last handed stays untouched), so converting the next
    // frame overlaps the reader's work on this one; a request then takes the frame at
    // once. Before streaming; the sink never frees it.
    virtual HRESULT SetSpareBuffer(uint8_t* buffer) = 0;
    // Where the last delivery lies: the buffer or the spare. Null before the first.
    virtual HRESULT GetData(uint8_t** data) = 0;
    // Bytes copied by the last delivery; with reset the value is then set to 0.
    virtual HRESULT GetDataLength(bool reset, uint32_t* length) = 0;

    // Times of the last delivery in 100-ns units; with reset both are then set to 0.
    virtual HRESULT GetTimes(bool reset, MediaTime* start, MediaTime* stop) = 0;

    // Ends the stream as its end would: a waiting or later WaitForSample returns S_FALSE
    // until the next flush. Called from any thread (the pipeline's bus on a failure).
    virtual HRESULT AbortStream() = 0;

    // A flag that another thread (a signal handler) may set to stop the conversion:
    // while it is set, WaitForSample returns S_FALSE, as at the end of the stream, within
    // a tenth of a second. Borrowed; null (the default) for none. Before reading.
    virtual HRESULT SetStopRequest(const std::atomic<bool>* stopRequested) = 0;

    // Whether the frame rate in the decoded video's caps can be trusted. Decoders make
    // up a rate when the container gave them none; the sink then ignores the caps'
    // rate and the decoder's durations. Called on a streaming thread before the caps
    // reach the sink.
    virtual HRESULT SetFrameRateTrusted(bool trusted) = 0;

    // A frame rate found out by measuring, for a stream whose caps carried none: the
    // frames the sink times from now on keep to its grid. Called on the engine thread.
    virtual HRESULT SetNominalFrameRate(double framesPerSecond) = 0;

    // The rows of each video frame the reader's caller reads (one flag per row of the
    // DIB, in buffer order; empty: all). 4:2:0 frames converted from the next one on
    // get only these rows; the others keep whatever they held. Frames that arrive as
    // BGR are copied whole.
    virtual HRESULT SetRowsRead(std::vector<uint8_t> dibRows) = 0;

    // Start of the first segment the sink received, in nanoseconds of the upstream
    // time line: where the stream's running time 0 lies. S_FALSE before any segment.
    virtual HRESULT GetStreamOrigin(uint64_t* originNs) = 0;

    // From the next flush on, sample times count from this position of the upstream
    // time line instead of from the segment start, and whatever lies before it is
    // dropped (video) or cut off (audio). Lets a seek start reading earlier than the
    // position it wants. Set before the seek that flushes.
    virtual HRESULT SetTimeOrigin(uint64_t positionNs) = 0;

protected:
    ~IMediaReaderControl() = default;
};

}  // namespace klova
