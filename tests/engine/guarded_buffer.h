// A test buffer whose last byte sits right before an inaccessible page, so a read
// one byte past its end faults at once instead of passing unnoticed.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace klova::test {

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : size_(size)
    {
        const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        dataPages_ = (size + page - 1) / page * page;
        mappedSize_ = dataPages_ + page;
        void* mapped = ::mmap(nullptr, mappedSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED)
            throw std::runtime_error("mmap failed");
        base_ = static_cast<uint8_t*>(mapped);
        if (::mprotect(base_ + dataPages_, page, PROT_NONE) != 0) {
            ::munmap(base_, mappedSize_);
            throw std::runtime_error("mprotect failed");
        }
    }
    ~GuardedBuffer() { ::munmap(base_, mappedSize_); }
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    uint8_t* data() { return base_ + dataPages_ - size_; }
    size_t size() const { return size_; }

private:
    size_t size_;
    size_t dataPages_ = 0;
    size_t mappedSize_ = 0;
    uint8_t* base_ = nullptr;
};

}  // namespace klova::test
