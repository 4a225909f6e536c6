#pragma once
#include <cstddef>
#include <memory>
#include <new>

// Memory for the few buffers that grow with the file (its bytes, the table's
// text and row index). They are backed by 2 MiB pages where the system allows
// it: touching 100 MB in 4 KiB pages costs tens of thousands of page faults,
// which on a virtual machine take longer than reading and parsing the file.
namespace tessel {

// Buffers at least this large are worth large pages.
constexpr size_t LargePageBytes = size_t(2) << 20;

// Asks for large pages over the whole 2 MiB pages inside [data, data + size);
// nothing happens where they are not supported. Call before the memory is touched.
void AdviseLargePages(void* data, size_t size);

// `size` bytes, aligned to a large page and advised for large pages when at
// least LargePageBytes, from plain new otherwise; release with FreeBig(p, size).
char* AllocateBig(size_t size);
void FreeBig(char* data, size_t size) noexcept;

// A shared block from AllocateBig.
inline std::shared_ptr<char[]> SharedBig(size_t size)
{
    return std::shared_ptr<char[]>(AllocateBig(size), [size](char* p) { FreeBig(p, size); });
}

// For std::vector: large arrays on large pages.
template <typename T> struct BigAllocator {
    using value_type = T;
    BigAllocator() = default;
    template <typename U> BigAllocator(const BigAllocator<U>&) noexcept { }
    T* allocate(size_t n)
    {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
        return reinterpret_cast<T*>(AllocateBig(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept { FreeBig(reinterpret_cast<char*>(p), n * sizeof(T)); }
    template <typename U> bool operator==(const BigAllocator<U>&) const noexcept { return true; }
    template <typename U> bool operator!=(const BigAllocator<U>&) const noexcept { return false; }
};

} // namespace tessel
