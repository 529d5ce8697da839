// klova-convert: the headless front end. Runs one conversion from the settings of a
// profile and the command line, printing the statistics to standard error, or tells
// what it can do: the encoder and profile names the settings take, its version.
#include "app/capability_listing.h"
#include "codecs/compressor_names.h"
#include "frontend/command_line.h"
#include "frontend/conversion_progress.h"
#include "frontend/failure_messages.h"
#include "codecs/encoder_config_store.h"
#include "engine/clip_naming.h"
#include "engine/conversion_host.h"
#include "engine/conversion_job.h"
#include "media_out/win_media_profiles.h"
#include "platform/app_paths.h"
#include "platform/gst_ptr.h"
#include "platform/install_layout.h"
#include "platform/tick_clock.h"
#include "resources/string_table.h"

#include <gst/gst.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>

namespace klova {
namespace {

// Set by SIGINT and SIGTERM; the engine's waits look at it too.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnStopSignal(int) { stopRequested.store(true); }

// Installed before anything else runs, GStreamer's threads included, so a signal in the
// first moment is a stop (exit 130) like any other.
void InstallStopHandlers()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls carry on (GStreamer's start-up reads from its registry
    // scanner); the stop is seen by looking at the flag. The first signal asks the
    // conversion to stop and finish its file; a second one ends the process at once.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

class HeadlessHost : public ConversionHost {
public:
    // Borrowed; null without Windows Media output.
    explicit HeadlessHost(const WinMediaLibrary* winMediaLibrary) : winMediaLibrary_(winMediaLibrary) {}

    std::optional<std::u16string> ResolveMediaProfile(const std::string& mediaProfile) override
    {
        if (!winMediaLibrary_)
            return std::nullopt;
        return klova::ResolveMediaProfile(*winMediaLibrary_, mediaProfile);
    }

private:
    const WinMediaLibrary* winMediaLibrary_;
};

// Prints the statistics block: rewritten in place on a terminal, as plain lines (at
// most once a second) otherwise.
class StatisticsPrinter {
public:
    StatisticsPrinter() : terminal_(::isatty(STDERR_FILENO) == 1) {}

    void Print(const std::string& text, bool final)
    {
        const uint32_t now = TickCountMs();
        const uint32_t interval = terminal_ ? 200 : 1000;
        if (!final && printed_ && now - lastTick_ < interval)
            return;
        lastTick_ = now;
        std::string block;
        for (char c : text)
            if (c != '\r')
                block += c;
        if (terminal_ && printed_)
            std::fputs("\x1b[4F\x1b[J", stderr);  // back to the start of the previous block
        std::fputs(block.c_str(), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        printed_ = true;
    }

private:
    bool terminal_;
    bool printed_ = false;
    uint32_t lastTick_ = 0;
};

int Convert(ConversionSettings& settings)
{
    EncoderConfigStore encoderConfigs;
    // Loaded only for Windows Media output: the library pulls in all of FFmpeg, which an
    // AVI conversion has no use for. One load serves the profile and every clip.
    std::optional<WinMediaLibrary> winMediaLibrary;
    if (GetOutputExtension(settings) == ".wmv")
        winMediaLibrary.emplace(PrivateLibraryFolder(ExecutableFolder()));
    const WinMediaLibrary* library = winMediaLibrary ? &*winMediaLibrary : nullptr;
    HeadlessHost host(library);
    int status = 0;
    {
        ConversionJob job(settings, EngineServices{encoderConfigs, library, &stopRequested}, host);
        StatisticsPrinter printer;
        try {
            if (!stopRequested)
                job.StartConversion();
            while (!stopRequested && job.Step())
                printer.Print(job.StatisticsText(), false);
            printer.Print(job.StatisticsText(), true);
            // Audio may carry the output on after the video has ended.
            const MediaTime converted = std::max(job.sourceTime(), job.outputTime());
            const bool endedEarly = !stopRequested && EndedFarShortOfDuration(converted, job.inputDuration());
            const MediaTime inputDuration = job.inputDuration();
            job.StopConversion();
            if (endedEarly)
                std::cerr << "klova-convert: " << ShortInputWarning(converted, inputDuration) << '\n';
            status = stopRequested ? 130 : 0;
        } catch (...) {
            const std::optional<std::string> text = FailureText(std::current_exception());
            const std::optional<std::string> reason = FailureReason(std::current_exception());
            try {
                job.StopConversion();
            } catch (...) {
            }
            // A stop that cut the opening of the input short is a stop, not a failure.
            if (stopRequested) {
                status = 130;
            } else {
                // The message, then the technical reason on a line of its own.
                std::cerr << (text ? *text : LoadStringResource(IDS_CANNOT_CONVERT)) << '\n';
                if (reason)
                    std::cerr << *reason << '\n';
                status = 1;
            }
        }
    }
    encoderConfigs.Clear();
    return status;
}

// Answers --list-encoders and --list-profiles (in that order when both are asked).
int PrintListings(const CommandLine& commandLine)
{
    if (commandLine.listEncoders)
        std::cout << EncoderListingText(ListCompressorNames(CompressorCategory::Video),
                                        ListCompressorNames(CompressorCategory::Audio));
    if (commandLine.listEncoders && commandLine.listProfiles)
        std::cout << '\n';
    if (commandLine.listProfiles) {
        const std::string folder = PrivateLibraryFolder(ExecutableFolder());
        const WinMediaLibrary library(folder);
        if (!library.IsAvailable()) {
            std::cout.flush();
            std::cerr << "klova-convert: no Windows Media profiles: " << kWinMediaLibraryName
                      << " cannot be loaded from " << folder << '\n';
            return 1;
        }
        std::cout << ProfileListingText(DescribeProfiles(library));
    }
    return 0;
}

}  // namespace
}  // namespace klova

int main(int argc, char** argv)
{
    using namespace klova;
    InstallStopHandlers();
    CommandLine commandLine;
    ConversionSettings settings;
    try {
        commandLine = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        if (!AsksOnly(commandLine))
            settings = SettingsFromCommandLine(commandLine);
    } catch (const std::exception& error) {
        std::cerr << "klova-convert: " << error.what() << "\n";
        return 2;
    }
    if (commandLine.showHelp) {
        std::cout << UsageText();
        return 0;
    }
    if (commandLine.showVersion) {
        std::cout << VersionText();
        return 0;
    }

    GError* error = nullptr;
    const bool initialised = gst_init_check(&argc, &argv, &error);
    const GstPtr<GError> initError(error);
    if (!initialised) {
        if (stopRequested)
            return 130;
        std::cerr << LoadStringResource(IDS_CANNOT_INIT_GRAPH) << '\n';
        if (initError)
            std::cerr << initError->message << '\n';
        return 1;
    }
    const int status = AsksOnly(commandLine) ? PrintListings(commandLine) : Convert(settings);
    gst_deinit();
    return status;
}
