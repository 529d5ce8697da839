#include "platform/atomic_output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <system_error>

namespace klova {
namespace {

constexpr int kNameAttempts = 100;
constexpr char kNameCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

[[noreturn]] void ThrowErrno(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

std::string RandomTag()
{
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<size_t> pick(0, sizeof kNameCharacters - 2);
    std::string tag(6, ' ');
    for (char& c : tag)
        c = kNameCharacters[pick(generator)];
    return tag;
}

// The folder part (with its trailing '/') and the file name of a path.
std::pair<std::string, std::string> SplitFolder(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash + 1), path.substr(slash + 1)};
}

// A symbolic link to an existing file stands for its target.
std::string ResolveLink(const std::string& path)
{
    struct stat linkInfo {};
    if (::lstat(path.c_str(), &linkInfo) != 0 || !S_ISLNK(linkInfo.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved))
        return path;  // a dangling link is replaced like a missing file
    return resolved;
}

void SyncFolder(const std::string& folder) noexcept
{
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

AtomicOutputFile::AtomicOutputFile(const std::string& finalPath) : finalPath_(ResolveLink(finalPath))
{
    if (finalPath.empty())
        ThrowErrno(ENOENT, "empty output file name");
    struct stat existing {};
    const bool exists = ::stat(finalPath_.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        ThrowErrno(EISDIR, finalPath);
    if (exists && !S_ISREG(existing.st_mode)) {
        direct_ = true;
        writePath_ = finalPath_;
        return;
    }
    // A file we may not write stays as it is, as when it was opened for writing.
    if (exists && ::access(finalPath_.c_str(), W_OK) != 0)
        ThrowErrno(errno, finalPath_);

    const auto [folder, name] = SplitFolder(finalPath_);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = folder + "." + name + "." + RandomTag() + ".part";
        // 0666 less the umask, as the final file would get when created directly.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            ThrowErrno(errno, candidate);
        }
        // A replaced file keeps its permissions.
        if (exists)
            ::fchmod(fd, existing.st_mode & 07777);
        ::close(fd);
        writePath_ = candidate;
        return;
    }
    ThrowErrno(EEXIST, "no free temporary name beside " + finalPath_);
}

AtomicOutputFile::~AtomicOutputFile() { Discard(); }

bool AtomicOutputFile::Commit()
{
    if (settled_)
        return committed_;
    if (direct_) {
        settled_ = committed_ = true;
        return true;
    }
    bool synced = false;
    const int fd = ::open(writePath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        // EINVAL: a file system that has nothing to flush.
        synced = ::fsync(fd) == 0 || errno == EINVAL;
        ::close(fd);
    }
    if (!synced || ::rename(writePath_.c_str(), finalPath_.c_str()) != 0) {
        Discard();
        return false;
    }
    SyncFolder(SplitFolder(finalPath_).first);
    settled_ = committed_ = true;
    return true;
}

void AtomicOutputFile::Discard() noexcept
{
    if (settled_)
        return;
    settled_ = true;
    if (!direct_)
        ::unlink(writePath_.c_str());
}

}  // namespace klova
