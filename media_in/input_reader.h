// Opens one stream kind (video or audio) of an input file and hands its decoded
// samples to the engine one at a time: RGB24 frames bottom-up with a VIDEOINFOHEADER,
// or interleaved PCM with a WAVEFORMATEX.
#pragma once

#include "media_in/media_reader_control.h"
#include "media_in/media_type.h"
#include "platform/gst_ptr.h"
#include "platform/media_types.h"

#include <gst/gst.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace klova {

class SourceGraph;

// The index taken by GetProperty.
enum ReaderProperty : int32_t {
    PropDuration = 0,     // int64, 100-ns units
    PropSampleCount = 1,  // int64, audio samples
    PropFrameCount = 2,   // int64, frames
    PropFrameRate = 3,    // double, frames per second
    PropSampleRate = 4,   // double, samples per second
};

// All operations run on the engine thread. The reader owns its pipeline; the
// pipeline's streaming thread waits in the sink until ReadSample asks for a sample.
class InputReader {
public:
    // Builds the pipeline and waits until the first sample is decoded; throws
    // CMyException(ErrorCode::InputOpenFailed) on any failure, including a file with no
    // audio when audio is asked for, and a name that is neither a regular file nor a
    // block device (a FIFO would block the opening for good); a file with no video
    // stream at all when video is asked for throws ErrorCode::NoVideoStream.
    // formatFree: accept any format block (frame size, rate, channels) of the requested
    // type. stopRequested: a flag another thread (a signal handler) may set; the wait for
    // the first sample then fails, and later reads find the end of the stream. Borrowed;
    // null for none.
    InputReader(const std::string& fileName, const MediaType& requested, bool formatFree,
                const std::atomic<bool>* stopRequested = nullptr);
    virtual ~InputReader();  // never throws; returns promptly even mid-stream
    InputReader(const InputReader&) = delete;
    InputReader& operator=(const InputReader&) = delete;

    // The next sample: a pointer to one of the reader's buffers, valid until the next
    // ReadSample, SeekTo or destruction. Until then the buffer is the caller's: the
    // streaming thread writes into it only when the next sample is requested, so the
    // caller may change it (the preview draws into video frames). Length 0 (times 0) is
    // the end of the input, also after a decoding failure; every later read returns it
    // at once.
    uint8_t* ReadSample(uint32_t* length, MediaTime* start, MediaTime* stop);

    // Where the first sample read since the open or the last seek started (100-ns
    // units, the time line of ReadSample); none before that sample was read. A video
    // and an audio reader on one file share the time line, so the difference of their
    // first starts is how much later one stream begins than the other.
    std::optional<MediaTime> FirstSampleStart() const { return firstStart_; }

    uint32_t GetBufferSize() const { return bufferSize_; }
    MediaType GetMediaType() const { return connected_; }

    // Restarts the stream at a position (100-ns units from the start of the stream);
    // the first sample after it starts at or near time 0. Never throws.
    void SeekTo(MediaTime position);
    void Rewind() { SeekTo(0); }

    // For a video stream whose frame rate had to be measured: the frames delivered
    // from now on keep to this rate's grid (each lasts a whole number of
    // FrameDuration(framesPerSecond) units), so time-stamp jitter cannot reach the caller.
    void SetNominalFrameRate(double framesPerSecond);

    // The rows of each video frame the caller reads (one flag per DIB row, in buffer
    // order; empty: all): later 4:2:0 frames are converted on those rows only, and the
    // others hold stale bytes.
    void SetRowsRead(std::vector<uint8_t> dibRows);

    // Writes 8 bytes (int64 or double, see ReaderProperty); any other index writes nothing.
    void GetProperty(int32_t index, void* value) const;

    // Returns for a success code, throws CMyException code 7 for a failure code.
    virtual void CheckResult(HRESULT hr);

private:
    void ComputeProperties();
    bool NominalFrameRate(double* rate) const;
    bool ConvertedBySink() const;

    std::string fileName_;
    FormatType requiredFormat_ = FormatType::None;
    MediaType preferred_;
    MediaType connected_;

    // Declared before the pipeline: it must outlive the streaming thread writing into it.
    std::unique_ptr<uint8_t[]> buffer_;
    // Video the sink converts itself: the next frame is converted into this one while
    // the caller works on the frame in the other (null for other samples).
    std::unique_ptr<uint8_t[]> spare_;
    uint8_t* lastData_ = nullptr;
    uint32_t bufferSize_ = 0;
    uint32_t lastLength_ = 0;
    MediaTime lastStart_ = 0;
    MediaTime lastStop_ = 0;
    std::optional<MediaTime> firstStart_;

    MediaTime duration_ = 0;
    int64_t frameCount_ = 0;
    int64_t sampleCount_ = 0;
    double frameRate_ = 0.0;
    double sampleRate_ = 0.0;
    uint64_t originNs_ = 0;  // where running time 0 lies on the upstream time line

    GstPtr<GstElement> sink_;
    IMediaReaderControl* control_ = nullptr;  // of sink_
    std::unique_ptr<SourceGraph> graph_;
};

}  // namespace klova
