#include "engine/conversion_session.h"

#include "engine/audio_start_aligner.h"
#include "media_in/input_reader.h"
#include "media_out/avi_writer.h"
#include "media_out/output_writer.h"
#include "media_out/win_media_writer_adapter.h"
#include "platform/errors.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace klova {
namespace {

// Fifteen seconds of frames are enough to measure a rate the input does not state.
constexpr MediaTime kRateMeasurePeriod = 150'000'000;

// The standard rate (N or N x 1000/1001 frames per second) a measured rate stands for,
// if it is that close to one: frame times rounded to whole milliseconds measure 30 fps
// as 29.998 or so.
double StandardFrameRate(double measured)
{
    double best = 0.0;
    double bestError = 5e-4;  // relative
    for (int n = 1; n <= 240; ++n) {
        for (const double candidate : {double(n), n * 1000.0 / 1001.0}) {
            const double error = std::fabs(measured - candidate) / candidate;
            if (error < bestError) {
                bestError = error;
                best = candidate;
            }
        }
    }
    return best;
}

}  // namespace

ConversionSession::ConversionSession(const EncoderConfigStore& encoderConfigs,
                                     const WinMediaLibrary* winMediaLibrary, const std::atomic<bool>* stopRequested)
    : encoderConfigs_(encoderConfigs), winMediaLibrary_(winMediaLibrary), stopRequested_(stopRequested)
{
}

ConversionSession::~ConversionSession()
{
    audioStart_.reset();
    videoReader_.reset();
    audioReader_.reset();
    try {
        CloseWriter();
    } catch (...) {
        // Teardown reports nothing; a failed completion was reported by the final step.
    }
}

void ConversionSession::OpenInput(const std::string& path, double requestedRate)
{
    videoReader_ = std::make_unique<InputReader>(path, VideoRequestType, true, stopRequested_);
    sourceVideoHeader_ = videoReader_->GetMediaType().videoInfo;
    sourcePixelAspect_ = videoReader_->GetMediaType().pixelAspect;
    videoReader_->GetProperty(PropFrameRate, &sourceFrameRate_);
    videoReader_->GetProperty(PropDuration, &sourceDuration_);
    // A stream that states no frame duration is measured even when its reported rate
    // (estimated from its length) is not below 1: the estimate can be a few per cent
    // off, and keeping the input's rate needs the real one.
    if (static_cast<int64_t>(sourceFrameRate_) == 0 || sourceVideoHeader_.AvgTimePerFrame == 0)
        MeasureSourceFrameRate();

    outputFrameRate_ = requestedRate != 0.0 ? requestedRate : sourceFrameRate_;
    outputFrameDuration_ = FrameDuration(outputFrameRate_);

    try {
        audioReader_ = std::make_unique<InputReader>(path, AudioRequestType, true, stopRequested_);
    } catch (const CMyException&) {
        audioReader_.reset();  // no usable sound: the conversion goes on without audio
    }
    if (audioReader_) {
        sourceAudioFormat_ = audioReader_->GetMediaType().waveFormat;
        sourceChannelMask_ = audioReader_->GetMediaType().channelMask;
        try {
            chunkSchedule_ = AudioChunkSchedule(sourceAudioFormat_.nBlockAlign, sourceAudioFormat_.nSamplesPerSec,
                                                outputFrameRate_);
        } catch (const std::invalid_argument& error) {
            throw CMyException(ErrorCode::InvalidOutputFormat, error.what());
        }
        chunkBuffer_.assign(chunkSchedule_.MaxChunkBytes(), 0);
        carryBuffer_.assign(audioReader_->GetBufferSize(), 0);
        carryLength_ = 0;
        audioStart_ = std::make_unique<AudioStartAligner>(
            sourceAudioFormat_, audioReader_->GetBufferSize(), [this](uint32_t* length, MediaTime* start) {
                MediaTime stop = 0;
                return audioReader_->ReadSample(length, start, &stop);
            });
    }
}

void ConversionSession::MeasureSourceFrameRate()
{
    int64_t count = 0;
    MediaTime sum = 0;
    for (;;) {
        uint32_t length = 0;
        MediaTime start = 0;
        MediaTime stop = 0;
        videoReader_->ReadSample(&length, &start, &stop);
        if (length == 0)
            break;
        ++count;
        sum += stop - start;
        if (sum >= kRateMeasurePeriod)
            break;
    }
    if (count == 0 || sum <= 0)
        throw CMyException(ErrorCode::InputOpenFailed, "the video's frame rate cannot be measured");
    sourceFrameRate_ = static_cast<double>(count) / (static_cast<double>(sum) * 0.0000001);
    videoReader_->Rewind();
    // A measured rate that is a standard one is taken as exact, and the reader keeps the
    // frames to it, so jittery time stamps cannot make the loop drop or repeat frames.
    if (const double standard = StandardFrameRate(sourceFrameRate_); standard > 0.0) {
        sourceFrameRate_ = standard;
        videoReader_->SetNominalFrameRate(standard);
    }
}

void ConversionSession::SetVideoOutput(const AVICOMPRESSOPTIONS& videoSettings, int32_t width, int32_t height,
                                       const std::string& videoCodecName, PixelAspect pixelAspect)
{
    outputPixelAspect_ = pixelAspect;
    videoSettings_ = videoSettings;
    outputWidth_ = width;
    outputHeight_ = height;
    videoCodecName_ = videoCodecName;
}

