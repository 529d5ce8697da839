// The library's IWinMediaWriter: one output file, written through an AsfMuxer with a
// VideoEncoder and, when there is sound, an AudioEncoder. Every method answers a
// result and never throws. Not thread-safe: one thread drives a writer, except that
// AddRef and Release may come from anywhere.
//
// Order: OpenFile (path, profile) -> [SetPixelAspect] -> SetStreamFormats -> GetVideoToken /
// GetAudioToken -> WriteVideo / WriteAudio per frame -> WriteVideo (0, null) and
// WriteAudio (0, null, 0) -> Release. A null frame or chunk ends its stream whatever the
// token. The file is complete once both streams have ended, and at the latest after
// the last Release. A failed SetStreamFormats or write makes every later write fail
// too. Without sound (an all-zero audio format, or a profile without audio) audio
// chunks are taken and dropped.
#pragma once

#include "asfout/asf_muxer.h"
#include "asfout/asf_profile.h"
#include "asfout/audio_encoder.h"
#include "asfout/video_encoder.h"
#include "asfout/win_media_writer.h"

#include <atomic>
#include <memory>
#include <optional>

namespace asfout {

class AsfWriter final : public IWinMediaWriter {
public:
    static constexpr uint32_t kVideoToken = 1;
    static constexpr uint32_t kAudioToken = 2;

    AsfWriter() = default;
    AsfWriter(const AsfWriter&) = delete;
    AsfWriter& operator=(const AsfWriter&) = delete;

    uint32_t AddRef() override;
    uint32_t Release() override;
    int32_t GetProfileName(int32_t index, std::u16string* name) override;
    int32_t FindProfile(const char16_t* name, int32_t* index) override;
    int32_t SetStreamFormats(int32_t width, int32_t height, int32_t formatSize, const void* waveFormat,
                             double framesPerSecond) override;
    int32_t OpenFile(const char16_t* path, const char16_t* profile) override;
    int32_t GetVideoToken(uint32_t* token) override;
    int32_t GetAudioToken(uint32_t* token) override;
    int32_t WriteVideo(uint32_t token, const uint8_t* frame) override;
    int32_t WriteAudio(uint32_t token, const uint8_t* chunk, uint32_t length) override;
    int32_t GetProfileBitRates(int32_t index, int64_t* videoBitsPerSecond, int64_t* audioBitsPerSecond) override;
    int32_t SetPixelAspect(int32_t x, int32_t y) override;

private:
    enum class State { Created, Opened, Writing, Finished, Failed };

    ~AsfWriter();
    void SetUpStreams(int32_t width, int32_t height, int32_t formatSize, const void* waveFormat,
                      double framesPerSecond);
    void EndVideo();
    void EndAudio();
    void FinishIfEnded();
    // Runs a step, turning an exception into a result; a failure while writing
    // fails the writer for good.
    template <typename Step>
    int32_t Guard(const char* what, Step&& step);

    std::atomic<uint32_t> references_{1};
    State state_ = State::Created;
    std::optional<AsfProfile> profile_;
    AVRational pixelAspect_{1, 1};
    std::unique_ptr<AsfMuxer> muxer_;
    std::unique_ptr<VideoEncoder> video_;
    std::unique_ptr<AudioEncoder> audio_;  // null: no sound is written
    bool videoEnded_ = false;
    bool audioEnded_ = false;
};

}  // namespace asfout
