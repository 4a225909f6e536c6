#include "core/shared_library.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <string>

namespace tessel {

void* LibrarySymbol(const char* soname, const char* symbol) noexcept
{
    static std::mutex mutex;
    static std::map<std::string, void*>* handles = new std::map<std::string, void*>; // never unloaded
    try {
        const std::lock_guard<std::mutex> lock(mutex);
        auto [it, added] = handles->try_emplace(soname, nullptr);
        if (added) it->second = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        return it->second ? dlsym(it->second, symbol) : nullptr;
    } catch (...) {
        return nullptr;
    }
}

} // namespace tessel
