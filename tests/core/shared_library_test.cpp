#include "core/shared_library.h"

#include <gtest/gtest.h>

// A library or symbol that is not there is nullptr, never a failed start.
TEST(SharedLibrary, SymbolsAreFoundOnlyWhereTheyAre)
{
    struct Case {
        const char* library;
        const char* symbol;
        bool found;
    };
    for (const Case& c : { Case { "libc.so.6", "strlen", true }, Case { "libmpv.so.2", "mpv_create", true },
             Case { "libmpv.so.2", "no_such_function", false }, Case { "libno-such-library.so.1", "f", false },
             Case { "libno-such-library.so.1", "f", false } })
        EXPECT_EQ(tessel::LibrarySymbol(c.library, c.symbol) != nullptr, c.found) << c.library << ' ' << c.symbol;
}
