#include "engine/conversion_job.h"

#include "engine/audio_converter.h"
#include "engine/clip_naming.h"
#include "engine/conversion_host.h"
#include "engine/conversion_session.h"
#include "engine/frame_scaler.h"
#include "engine/project_file.h"
#include "engine/scene_detector.h"
#include "engine/statistics_text.h"
#include "media_out/win_media_profiles.h"
#include "platform/errors.h"
#include "platform/frame_rate_fraction.h"
#include "platform/same_file.h"
#include "platform/tick_clock.h"

#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace klova {
namespace {

// The output rate asked for, or 0 to keep the source's. A rate that is negative, not
// finite, so high that a frame would last less than one time unit, or beyond what an
// output file can state cannot drive the frame loop.
double RequestedFrameRate(const ConversionSettings& settings)
{
    if (settings.KeepSettings != 0 || settings.KeepFrameRate != 0)
        return 0.0;
    const double rate = settings.FrameRate;
    if (rate == 0.0)
        return 0.0;
    if (!std::isfinite(rate) || rate < 0.0 || FrameDuration(rate) < 1 || ToFrameRateFraction(rate).numerator <= 0)
        throw CMyException(ErrorCode::InvalidOutputFormat, "custom frame rate " + std::to_string(rate));
    return rate;
}

// Work done in one step at most, so that a stop (the window's button, a signal) is
// honoured within a fraction of a second however long the audio-only tail or however
// low the output rate.
constexpr uint32_t kStepBudgetMs = 200;

}  // namespace

ConversionJob::ConversionJob(ConversionSettings& settings, EngineServices services, ConversionHost& host)
    : settings_(settings), services_(std::move(services)), host_(host)
{
}

ConversionJob::~ConversionJob() { ReleaseJob(); }

void ConversionJob::StartConversion()
{
    StopConversion();
    failed_ = true;  // until the set-up is complete
    session_ = std::make_unique<ConversionSession>(services_.encoderConfigs, services_.winMediaLibrary,
                                                   services_.stopRequested);
    session_->OpenInput(settings_.SrcFileName, RequestedFrameRate(settings_));

    const SourceVideo sourceVideo = session_->GetSourceVideo();
    inputDuration_ = session_->sourceDuration();
    sourceWidth_ = sourceVideo.header.bmiHeader.biWidth;
    sourceHeight_ = sourceVideo.header.bmiHeader.biHeight;
    sourcePixelAspect_ = sourceVideo.pixelAspect;

    const SourceAudio sourceAudio = session_->GetSourceAudio();
    settings_.AudioFormat = sourceAudio.format;

    SetUpVideoOutput();
    SetUpAudioOutput(sourceAudio);

    splitMode_ = settings_.SceneDetection;
    lastFrame_ = nullptr;
    sceneChanged_ = false;
    outputTime_ = 0;
    sourceTime_ = 0;
    framesRead_ = 0;
    clipIndex_ = 0;
    elapsedMs_ = 0;
    startTick_ = TickCountMs();
    sceneDetector_ = std::make_unique<SceneDetector>(settings_, sourceWidth_, sourceHeight_);
    if (splitMode_ == kSplitProject)
        projectFile_ = std::make_unique<ProjectFile>(settings_.ClipsFileName, settings_.SrcFileName);

    // Prepared whatever WantPreview says: the user may tick it while converting.
    host_.PreparePreview(outputWidth_, outputHeight_, sourceWidth_, sourceHeight_);
    previewShown_ = true;
    // Only Windows Media writers take the profile; resolving it loads their library.
    if (GetOutputExtension(settings_) == ".wmv")
        profileText_ = host_.ResolveMediaProfile(settings_.MediaProfile);
    failed_ = false;
}

