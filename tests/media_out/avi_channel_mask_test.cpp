// The speaker mask patch on AVI headers laid out as avimux writes them.
#include "media_out/avi_channel_mask.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace klova {
namespace {

void Put32(std::string& out, uint32_t value)
{
    for (int byte = 0; byte < 4; ++byte)
        out += static_cast<char>(value >> (8 * byte));
}

void Put16(std::string& out, uint16_t value)
{
    out += static_cast<char>(value);
    out += static_cast<char>(value >> 8);
}

std::string Chunk(const char* id, const std::string& data)
{
    std::string out(id, 4);
    Put32(out, static_cast<uint32_t>(data.size()));
    out += data;
    if (data.size() % 2)
        out += '\0';
    return out;
}

std::string List(const char* type, const std::string& chunks) { return Chunk("LIST", std::string(type, 4) + chunks); }

std::string StreamHeader(const char* type) { return Chunk("strh", std::string(type, 4) + std::string(52, '\0')); }

// A WAVE_FORMAT_EXTENSIBLE record of 16-bit PCM with the given channels and mask.
std::string Extensible(uint16_t channels, uint32_t mask)
{
    std::string format;
    Put16(format, 0xFFFE);
    Put16(format, channels);
    Put32(format, 48000);
    Put32(format, 48000u * 2 * channels);
    Put16(format, static_cast<uint16_t>(2 * channels));
    Put16(format, 16);
    Put16(format, 22);  // cbSize
    Put16(format, 16);  // valid bits
    Put32(format, mask);
    format += std::string(16, '\x01');  // the sub-format GUID
    return Chunk("strf", format);
}

// RIFF AVI with a video stream, then an audio stream, then the start of the data list.
std::vector<uint8_t> Header(const std::string& audioFormat)
{
    const std::string header =
        List("hdrl", Chunk("avih", std::string(56, '\0')) +
                         List("strl", StreamHeader("vids") + Chunk("strf", std::string(40, '\0'))) +
                         List("strl", StreamHeader("auds") + audioFormat + Chunk("JUNK", std::string(7, '\0'))));
    std::string file = "RIFF";
    Put32(file, 1'000'000);
    file += "AVI " + header + "LIST";
    Put32(file, 900'000);
    file += "movi";
    return {file.begin(), file.end()};
}

uint32_t MaskAt(const std::vector<uint8_t>& header, size_t offset)
{
    uint32_t mask = 0;
    std::memcpy(&mask, header.data() + offset, 4);
    return mask;
}

TEST(AviChannelMask, FillsTheEmptyMaskOfTheSurroundAudioStream)
{
    std::vector<uint8_t> header = Header(Extensible(6, 0));
    const std::vector<uint8_t> before = header;
    ASSERT_TRUE(PatchAviChannelMask(header.data(), header.size(), 0x60F));
    // Only the four bytes of the mask changed.
    size_t changed = 0;
    size_t first = 0;
    for (size_t i = 0; i < header.size(); ++i)
        if (header[i] != before[i] && changed++ == 0)
            first = i;
    EXPECT_LE(changed, 4u);
    EXPECT_EQ(MaskAt(header, first), 0x60Fu);
    // Done once: a mask already there is left alone.
    EXPECT_FALSE(PatchAviChannelMask(header.data(), header.size(), 0x3F));
}

TEST(AviChannelMask, LeavesEverythingElseAlone)
{
    // A mask that does not fit the channel count.
    std::vector<uint8_t> header = Header(Extensible(6, 0));
    EXPECT_FALSE(PatchAviChannelMask(header.data(), header.size(), 0x3));
    // Plain PCM has no mask to fill.
    std::string pcm;
    Put16(pcm, 1);
    Put16(pcm, 2);
    pcm += std::string(14, '\0');
    header = Header(Chunk("strf", pcm));
    EXPECT_FALSE(PatchAviChannelMask(header.data(), header.size(), 0x3F));
    // Not an AVI header, a header cut off before the audio format, no mask.
    header = Header(Extensible(6, 0));
    std::vector<uint8_t> data = header;
    data[8] = 'W';
    EXPECT_FALSE(PatchAviChannelMask(data.data(), data.size(), 0x3F));
    EXPECT_FALSE(PatchAviChannelMask(header.data(), 200, 0x3F));
    EXPECT_FALSE(PatchAviChannelMask(header.data(), header.size(), 0));
    EXPECT_FALSE(PatchAviChannelMask(nullptr, 0, 0x3F));
}

}  // namespace
}  // namespace klova
