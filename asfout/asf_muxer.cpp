#include "asfout/asf_muxer.h"

#include "asfout/asf_error.h"

#include <sys/stat.h>
#include <unistd.h>

namespace asfout {

AsfMuxer::AsfMuxer(const std::string& utf8Path) : path_(utf8Path)
{
    if (path_.empty())
        throw AsfError("empty output path", kInvalidArgument);
    AVFormatContext* context = nullptr;
    CheckAv(avformat_alloc_output_context2(&context, nullptr, "asf", nullptr), "creating the ASF muxer");
    context_.reset(context);
    // The "file:" prefix keeps a name such as "http:x.wmv" a plain file name.
    AVIOContext* io = nullptr;
    CheckAv(avio_open(&io, ("file:" + path_).c_str(), AVIO_FLAG_WRITE), "creating the output file");
    io_.reset(io);
    context_->pb = io_.get();
    // The audio encoder's priming is stamped before zero; ASF carries it within its
    // preroll, so nothing is shifted and the video starts at zero.
    context_->avoid_negative_ts = AVFMT_AVOID_NEG_TS_DISABLED;
}

AsfMuxer::~AsfMuxer()
{
    if (started_) {
        try {
            Finish();
        } catch (const AsfError& error) {
            av_log(nullptr, AV_LOG_ERROR, "asfout: %s\n", error.what());
        }
        return;
    }
    context_->pb = nullptr;
    io_.reset();
    // Only an empty regular file is ours to take back; the path may name a device or
    // a link, which stay as they are.
    struct stat info {};
    if (::lstat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0)
        ::unlink(path_.c_str());
}

bool AsfMuxer::WantsGlobalHeaders() const { return (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0; }

int AsfMuxer::AddStream(const AVCodecContext& encoder)
{
    AVStream* stream = avformat_new_stream(context_.get(), nullptr);
    if (!stream)
        throw AsfError("avformat_new_stream", kOutOfMemory);
    CheckAv(avcodec_parameters_from_context(stream->codecpar, &encoder), "avcodec_parameters_from_context");
    stream->time_base = encoder.time_base;
    if (encoder.codec_type == AVMEDIA_TYPE_VIDEO) {
        stream->avg_frame_rate = encoder.framerate;
        stream->r_frame_rate = encoder.framerate;
    }
    return stream->index;
}

void AsfMuxer::Start()
{
    CheckAv(avformat_write_header(context_.get(), nullptr), "writing the ASF header");
    started_ = true;
}

void AsfMuxer::Put(AVPacket& packet, AVRational timeBase, int streamIndex)
{
    if (!started_ || finished_ || streamIndex < 0 || streamIndex >= static_cast<int>(context_->nb_streams)) {
        av_packet_unref(&packet);
        throw AsfError("packet outside the file's life", kUnexpected);
    }
    av_packet_rescale_ts(&packet, timeBase, context_->streams[streamIndex]->time_base);
    packet.stream_index = streamIndex;
    CheckAv(av_interleaved_write_frame(context_.get(), &packet), "writing a packet");
}

void AsfMuxer::Finish()
{
    if (!started_ || finished_)
        return;
    finished_ = true;
    const int trailer = av_write_trailer(context_.get());
    context_->pb = nullptr;
    AVIOContext* io = io_.release();
    const int closed = avio_closep(&io);
    CheckAv(trailer, "writing the ASF trailer");
    CheckAv(closed, "closing the output file");
}

}  // namespace asfout
