#include "media_in/input_reader.h"

#include "media_in/media_reader_sink.h"
#include "media_in/media_type_caps.h"
#include "media_in/source_graph.h"
#include "media_in/yuv_to_bgr_converter.h"
#include "platform/errors.h"

#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <new>

namespace klova {

namespace {

// A count the demuxer reports in GST_FORMAT_DEFAULT is taken only when it agrees with
// duration x rate: some demuxers count packets or compressed frames in that format.
int64_t PlausibleCount(bool reported, int64_t count, MediaTime duration, double rate)
{
    const double expected = static_cast<double>(duration) * rate / static_cast<double>(kUnitsPerSecond);
    if (reported && count > 0) {
        if (expected <= 0.0 || std::fabs(static_cast<double>(count) - expected) <= 0.02 * expected + 1.0)
            return count;
    }
    return expected > 0.0 ? std::llround(expected) : 0;
}

}  // namespace

InputReader::InputReader(const std::string& fileName, const MediaType& requested, bool formatFree,
                         const std::atomic<bool>* stopRequested)
    : fileName_(fileName), requiredFormat_(requested.formattype), preferred_(requested)
{
    // Only what can be read to its end without waiting for someone else.
    struct stat info {};
    if (::stat(fileName_.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISBLK(info.st_mode))
        throw CMyException(ErrorCode::InputOpenFailed, fileName_ + " is not a regular file");

    if (formatFree) {
        preferred_.formattype = FormatType::None;
        preferred_.videoInfo = VIDEOINFOHEADER{};
        preferred_.waveFormat = WAVEFORMATEX{};
    }

    if (requested.majortype == MajorType::None)
        CheckResult(E_INVALIDARG);
    CheckResult(RegisterMediaReaderSink() ? S_OK : E_FAIL);
    sink_ = MakeElement("mediareader");
    control_ = MediaReaderControlOf(sink_.get());
    CheckResult(control_ ? S_OK : E_OUTOFMEMORY);
    CheckResult(control_->SetPreferredType(&preferred_, &requiredFormat_));
    CheckResult(control_->SetStopRequest(stopRequested));

    const auto kind = requested.majortype == MajorType::Video ? SourceGraph::Kind::Video : SourceGraph::Kind::Audio;
    graph_ = std::make_unique<SourceGraph>(kind, sink_.get(), *control_);
    CheckResult(graph_->Build(fileName_));
    const HRESULT prerolled = graph_->Preroll(stopRequested);
    if (prerolled == SourceGraph::kNoStreamOfKind && kind == SourceGraph::Kind::Video)
        throw CMyException(ErrorCode::NoVideoStream, fileName_ + " has no video stream");
    CheckResult(prerolled);

    CheckResult(control_->GetConnectedType(&connected_));
    CheckResult(control_->GetBufferSize(&bufferSize_));
    if (bufferSize_ > 0) {
        buffer_.reset(new (std::nothrow) uint8_t[bufferSize_]());
        CheckResult(buffer_ ? S_OK : E_OUTOFMEMORY);
    }
    CheckResult(control_->SetBuffer(bufferSize_, buffer_.get()));
    if (bufferSize_ > 0 && ConvertedBySink()) {
        spare_.reset(new (std::nothrow) uint8_t[bufferSize_]());
        CheckResult(spare_ ? S_OK : E_OUTOFMEMORY);
        CheckResult(control_->SetSpareBuffer(spare_.get()));
    }
    control_->GetStreamOrigin(&originNs_);

    ComputeProperties();

    CheckResult(graph_->Run());
    CheckResult(control_->GetConnectedType(&connected_));
}

InputReader::~InputReader()
{
    if (control_)
        control_->SetFlush(true);
    graph_.reset();
}

bool InputReader::NominalFrameRate(double* rate) const
{
    // AvgTimePerFrame is 0 when the caps had no rate or one the decoder made up.
    if (connected_.formattype != FormatType::VideoInfo || connected_.videoInfo.AvgTimePerFrame == 0)
        return false;
    GstPtr<GstPad> pad = adopt(gst_element_get_static_pad(sink_.get(), "sink"));
    GstPtr<GstCaps> caps = adopt(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    int num = 0;
    int den = 0;
    if (caps && FrameRateFromCaps(caps.get(), &num, &den))
        *rate = static_cast<double>(num) / den;
    else
        *rate = static_cast<double>(kUnitsPerSecond) / static_cast<double>(connected_.videoInfo.AvgTimePerFrame);
    return true;
}

bool InputReader::ConvertedBySink() const
{
    if (connected_.majortype != MajorType::Video)
        return false;
    GstPtr<GstPad> pad = adopt(gst_element_get_static_pad(sink_.get(), "sink"));
    GstPtr<GstCaps> caps = adopt(pad ? gst_pad_get_current_caps(pad.get()) : nullptr);
    GstVideoInfo info;
    return caps && gst_video_info_from_caps(&info, caps.get()) &&
           YuvToBgrConverter::Supports(GST_VIDEO_INFO_FORMAT(&info));
}

void InputReader::ComputeProperties()
{
    int64_t durationNs = 0;
    duration_ = graph_->QueryDuration(GST_FORMAT_TIME, &durationNs) ? (durationNs + 50) / 100 : 0;

    if (connected_.majortype == MajorType::Video) {
        double nominal = 0.0;
        const bool hasRate = NominalFrameRate(&nominal);
        int64_t frames = 0;
        const bool reported = graph_->QueryDuration(GST_FORMAT_DEFAULT, &frames);
        frameCount_ = PlausibleCount(reported, frames, duration_, hasRate ? nominal : 0.0);
        frameRate_ = nominal;
        if (frameRate_ == 0.0 && duration_ > 0) {
            // The duration rounded to whole seconds; under half a second the rate stays 0
            // and the caller measures it.
            const int64_t seconds = (duration_ + kUnitsPerSecond / 2) / kUnitsPerSecond;
            if (seconds != 0)
                frameRate_ = static_cast<double>(frameCount_ + 1) / static_cast<double>(seconds);
        }
    } else if (connected_.formattype == FormatType::WaveFormatEx) {
        sampleRate_ = connected_.waveFormat.nSamplesPerSec;
        int64_t samples = 0;
        const bool reported = graph_->QueryDuration(GST_FORMAT_DEFAULT, &samples);
        sampleCount_ = PlausibleCount(reported, samples, duration_, sampleRate_);
    }
}

uint8_t* InputReader::ReadSample(uint32_t* length, MediaTime* start, MediaTime* stop)
{
    CheckResult(control_->RequestSample());
    CheckResult(control_->WaitForSample());
    CheckResult(control_->GetData(&lastData_));
    CheckResult(control_->GetDataLength(true, &lastLength_));
    CheckResult(control_->GetTimes(true, &lastStart_, &lastStop_));
    if (lastLength_ > 0 && !firstStart_)
        firstStart_ = lastStart_;
    if (length)
        *length = lastLength_;
    if (start)
        *start = lastStart_;
    if (stop)
        *stop = lastStop_;
    return lastData_ ? lastData_ : buffer_.get();
}

void InputReader::SeekTo(MediaTime position)
{
    // Withdraws a request left by a read that found the end, so that after the restart
    // nothing is copied until the next ReadSample asks. The seek's own flush drops a
    // sample waiting in the sink.
    control_->SetFlush(true);
    firstStart_.reset();
    const uint64_t targetNs = originNs_ + (position > 0 ? static_cast<uint64_t>(position) * 100 : 0);
    control_->SetTimeOrigin(targetNs);
    // A rewind reads from the very start of the file: demuxers that search by clock
    // reference (MPEG program streams) would otherwise land after the first pictures.
    // The sink drops or cuts whatever comes before the target.
    graph_->Seek(position > 0 ? targetNs : 0);
    control_->SetFlush(false);
}

void InputReader::SetNominalFrameRate(double framesPerSecond)
{
    control_->SetNominalFrameRate(framesPerSecond);
}

void InputReader::SetRowsRead(std::vector<uint8_t> dibRows)
{
    control_->SetRowsRead(std::move(dibRows));
}

void InputReader::GetProperty(int32_t index, void* value) const
{
    if (!value)
        return;
    switch (index) {
    case PropDuration:
        std::memcpy(value, &duration_, sizeof duration_);
        break;
    case PropSampleCount:
        std::memcpy(value, &sampleCount_, sizeof sampleCount_);
        break;
    case PropFrameCount:
        std::memcpy(value, &frameCount_, sizeof frameCount_);
        break;
    case PropFrameRate:
        std::memcpy(value, &frameRate_, sizeof frameRate_);
        break;
    case PropSampleRate:
        std::memcpy(value, &sampleRate_, sizeof sampleRate_);
        break;
    default:
        break;
    }
}

void InputReader::CheckResult(HRESULT hr)
{
    if (!Failed(hr))
        return;
    std::string detail = "cannot open input file " + fileName_;
    if (hr == E_ABORT)
        detail += ": stopped while opening";
    else if (const std::string error = graph_ ? graph_->FirstError() : std::string(); !error.empty())
        detail += ": " + error;
    throw CMyException(ErrorCode::InputOpenFailed, detail);
}

}  // namespace klova
