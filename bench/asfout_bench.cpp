// Throughput of the Windows Media writer library against the ffmpeg command line on
// the same raw input: 10 seconds of 320 x 240 frames at 25 frames per second with
// 44,100 Hz 16-bit stereo sound, WMV 8 video at 768 kbit/s and WMA 2 sound.
//
// Usage: asfout_bench [rounds]   (default 3; the best round of each side counts)
// Prints both times and their ratio (library / ffmpeg); the target is at most 1.25.
#include "media_out/win_media_library.h"
#include "platform/unicode_text.h"
#include "tests/asfout/synthetic_media.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFramesPerSecond = 25;
constexpr int kFrames = 10 * kFramesPerSecond;
constexpr uint32_t kChunkBytes = 176400 / kFramesPerSecond;  // whole blocks at 25 fps

using Clock = std::chrono::steady_clock;

struct Input {
    std::vector<uint8_t> frames;  // kFrames bottom-up DIBs, one after the other
    std::vector<uint8_t> sound;   // kFrames chunks of kChunkBytes
    size_t frameBytes = 0;
};

Input MakeInput()
{
    Input input;
    input.frameBytes = klova::test::DibRowBytes(kWidth) * kHeight;
    input.frames.resize(input.frameBytes * kFrames);
    for (int i = 0; i < kFrames; ++i)
        klova::test::DrawPatternFrame(kWidth, kHeight, i, input.frames.data() + input.frameBytes * i);
    input.sound.resize(kChunkBytes * kFrames);
    klova::test::ToneSource(44100, 2, 1000.0, 0.5).Fill(input.sound.data(), input.sound.size());
    return input;
}

void WriteFile(const std::string& path, const void* data, size_t size)
{
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

// The same rates as the ffmpeg command: 768 kbit/s video, 128 kbit/s sound.
std::u16string Profile()
{
    return klova::Utf8ToUtf16(
        "<profile name=\"Benchmark\">"
        "<streamconfig majortype=\"{73646976-0000-0010-8000-00AA00389B71}\" bitrate=\"768000\" bufferwindow=\"3000\">"
        "<videomediaprops maxkeyframespacing=\"30000000\"/>"
        "<wmmediatype subtype=\"{32564D57-0000-0010-8000-00AA00389B71}\"/></streamconfig>"
        "<streamconfig majortype=\"{73647561-0000-0010-8000-00AA00389B71}\" bitrate=\"128000\">"
        "<wmmediatype subtype=\"{00000161-0000-0010-8000-00AA00389B71}\"/></streamconfig>"
        "</profile>");
}

double TimeLibrary(const klova::WinMediaLibrary& library, const Input& input, const std::string& path)
{
    const std::u16string widePath = klova::Utf8ToUtf16(path);
    const std::u16string profile = Profile();
    const uint8_t format[18] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 0, 0};
    const Clock::time_point start = Clock::now();
    klova::WinMediaWriterPtr writer = library.CreateWriter();
    if (!writer || writer->OpenFile(widePath.c_str(), profile.c_str()) < 0 ||
        writer->SetStreamFormats(kWidth, kHeight, sizeof format, format, kFramesPerSecond) < 0) {
        std::fprintf(stderr, "the library refused to set up the file\n");
        std::exit(1);
    }
    for (int i = 0; i < kFrames; ++i) {
        uint32_t token = 0;
        writer->GetVideoToken(&token);
        if (writer->WriteVideo(token, input.frames.data() + input.frameBytes * i) < 0) {
            std::fprintf(stderr, "video write failed\n");
            std::exit(1);
        }
        writer->GetAudioToken(&token);
        if (writer->WriteAudio(token, input.sound.data() + kChunkBytes * i, kChunkBytes) < 0) {
            std::fprintf(stderr, "audio write failed\n");
            std::exit(1);
        }
    }
    writer->WriteVideo(0, nullptr);
    writer->WriteAudio(0, nullptr, 0);
    writer.reset();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double TimeCommand(const std::string& command)
{
    const Clock::time_point start = Clock::now();
    const int status = std::system(command.c_str());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const klova::WinMediaLibrary library(KLOVA_OUTPUT_DIR);
    if (!library.IsAvailable()) {
        std::fprintf(stderr, "libasfout.so not found in %s\n", KLOVA_OUTPUT_DIR);
        return 1;
    }
    char folderPattern[] = "/tmp/asfout-bench-XXXXXX";
    if (!::mkdtemp(folderPattern))
        return 1;
    const std::string folder = folderPattern;

    const Input input = MakeInput();
    WriteFile(folder + "/video.raw", input.frames.data(), input.frames.size());
    WriteFile(folder + "/sound.raw", input.sound.data(), input.sound.size());
    const std::string command = "ffmpeg -hide_banner -nostdin -loglevel error -y -f rawvideo -pix_fmt bgr24 -s " +
                                std::to_string(kWidth) + "x" + std::to_string(kHeight) + " -r " +
                                std::to_string(kFramesPerSecond) + " -i " + folder + "/video.raw" +
                                " -f s16le -ar 44100 -ac 2 -i " + folder + "/sound.raw" +
                                " -c:v wmv2 -b:v 768k -c:a wmav2 -b:a 128k " + folder + "/ffmpeg.wmv";

    double libraryBest = 1e9;
    double ffmpegBest = 1e9;
    for (int round = 0; round < rounds; ++round) {
        libraryBest = std::min(libraryBest, TimeLibrary(library, input, folder + "/library.wmv"));
        ffmpegBest = std::min(ffmpegBest, TimeCommand(command));
    }
    const double libraryBytes = static_cast<double>(std::filesystem::file_size(folder + "/library.wmv"));
    const double ffmpegBytes = static_cast<double>(std::filesystem::file_size(folder + "/ffmpeg.wmv"));
    std::filesystem::remove_all(folder);

    std::printf("input: %d frames of %dx%d at %d fps with 44.1 kHz stereo sound, best of %d rounds\n", kFrames, kWidth,
                kHeight, kFramesPerSecond, rounds);
    std::printf("libasfout.so: %.3f s  (%.0f fps, file %.0f kbit/s)\n", libraryBest, kFrames / libraryBest,
                libraryBytes * 8 / 10 / 1000);
    std::printf("ffmpeg:       %.3f s  (%.0f fps, file %.0f kbit/s)\n", ffmpegBest, kFrames / ffmpegBest,
                ffmpegBytes * 8 / 10 / 1000);
    std::printf("ratio library / ffmpeg: %.2f (target at most 1.25)\n", libraryBest / ffmpegBest);
    return 0;
}
