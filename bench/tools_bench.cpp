// Where a SubRip -> SubRip conversion spends its time: each step over a
// table of 10^6 rows, from memory to memory, then the per-cue pieces those
// steps are made of, each called 10^6 times.
//
//     tools_bench [SUBRIP_FILE] [--benchmark_filter=...]
//
// Without a file it makes 10^6 cues of its own, shaped like gen_subrip.py's.
#include "core/numbers.h"
#include "core/subtitle_table.h"
#include "core/timecode.h"
#include "formats/microdvd.h"
#include "formats/subrip.h"
#include "formats/text_file.h"
#include "formats/time_format.h"
#include "tools/reading_check.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using tessel::SubtitleTable;

constexpr int Cues = 1000000;
constexpr double Fps = 25;

std::string clock(int64_t ms)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d,%03d", static_cast<int>(ms / 3600000),
        static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000));
    return buffer;
}

std::string madeUpSubRip(int cues)
{
    static const char* const words[] = { "the", "people", "water", "café", "naïve", "Zürich", "привет", "日本語",
        "Ελλάδα", "sentence", "through", "follow", "<i>mean</i>" };
    std::mt19937 random(1);
    auto word = [&] { return words[random() % std::size(words)]; };
    auto line = [&] {
        std::string s = "Said";
        for (int n = 4 + static_cast<int>(random() % 6); n > 0; --n)
            (s += ' ') += word();
        return s + '.';
    };
    std::ostringstream out;
    int64_t t = 10000;
    for (int cue = 1; cue <= cues; ++cue) {
        const int64_t end = t + 80 + random() % 380;
        out << cue << "\r\n" << clock(t) << " --> " << clock(end) << "\r\n" << line() << "\r\n";
        if (random() % 2) out << line() << "\r\n";
        out << "\r\n";
        t = end + 5 + random() % 100;
    }
    return out.str();
}

std::string readBytes(const char* fileName)
{
    std::ifstream in(fileName, std::ios::binary);
    if (!in) throw std::runtime_error(std::string("cannot open ") + fileName);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The input and the table read from it, shared by every benchmark.
struct Fixture {
    std::string subrip;
    SubtitleTable table;
    std::vector<std::string> timeLines; // the "-->" lines, for the per-cue pieces
};

Fixture* fixture = nullptr;

void readInto(SubtitleTable& table, std::string_view text)
{
    SubtitleTable::BulkChange bulk(table);
    tessel::LineReader lines(text);
    tessel::ReadSubRip(lines, table, 1, Fps);
}

void collectTimeLines(Fixture& f)
{
    tessel::LineReader lines(f.subrip);
    while (!lines.atEnd()) {
        const std::string_view line = lines.readLine();
        if (line.find("-->") != std::string_view::npos) f.timeLines.emplace_back(line);
    }
}

void prepare(Fixture& f, const char* fileName)
{
    f.subrip = fileName ? readBytes(fileName) : madeUpSubRip(Cues);
    readInto(f.table, f.subrip);
    collectTimeLines(f);
    std::cerr << "input: " << (fileName ? fileName : "made-up cues") << ", " << f.subrip.size() << " bytes, "
              << f.table.rowCount() - 1 << " rows\n";
}

int64_t rows() { return fixture->table.rowCount() - 1; }

// Time per row or per call, beside the total.
benchmark::Counter each(double count)
{
    return benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void perFile(benchmark::State& state)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fixture->subrip.size()));
    state.counters["per_row"] = each(static_cast<double>(rows()));
}

// ---- the steps of a conversion

void DecodeToUtf8(benchmark::State& state)
{
    const QByteArray bytes = QByteArray::fromStdString(fixture->subrip);
    for (auto _ : state)
        benchmark::DoNotOptimize(tessel::DecodeToUtf8(bytes).size());
    perFile(state);
}

void SplitLines(benchmark::State& state)
{
    for (auto _ : state) {
        tessel::LineReader lines(fixture->subrip);
        size_t count = 0;
        while (!lines.atEnd())
            count += lines.readLine().size();
        benchmark::DoNotOptimize(count);
    }
    perFile(state);
}

void ReadSubRip(benchmark::State& state)
{
    for (auto _ : state) {
        auto table = std::make_unique<SubtitleTable>();
        readInto(*table, fixture->subrip);
        benchmark::DoNotOptimize(table->rowCount());
        state.PauseTiming(); // freeing 10^6 rows is not reading
        table.reset();
        state.ResumeTiming();
    }
    perFile(state);
}

// Buffers like the file sink and drops each full buffer: the writer's own
// cost, without a 90 MB string growing (and faulting in) behind it.
class DroppingSink : public tessel::TextSink {
public:
    DroppingSink() { buffer_.reserve(Capacity); }
    void write(std::string_view text) override
    {
        buffer_.append(text);
        if (buffer_.size() < Capacity) return;
        written_ += buffer_.size();
        buffer_.clear();
    }
    size_t written() const { return written_ + buffer_.size(); }

private:
    static constexpr size_t Capacity = 1 << 20;
    std::string buffer_;
    size_t written_ = 0;
};

void WriteWith(benchmark::State& state, tessel::WriterFn write)
{
    tessel::WriteContext context;
    context.framerate = Fps;
    for (auto _ : state) {
        DroppingSink sink;
        write(fixture->table, 1, static_cast<int>(rows()), context, sink);
        benchmark::DoNotOptimize(sink.written());
    }
    perFile(state);
}

void WriteSubRip(benchmark::State& state) { WriteWith(state, tessel::WriteSubRip); }
void WriteMicroDVD(benchmark::State& state) { WriteWith(state, tessel::WriteMicroDVD); }