void ConversionJob::SetUpVideoOutput()
{
    const bool custom = settings_.KeepSettings == 0;
    int64_t height = settings_.FrameHeight;
    if (custom && settings_.KeepAspect != 0 && sourceWidth_ > 0)
        height = (int64_t{settings_.FrameWidth} * sourceHeight_ + sourceWidth_ / 2) / sourceWidth_;
    // The output's pixels have the source's shape while the picture keeps the source's
    // proportions (its size, or a size scaled with KeepAspect); a size of the user's
    // own has square pixels.
    PixelAspect pixelAspect = sourcePixelAspect_;
    if (custom && settings_.KeepFrameSize == 0) {
        outputWidth_ = settings_.FrameWidth;
        outputHeight_ = height > 0 && height <= 0x7FFF'FFFF ? static_cast<int32_t>(height) : 0;
        if (settings_.KeepAspect == 0)
            pixelAspect = PixelAspect{};
    } else {
        outputWidth_ = sourceWidth_;
        outputHeight_ = sourceHeight_;
    }
    if (outputWidth_ <= 0 || outputHeight_ <= 0 || int64_t{outputWidth_} * outputHeight_ > (int64_t{1} << 28))
        throw CMyException(ErrorCode::InvalidOutputFormat,
                           "output size " + std::to_string(outputWidth_) + " x " + std::to_string(outputHeight_));
    try {
        scaler_ = std::make_unique<FrameScaler>(sourceWidth_, sourceHeight_, outputWidth_, outputHeight_);
    } catch (const std::invalid_argument& error) {
        throw CMyException(ErrorCode::InvalidOutputFormat, error.what());
    }
    if (scaler_->NeedsScaling())
        frameBuffer_.assign(scaler_->OutputImageSize(), 0);
    // Only the scaler and the scene detector read a source frame. Without detection the
    // reader converts just the rows the scaler reads: a third of them for 720 rows to
    // 240, a ninth for 2160 to 240.
    session_->SetVideoRowsRead(scaler_->NeedsScaling() && settings_.SceneDetection == kSplitNone
                                   ? scaler_->SourceRowsRead()
                                   : std::vector<uint8_t>{});
    session_->SetVideoOutput(settings_.VideoFormat, outputWidth_, outputHeight_, settings_.VideoCodec, pixelAspect);
}

void ConversionJob::SetUpAudioOutput(const SourceAudio& source)
{
    const bool custom = settings_.KeepSettings == 0 && settings_.KeepSound == 0;
    const WAVEFORMATEX outputFormat = custom ? MakeOutputAudioFormat(settings_) : source.format;
    if (source.chunkSize > 0) {
        // The custom values are indexes into the lists the audio dialog offers.
        if (custom && (settings_.SampleRate < 0 || settings_.SampleRate > 4 || settings_.Channels < 0 ||
                       settings_.Channels > 1 || settings_.Bits < 0 || settings_.Bits > 1))
            throw CMyException(ErrorCode::InvalidAudioFormat,
                               "custom audio SampleRate " + std::to_string(settings_.SampleRate) + " (0 to 4), Channels " +
                                   std::to_string(settings_.Channels) + " (0 or 1), Bits " +
                                   std::to_string(settings_.Bits) + " (0 or 1)");
        if (outputFormat.nSamplesPerSec == 0 || outputFormat.nChannels == 0 || outputFormat.nBlockAlign == 0)
            throw CMyException(ErrorCode::InvalidAudioFormat, "output audio format without rate, channels or blocks");
        audioConverter_ = std::make_unique<AudioConverter>(source.format, outputFormat, session_->outputFrameRate());
    }
    // The source's speakers stay with its channels while their number is kept.
    const uint32_t channelMask = outputFormat.nChannels == source.format.nChannels ? source.channelMask : 0;
    session_->SetAudioOutput(outputFormat, settings_.AudioCodec, channelMask);
}

// Why a Windows Media file cannot be written without a profile, with the choices.
std::string ConversionJob::NoProfileReason() const
{
    if (!services_.winMediaLibrary || !services_.winMediaLibrary->IsAvailable())
        return "the Windows Media writer library (libasfout.so) is not available";
    std::string reason = "a Windows Media profile must be chosen: MediaProfile \"" + settings_.MediaProfile +
                         "\" names neither a built-in profile nor a readable .prx file; the built-in profiles are";
    const char* separator = " ";
    for (const std::string& name : FillProfileList(*services_.winMediaLibrary)) {
        reason += separator + ("\"" + name + "\"");
        separator = ", ";
    }
    return reason;
}

void ConversionJob::StartClip()
{
    switch (splitMode_) {
    case kSplitNone:
    case kSplitClips: {
        const std::string name = MakeClipName(settings_, clipIndex_);
        ++clipIndex_;
        session_->CloseWriter(true);
        // The input is never an output, whatever the name it is reached by.
        if (IsSameFile(settings_.SrcFileName, name))
            throw CMyException(ErrorCode::OutputOpenFailed, "the output file " + name + " is the input file");
        if (GetOutputExtension(settings_) == ".wmv" && !profileText_)
            throw CMyException(ErrorCode::WindowsMediaFailed, NoProfileReason());
        session_->CreateWriter(name, GetOutputExtension(settings_), profileText_ ? &*profileText_ : nullptr);
        break;
    }
    case kSplitProject:
        projectFile_->AddProjectCut(framesRead_ - 1);
        break;
    default:
        break;
    }
}

