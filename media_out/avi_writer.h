// Writes one AVI file. Builds the pipeline "VideoWriterProxy" -> [video encoder] ->
// "AVI Mux" -> "File writer", plus "AudioWriterProxy" -> [audio encoder] -> "AVI Mux"
// when the file has sound; the first write starts it and the end-of-output call
// completes the file. With an encoder on both streams it is the equivalent of
//   videowriterproxy ! queue ! [videoconvert ! [capsfilter (4:2:0) !]] encoder ! queue ! avimux name=mux
//     ! filesink   audiowriterproxy ! queue ! [audioconvert ! audioresample !] encoder ! mux.
// For an encoder fed I420 the proxy makes it and videoconvert passes it through.
// The AVI side of OutputWriter. All operations run on the engine thread.
#pragma once

#include "codecs/encoder_config_store.h"
#include "media_out/audio_writer_proxy.h"
#include "media_out/graph_linker.h"
#include "media_out/mux_input_stamper.h"
#include "media_out/mux_stall_guard.h"
#include "media_out/output_writer.h"
#include "media_out/video_writer_proxy.h"
#include "platform/atomic_output_file.h"
#include "platform/gst_ptr.h"
#include "platform/media_types.h"
#include "platform/sync_event.h"

#include <gst/gst.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace klova {

// The compressors of the file a writer opens through OutputWriter::Open, as
// SetVideoFormat and AddAudioStream take them.
struct AviCompression {
    AVICOMPRESSOPTIONS videoSettings{};
    std::string videoCodecName;
    std::string audioCodecName;
};

class AviWriter final : public OutputWriter {
public:
    // The store is borrowed and must outlive the writer. Throws CMyException code 1 when
    // the pipeline cannot be made.
    explicit AviWriter(const EncoderConfigStore& encoderConfigs, AviCompression compression = {});
    ~AviWriter() override;
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // OutputWriter: SetVideoFormat with the compression given at construction, OpenFile,
    // and AddAudioStream when the format has audio; throws what they throw. The writes
    // and End are WriteVideo and WriteAudio below, End their end call.
    void Open(const std::string& path, const OutputFormat& format) override;
    bool WriteVideo(const uint8_t* frame) override { return WriteVideo(frame, nullptr); }
    bool WriteAudio(const uint8_t* chunk, uint32_t length) override { return WriteAudio(chunk, length, nullptr); }
    bool End() override { return Succeeded(EndOfOutput()); }
    std::string FailureDetail() const override;

    // Before OpenFile. The codec name is a friendly name, or "" or "<Uncompressed>" for
    // no encoder. Of the options, dwQuality (0..10000) and dwKeyFrameEvery (with
    // AVICOMPRESSF_KEYFRAMES in dwFlags) reach the encoder.
    void SetVideoFormat(const AVICOMPRESSOPTIONS& videoSettings, double frameRate, int32_t width, int32_t height,
                        const std::string& videoCodecName);

    // Builds the video branch and creates the output file under a temporary name beside
    // the path; the end call renames it over the path once the file is complete, and a
    // writer dropped before that removes it (an existing file of that name stays as it
    // was). Throws code 5 when the encoder is unknown, a link fails or the file cannot be
    // created.
    void OpenFile(const std::string& path);

    // After OpenFile, only for output with sound. "PCM", "pcm" and "" mean no encoder;
    // any other name is looked up. Behind a DV encoder the audio is stored as the PCM
    // that DV takes, whatever the name. Throws code 5.
    void AddAudioStream(const WAVEFORMATEX& format, double frameRate, const std::string& audioCodecName);

    // Hands over one bottom-up RGB24 frame (or one frame's chunk of audio: `length`
    // bytes of whole sample blocks, see IAudioWriterProxy), blocking until it is copied.
    // Per output frame the video comes first, then the audio; a stream that stops while
    // the other goes on is ended at once (so the muxer does not wait for it). The first
    // write starts the pipeline (code 6 when it cannot start). Null ends both streams and
    // waits until the file is complete; the end call returns false when anything failed
    // along the way, including the completion of the file. A false result means the
    // writer is finished: close it.
    bool WriteVideo(const uint8_t* frame, HRESULT* result);
    bool WriteAudio(const uint8_t* chunk, uint32_t length, HRESULT* result);

