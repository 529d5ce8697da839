#include "asfout/prx_profile_reader.h"

#include "asfout/utf16_text.h"
#include "asfout/xml_scanner.h"

#include <algorithm>

namespace asfout {
namespace {

constexpr int64_t kMaxBitRate = 100'000'000;
constexpr int64_t kLeastAudioBitRate = 24'000;
constexpr int32_t kDefaultBufferWindowMs = 3000;
constexpr int32_t kMaxBufferWindowMs = 60'000;
constexpr int64_t kDefaultKeyFrameSpacing = 30'000'000;  // 100-ns units
constexpr int64_t kLeastKeyFrameSpacing = 1'000'000;
constexpr int64_t kMostKeyFrameSpacing = 6'000'000'000;

enum class StreamKind { Other, Video, Audio };

// A stream configuration as read; its numbers are checked only when the stream is
// used, so a skipped stream of another kind cannot spoil the profile.
struct StreamConfig {
    StreamKind kind = StreamKind::Other;
    std::optional<std::u16string> bitRate;
    std::optional<std::u16string> bufferWindowMs;
    std::optional<std::u16string> keyFrameSpacing;
    std::optional<std::u16string> quality;
    std::u16string subtype;
};

class InvalidProfile {};

// A decimal integer with an optional leading minus, surrounded by optional space.
int64_t ParseInteger(std::u16string_view text)
{
    text = TrimXmlSpace(text);
    const bool negative = !text.empty() && text.front() == u'-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || text.size() > 18)
        throw InvalidProfile();
    int64_t value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9')
            throw InvalidProfile();
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

std::optional<int64_t> ParseOptional(const std::optional<std::u16string>& text)
{
    if (!text)
        return std::nullopt;
    return ParseInteger(*text);
}

// "{XXXXXXXX-0000-0010-8000-00AA00389B71}" (braces optional): the leading 32-bit
// field, which holds a FourCC or a format tag; nullopt for any other text.
std::optional<uint32_t> MediaSubtypeCode(std::u16string_view text)
{
    static constexpr std::string_view kBaseTail = "-0000-0010-8000-00aa00389b71";
    text = TrimXmlSpace(text);
    if (text.size() == 38 && text.front() == u'{' && text.back() == u'}')
        text = text.substr(1, 36);
    if (text.size() != 36 || !EqualsIgnoreAsciiCase(text.substr(8), kBaseTail))
        return std::nullopt;
    uint32_t code = 0;
    for (const char16_t c : text.substr(0, 8)) {
        uint32_t digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        code = code * 16 + digit;
    }
    return code;
}

constexpr uint32_t FourCc(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

StreamKind MajorType(std::u16string_view text)
{
    text = TrimXmlSpace(text);
    const std::optional<uint32_t> code = MediaSubtypeCode(text);
    if ((code && *code == FourCc('v', 'i', 'd', 's')) || EqualsIgnoreAsciiCase(text, "vids") ||
        EqualsIgnoreAsciiCase(text, "video"))
        return StreamKind::Video;
    if ((code && *code == FourCc('a', 'u', 'd', 's')) || EqualsIgnoreAsciiCase(text, "auds") ||
        EqualsIgnoreAsciiCase(text, "audio"))
        return StreamKind::Audio;
    return StreamKind::Other;
}

int32_t VideoVersion(std::u16string_view subtype)
{
    subtype = TrimXmlSpace(subtype);
    const std::optional<uint32_t> code = MediaSubtypeCode(subtype);
    if ((code && *code == FourCc('W', 'M', 'V', '1')) || EqualsIgnoreAsciiCase(subtype, "wmv1"))
        return 7;
    return 8;
}

int32_t AudioVersion(std::u16string_view subtype)
{
    subtype = TrimXmlSpace(subtype);
    const std::optional<uint32_t> code = MediaSubtypeCode(subtype);
    if ((code && *code == 0x0160) || EqualsIgnoreAsciiCase(subtype, "0x0160"))
        return 1;
    return 2;
}

int64_t CheckedBitRate(const std::optional<std::u16string>& text)
{
    const std::optional<int64_t> bitRate = ParseOptional(text);
    if (!bitRate || *bitRate < 1 || *bitRate > kMaxBitRate)
        throw InvalidProfile();
    return *bitRate;
}

VideoStreamProfile MakeVideo(const StreamConfig& config)
{
    VideoStreamProfile video;
    video.bitRate = CheckedBitRate(config.bitRate);
    const int64_t window = ParseOptional(config.bufferWindowMs).value_or(0);
    video.bufferWindowMs = window <= 0 ? kDefaultBufferWindowMs : static_cast<int32_t>(std::min<int64_t>(window, kMaxBufferWindowMs));
    int64_t spacing = ParseOptional(config.keyFrameSpacing).value_or(0);
    spacing = spacing <= 0 ? kDefaultKeyFrameSpacing : std::clamp(spacing, kLeastKeyFrameSpacing, kMostKeyFrameSpacing);
    video.keyFrameSpacingMs = static_cast<int32_t>(spacing / 10'000);
    video.quality = static_cast<int32_t>(std::clamp<int64_t>(ParseOptional(config.quality).value_or(50), 0, 100));
    video.codecVersion = VideoVersion(config.subtype);
    return video;
}

AudioStreamProfile MakeAudio(const StreamConfig& config)
{
    AudioStreamProfile audio;
    audio.bitRate = std::max(CheckedBitRate(config.bitRate), kLeastAudioBitRate);
    audio.codecVersion = AudioVersion(config.subtype);
    return audio;
}

std::optional<AsfProfile> Read(std::u16string_view text)
{
    XmlScanner scanner(text);
    if (scanner.Next() != XmlScanner::Token::StartTag || !EqualsIgnoreAsciiCase(scanner.Name(), "profile"))
        return std::nullopt;
    AsfProfile profile;
    profile.name = scanner.Attribute("name").value_or(std::u16string());
    if (scanner.IsSelfClosing())
        return std::nullopt;

    std::optional<VideoStreamProfile> video;
    std::optional<AudioStreamProfile> audio;
    std::optional<StreamConfig> current;
    size_t currentDepth = 0;
    auto finishStream = [&] {
        if (current->kind == StreamKind::Video && !video)
            video = MakeVideo(*current);
        else if (current->kind == StreamKind::Audio && !audio)
            audio = MakeAudio(*current);
        current.reset();
    };

    for (;;) {
        const XmlScanner::Token token = scanner.Next();
        if (token == XmlScanner::Token::Malformed)
            return std::nullopt;
        if (token == XmlScanner::Token::EndOfText)
            return std::nullopt;  // the root was left open: the scanner reports that as Malformed
        if (token == XmlScanner::Token::EndTag) {
            if (scanner.Depth() == 1)
                break;  // end of the profile; whatever follows is not read
            if (current && scanner.Depth() == currentDepth)
                finishStream();
            continue;
        }
        const std::u16string_view name = scanner.Name();
        if (EqualsIgnoreAsciiCase(name, "streamconfig")) {
            if (current)
                return std::nullopt;
            current.emplace();
            currentDepth = scanner.Depth();
            current->kind = MajorType(scanner.Attribute("majortype").value_or(std::u16string()));
            current->bitRate = scanner.Attribute("bitrate");
            current->bufferWindowMs = scanner.Attribute("bufferwindow");
            if (scanner.IsSelfClosing())
                finishStream();
        } else if (current && EqualsIgnoreAsciiCase(name, "videomediaprops")) {
            current->keyFrameSpacing = scanner.Attribute("maxkeyframespacing");
            current->quality = scanner.Attribute("quality");
        } else if (current && EqualsIgnoreAsciiCase(name, "wmmediatype")) {
            current->subtype = scanner.Attribute("subtype").value_or(std::u16string());
        }
    }
    if (!video)
        return std::nullopt;
    profile.video = *video;
    profile.audio = audio;
    return profile;
}

}  // namespace

std::optional<AsfProfile> ReadPrxProfile(std::u16string_view text)
{
    try {
        return Read(text);
    } catch (const InvalidProfile&) {
        return std::nullopt;
    }
}

}  // namespace asfout
