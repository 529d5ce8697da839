// A PacketSink that records what the encoders hand out, for tests of the encoders.
#pragma once

#include "asfout/packet_sink.h"

#include <cstdint>
#include <vector>

namespace klova::test {

struct CapturedPacket {
    int64_t pts;
    int64_t duration;
    int size;
    bool key;
    int streamIndex;
    AVRational timeBase;
    std::vector<uint8_t> bytes;
};

class CapturingSink final : public asfout::PacketSink {
public:
    void Put(AVPacket& packet, AVRational timeBase, int streamIndex) override
    {
        packets.push_back({packet.pts, packet.duration, packet.size, (packet.flags & AV_PKT_FLAG_KEY) != 0,
                           streamIndex, timeBase, std::vector<uint8_t>(packet.data, packet.data + packet.size)});
        av_packet_unref(&packet);
    }

    std::vector<CapturedPacket> packets;
};

}  // namespace klova::test
