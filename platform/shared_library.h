// An owned dlopen handle.
#pragma once

#include <dlfcn.h>

#include <string>

namespace klova {

class SharedLibrary {
public:
    SharedLibrary() = default;
    // RTLD_NODELETE: libraries that keep static tables (FFmpeg's) are not unmapped
    // and mapped again for every use, which would strand those tables each time.
    explicit SharedLibrary(const std::string& path)
        : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE))
    {
    }
    ~SharedLibrary()
    {
        if (handle_)
            ::dlclose(handle_);
    }
    SharedLibrary(SharedLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    SharedLibrary& operator=(SharedLibrary&& other) noexcept
    {
        if (this != &other) {
            if (handle_)
                ::dlclose(handle_);
            handle_ = other.handle_;
            other.handle_ = nullptr;
        }
        return *this;
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool IsLoaded() const { return handle_ != nullptr; }

    // The address of an exported symbol, or null.
    template <typename Function>
    Function Resolve(const char* name) const
    {
        return handle_ ? reinterpret_cast<Function>(::dlsym(handle_, name)) : nullptr;
    }

private:
    void* handle_ = nullptr;
};

}  // namespace klova
