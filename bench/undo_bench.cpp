// Undo, redo and the recovery journal over a large table, as the window runs
// them: each figure is the time the user-interface thread spends, and for
// the journal also the time its writing thread needs behind it.
//
//   undo_bench [ROWS] [FOLDER]   (default 1000000 rows; the recovery slot goes
//                                 into a temporary folder under FOLDER, default /tmp)
#include "core/edit_history.h"
#include "core/recovery_journal.h"
#include "core/subtitle_table.h"
#include "tools/timing_tools.h"

#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>

using namespace tessel;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Wall time; the thread's CPU time goes to lastCpu, the steadier figure on a
// loaded machine.
double lastCpu = 0;
double timed(const std::function<void()>& work)
{
    const auto start = Clock::now();
    const double cpu = threadCpuMs();
    work();
    lastCpu = threadCpuMs() - cpu;
    return msSince(start);
}

class Silent : public MessageSink {
public:
    void showMessage(const QString&, const QString&, MessageIcon) override { }
};

// Subtitles of one or two lines of 20 to 45 characters, about 2.5 s each.
void fill(SubtitleTable& table, int rows)
{
    std::mt19937 random(1);
    const std::string words[] = { "the", "door", "was", "open", "when", "we", "came", "back", "from", "town", "nobody",
        "knew", "why", "she", "left", "so", "early", "that", "night" };
    auto line = [&] {
        std::string text;
        const size_t length = 20 + random() % 26;
        while (text.size() < length)
            text += (text.empty() ? "" : " ") + words[random() % std::size(words)];
        return text;
    };
    SubtitleTable::BulkChange bulk(table);
    table.setRowCount(rows + 1);
    int frame = 0;
    for (int row = 1; row <= rows; ++row) {
        frame += 40 + static_cast<int>(random() % 40);
        const std::string second = random() % 2 ? line() : std::string();
        table.setRow(row, std::to_string(frame), std::to_string(frame + 30 + random() % 40), line(), second, "");
    }
}

size_t frameCellBytes(const SubtitleTable& table)
{
    size_t bytes = 0;
    for (int row = 1; row < table.rowCount(); ++row)
        bytes += table.cell(SubtitleTable::From, row).size() + table.cell(SubtitleTable::To, row).size();
    return bytes;
}

struct Report {
    void row(const char* what, double ms, const char* note = "", double cpu = -1)
    {
        if (cpu < 0) cpu = lastCpu;
        if (std::isnan(cpu))
            std::printf("| %s | %.1f | | %s |\n", what, ms, note);
        else
            std::printf("| %s | %.1f | %.1f | %s |\n", what, ms, cpu, note);
    }
};

} // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    QTemporaryDir dir(QString::fromLocal8Bit(argc > 2 ? argv[2] : "/tmp") + "/undo-bench-XXXXXX");
    SubtitleTable table;
    const double fillMs = timed([&] { fill(table, rows); });
    EditHistory history(table);
    history.clear(true);
    RecoveryJournal journal(table, history);
    journal.start(RecoverySlot::Create((dir.path() + "/recovery").toStdString()));
    journal.flush(); // as the window's timer does after the start
    journal.waitUntilWritten();
    double longestFlush = 0;
    auto flush = [&](double* writing = nullptr) {
        const double ms = timed([&] { journal.flush(); });
        const double cpu = lastCpu;
        longestFlush = std::max(longestFlush, ms);
        const double behind = timed([&] { journal.waitUntilWritten(); });
        if (writing) *writing = behind;
        lastCpu = cpu;
        return ms;
    };
    Report report;
    std::printf("%d rows (%.0f ms to generate), %.1f MiB of cells\n\n", rows, fillMs, table.storedBytes() / 1048576.0);
    std::printf("| step | wall ms | CPU ms | note |\n| --- | ---: | ---: | --- |\n");

    {
        EditHistory::Step step(history, "Edit cell", 1);
        table.setCell(SubtitleTable::Line1, rows / 2, "first change");
    }
    double writing = 0;
    const double snapshot = flush(&writing);
    report.row("snapshot after the first change: window", snapshot, "copy of the table's cells");
    report.row("snapshot after the first change: writing thread", writing,
        (std::to_string(journal.snapshotBytes() >> 20) + " MiB file").c_str(), NAN);

    const size_t cellsBefore = frameCellBytes(table);
    const size_t memoryBefore = history.memoryUsed();
    Silent silent;
    const double convert = timed([&] {
        EditHistory::Step step(history, "Framerate convert");
        ConvertFramerate(table, "25", "23.976", '.', silent);
    });
    const size_t stepBytes = history.memoryUsed() - memoryBefore;
    report.row("framerate conversion 25 -> 23.976, recorded", convert);
    char ratio[128];
    std::snprintf(ratio, sizeof ratio, "step %.1f MiB, frame cells %.1f MiB before and %.1f MiB after: %.2fx",
        stepBytes / 1048576.0, cellsBefore / 1048576.0, frameCellBytes(table) / 1048576.0,
        double(stepBytes) / double(cellsBefore));
    report.row("its step", 0, ratio, NAN);
    const double convertFlush = flush(&writing);
    report.row("journal after the conversion: window", convertFlush);
    report.row("journal after the conversion: writing thread", writing, "", NAN);
    report.row("undo of the conversion", timed([&] { history.undo(); }));
    auto compacted = [&] { return journal.journalBytes() == 0 ? "a new snapshot: the journal outgrew the last" : ""; };
    report.row("journal after undo: window", flush(&writing), compacted());
    report.row("journal after undo: writing thread", writing, "", NAN);
    report.row("redo of the conversion", timed([&] { history.redo(); }));
    report.row("journal after redo: window", flush(&writing), compacted());
    report.row("journal after redo: writing thread", writing, "", NAN);

    // Typing: one step for all keystrokes in a cell, flushed as the window's
    // timer would, against the same keystrokes on a table that records nothing.
    constexpr int Keys = 20000;
    std::string text;
    const double typing = timed([&] {
        for (int k = 0; k < Keys; ++k) {
            text += static_cast<char>('a' + k % 26);
            if (text.size() > 60) text.clear();
            EditHistory::Step step(history, "Edit cell", 77);
            table.setCell(SubtitleTable::Line2, 10 + k / 200, text);
            if (k % 500 == 499) journal.flush();
        }
    });
    SubtitleTable plain;
    fill(plain, rows);
    text.clear();
    const double plainTyping = timed([&] {
        for (int k = 0; k < Keys; ++k) {
            text += static_cast<char>('a' + k % 26);
            if (text.size() > 60) text.clear();
            plain.setCell(SubtitleTable::Line2, 10 + k / 200, text);
        }
    });
    char keys[96];
    std::snprintf(keys, sizeof keys, "%.2f us a key; %.2f us without history or journal", 1000 * typing / Keys,
        1000 * plainTyping / Keys);
    report.row("typing 20,000 keys in 100 cells", typing, keys);
    flush();
    report.row("longest pause of the window for the journal", longestFlush, "", NAN);
    journal.finish();
    return 0;
}
