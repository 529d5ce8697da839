// Where the encoders hand their packets: the muxer, or a test double.
#pragma once

extern "C" {
#include <libavcodec/packet.h>
#include <libavutil/rational.h>
}

namespace asfout {

class PacketSink {
public:
    // Takes the packet's payload and leaves the packet blank. Timestamps and duration
    // are in timeBase. Throws AsfError when the packet cannot be written.
    virtual void Put(AVPacket& packet, AVRational timeBase, int streamIndex) = 0;

protected:
    ~PacketSink() = default;
};

}  // namespace asfout
