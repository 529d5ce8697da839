// Writes the ASF file through libavformat: creates the file, takes the streams of the
// encoders, interleaves their packets and completes the header at the end.
#pragma once

#include "asfout/av_handles.h"
#include "asfout/packet_sink.h"

#include <string>

namespace asfout {

class AsfMuxer final : public PacketSink {
public:
    // Creates (or truncates) the file. Throws AsfError when it cannot be created.
    explicit AsfMuxer(const std::string& utf8Path);
    // Completes a started file (best effort). A file whose header was never written
    // holds nothing playable: it is removed when it is an empty regular file.
    ~AsfMuxer();
    AsfMuxer(const AsfMuxer&) = delete;
    AsfMuxer& operator=(const AsfMuxer&) = delete;

    // Encoders must be opened with AV_CODEC_FLAG_GLOBAL_HEADER when this is true.
    bool WantsGlobalHeaders() const;
    // Adds a stream described by an opened encoder; answers its index.
    int AddStream(const AVCodecContext& encoder);
    // Writes the header; packets may follow.
    void Start();
    void Put(AVPacket& packet, AVRational timeBase, int streamIndex) override;
    // Writes the index and the final header and closes the file. Idempotent.
    void Finish();

private:
    std::string path_;
    FormatContextPtr context_;
    AvioPtr io_;  // owned here; context_->pb borrows it
    bool started_ = false;
    bool finished_ = false;
};

}  // namespace asfout
