// Cuts the engine's audio, one output frame's worth per chunk, into samples that hold
// whole sample blocks. A frame's worth (P bytes) is rarely a whole number of blocks:
// the bytes that do not fill a block are carried to the front of the next sample, and
// whenever the carried bytes reach a whole block that sample grows by one block. No
// byte is lost or repeated; at the end of the stream less than one block may remain.
#pragma once

#include "platform/media_types.h"

#include <cstdint>
#include <vector>

namespace klova {

class AudioChunker {
public:
    // P := trunc(bytesPerSecond / frameRate). False (and nothing changes) for a block
    // size of 0 or a rate that is not positive.
    bool Configure(uint32_t bytesPerSecond, uint32_t blockAlign, double frameRate);

    // Forgets the carried bytes (a new stream begins).
    void Reset() { carryLength_ = 0; }

    uint32_t chunkBytes() const { return chunkBytes_; }    // P: bytes taken from every chunk
    uint32_t sampleBytes() const { return sampleBytes_; }  // room one sample needs
    uint32_t carryLength() const { return carryLength_; }

    // Copies one chunk (chunkBytes() bytes are read) into dst (sampleBytes() bytes of
    // room) behind the bytes carried from the chunks before; returns the sample length,
    // always a whole number of blocks.
    uint32_t Fill(const uint8_t* chunk, uint8_t* dst);

private:
    uint32_t chunkBytes_ = 0;
    uint32_t blockAlign_ = 0;
    uint32_t sampleBytes_ = 0;  // P rounded down to whole blocks, plus one block
    std::vector<uint8_t> blockCarry_;
    uint32_t carryLength_ = 0;
};

}  // namespace klova
