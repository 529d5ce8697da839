// An output file that appears whole or not at all. The writer writes under a temporary
// name in the same folder (".name.XXXXXX.part"); Commit renames it over the final name,
// and a file never committed is removed, so a failed run leaves an existing file of that
// name as it was and no temporary file behind. Two runs writing the same name at once
// each write their own temporary file; the last rename wins.
//
// A final name that exists and is not a regular file (a device such as /dev/null, a
// FIFO) cannot be replaced: it is written directly and Commit has nothing to do. A
// symbolic link to a regular file is followed, so the link stays and its target gets the
// new content.
#pragma once

#include <string>

namespace klova {

class AtomicOutputFile {
public:
    // Creates the (empty) temporary file. Throws std::system_error when it cannot be
    // created, or when the final name exists and may not be written.
    explicit AtomicOutputFile(const std::string& finalPath);
    ~AtomicOutputFile();  // removes the temporary file unless it was committed
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    // Where the writer writes (and truncates what it finds there): the temporary file,
    // or the final name itself when that is written directly.
    const std::string& writePath() const { return writePath_; }
    const std::string& finalPath() const { return finalPath_; }

    // Flushes the written file to storage and renames it over the final name. False
    // (with the temporary file removed) when that fails. Later calls return the same.
    bool Commit();

    // Removes the temporary file now. Nothing happens after a commit.
    void Discard() noexcept;

private:
    std::string finalPath_;  // the name the file gets, symbolic links resolved
    std::string writePath_;
    bool direct_ = false;    // written in place: nothing to rename or remove
    bool settled_ = false;   // committed or discarded
    bool committed_ = false;
};

}  // namespace klova
