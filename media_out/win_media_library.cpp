#include "media_out/win_media_library.h"

#include "platform/app_paths.h"
#include "platform/install_layout.h"
#include "platform/shared_library.h"

namespace klova {

WinMediaLibrary::WinMediaLibrary() : WinMediaLibrary(PrivateLibraryFolder(ExecutableFolder())) {}

WinMediaLibrary::WinMediaLibrary(const std::string& folder)
    : library_(std::make_shared<SharedLibrary>((folder.empty() ? std::string(".") : folder) + "/" + kWinMediaLibraryName))
{
    factory_ = library_->Resolve<CreateWinMediaWriterFunction>(kWinMediaFactoryName);
}

WinMediaLibrary::~WinMediaLibrary() = default;

WinMediaWriterPtr WinMediaLibrary::CreateWriter() const
{
    if (!factory_)
        return {};
    IWinMediaWriter* writer = nullptr;
    const int32_t result = factory_(&writer);
    if (result < 0) {
        // A failing factory hands out nothing to release; should it have, that one
        // reference is dropped here rather than leaked.
        if (writer)
            writer->Release();
        return {};
    }
    return WinMediaWriterPtr(writer, library_);
}

}  // namespace klova
