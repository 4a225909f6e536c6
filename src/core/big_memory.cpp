#include "core/big_memory.h"

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

// Mapped directly rather than through malloc: freed, the memory goes back to
// the system at once (malloc keeps large blocks it frees once its threshold
// has grown past them, and the peak with them).
char* AllocateBig(size_t size)
{
    if (size < BigBufferBytes || TESSEL_PLAIN_MEMORY) return new char[size];
#ifdef __linux__
    void* area = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) throw std::bad_alloc();
    return static_cast<char*>(area);
#else
    return new char[size];
#endif
}

void FreeBig(char* data, size_t size) noexcept
{
#ifdef __linux__
    if (size >= BigBufferBytes && !TESSEL_PLAIN_MEMORY) {
        ::munmap(data, size);
        return;
    }
#endif
    delete[] data;
}

} // namespace tessel