// The reading speed and layout check over every row with the Netflix adult
// profile: as a lint (each finding formatted as the converter prints it) and
// as a fix on a fresh copy of the table.
const tessel::ReadingRules& readingRules()
{
    static const tessel::ReadingRules rules(tessel::BuiltInProfiles()[0], Fps);
    return rules;
}

void LintReading(benchmark::State& state)
{
    size_t findings = 0;
    for (auto _ : state) {
        findings = 0;
        size_t bytes = 0;
        tessel::LintReading(fixture->table, readingRules(), [&](const tessel::ReadingFinding& f) {
            ++findings;
            bytes += tessel::IntToStr(f.row).size() + tessel::ReadingRules::MeasuredText(f).size()
                + tessel::ReadingRules::LimitText(f).size();
        });
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["findings"] = static_cast<double>(findings);
    perFile(state);
}

void FixReading(benchmark::State& state)
{
    tessel::ReadingFixReport report;
    for (auto _ : state) {
        state.PauseTiming();
        auto table = std::make_unique<SubtitleTable>();
        readInto(*table, fixture->subrip);
        state.ResumeTiming();
        report = tessel::FixReading(*table, readingRules());
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["fixed"] = report.fixed;
    state.counters["left"] = report.left;
    perFile(state);
}

// ---- the per-cue pieces, each as often as a conversion calls it per cue

void ReadNextNumber(benchmark::State& state)
{
    for (auto _ : state)
        for (const std::string& line : fixture->timeLines) {
            int position = 1;
            for (int i = 0; i < 8; ++i)
                benchmark::DoNotOptimize(tessel::ReadNextNumber(line, position));
        }
    state.counters["per_call"] = each(8.0 * static_cast<double>(fixture->timeLines.size()));
}

void TimeToFrame(benchmark::State& state)
{
    for (auto _ : state)
        for (int32_t ms = 0; ms < 2 * Cues; ++ms)
            benchmark::DoNotOptimize(tessel::TimeToFrame(ms * 97, Fps));
    state.counters["per_call"] = each(2 * Cues);
}

void FrameToTime(benchmark::State& state)
{
    for (auto _ : state)
        for (int32_t frame = 0; frame < 2 * Cues; ++frame)
            benchmark::DoNotOptimize(tessel::FrameToTime(frame * 4, Fps));
    state.counters["per_call"] = each(2 * Cues);
}

void IntToStr(benchmark::State& state)
{
    for (auto _ : state)
        for (int32_t value = 0; value < 3 * Cues; ++value)
            benchmark::DoNotOptimize(tessel::IntToStr(value * 3));
    state.counters["per_call"] = each(3 * Cues);
}

void ReadFrameCell(benchmark::State& state)
{
    const SubtitleTable& table = fixture->table;
    for (auto _ : state)
        for (int row = 1; row <= rows(); ++row)
            for (int column : { SubtitleTable::From, SubtitleTable::To })
                benchmark::DoNotOptimize(tessel::ReadFrameCell(table.cell(column, row)));
    state.counters["per_call"] = each(2.0 * static_cast<double>(rows()));
}

void FormatClockTime(benchmark::State& state)
{
    for (auto _ : state)
        for (int32_t ms = 0; ms < 2 * Cues; ++ms)
            benchmark::DoNotOptimize(
                tessel::FormatClockTime(ms * 163, { tessel::ClockTimeFormat::Milliseconds, ',' }).size());
    state.counters["per_call"] = each(2 * Cues);
}

void StoreRows(benchmark::State& state)
{
    for (auto _ : state) {
        auto table = std::make_unique<SubtitleTable>();
        {
            SubtitleTable::BulkChange bulk(*table);
            int row = 1;
            for (int i = 0; i < Cues; ++i)
                tessel::StoreRow(*table, row, "123456", "123467", "A first line of some length.",
                    "And a second line, a bit longer than that.", "");
        }
        state.PauseTiming();
        table.reset();
        state.ResumeTiming();
    }
    state.counters["per_call"] = each(Cues);
}

double smallest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// Shows the best of the repetitions only.
class BestReporter : public benchmark::ConsoleReporter {
public:
    BestReporter()
        : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular)
    {
    }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        std::vector<Run> best;
        for (const Run& run : runs)
            if (run.aggregate_name == "min") best.push_back(run);
        if (!best.empty()) ConsoleReporter::ReportRuns(best);
    }
};

void registerAll()
{
    using Fn = void (*)(benchmark::State&);
    const std::pair<const char*, Fn> all[] = {
        { "step/DecodeToUtf8", DecodeToUtf8 },
        { "step/SplitLines", SplitLines },
        { "step/ReadSubRip", ReadSubRip },
        { "step/WriteSubRip", WriteSubRip },
        { "step/WriteMicroDVD", WriteMicroDVD },
        { "step/LintReading", LintReading },
        { "step/FixReading", FixReading },
        { "piece/ReadNextNumber", ReadNextNumber },
        { "piece/TimeToFrame", TimeToFrame },
        { "piece/FrameToTime", FrameToTime },
        { "piece/IntToStr", IntToStr },
        { "piece/ReadFrameCell", ReadFrameCell },
        { "piece/FormatClockTime", FormatClockTime },
        { "piece/StoreRow", StoreRows },
    };
    for (const auto& [name, fn] : all)
        benchmark::RegisterBenchmark(name, fn)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(3)
            ->ComputeStatistics("min", smallest)
            ->ReportAggregatesOnly(true);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    const char* fileName = argc > 1 ? argv[1] : nullptr;
    auto owned = std::make_unique<Fixture>();
    fixture = owned.get();
    try {
        prepare(*fixture, fileName);
    } catch (const std::exception& e) {
        std::cerr << "tools_bench: " << e.what() << '\n';
        return 1;
    }
    registerAll();
    BestReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
