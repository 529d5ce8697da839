#include "engine/project_file.h"

#include "platform/errors.h"
#include "platform/same_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <system_error>

namespace klova {
namespace {

constexpr char kHeader[] = "text description 30";
constexpr char kLineEnd[] = "\r\n";

}  // namespace

ProjectFile::ProjectFile(std::string path, std::string sourceFileName)
    : path_(std::move(path)), sourceFileName_(std::move(sourceFileName))
{
}

ProjectFile::~ProjectFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void ProjectFile::AddProjectCut(int64_t frame)
{
    if (fd_ < 0) {
        if (used_)
            throw FileException("project file " + path_ + " is already closed");
        used_ = true;
        if (IsSameFile(sourceFileName_, path_))
            throw FileException("project file " + path_ + " is the input file");
        try {
            output_.emplace(path_);
        } catch (const std::system_error& error) {
            throw FileException("cannot create project file " + path_ + ": " + error.what());
        }
        fd_ = ::open(output_->writePath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd_ < 0)
            Fail("cannot create", errno);
        const std::string header = std::string(kHeader) + kLineEnd + sourceFileName_ + kLineEnd;
        WriteAll(header.data(), header.size());
    }
    char line[32];
    const auto result = std::to_chars(line, line + sizeof line - 2, frame);
    char* end = result.ptr;
    *end++ = '\r';
    *end++ = '\n';
    WriteAll(line, static_cast<size_t>(end - line));
}

void ProjectFile::Close()
{
    if (fd_ < 0)
        return;
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS)
        Fail("cannot flush", errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0)
        Fail("cannot close", errno);
    if (!output_->Commit())
        throw FileException("cannot rename the finished project file to " + path_);
}

void ProjectFile::WriteAll(const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd_, data, length);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            Fail("cannot write", errno);
        }
        if (written == 0)
            Fail("cannot write", EIO);
        data += written;
        length -= static_cast<size_t>(written);
    }
}

void ProjectFile::Fail(const char* operation, int error)
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (output_)
        output_->Discard();
    throw FileException(std::string(operation) + " project file " + path_ + ": " + std::strerror(error));
}

}  // namespace klova