    // Creates the encoder of that friendly name with the settings remembered for it, and
    // adds it to the pipeline under its friendly name. Throws code 5 when no listed
    // encoder has the name.
    GstPtr<GstElement> FindVideoCompressor(const std::string& friendlyName);
    GstPtr<GstElement> FindAudioCompressor(const std::string& friendlyName);

    // Takes an element out of the pipeline; null or a foreign element is ignored.
    void RemoveFilter(GstElement* filter);

    // The pipeline, for diagnostics and tests. Borrowed.
    GstBin* Graph() const { return GST_BIN(graph_.get()); }

private:
    GstPtr<GstElement> FindCompressor(const std::string& friendlyName, bool video);
    void ApplyVideoSettings(GstElement* encoder) const;
    bool EncoderOpens(GstElement* encoder, const GstCaps* formats) const;
    void ConnectVideoEncoder(GstElement* from, GstElement* encoder);
    GstElement* CreateQueue(const char* name, guint maxBuffers, guint maxBytes, guint64 maxTime);  // 0: no limit
    static GstPtr<GstPad> OutputPad(GstElement* element);
    void StampVideo(GstElement* element);
    void StampAudio(GstElement* lastElement);
    void StartGraph();
    HRESULT EndOfOutput();
    bool Finish(HRESULT hr, HRESULT* result) const;
    static GstBusSyncReply OnBusMessage(GstBus* bus, GstMessage* message, gpointer self) noexcept;

    const EncoderConfigStore& encoderConfigs_;
    const AviCompression compression_;

    AVICOMPRESSOPTIONS videoSettings_;
    double frameRate_ = 15.0;
    int32_t frameWidth_ = 320;
    int32_t frameHeight_ = 240;
    int32_t bitCount_ = 24;
    PixelAspect pixelAspect_;        // from the format given to Open
    uint32_t audioChannelMask_ = 0;  // likewise
    std::string videoCodecName_;

    GstPtr<GstElement> graph_;
    std::optional<GraphLinker> linker_;
    GstPtr<GstElement> videoSource_;
    IVideoWriterProxy* videoProxy_ = nullptr;  // interface of videoSource_
    GstPtr<GstElement> audioSource_;
    IAudioWriterProxy* audioProxy_ = nullptr;  // interface of audioSource_, null without sound
    GstPtr<GstElement> aviMux_;
    GstPtr<GstElement> sinkCompressor_;  // a video encoder that writes the file itself
    bool dvOutput_ = false;              // the video encoder makes DV
    std::optional<AtomicOutputFile> outputFile_;  // from OpenFile; released after the pipeline
    GstElement* muxVideoQueue_ = nullptr;         // the video's last queue before the muxer; the bin holds it
    // Probes on the pipeline's pads: released before it.
    std::optional<MuxInputStamper> videoStamper_;
    std::optional<MuxInputStamper> audioStamper_;
    std::optional<MuxStallGuard> stallGuard_;

    // Engine thread only.
    bool running_ = false;
    bool ended_ = false;
    HRESULT endResult_ = S_OK;
    uint64_t videoWrites_ = 0;
    uint64_t audioWrites_ = 0;
    bool audioEnded_ = false;  // ended early: the engine's sound ran out before its video
    bool videoEnded_ = false;  // ended early: the video ran out before the sound

    // Set from the bus handler, on whichever thread posts.
    mutable std::mutex busLock_;
    HRESULT graphResult_ = S_OK;  // first failure the pipeline reported
    std::string graphError_;      // its text
    SyncEvent finished_{SyncEvent::Reset::Manual};  // end of stream reached, or a failure
};

}  // namespace klova
