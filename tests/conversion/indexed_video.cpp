#include "tests/conversion/indexed_video.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

namespace klova::test {

void MakeIndexedVideo(const std::string& path, const IndexedVideoSpec& spec)
{
    const double seconds = spec.audioSeconds > 0 ? spec.audioSeconds : 0.0;
    std::ostringstream command;
    command << "ffmpeg -hide_banner -nostdin -loglevel error -y -f rawvideo -pix_fmt gray -s " << spec.width << "x"
            << spec.height << " -framerate " << spec.rate << " -i - ";
    if (!spec.audio.empty()) {
        command << "-f lavfi -i sine=frequency=1000:sample_rate=44100";
        if (seconds > 0)
            command << ":duration=" << seconds;
        command << " ";
    }
    command << "-map 0:v " << spec.encoder << " -pix_fmt yuv420p ";
    if (!spec.audio.empty()) {
        command << "-map 1:a " << spec.audio << " ";
        if (seconds <= 0)
            command << "-shortest ";
    }
    if (!spec.format.empty())
        command << "-f " << spec.format << " ";
    command << ShellQuote(path);

    FILE* pipe = ::popen(command.str().c_str(), "w");
    ASSERT_NE(pipe, nullptr);
    std::vector<unsigned char> frame(static_cast<size_t>(spec.width) * spec.height);
    for (int index = 0; index < spec.frames; ++index) {
        for (int y = 0; y < spec.height; ++y)
            for (int x = 0; x < spec.width; ++x) {
                const int stripe = x * 8 / spec.width;
                frame[static_cast<size_t>(y) * spec.width + x] = ((index >> stripe) & 1) ? 235 : 16;
            }
        ASSERT_EQ(std::fwrite(frame.data(), 1, frame.size(), pipe), frame.size());
    }
    ASSERT_EQ(::pclose(pipe), 0) << command.str();
}

int IndexFromGrey(const unsigned char* grey, int width, int height)
{
    int index = 0;
    for (int stripe = 0; stripe < 8; ++stripe) {
        const int x0 = stripe * width / 8 + width / 32;
        const int x1 = (stripe + 1) * width / 8 - width / 32;
        long sum = 0;
        long count = 0;
        for (int y = height / 4; y < height * 3 / 4; ++y)
            for (int x = x0; x < x1; ++x, ++count)
                sum += grey[static_cast<size_t>(y) * width + x];
        if (count == 0)
            return -1;
        const long mean = sum / count;
        if (mean > 160)
            index |= 1 << stripe;
        else if (mean > 90)
            return -1;
    }
    return index;
}

std::vector<int> ReadFrameIndexes(const std::string& path)
{
    const ProbeFields video = ProbeStream(path, "video");
    const int width = std::stoi(video.count("width") ? video.at("width") : "0");
    const int height = std::stoi(video.count("height") ? video.at("height") : "0");
    std::vector<int> indexes;
    if (width <= 0 || height <= 0)
        return indexes;
    const std::string command = "ffmpeg -hide_banner -nostdin -loglevel error -i " + ShellQuote(path) +
                                " -map 0:v:0 -vsync passthrough -f rawvideo -pix_fmt gray -";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return indexes;
    std::vector<unsigned char> frame(static_cast<size_t>(width) * height);
    while (std::fread(frame.data(), 1, frame.size(), pipe) == frame.size())
        indexes.push_back(IndexFromGrey(frame.data(), width, height));
    ::pclose(pipe);
    return indexes;
}

}  // namespace klova::test
