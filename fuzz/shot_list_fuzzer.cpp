// Lists of shot changes from other tools, and the hand edits kept for a film:
// read as given, each at two frame rates; what reads is written again and
// must read back the same.
#include "core/errors.h"
#include "picture/shot_list.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (double fps : { 25.0, 24000.0 / 1001 }) {
        try {
            const std::vector<int64_t> cuts = tessel::ParseShotList(text, fps, "fuzz");
            if (tessel::ParseShotList(tessel::ShotListText(cuts, fps), fps, "again") != cuts) std::abort();
            if (tessel::ParseShotList(tessel::ShotListText(cuts, fps, true), fps, "times") != cuts) std::abort();
        } catch (const tessel::Error&) {
        }
    }
    try {
        const tessel::ShotEdits edits = tessel::ShotEdits::Decode(text);
        if (!(tessel::ShotEdits::Decode(edits.encode()) == edits)) std::abort();
        edits.apply({ 1, 2, 3 });
    } catch (const tessel::Error&) {
    }
    return 0;
}
