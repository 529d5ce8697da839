#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

}  // namespace klova::test
