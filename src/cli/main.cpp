#include "cli/convert.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {

// A million subtitles are millions of small allocations: with transparent
// huge pages for the heap they cost half the time (far fewer page faults and
// TLB misses). glibc reads this setting only at start, so ask for it once by
// starting again with it.
void restartWithHugePages(char* argv[])
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    if (std::getenv("TESSEL_NO_RESTART") || (tunables && std::strstr(tunables, "hugetlb"))) return;
    std::string value = tunables && *tunables ? std::string(tunables) + ":glibc.malloc.hugetlb=1"
                                              : std::string("glibc.malloc.hugetlb=1");
    setenv("GLIBC_TUNABLES", value.c_str(), 1);
    setenv("TESSEL_NO_RESTART", "1", 1);
    execv("/proc/self/exe", argv);
    // Nothing lost if that fails: go on as we are.
}

} // namespace

int main(int argc, char* argv[])
{
    restartWithHugePages(argv);
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    std::ios::sync_with_stdio(false);
    return tessel::cli::RunConvert(args, std::cout, std::cerr);
}
