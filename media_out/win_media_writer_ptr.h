// An owning handle for one IWinMediaWriter: Release on destruction. It also keeps the
// library that made the writer loaded, so the writer's code cannot be unmapped while
// the writer lives, whatever order the owners are destroyed in. Calling the writer needs
// the library's interface header; holding one does not.
#pragma once

#include <memory>
#include <utility>

struct IWinMediaWriter;

namespace klova {

class WinMediaWriterPtr {
public:
    WinMediaWriterPtr() = default;
    // Adopts one reference to the writer.
    WinMediaWriterPtr(IWinMediaWriter* writer, std::shared_ptr<const void> library)
        : library_(std::move(library)), writer_(writer)
    {
    }
    ~WinMediaWriterPtr() { reset(); }
    WinMediaWriterPtr(WinMediaWriterPtr&& other) noexcept
        : library_(std::move(other.library_)), writer_(std::exchange(other.writer_, nullptr))
    {
    }
    WinMediaWriterPtr& operator=(WinMediaWriterPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            writer_ = std::exchange(other.writer_, nullptr);
            library_ = std::move(other.library_);
        }
        return *this;
    }
    WinMediaWriterPtr(const WinMediaWriterPtr&) = delete;
    WinMediaWriterPtr& operator=(const WinMediaWriterPtr&) = delete;

    IWinMediaWriter* get() const { return writer_; }
    IWinMediaWriter* operator->() const { return writer_; }
    explicit operator bool() const { return writer_ != nullptr; }

    // Releases the writer (for a writer being written, that completes its file), then
    // lets go of the library.
    void reset();

private:
    std::shared_ptr<const void> library_;  // declared first: outlives writer_ in every path
    IWinMediaWriter* writer_ = nullptr;
};

}  // namespace klova
