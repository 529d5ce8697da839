// One conversion's pairing of the input with the output: a video and an audio reader on
// the input file, the source formats, the audio cut into chunks of exactly one output
// frame (AudioChunkSchedule), and the current output writer (an AVI writer or a
// Windows Media writer).
// Runs on the engine thread only (the thread that drives the job).
#pragma once

#include "engine/audio_chunk_schedule.h"
#include "platform/media_types.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace klova {

class AudioStartAligner;
class EncoderConfigStore;
class InputReader;
class OutputWriter;
class WinMediaLibrary;

// The connected video format, the source frame rate (frames per second) and the shape
// of the source's pixels.
struct SourceVideo {
    VIDEOINFOHEADER header{};
    double frameRate = 0.0;
    PixelAspect pixelAspect;
};

// The connected audio format (all zero without audio), the most bytes of source audio
// one output frame takes (0 without audio) and the speakers of surround sound (0: none
// stated).
struct SourceAudio {
    WAVEFORMATEX format{};
    int32_t chunkSize = 0;
    uint32_t channelMask = 0;
};

class ConversionSession {
public:
    // All borrowed. winMediaLibrary: the process's binding to the Windows Media writer
    // library; null, or a library that did not load, only makes CreateWriter fail for
    // WMV output. stopRequested: handed to the input readers (see InputReader); null
    // for none.
    ConversionSession(const EncoderConfigStore& encoderConfigs, const WinMediaLibrary* winMediaLibrary,
                      const std::atomic<bool>* stopRequested = nullptr);
    ~ConversionSession();
    ConversionSession(const ConversionSession&) = delete;
    ConversionSession& operator=(const ConversionSession&) = delete;

    // Opens the video (its failure throws code 7) and the audio (its failure means no
    // audio), fixes the source and output frame rates (requestedRate 0 keeps the
    // source's) and the audio chunk size. Throws code 7 when the video's frame rate
    // cannot be measured.
    void OpenInput(const std::string& path, double requestedRate);

    SourceVideo GetSourceVideo() const { return {sourceVideoHeader_, sourceFrameRate_, sourcePixelAspect_}; }
    SourceAudio GetSourceAudio() const
    {
        return {sourceAudioFormat_, static_cast<int32_t>(chunkSchedule_.MaxChunkBytes()), sourceChannelMask_};
    }
    // pixelAspect: the shape of the output's pixels, stored in the file for players.
    void SetVideoOutput(const AVICOMPRESSOPTIONS& videoSettings, int32_t width, int32_t height,
                        const std::string& videoCodecName, PixelAspect pixelAspect = {});
    // channelMask: the speakers of the output's channels (see SourceAudio), 0 for none.
    void SetAudioOutput(const WAVEFORMATEX& format, const std::string& audioCodecName, uint32_t channelMask = 0);

    // The next source frame (RGB24 at the source size, valid until the next read, and
    // writable until then) with its duration added to sourceTime; null at the end of
    // the video.
    uint8_t* ReadVideoFrame(MediaTime* sourceTime);
    // The rows of each source frame the caller reads (one flag per DIB row, in buffer
    // order; empty: all). Frames read later may hold stale bytes in the other rows.
    void SetVideoRowsRead(std::vector<uint8_t> dibRows);

    // The source audio of the next output frame: *length bytes (whole blocks, as the
    // schedule hands them out; possibly none), the last chunk padded with silence. The
    // sound starts where the first video frame does: audio that starts later is preceded
    // by silence, audio that starts earlier loses its head (read the first frame before
    // the first chunk). Valid until the next call. Null when no audio is left.
    const uint8_t* ReadAudioChunk(uint32_t* length);

    // Opens the next output file. typeString ".wmv" (any case) selects Windows Media,
    // anything else AVI. profile: the Windows Media profile text (null: none).
    void CreateWriter(const std::string& path, const std::string& typeString, const std::u16string* profile);

    // Writes one output frame (video and/or audioLength bytes of audio) and advances
    // outputTime by one frame. Without a writer, outputTime advances only when
    // advanceAnyway is set. A write that fails drops the writer (its file is removed) and
    // throws CMyException code OutputWriteFailed.
    void WriteFrame(const uint8_t* video, const uint8_t* audio, uint32_t audioLength, bool advanceAnyway,
                    MediaTime* outputTime);

    // Ends the current file, which then takes its final name. With reportFailure, a
    // file that could not be completed throws code OutputWriteFailed (after everything
    // was released).
    void CloseWriter(bool reportFailure = false);

    // Drops the current file after a failure: it is removed, and an existing file of
    // its name stays as it was.
    void DiscardWriter();

    bool HasWriter() const { return writer_ != nullptr; }
    bool HasVideoReader() const { return videoReader_ != nullptr; }
    bool HasAudioReader() const { return audioReader_ != nullptr; }
    uint32_t carryLength() const { return carryLength_; }
    double outputFrameRate() const { return outputFrameRate_; }
    // The input's duration as its video reports it (100-ns units); 0 when unknown.
    MediaTime sourceDuration() const { return sourceDuration_; }
    MediaTime outputFrameDuration() const { return outputFrameDuration_; }

private:
    void MeasureSourceFrameRate();

    const EncoderConfigStore& encoderConfigs_;
    const WinMediaLibrary* winMediaLibrary_;
    const std::atomic<bool>* stopRequested_;

    std::string audioCodecName_;
    int32_t outputWidth_ = 0;
    int32_t outputHeight_ = 0;
    WAVEFORMATEX outputAudioFormat_{};
    uint32_t carryLength_ = 0;
    std::vector<uint8_t> carryBuffer_;
    AudioChunkSchedule chunkSchedule_;  // of the source audio at the output frame rate
    std::vector<uint8_t> chunkBuffer_;  // room for the largest chunk
    WAVEFORMATEX sourceAudioFormat_{};
    uint32_t sourceChannelMask_ = 0;
    uint32_t outputChannelMask_ = 0;
    double outputFrameRate_ = 0.0;
    MediaTime outputFrameDuration_ = 0;
    double sourceFrameRate_ = 0.0;
    MediaTime sourceDuration_ = 0;
    VIDEOINFOHEADER sourceVideoHeader_{};
    PixelAspect sourcePixelAspect_;
    PixelAspect outputPixelAspect_;
    AVICOMPRESSOPTIONS videoSettings_{};
    std::string videoCodecName_;

    std::unique_ptr<OutputWriter> writer_;  // the file being written, or null
    bool writerHasAudio_ = false;
    std::unique_ptr<InputReader> audioReader_;
    std::unique_ptr<InputReader> videoReader_;
    std::unique_ptr<AudioStartAligner> audioStart_;  // reads audioReader_; set with it
};

}  // namespace klova