bool ConversionJob::Step()
{
    try {
        return RunStep();
    } catch (...) {
        failed_ = true;
        throw;
    }
}

bool ConversionJob::RunStep()
{
    if (!session_)
        return false;
    // A step ends once it has used its time (after some progress), so a stop is seen
    // soon whatever the rates: the next step goes on where this one left off.
    const uint32_t stepStart = TickCountMs();
    const auto overBudget = [stepStart] { return TickCountMs() - stepStart >= kStepBudgetMs; };

    // Read the source frames that fall into this output frame; only the last is kept.
    if (sourceTime_ <= outputTime_) {
        do {
            if (!session_->HasVideoReader())
                break;
            lastFrame_ = session_->ReadVideoFrame(&sourceTime_);
            // A file whose video ends before its first frame (a demuxer that fails at
            // once) has nothing to convert: that is a failure, not an empty success.
            if (!lastFrame_ && framesRead_ == 0 && splitMode_ != kSplitProject)
                throw CMyException(ErrorCode::InputOpenFailed, "no video frame could be read from the input");
            if (!sceneChanged_ && lastFrame_)
                sceneChanged_ = sceneDetector_->DetectSceneChange(lastFrame_, framesRead_, clipIndex_);
            ++framesRead_;
        } while (sourceTime_ <= outputTime_ && !overBudget());
        if (lastFrame_ && sourceTime_ > outputTime_) {
            lastFrame_ = scaler_->ConvertFrame(lastFrame_, frameBuffer_.data());
            // The frame is the reader's buffer or our own; either stays ours until the
            // next read, and the preview may draw the scene values line into it.
            if (settings_.WantPreview)
                host_.ShowPreview(lastFrame_, sceneDetector_->statusLine());
        }
    }

    // Write the output frames that fall into this source frame, each with its audio.
    for (bool first = true;; first = false) {
        const bool audioExhausted = !session_->HasAudioReader() && session_->carryLength() == 0;
        if (sourceTime_ <= outputTime_ && (session_->HasVideoReader() || audioExhausted))
            break;
        if (!session_->HasWriter() && splitMode_ != kSplitProject && !sceneChanged_)
            break;
        if (!first && overBudget())
            break;
        uint32_t chunkLength = 0;
        const uint8_t* chunk = session_->ReadAudioChunk(&chunkLength);
        uint32_t audioLength = 0;
        const uint8_t* audio =
            audioConverter_ ? audioConverter_->ConvertAudio(chunk, chunkLength, &audioLength) : nullptr;
        if (sceneChanged_) {
            sceneChanged_ = false;
            StartClip();
        }
        session_->WriteFrame(lastFrame_, audio, audioLength, splitMode_ == kSplitProject, &outputTime_);
    }

    elapsedMs_ = TickCountMs() - startTick_;
    const bool more = (session_->HasWriter() || splitMode_ == kSplitProject) &&
                      (session_->HasVideoReader() || session_->HasAudioReader() || session_->carryLength() != 0);
    if (!more)
        session_->CloseWriter(true);  // the conversion is over: a file that cannot be completed is a failure
    return more;
}

void ConversionJob::StopConversion()
{
    std::exception_ptr projectFailure;
    if (projectFile_ && projectFile_->IsOpen()) {
        try {
            projectFile_->AddProjectCut(framesRead_ - 1);
            projectFile_->Close();
        } catch (...) {
            projectFailure = std::current_exception();
        }
    }
    ReleaseJob();
    if (projectFailure)
        std::rethrow_exception(projectFailure);
}

void ConversionJob::ReleaseJob() noexcept
{
    projectFile_.reset();
    frameBuffer_.clear();
    frameBuffer_.shrink_to_fit();
    audioConverter_.reset();
    scaler_.reset();
    lastFrame_ = nullptr;
    if (session_ && failed_)
        session_->DiscardWriter();
    session_.reset();
    failed_ = false;
    sceneDetector_.reset();
    if (previewShown_) {
        previewShown_ = false;
        host_.ClosePreview();
    }
    profileText_.reset();
}

std::string ConversionJob::StatisticsText() const
{
    return FormatStatistics(framesRead_, elapsedMs_, sourceTime_, clipIndex_);
}

}  // namespace klova
