// The program's binding to the Windows Media writer library (libasfout.so): loads it
// from a folder and creates writers through its one export, CreateWinMediaWriter.
// A missing library or export is not an error: the binding is then unavailable and
// creates no writers, which only disables WMV output.
#pragma once

#include "asfout/win_media_writer.h"
#include "media_out/win_media_writer_ptr.h"

#include <memory>
#include <string>

namespace klova {

class SharedLibrary;

class WinMediaLibrary {
public:
    // Loads the library from the program's private library folder (PrivateLibraryFolder).
    WinMediaLibrary();
    // Loads the library from the given folder.
    explicit WinMediaLibrary(const std::string& folder);
    ~WinMediaLibrary();
    WinMediaLibrary(const WinMediaLibrary&) = delete;
    WinMediaLibrary& operator=(const WinMediaLibrary&) = delete;

    // True when the library was loaded and exports its factory.
    bool IsAvailable() const { return factory_ != nullptr; }

    // A new writer, or an empty handle when the binding is unavailable or the factory
    // fails. The writer keeps the library loaded; it may outlive this object.
    WinMediaWriterPtr CreateWriter() const;

private:
    std::shared_ptr<SharedLibrary> library_;
    CreateWinMediaWriterFunction factory_ = nullptr;
};

}  // namespace klova
