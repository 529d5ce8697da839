// One conversion driven step by step: StartConversion sets it up from the settings,
// Step converts the source frames that fall into one output frame period (dropping or
// repeating frames to change the rate) with the audio kept in step, and
// StopConversion tears it down. Runs on one thread, the front end's: the window's thread
// in the program, the main thread in klova-convert. That thread is what the engine and
// the media code call the engine thread. No Qt.
#pragma once

#include "engine/conversion_settings.h"
#include "platform/media_types.h"

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace klova {

class AudioConverter;
class ConversionHost;
class ConversionSession;
class EncoderConfigStore;
class FrameScaler;
class ProjectFile;
class SceneDetector;
class WinMediaLibrary;
struct SourceAudio;

// Services the front end wires in once; all must outlive the job.
struct EngineServices {
    const EncoderConfigStore& encoderConfigs;
    const WinMediaLibrary* winMediaLibrary;  // the process's one binding; null: no WMV output
    // Set by the front end from any thread (a signal handler) to stop: the input's
    // waits (opening it, reading a frame) give up within a tenth of a second. Null: none.
    const std::atomic<bool>* stopRequested = nullptr;
};

class ConversionJob {
public:
    // The job reads the settings at every start and writes one of them: the source's
    // audio format into AudioFormat.
    ConversionJob(ConversionSettings& settings, EngineServices services, ConversionHost& host);
    ~ConversionJob();
    ConversionJob(const ConversionJob&) = delete;
    ConversionJob& operator=(const ConversionJob&) = delete;

    // Throws CMyException (input, output format) on failure; the caller then calls
    // StopConversion, which removes the half-built job.
    void StartConversion();

    // One step, of a fifth of a second at most; true while there is more to do. Throws
    // CMyException (writer creation, a failed write, an output that names the input, no
    // frame in the input) or FileException (the project file).
    bool Step();

    // Ends the conversion: completes the project file, closes the output file, frees
    // the buffers. A stop keeps what was converted so far as a complete file under its
    // final name; after a failure (an exception out of StartConversion or Step) the
    // unfinished file is removed instead. Safe when nothing runs. Throws FileException
    // when the project file cannot be completed, after the rest of the teardown has
    // been done.
    void StopConversion();

    bool IsRunning() const { return session_ != nullptr; }

    // The statistics text of the last step.
    std::string StatisticsText() const;

    int64_t framesRead() const { return framesRead_; }
    int32_t clipIndex() const { return clipIndex_; }
    MediaTime sourceTime() const { return sourceTime_; }
    MediaTime outputTime() const { return outputTime_; }
    int32_t outputWidth() const { return outputWidth_; }
    int32_t outputHeight() const { return outputHeight_; }
    // Milliseconds from the start to the end of the last step.
    uint32_t elapsedMs() const { return elapsedMs_; }
    // The input's duration (100-ns units) for measuring progress against sourceTime;
    // 0 when the input does not state it.
    MediaTime inputDuration() const { return inputDuration_; }

private:
    void SetUpVideoOutput();
    void SetUpAudioOutput(const SourceAudio& source);
    void StartClip();
    std::string NoProfileReason() const;
    bool RunStep();
    void ReleaseJob() noexcept;

    ConversionSettings& settings_;
    EngineServices services_;
    ConversionHost& host_;

    std::unique_ptr<ConversionSession> session_;
    MediaTime sourceTime_ = 0;
    MediaTime outputTime_ = 0;
    int64_t framesRead_ = 0;
    int32_t clipIndex_ = 0;
    uint32_t elapsedMs_ = 0;
    uint32_t startTick_ = 0;
    MediaTime inputDuration_ = 0;
    int32_t sourceWidth_ = 0;
    int32_t sourceHeight_ = 0;
    PixelAspect sourcePixelAspect_;
    int32_t outputWidth_ = 0;
    int32_t outputHeight_ = 0;
    int32_t splitMode_ = 0;
    bool previewShown_ = false;
    bool failed_ = false;  // an exception left StartConversion or Step
    // The frame being written (the reader's buffer or frameBuffer_, valid until the next
    // read) and a scene change not yet acted on: a step that runs out of time leaves
    // both to the next.
    uint8_t* lastFrame_ = nullptr;
    bool sceneChanged_ = false;

    std::unique_ptr<FrameScaler> scaler_;
    std::vector<uint8_t> frameBuffer_;
    std::unique_ptr<AudioConverter> audioConverter_;
    std::unique_ptr<SceneDetector> sceneDetector_;
    std::unique_ptr<ProjectFile> projectFile_;
    std::optional<std::u16string> profileText_;
};

}  // namespace klova
