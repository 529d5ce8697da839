// The editor project file of a conversion that records scene positions instead of
// writing video: a header line, the input path, then one frame index per line.
#pragma once

#include "platform/atomic_output_file.h"

#include <cstdint>
#include <optional>
#include <string>

namespace klova {

// Owns the project file of one conversion. The file is started by the first cut, not
// by construction, so a conversion that records no cut leaves any existing file alone.
// It is written under a temporary name beside its own and takes its name when closed:
// an existing file of that name is replaced only by a complete new one. Lines end with
// CR LF; every line goes straight to the operating system (no user-space buffer).
//
// Any failure to create, write or close the file raises klova::FileException, and so
// does a path that names the input file itself (which is never touched). After a
// failure the file is closed and IsOpen() is false, so the caller's teardown does not
// try to write the end position into it again; further cuts raise FileException.
class ProjectFile {
public:
    // path: the ClipsFileName setting; sourceFileName: the SrcFileName setting, written
    // as the second line.
    ProjectFile(std::string path, std::string sourceFileName);
    ~ProjectFile();  // closes an open file; errors are not reported here
    ProjectFile(const ProjectFile&) = delete;
    ProjectFile& operator=(const ProjectFile&) = delete;

    // Appends frame as a decimal line, creating the file with its two header lines first
    // if this is the first cut.
    void AddProjectCut(int64_t frame);

    // Flushes the file to storage, closes it and gives it its name. The caller adds the
    // end position first. Does nothing when the file is not open.
    void Close();

    bool IsOpen() const { return fd_ >= 0; }

private:
    void WriteAll(const char* data, size_t length);
    [[noreturn]] void Fail(const char* operation, int error);

    std::string path_;
    std::string sourceFileName_;
    std::optional<AtomicOutputFile> output_;  // removed unless Close completes it
    int fd_ = -1;
    bool used_ = false;  // created once; never created again by this object
};

}  // namespace klova
