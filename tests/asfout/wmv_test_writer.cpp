#include "tests/asfout/wmv_test_writer.h"

#include "platform/media_types.h"
#include "platform/unicode_text.h"
#include "tests/asfout/synthetic_media.h"
#include "tests/support/test_support.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace klova::test {

int32_t WriteWmv(const WinMediaLibrary& library, const std::string& path, const WmvJob& job)
{
    WinMediaWriterPtr writer = library.CreateWriter();
    if (!writer)
        return E_FAIL;
    const std::u16string widePath = Utf8ToUtf16(path);
    if (const int32_t result = writer->OpenFile(widePath.c_str(), job.profile.c_str()); result < 0)
        return result;

    if (job.pixelAspectX != job.pixelAspectY) {
        if (const int32_t result = writer->SetPixelAspect(job.pixelAspectX, job.pixelAspectY); result < 0)
            return result;
    }
    WAVEFORMATEX format;
    if (job.withSound) {
        format.wFormatTag = WAVE_FORMAT_PCM;
        format.nChannels = 2;
        format.nSamplesPerSec = 44100;
        format.wBitsPerSample = 16;
        format.nBlockAlign = 4;
        format.nAvgBytesPerSec = 176400;
    }
    if (const int32_t result =
            writer->SetStreamFormats(job.width, job.height, sizeof format, &format, job.framesPerSecond);
        result < 0)
        return result;

    std::vector<uint8_t> frame(DibRowBytes(job.width) * static_cast<size_t>(job.height));
    std::vector<uint8_t> chunk(FrameShareBytes(44100, 4, job.framesPerSecond, 0) + 4);
    ToneSource tone(44100, 2, 1000.0, 0.5);
    for (int i = 0; i < job.frames; ++i) {
        DrawPatternFrame(job.width, job.height, i, frame.data());
        uint32_t token = 0;
        writer->GetVideoToken(&token);
        if (const int32_t result = writer->WriteVideo(token, frame.data()); result < 0)
            return result;
        if (job.withSound) {
            const size_t length = FrameShareBytes(44100, 4, job.framesPerSecond, i);
            tone.Fill(chunk.data(), length);
            writer->GetAudioToken(&token);
            if (const int32_t result = writer->WriteAudio(token, chunk.data(), static_cast<uint32_t>(length));
                result < 0)
                return result;
        }
    }
    if (job.endStreams) {
        if (const int32_t result = writer->WriteVideo(0, nullptr); result < 0)
            return result;
        if (const int32_t result = writer->WriteAudio(0, nullptr, 0); result < 0)
            return result;
    }
    writer.reset();
    return S_OK;
}

const WinMediaLibrary& BuiltLibrary()
{
    static const WinMediaLibrary library(KLOVA_BUILD_DIR);
    return library;
}

std::string PrxFileBytes(const std::string& utf8Text)
{
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : Utf8ToUtf16(utf8Text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

long long VideoPacketBytes(const std::string& file)
{
    const CommandResult result = RunCommand("ffprobe -v error -select_streams v:0 -show_entries packet=size -of csv=p=0 " +
                                            ShellQuote(file));
    std::istringstream lines(result.out);
    long long total = 0;
    long long size = 0;
    while (lines >> size)
        total += size;
    return total;
}

const std::vector<ExpectedProfile>& ExpectedProfiles()
{
    static const std::vector<ExpectedProfile> profiles = {
        {"Dial-up and mobile (150 Kbps)", 118, "wmv2", "wmav2", 32},
        {"Broadband (384 Kbps)", 320, "wmv2", "wmav2", 64},
        {"Broadband high quality (768 Kbps)", 640, "wmv2", "wmav2", 128},
        {"Local area network (1.5 Mbps)", 1372, "wmv2", "wmav2", 128},
        {"High quality archive (2.2 Mbps)", 2008, "wmv2", "wmav2", 192},
        {"Music video, audio first (512 Kbps)", 320, "wmv2", "wmav2", 192},
        {"Older players, WMV 7 and WMA 1 (512 Kbps)", 448, "wmv1", "wmav1", 64},
    };
    return profiles;
}

}  // namespace klova::test
