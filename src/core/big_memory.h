#pragma once
#include <cstddef>
#include <memory>
#include <new>

// Memory for the few buffers that grow with the file (its bytes, the table's
// text and row index), mapped apart so that it goes back to the system as
// soon as it is freed. They are not asked to be on 2 MiB pages: on a virtual
// machine whose host takes back the guest's free memory in 2 MiB pieces, the
// first touch of such a page costs more than its small pages' faults (an
// editor opening 10^6 rows in a fresh process took 0.42-0.47 s instead of 0.25-0.33 s).
namespace tessel {

// Buffers at least this large are mapped apart.
constexpr size_t BigBufferBytes = size_t(2) << 20;

// `size` bytes, mapped apart when at least BigBufferBytes, from plain new
// otherwise; release with FreeBig(p, size).
char* AllocateBig(size_t size);
void FreeBig(char* data, size_t size) noexcept;

// A shared block from AllocateBig.
inline std::shared_ptr<char[]> SharedBig(size_t size)
{
    return std::shared_ptr<char[]>(AllocateBig(size), [size](char* p) { FreeBig(p, size); });
}

// For std::vector: large arrays mapped apart.
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
