#pragma once
// Large libraries the editor needs only for a movie (libmpv, ffmpeg's) are
// loaded when first called, not at start: loading them and their 200 and more
// dependencies took a quarter of a second before the window could show.

namespace tessel {

// The address of `symbol` in the library `soname` (opened once, kept for the
// process), or nullptr when either cannot be found. Thread-safe.
void* LibrarySymbol(const char* soname, const char* symbol) noexcept;

} // namespace tessel

// Defines `name` (declared by the library's header with this return type and
// these parameters) as a call through the library's own function, or returns
// `fail` when the library is missing.
#define TESSEL_LOADED_FUNCTION(soname, fail, ret, name, params, args)                                                  \
    ret name params                                                                                                    \
    {                                                                                                                  \
        using Function = ret(*) params;                                                                                \
        static const Function real = reinterpret_cast<Function>(tessel::LibrarySymbol(soname, #name));                 \
        if (!real) return fail;                                                                                        \
        return real args;                                                                                              \
    }
