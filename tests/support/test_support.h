// Shared helpers of the test programs: temporary folders, running commands, and
// asking ffprobe (the independent judge) about media files.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace klova::test {

// A fresh folder under the system's temporary folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct CommandResult {
    int exitStatus = -1;  // the process's exit status, or 128 + signal
    std::string out;      // standard output
    std::string err;      // standard error
};

// Runs a shell command and collects its output.
CommandResult RunCommand(const std::string& command);

// Quotes a string for the shell.
std::string ShellQuote(const std::string& text);

// Runs ffmpeg with the given arguments (quiet, overwriting); fails the current test
// when ffmpeg fails.
void Ffmpeg(const std::string& arguments);

// One stream as ffprobe reports it: every "key=value" of its -show_streams section.
using ProbeFields = std::map<std::string, std::string>;

// The streams of a file, in file order ("codec_type", "codec_name", "width",
// "nb_frames", "r_frame_rate", ...). With countFrames, "nb_read_frames" is filled by
// decoding the whole file.
std::vector<ProbeFields> ProbeStreams(const std::string& file, bool countFrames = false);

// The first stream of a kind ("video" or "audio"), or an empty map.
ProbeFields ProbeStream(const std::string& file, const std::string& codecType, bool countFrames = false);

// Duration of the container in seconds, or a negative value.
double ProbeDuration(const std::string& file);

// Length in seconds of the first audio stream, measured by decoding it with ffmpeg
// (AVI headers of PCM streams carry no duration); negative without audio.
double DecodedAudioSeconds(const std::string& file);

// The packets of a file in the order they lie in it (by byte position): stream index,
// time in seconds (the presentation time, else the decoding time) and duration.
struct PacketInfo {
    int stream = -1;
    long long position = 0;
    double seconds = 0.0;
    double duration = 0.0;
};
std::vector<PacketInfo> ProbePacketsInFileOrder(const std::string& file);

// The longest stretch of the file, in seconds of the stream's own time, that holds
// packets of one stream only: how far apart the streams are interleaved.
double LongestSingleStreamRun(const std::vector<PacketInfo>& packets);

// The frequency of the first audio stream's tone between two times, in Hz, from its
// zero crossings (first channel); negative without audio.
double ToneFrequency(const std::string& file, double fromSeconds, double seconds);

// Decodes the whole file with ffmpeg; returns ffmpeg's error output (empty when clean).
std::string DecodeErrors(const std::string& file);

// Path of a built program or library in the build tree.
std::string BuildPath(const std::string& name);

// Runs the built klova-convert with these arguments, each quoted for the shell.
CommandResult RunKlovaConvert(const std::vector<std::string>& arguments);

// The whole file as bytes; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// The names in a folder, hidden ones included, sorted.
std::vector<std::string> FileNames(const std::string& folder);

// Size of a file in bytes, or -1.
long long FileSize(const std::string& file);

}  // namespace klova::test
