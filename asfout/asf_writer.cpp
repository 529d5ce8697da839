#include "asfout/asf_writer.h"

#include "asfout/asf_error.h"
#include "asfout/prx_profile_reader.h"
#include "asfout/utf16_text.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>

namespace asfout {
namespace {

// The 18-byte WAVEFORMATEX, little-endian, read field by field.
PcmFormat ReadWaveFormat(const uint8_t* bytes)
{
    auto u16 = [bytes](size_t at) { return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8); };
    auto u32 = [bytes](size_t at) {
        return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
               static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
    };
    PcmFormat format;
    format.formatTag = u16(0);
    format.channels = u16(2);
    format.samplesPerSec = u32(4);
    format.avgBytesPerSec = u32(8);
    format.blockAlign = u16(12);
    format.bitsPerSample = u16(14);
    return format;
}

bool IsAllZero(const uint8_t* bytes, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

}  // namespace

AsfWriter::~AsfWriter()
{
    if (state_ == State::Writing || state_ == State::Failed) {
        // Released before both streams ended: complete what was written.
        try {
            if (!videoEnded_ && state_ == State::Writing)
                EndVideo();
            if (!audioEnded_ && state_ == State::Writing)
                EndAudio();
        } catch (const std::exception& error) {
            av_log(nullptr, AV_LOG_ERROR, "asfout: %s\n", error.what());
        }
    }
    // The muxer's destructor completes a started file or removes an empty one.
}

uint32_t AsfWriter::AddRef() { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t AsfWriter::Release()
{
    const uint32_t left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0)
        delete this;
    return left;
}

template <typename Step>
int32_t AsfWriter::Guard(const char* what, Step&& step)
{
    try {
        return step();
    } catch (const AsfError& error) {
        av_log(nullptr, AV_LOG_ERROR, "asfout: %s: %s\n", what, error.what());
        if (state_ == State::Writing)
            state_ = State::Failed;
        return error.result();
    } catch (const std::bad_alloc&) {
        av_log(nullptr, AV_LOG_ERROR, "asfout: %s: out of memory\n", what);
        if (state_ == State::Writing)
            state_ = State::Failed;
        return kOutOfMemory;
    } catch (const std::exception& error) {
        av_log(nullptr, AV_LOG_ERROR, "asfout: %s: %s\n", what, error.what());
        if (state_ == State::Writing)
            state_ = State::Failed;
        return kFail;
    }
}

int32_t AsfWriter::GetProfileName(int32_t index, std::u16string* name)
{
    if (!name)
        return kPointer;
    if (index < 0)
        return kInvalidArgument;
    return Guard("GetProfileName", [&] {
        const std::vector<AsfProfile>& profiles = BuiltInProfiles();
        if (static_cast<size_t>(index) >= profiles.size())
            return kFalse;
        *name = profiles[static_cast<size_t>(index)].name;
        return kOk;
    });
}

int32_t AsfWriter::GetProfileBitRates(int32_t index, int64_t* videoBitsPerSecond, int64_t* audioBitsPerSecond)
{
    if (!videoBitsPerSecond || !audioBitsPerSecond)
        return kPointer;
    if (index < 0)
        return kInvalidArgument;
    const std::vector<AsfProfile>& profiles = BuiltInProfiles();
    if (static_cast<size_t>(index) >= profiles.size())
        return kFalse;
    const AsfProfile& profile = profiles[static_cast<size_t>(index)];
    *videoBitsPerSecond = profile.video.bitRate;
    *audioBitsPerSecond = profile.audio ? profile.audio->bitRate : 0;
    return kOk;
}

int32_t AsfWriter::FindProfile(const char16_t* name, int32_t* index)
{
    if (!index)
        return kPointer;
    *index = -1;
    if (!name)
        return kPointer;
    *index = FindBuiltInProfile(name);
    return *index >= 0 ? kOk : kFalse;
}

int32_t AsfWriter::OpenFile(const char16_t* path, const char16_t* profile)
{
    if (!path || !profile)
        return kPointer;
    if (state_ != State::Created)
        return kUnexpected;
    return Guard("OpenFile", [&] {
        const std::u16string_view profileText(profile);
        const int32_t builtIn = FindBuiltInProfile(profileText);
        std::optional<AsfProfile> chosen =
            builtIn >= 0 ? std::optional<AsfProfile>(BuiltInProfiles()[static_cast<size_t>(builtIn)])
                         : ReadPrxProfile(profileText);
        if (!chosen)
            throw AsfError("the profile is neither a built-in name nor a readable profile", kInvalidArgument);
        muxer_ = std::make_unique<AsfMuxer>(Utf16ToUtf8(path));
        profile_ = std::move(chosen);
        state_ = State::Opened;
        return kOk;
    });
}

int32_t AsfWriter::SetPixelAspect(int32_t x, int32_t y)
{
    if (x <= 0 || y <= 0)
        return kInvalidArgument;
    if (state_ != State::Opened)
        return kUnexpected;
    av_reduce(&pixelAspect_.num, &pixelAspect_.den, x, y, 65535);
    return kOk;
}

int32_t AsfWriter::SetStreamFormats(int32_t width, int32_t height, int32_t formatSize, const void* waveFormat,
                                    double framesPerSecond)
{
    if (state_ != State::Opened)
        return kUnexpected;
    const int32_t result = Guard("SetStreamFormats", [&] {
        SetUpStreams(width, height, formatSize, waveFormat, framesPerSecond);
        state_ = State::Writing;
        return kOk;
    });
    // A half-built set-up is not retried: the writer is done with.
    if (result < 0)
        state_ = State::Failed;
    return result;
}

void AsfWriter::SetUpStreams(int32_t width, int32_t height, int32_t formatSize, const void* waveFormat,
                             double framesPerSecond)
{
    constexpr int32_t kWaveFormatFields = 16;  // wFormatTag ... wBitsPerSample
    constexpr int32_t kWaveFormatSize = 18;    // with cbSize; nothing past it is read
    if (!std::isfinite(framesPerSecond) || framesPerSecond < 0.01 || framesPerSecond > 1000.0)
        throw AsfError("unsupported frame rate", kInvalidArgument);
    if (formatSize < 0 || (formatSize > 0 && !waveFormat))
        throw AsfError("bad audio format arguments", kInvalidArgument);
    const auto* formatBytes = static_cast<const uint8_t*>(waveFormat);
    const bool hasSound =
        formatSize > 0 && !IsAllZero(formatBytes, static_cast<size_t>(std::min(formatSize, kWaveFormatSize)));
    if (hasSound && formatSize < kWaveFormatFields)
        throw AsfError("audio format too short", kInvalidArgument);

    // Exact for the common rational rates (30000/1001 stays 30000/1001).
    const AVRational frameRate = av_d2q(framesPerSecond, 65535);
    const bool globalHeader = muxer_->WantsGlobalHeaders();
    video_ = std::make_unique<VideoEncoder>(width, height, frameRate, pixelAspect_, profile_->video, globalHeader, 0);
    if (hasSound && profile_->audio)
        audio_ = std::make_unique<AudioEncoder>(ReadWaveFormat(formatBytes), framesPerSecond, *profile_->audio,
                                                globalHeader, 1);
    if (muxer_->AddStream(video_->CodecContext()) != 0 || (audio_ && muxer_->AddStream(audio_->CodecContext()) != 1))
        throw AsfError("unexpected stream order");
    muxer_->Start();
}

int32_t AsfWriter::GetVideoToken(uint32_t* token)
{
    if (!token)
        return kPointer;
    *token = kVideoToken;
    return kOk;
}

int32_t AsfWriter::GetAudioToken(uint32_t* token)
{
    if (!token)
        return kPointer;
    *token = kAudioToken;
    return kOk;
}

int32_t AsfWriter::WriteVideo(uint32_t token, const uint8_t* frame)
{
    if (!frame) {
        if (videoEnded_)
            return kOk;
        if (state_ != State::Writing)
            return state_ == State::Failed ? kFail : kUnexpected;
        return Guard("WriteVideo", [&] {
            EndVideo();
            return kOk;
        });
    }
    if (token != kVideoToken)
        return kInvalidArgument;
    if (state_ != State::Writing || videoEnded_)
        return state_ == State::Failed ? kFail : kUnexpected;
    return Guard("WriteVideo", [&] {
        video_->Write(frame, *muxer_);
        return kOk;
    });
}

int32_t AsfWriter::WriteAudio(uint32_t token, const uint8_t* chunk, uint32_t length)
{
    if (!chunk) {
        if (audioEnded_)
            return kOk;
        if (state_ != State::Writing)
            return state_ == State::Failed ? kFail : kUnexpected;
        return Guard("WriteAudio", [&] {
            EndAudio();
            return kOk;
        });
    }
    if (token != kAudioToken)
        return kInvalidArgument;
    if (state_ != State::Writing || audioEnded_)
        return state_ == State::Failed ? kFail : kUnexpected;
    // Without an audio stream (no sound in the format, or a profile without audio)
    // chunks are taken and dropped.
    if (!audio_)
        return kOk;
    return Guard("WriteAudio", [&] {
        audio_->Write(chunk, length, *muxer_);
        return kOk;
    });
}

void AsfWriter::EndVideo()
{
    videoEnded_ = true;
    video_->Finish(*muxer_);
    FinishIfEnded();
}

void AsfWriter::EndAudio()
{
    audioEnded_ = true;
    if (audio_)
        audio_->Finish(*muxer_);
    FinishIfEnded();
}

void AsfWriter::FinishIfEnded()
{
    if (videoEnded_ && audioEnded_) {
        muxer_->Finish();
        state_ = State::Finished;
    }
}

}  // namespace asfout

extern "C" KLOVA_ASFOUT_EXPORT int32_t CreateWinMediaWriter(IWinMediaWriter** writer)
{
    if (!writer)
        return asfout::kPointer;
    *writer = new (std::nothrow) asfout::AsfWriter();
    return *writer ? asfout::kOk : asfout::kOutOfMemory;
}
