#include "core/big_memory.h"

#include <cstdint>
#include <cstdlib>

#ifdef __linux__
#include <sys/mman.h>
#endif

// Under AddressSanitizer every buffer comes from new, where it checks the bounds.
#if defined(__SANITIZE_ADDRESS__)
#define TESSEL_PLAIN_MEMORY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TESSEL_PLAIN_MEMORY 1
#endif
#endif
#ifndef TESSEL_PLAIN_MEMORY
#define TESSEL_PLAIN_MEMORY 0
#endif

namespace tessel {
namespace {

size_t roundedUp(size_t size) { return (size + LargePageBytes - 1) & ~(LargePageBytes - 1); }

} // namespace

void AdviseLargePages(void* data, size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    const auto begin = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (begin + LargePageBytes - 1) & ~(LargePageBytes - 1);
    const uintptr_t last = (begin + size) & ~(LargePageBytes - 1);
    // Advice only: a system without large pages just says no.
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)size;
#endif
}

// Mapped directly rather than through malloc: freed, the memory goes back to
// the system at once (malloc keeps large blocks it frees once its threshold
// has grown past them, and the peak with them).
char* AllocateBig(size_t size)
{
    if (size < LargePageBytes || TESSEL_PLAIN_MEMORY) return new char[size];
    const size_t rounded = roundedUp(size);
#ifdef __linux__
    const size_t mapped = rounded + LargePageBytes;
    void* area = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    const auto begin = reinterpret_cast<uintptr_t>(area);
    const uintptr_t aligned = (begin + LargePageBytes - 1) & ~(LargePageBytes - 1);
    if (aligned > begin) ::munmap(area, aligned - begin);
    if (begin + mapped > aligned + rounded)
        ::munmap(reinterpret_cast<void*>(aligned + rounded), begin + mapped - aligned - rounded);
    AdviseLargePages(reinterpret_cast<void*>(aligned), rounded);
    return reinterpret_cast<char*>(aligned);
#else
    void* data = std::aligned_alloc(LargePageBytes, rounded);
    if (!data) throw std::bad_alloc();
    return static_cast<char*>(data);
#endif
}

void FreeBig(char* data, size_t size) noexcept
{
    if (size < LargePageBytes || TESSEL_PLAIN_MEMORY) {
        delete[] data;
        return;
    }
#ifdef __linux__
    ::munmap(data, roundedUp(size));
#else
    std::free(data);
#endif
}

} // namespace tessel
