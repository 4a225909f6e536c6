// The converter's whole path on arbitrary bytes: detection, the detected
// format's reader, a few batch tools, then every writer. Control values come
// from the end of the input so that the file text keeps its first line.
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/detect.h"
#include "formats/registry.h"
#include "formats/text_file.h"
#include "tools/reading_check.h"
#include "tools/repair.h"
#include "tools/timing_check.h"
#include "tools/timing_tools.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <fuzzer/FuzzedDataProvider.h>
#include <string>

namespace {

using namespace tessel;

constexpr size_t MaxInput = 64 * 1024;
// A 64 KiB file can hold 65,000 rows (one per line feed). The tools and
// writers are linear in rows, so past a few thousand they only repeat
// themselves, slower than the fuzzer's time limit.
constexpr int MaxRows = 2000;

const double Rates[] = { 23.976, 25, 29.97, 0.001, 1000, 0, -1, 1e9 };
const char* const RateTexts[] = { "23.976", "25", "0", "-1", "1e9", "x", "29.97", "" };
const char* const CountTexts[] = { "5", "-3", "2147483647", "-2147483648", "0", "x", "99999999999", " 7" };
const int64_t Shifts[] = { 1, -1, 2147483647, -2147483648LL, 0, 1000, -1000, 4294967296LL };
const char* const FindTexts[] = { "a", "\xC3\xA9", "|", "\\N", "", "{", "AA", "\xC3\x89T\xC3\xA9" };
const char* const ReplaceTexts[] = { "", "b", "aa", "\xC3\xA9\xC3\xA9", "|", "\r\n", "{\\i1}", "x" };

class SilentMessages : public MessageSink {
public:
    void showMessage(const QString&, const QString&, MessageIcon) override { }
};

// Auto-fix never asks; if it ever did, the run ends as a cancel would.
class CancelDialog : public CheckDialogView {
public:
    int Exec(CheckWindow&, const QString&, bool) override { return CheckCancel; }
};

template <typename T, size_t N> const T& pick(FuzzedDataProvider& input, const T (&values)[N])
{
    return values[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// Which tools run and with what, all taken before the file text.
struct ToolPlan {
    uint8_t tools = 0;
    const char* fromRate = "";
    const char* toRate = "";
    int shiftStart = 1;
    int64_t shift = 0;
    bool shiftFromCurrent = false;
    const char* delay = "";
    const char* find = "";
    const char* replacement = "";
    uint8_t repairs = 0;
    bool shortTime = false;
    size_t readingProfile = 0;
    double readingRate = 25;
};

ToolPlan planTools(FuzzedDataProvider& input)
{
    ToolPlan plan;
    plan.tools = input.ConsumeIntegral<uint8_t>();
    plan.fromRate = pick(input, RateTexts);
    plan.toRate = pick(input, RateTexts);
    plan.shiftStart = input.ConsumeIntegralInRange<int>(-1, 64);
    plan.shift = pick(input, Shifts);
    plan.shiftFromCurrent = input.ConsumeBool();
    plan.delay = pick(input, CountTexts);
    plan.find = pick(input, FindTexts);
    plan.replacement = pick(input, ReplaceTexts);
    plan.repairs = input.ConsumeIntegral<uint8_t>();
    plan.shortTime = input.ConsumeBool();
    plan.readingProfile = input.ConsumeIntegralInRange<size_t>(0, BuiltInProfiles().size() - 1);
    plan.readingRate = pick(input, Rates);
    return plan;
}

void checkReading(SubtitleTable& table, const ToolPlan& plan)
{
    const ReadingRules rules(BuiltInProfiles()[plan.readingProfile], plan.readingRate);
    size_t findings = 0;
    LintReading(table, rules, [&](const ReadingFinding&) { ++findings; });
    FixReading(table, rules);
}

void runTools(SubtitleTable& table, const ToolPlan& plan)
{
    SilentMessages messages;
    try {
        if (plan.tools & 1) ConvertFramerate(table, plan.fromRate, plan.toRate, '.', messages);
        if (plan.tools & 2) ShiftFrames(table, plan.shiftStart, plan.shift, plan.shiftFromCurrent);
        if (plan.tools & 4) ExpandDelay(table, plan.delay);
        if (plan.tools & 8) UserReplace(table, plan.find, plan.replacement);
        if (plan.tools & 16) {
            std::array<bool, AutoRepairItemCount> checked {};
            for (size_t i = 0; i < checked.size(); ++i)
                checked[i] = plan.repairs >> i & 1;
            RunAutoRepair(table, checked);
        }
        if (plan.tools & 32) {
            CancelDialog dialog;
            NoVideo video;
            CheckTiming(table, true, plan.shortTime, CheckServices { dialog, video, messages });
        }
        if (plan.tools & 64) checkReading(table, plan);
    } catch (const std::exception&) {
        // A tool may refuse a table; the writers still get what it left.
    }
}

void writeAll(const SubtitleTable& table, double framerate)
{
    WriteContext context;
    context.framerate = framerate;
    for (const FormatInfo& format : Formats()) {
        if (!format.write) continue;
        StringSink sink;
        try {
            format.write(table, 1, table.rowCount() - 1, context, sink);
        } catch (const std::exception&) {
            // The save command reports these; a crash is what is looked for.
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > MaxInput) return 0;
    FuzzedDataProvider input(data, size);
    const double readRate = pick(input, Rates);
    const double writeRate = pick(input, Rates);
    const char* fileName = input.ConsumeBool() ? "fuzz.ssa" : "fuzz.sub";
    const ToolPlan plan = planTools(input);
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    DecodedText text(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    const std::string_view head = text.head();
    LineReader first(head);
    const std::string firstLine(first.readLine());
    const FormatInfo* format = FormatByCode(DetectFormat(DetectionInput { firstLine, fileName, head }));
    if (!format || !format->read) return 0;
    SubtitleTable table;
    try {
        LineReader lines(text.all());
        format->read(lines, table, 1, readRate);
    } catch (const std::exception&) {
        // As in the editor: the rows read before the error stay and can be saved.
    }
    if (table.rowCount() > MaxRows + 1) table.setRowCount(MaxRows + 1);
    runTools(table, plan);
    writeAll(table, writeRate);
    return 0;
}
