// The text tools on arbitrary text: markup, line breaking, split and merge,
// hearing-impaired text, find and replace and the spell check's words. Each
// plan is applied to the table it was made for; the table must stay whole.
#include "core/markup.h"
#include "tools/find_replace.h"
#include "tools/hearing_impaired.h"
#include "tools/line_breaking.h"
#include "tools/spell_check.h"
#include "tools/split_merge.h"

#include <fuzzer/FuzzedDataProvider.h>
#include <memory>

namespace {

using namespace tessel;

const char* const Patterns[] = { "\\n", "^- ", "\\w+", "(\\w)\\n(\\w)", "$", "i", "\\p{Lu}{2,}", "a|", "(?<!\\w)x" };
const char* const Replacements[] = { "", "\\1\\n\\2", " ", "\\n\\n\\n\\n", "<i>", "\\\\", "\\9" };

Speller* speller()
{
    static std::unique_ptr<Speller> s = []() -> std::unique_ptr<Speller> {
        try {
            return std::make_unique<Speller>("en_US");
        } catch (...) {
            return nullptr;
        }
    }();
    return s.get();
}

template <typename T, size_t N> const T& pick(FuzzedDataProvider& input, const T (&values)[N])
{
    return values[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

void fill(SubtitleTable& table, FuzzedDataProvider& input)
{
    const int rows = input.ConsumeIntegralInRange(1, 12);
    table.setRowCount(rows + 1);
    for (int r = 1; r <= rows; ++r) {
        const int start = input.ConsumeIntegralInRange(-5, 400);
        const std::string from = input.ConsumeBool() ? std::to_string(start) : "x";
        const std::string to = std::to_string(start + input.ConsumeIntegralInRange(-3, 200));
        const auto line = [&] { return input.ConsumeRandomLengthString(120); };
        const std::string a = line(), b = line(), c = line();
        table.setRow(r, from, to, a, b, c);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const LineLimits limits { input.ConsumeIntegralInRange(1, 60), input.ConsumeIntegralInRange(1, 3) };
    const int gap = input.ConsumeIntegralInRange(0, 5);
    const size_t cut = input.ConsumeIntegralInRange<size_t>(0, 400);
    const FindOptions find { pick(input, Patterns), input.ConsumeBool(), input.ConsumeBool(), input.ConsumeBool(),
        input.ConsumeBool() };
    const std::string with = pick(input, Replacements);
    HearingImpairedOptions hi { input.ConsumeBool(), input.ConsumeBool(), input.ConsumeBool(), input.ConsumeBool(),
        input.ConsumeBool() };
    SubtitleTable table;
    fill(table, input);

    const std::string text = RowText(table, 1);
    MarkupOpenAt(text, cut);
    DropEmptyMarkupPairs(text);
    BreakText(text, limits);
    UnbreakText(text, limits.charsPerLine);
    BestCut(text);
    if (Speller* s = speller()) s->misspelled(text);

    if (auto split = PlanSplit(table, 1, input.ConsumeBool() ? std::optional<size_t>(cut) : std::nullopt, gap);
        split.change)
        ApplyRowChanges(table, { *split.change });
    if (auto merged = PlanMerge(table, 1, limits.charsPerLine); merged.change)
        ApplyRowChanges(table, { *merged.change });
    ApplyRowChanges(table, PlanBreakLines(table, limits));
    ApplyRowChanges(table, PlanSplitLong(table, limits, gap).changes);
    ApplyRowChanges(table, PlanMergeShort(table, MergeShortOptions { 30, 10, limits }));
    ApplyRowChanges(table, PlanRemoveHearingImpaired(table, hi));
    const TextSearch search(find);
    ApplyRowChanges(table, PlanReplaceAll(table, search, with));
    search.findFrom(table, 1, SubtitleTable::Line1, cut, input.ConsumeBool());
    if (table.rowCount() < 2) __builtin_trap();
    return 0;
}
