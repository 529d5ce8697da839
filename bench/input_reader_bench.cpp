// Decoding throughput of InputReader against gst-launch-1.0 decoding the same file to
// BGR into a fakesink: a generated 10-second 1280 x 720 H.264 file at 30 frames per
// second, every frame read. The reader's time includes opening the file, as the
// command's includes starting the process.
//
// Usage: input_reader_bench [rounds]   (default 3; the best round of each side counts)
// Prints both times and their ratio (reader / gst-launch); the target is at most 1.15.
#include "media_in/input_reader.h"
#include "platform/errors.h"

#include <gst/gst.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFramesPerSecond = 30;
constexpr int kSeconds = 10;

using Clock = std::chrono::steady_clock;

int RunCommand(const std::string& command)
{
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

double TimeReader(const std::string& file, int* frames)
{
    const Clock::time_point start = Clock::now();
    klova::InputReader reader(file, klova::VideoRequestType, true);
    *frames = 0;
    volatile uint8_t touched = 0;
    for (;;) {
        uint32_t length = 0;
        klova::MediaTime begin = 0;
        klova::MediaTime end = 0;
        const uint8_t* data = reader.ReadSample(&length, &begin, &end);
        if (length == 0)
            break;
        touched = data[length / 2];  // look at the frame as a consumer would
        ++*frames;
    }
    static_cast<void>(touched);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double TimeCommand(const std::string& command)
{
    const Clock::time_point start = Clock::now();
    const int exitStatus = RunCommand(command);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (exitStatus != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return seconds;
}

}  // namespace

int main(int argc, char** argv)
{
    gst_init(&argc, &argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char folderPattern[] = "/tmp/input-reader-bench-XXXXXX";
    if (!::mkdtemp(folderPattern))
        return 1;
    const std::string folder = folderPattern;
    const std::string file = folder + "/input.mp4";

    const std::string make = "ffmpeg -hide_banner -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" +
                             std::to_string(kWidth) + "x" + std::to_string(kHeight) +
                             ":rate=" + std::to_string(kFramesPerSecond) + ":duration=" + std::to_string(kSeconds) +
                             " -c:v libx264 -preset veryfast -pix_fmt yuv420p " + file;
    if (RunCommand(make) != 0) {
        std::fprintf(stderr, "cannot make the input: %s\n", make.c_str());
        return 1;
    }
    const std::string command = "gst-launch-1.0 -q filesrc location=" + file +
                                " ! decodebin ! videoconvert ! video/x-raw,format=BGR ! fakesink";

    double readerBest = 1e9;
    double launchBest = 1e9;
    int frames = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            readerBest = std::min(readerBest, TimeReader(file, &frames));
            launchBest = std::min(launchBest, TimeCommand(command));
        }
    } catch (const klova::CMyException& error) {
        std::fprintf(stderr, "InputReader failed: %s\n", error.what());
        return 1;
    }
    std::filesystem::remove_all(folder);

    std::printf("input: %dx%d H.264, %d s at %d fps, best of %d rounds\n", kWidth, kHeight, kSeconds,
                kFramesPerSecond, rounds);
    std::printf("InputReader: %.3f s  (%d frames, %.0f fps)\n", readerBest, frames, frames / readerBest);
    std::printf("gst-launch:  %.3f s  (%.0f fps)\n", launchBest, kSeconds * kFramesPerSecond / launchBest);
    std::printf("ratio reader / gst-launch: %.2f (target at most 1.15)\n", readerBest / launchBest);
    gst_deinit();
    return 0;
}
