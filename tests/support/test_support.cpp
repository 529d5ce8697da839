#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#ifndef KLOVA_BUILD_DIR
#define KLOVA_BUILD_DIR "."
#endif

namespace klova::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "klova-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

static std::string ReadWhole(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CommandResult RunCommand(const std::string& command)
{
    TempDir scratch;
    const std::string outFile = scratch.File("out");
    const std::string errFile = scratch.File("err");
    const std::string full = "( " + command + " ) >" + ShellQuote(outFile) + " 2>" + ShellQuote(errFile) + " </dev/null";
    const int status = std::system(full.c_str());
    CommandResult result;
    if (status != -1) {
        if (WIFEXITED(status))
            result.exitStatus = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            result.exitStatus = 128 + WTERMSIG(status);
    }
    result.out = ReadWhole(outFile);
    result.err = ReadWhole(errFile);
    return result;
}

void Ffmpeg(const std::string& arguments)
{
    const CommandResult result = RunCommand("ffmpeg -hide_banner -nostdin -loglevel error -y " + arguments);
    ASSERT_EQ(result.exitStatus, 0) << "ffmpeg " << arguments << "\n" << result.err;
}

std::vector<ProbeFields> ProbeStreams(const std::string& file, bool countFrames)
{
    const CommandResult result = RunCommand(std::string("ffprobe -v error ") + (countFrames ? "-count_frames " : "") +
                                            "-show_streams -of default=nw=0 " + ShellQuote(file));
    std::vector<ProbeFields> streams;
    std::istringstream lines(result.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line == "[STREAM]") {
            streams.emplace_back();
            continue;
        }
        const size_t equals = line.find('=');
        if (equals == std::string::npos || streams.empty())
            continue;
        const std::string key = line.substr(0, equals);
        streams.back()[key.rfind("TAG:", 0) == 0 ? key : key] = line.substr(equals + 1);
    }
    return streams;
}

ProbeFields ProbeStream(const std::string& file, const std::string& codecType, bool countFrames)
{
    for (ProbeFields& stream : ProbeStreams(file, countFrames))
        if (stream["codec_type"] == codecType)
            return stream;
    return {};
}

double ProbeDuration(const std::string& file)
{
    const CommandResult result =
        RunCommand("ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + ShellQuote(file));
    try {
        return std::stod(result.out);
    } catch (...) {
        return -1.0;
    }
}

double DecodedAudioSeconds(const std::string& file)
{
    const ProbeFields audio = ProbeStream(file, "audio");
    if (audio.empty())
        return -1.0;
    const CommandResult result = RunCommand("ffmpeg -hide_banner -nostdin -v error -i " + ShellQuote(file) +
                                            " -map 0:a:0 -f f32le -ac 1 - | wc -c");
    const double rate = std::stod(audio.at("sample_rate"));
    return std::stod(result.out) / 4.0 / rate;
}

std::vector<PacketInfo> ProbePacketsInFileOrder(const std::string& file)
{
    const CommandResult result =
        RunCommand("ffprobe -v error -show_entries packet=stream_index,pos,pts_time,dts_time,duration_time "
                   "-of default=nw=1 " + ShellQuote(file));
    std::vector<PacketInfo> packets;
    std::istringstream lines(result.out);
    double pts = -1.0;
    double dts = -1.0;
    const auto number = [](const std::string& text) {
        try {
            return std::stod(text);
        } catch (...) {
            return -1.0;
        }
    };
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        if (key == "stream_index") {
            packets.emplace_back();
            packets.back().stream = std::stoi(value);
            pts = dts = -1.0;
        } else if (packets.empty()) {
            continue;
        } else if (key == "pts_time") {
            pts = number(value);
        } else if (key == "dts_time") {
            dts = number(value);
        } else if (key == "duration_time") {
            packets.back().duration = std::max(0.0, number(value));
        } else if (key == "pos") {
            packets.back().position = std::stoll(value);
        }
        if (!packets.empty())
            packets.back().seconds = pts >= 0 ? pts : dts;
    }
    std::stable_sort(packets.begin(), packets.end(),
                     [](const PacketInfo& a, const PacketInfo& b) { return a.position < b.position; });
    return packets;
}

double LongestSingleStreamRun(const std::vector<PacketInfo>& packets)
{
    double longest = 0.0;
    size_t first = 0;
    for (size_t i = 0; i <= packets.size(); ++i) {
        if (i < packets.size() && packets[i].stream == packets[first].stream)
            continue;
        double start = packets[first].seconds;
        double end = start;
        for (size_t k = first; k < i; ++k) {
            start = std::min(start, packets[k].seconds);
            end = std::max(end, packets[k].seconds + packets[k].duration);
        }
        longest = std::max(longest, end - start);
        first = i;
        if (i == packets.size())
            break;
    }
    return longest;
}

double ToneFrequency(const std::string& file, double fromSeconds, double seconds)
{
    const ProbeFields audio = ProbeStream(file, "audio");
    if (audio.empty())
        return -1.0;
    const double rate = std::stod(audio.at("sample_rate"));
    const CommandResult result =
        RunCommand("ffmpeg -hide_banner -nostdin -v error -ss " + std::to_string(fromSeconds) + " -t " +
                   std::to_string(seconds) + " -i " + ShellQuote(file) + " -map 0:a:0 -f s16le -ac 1 -");
    const size_t samples = result.out.size() / 2;
    if (samples < 2)
        return -1.0;
    const auto sample = [&](size_t n) {
        int16_t value = 0;
        std::memcpy(&value, result.out.data() + 2 * n, 2);
        return value;
    };
    // Frequency from the first to the last rising zero crossing.
    long long firstRise = -1;
    long long lastRise = -1;
    long long rises = 0;
    for (size_t n = 1; n < samples; ++n) {
        if (sample(n - 1) < 0 && sample(n) >= 0) {
            if (firstRise < 0)
                firstRise = static_cast<long long>(n);
            lastRise = static_cast<long long>(n);
            ++rises;
        }
    }
    if (rises < 2)
        return 0.0;
    return static_cast<double>(rises - 1) * rate / static_cast<double>(lastRise - firstRise);
}

std::string DecodeErrors(const std::string& file)
{
    const CommandResult result =
        RunCommand("ffmpeg -hide_banner -nostdin -v error -i " + ShellQuote(file) + " -f null -");
    if (result.exitStatus != 0 && result.err.empty())
        return "ffmpeg exit status " + std::to_string(result.exitStatus);
    return result.err;
}

std::string BuildPath(const std::string& name) { return std::string(KLOVA_BUILD_DIR) + "/" + name; }

long long FileSize(const std::string& file)
{
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

CommandResult RunKlovaConvert(const std::vector<std::string>& arguments)
{
    std::string command = ShellQuote(BuildPath("klova-convert"));
    for (const std::string& argument : arguments)
        command += " " + ShellQuote(argument);
    return RunCommand(command);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> FileNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace klova::test