void ConversionSession::SetAudioOutput(const WAVEFORMATEX& format, const std::string& audioCodecName,
                                       uint32_t channelMask)
{
    outputChannelMask_ = channelMask;
    outputAudioFormat_ = format;
    audioCodecName_ = audioCodecName;
}

uint8_t* ConversionSession::ReadVideoFrame(MediaTime* sourceTime)
{
    if (!videoReader_)
        return nullptr;
    uint32_t length = 0;
    MediaTime start = 0;
    MediaTime stop = 0;
    uint8_t* data = videoReader_->ReadSample(&length, &start, &stop);
    if (length == 0) {
        videoReader_.reset();
        return nullptr;
    }
    *sourceTime += stop - start;
    if (audioStart_)
        audioStart_->SetVideoStart(*videoReader_->FirstSampleStart());
    return data;
}

void ConversionSession::SetVideoRowsRead(std::vector<uint8_t> dibRows)
{
    if (videoReader_)
        videoReader_->SetRowsRead(std::move(dibRows));
}

const uint8_t* ConversionSession::ReadAudioChunk(uint32_t* length)
{
    *length = 0;
    if (!audioReader_ && carryLength_ == 0)
        return nullptr;
    const uint32_t chunkSize = chunkSchedule_.NextChunkBytes();
    if (chunkSize == 0)
        return chunkBuffer_.data();  // a frame shorter than one sample block: no audio of its own
    uint32_t filled = std::min(carryLength_, chunkSize);
    std::memcpy(chunkBuffer_.data(), carryBuffer_.data(), filled);
    std::memmove(carryBuffer_.data(), carryBuffer_.data() + filled, carryLength_ - filled);
    carryLength_ -= filled;

    const uint8_t* lastSample = nullptr;
    uint32_t remainder = 0;
    while (filled < chunkSize && audioReader_) {
        uint32_t length = 0;
        const uint8_t* sample = audioStart_->Next(&length);
        if (length == 0) {
            audioReader_.reset();
            lastSample = nullptr;
            remainder = 0;
            break;
        }
        const uint32_t take = std::min(chunkSize - filled, length);
        std::memcpy(chunkBuffer_.data() + filled, sample, take);
        filled += take;
        lastSample = sample + take;
        remainder = length - take;
    }
    // The carry is empty whenever a sample was read, and a sample never exceeds the
    // reader's buffer, which is the carry's size.
    if (remainder > 0) {
        std::memcpy(carryBuffer_.data() + carryLength_, lastSample, remainder);
        carryLength_ += remainder;
    }
    if (filled == 0)
        return nullptr;
    // 8-bit PCM is unsigned: its silence is 128.
    const uint8_t silence = sourceAudioFormat_.wBitsPerSample == 8 ? 0x80 : 0x00;
    std::memset(chunkBuffer_.data() + filled, silence, chunkSize - filled);
    *length = chunkSize;
    return chunkBuffer_.data();
}

void ConversionSession::CreateWriter(const std::string& path, const std::string& typeString,
                                     const std::u16string* profile)
{
    std::string type = typeString;
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::toupper(c); });
    std::unique_ptr<OutputWriter> writer;
    if (type.find("WMV") == std::string::npos)
        writer = std::make_unique<AviWriter>(encoderConfigs_,
                                             AviCompression{videoSettings_, videoCodecName_, audioCodecName_});
    else
        writer = std::make_unique<WinMediaWriterAdapter>(winMediaLibrary_, profile ? *profile : std::u16string());

    OutputFormat format{outputWidth_, outputHeight_, outputFrameRate_, outputPixelAspect_};
    if (audioReader_) {
        format.audio = outputAudioFormat_;  // without an audio reader the file gets no audio stream
        format.audioChannelMask = outputChannelMask_;
    }
    writer->Open(path, format);
    writer_ = std::move(writer);
    writerHasAudio_ = format.audio.has_value();
}

void ConversionSession::WriteFrame(const uint8_t* video, const uint8_t* audio, uint32_t audioLength,
                                   bool advanceAnyway, MediaTime* outputTime)
{
    const bool hadWriter = HasWriter();
    bool ok = true;
    if (writer_) {
        if (video)
            ok = writer_->WriteVideo(video);
        if (ok && audio && writerHasAudio_)
            ok = writer_->WriteAudio(audio, audioLength);
    }
    if (hadWriter && ok) {
        *outputTime += outputFrameDuration_;
        return;
    }
    if (advanceAnyway) {
        *outputTime += outputFrameDuration_;
        return;
    }
    if (hadWriter) {
        const std::string detail = writer_ ? writer_->FailureDetail() : std::string();
        DiscardWriter();
        throw CMyException(ErrorCode::OutputWriteFailed,
                           "a write to the output file failed" + (detail.empty() ? "" : ": " + detail));
    }
}

void ConversionSession::CloseWriter(bool reportFailure)
{
    bool completed = true;
    std::string detail;
    // The writer is let go of whatever End does, before a failure is reported.
    if (const std::unique_ptr<OutputWriter> writer = std::move(writer_)) {
        completed = writer->End();
        if (!completed)
            detail = writer->FailureDetail();
    }
    if (reportFailure && !completed)
        throw CMyException(ErrorCode::OutputWriteFailed,
                           "the output file could not be completed" + (detail.empty() ? "" : ": " + detail));
}

void ConversionSession::DiscardWriter()
{
    writer_.reset();
}

}  // namespace klova
