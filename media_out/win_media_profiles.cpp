#include "media_out/win_media_profiles.h"

#include "platform/unicode_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace klova {
namespace {

// A profile list longer than this means a misbehaving library, not a list.
constexpr int32_t kMaxProfiles = 10'000;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::optional<std::string> ReadWholeFile(const std::string& path)
{
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        return std::nullopt;
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > kMaxProfileFileBytes)
        return std::nullopt;
    std::string bytes(static_cast<size_t>(info.st_size), '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;  // the file shrank while being read: take what is there
        filled += static_cast<size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

std::u16string Utf16LeUpToZero(const std::string& bytes)
{
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                static_cast<unsigned char>(bytes[i + 1]) << 8);
        if (unit == 0)
            break;
        text += unit;
    }
    return text;
}

}  // namespace

std::vector<std::string> FillProfileList(const WinMediaLibrary& library)
{
    std::vector<std::string> names;
    const WinMediaWriterPtr writer = library.CreateWriter();
    if (!writer)
        return names;
    std::u16string name;
    for (int32_t index = 0; index < kMaxProfiles; ++index) {
        name.clear();
        if (writer->GetProfileName(index, &name) != 0)
            break;
        names.push_back(Utf16ToUtf8(name));
    }
    return names;
}

std::vector<ProfileDescription> DescribeProfiles(const WinMediaLibrary& library)
{
    std::vector<ProfileDescription> profiles;
    const WinMediaWriterPtr writer = library.CreateWriter();
    if (!writer)
        return profiles;
    std::u16string name;
    for (int32_t index = 0; index < kMaxProfiles; ++index) {
        name.clear();
        ProfileDescription profile;
        if (writer->GetProfileName(index, &name) != 0 ||
            writer->GetProfileBitRates(index, &profile.videoBitsPerSecond, &profile.audioBitsPerSecond) != 0)
            break;
        profile.name = Utf16ToUtf8(name);
        profiles.push_back(std::move(profile));
    }
    return profiles;
}

std::optional<std::u16string> ResolveMediaProfile(const WinMediaLibrary& library, const std::string& setting)
{
    const WinMediaWriterPtr writer = library.CreateWriter();
    if (!writer)
        return std::nullopt;
    std::u16string name = Utf8ToUtf16(setting);
    int32_t index = -1;
    if (writer->FindProfile(name.c_str(), &index) >= 0 && index != -1)
        return name;
    const std::optional<std::string> bytes = ReadWholeFile(setting);
    if (!bytes)
        return std::nullopt;
    return Utf16LeUpToZero(*bytes);
}

}  // namespace klova
