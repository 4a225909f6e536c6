// The spell check of a film: the dictionary read, every line checked, and
// the converter's whole --spell-check with a suggestion list for each word
// not in the dictionary; also the window's underlines for one screenful of
// rows, new and already seen. Best of five runs each, wall and CPU time.
//
//   spell_bench SUBRIP_FILE [LANGUAGE]   (e.g. gen_subrip.py 1500 film.srt; default en_US)
//
// Every 25th row gets a typo (two letters of its longest word swapped), so a
// film of 1,500 rows has some sixty words a proof-reader would have to see.
#include "cli/text_steps.h"
#include "core/user_prompts.h"
#include "formats/file_commands.h"
#include "tools/spell_check.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <set>
#include <sstream>

using namespace tessel;

namespace {

using Clock = std::chrono::steady_clock;

double cpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

void best(const char* what, const std::function<void()>& work)
{
    double wall = 1e300, cpu = 1e300;
    for (int run = 0; run < 5; ++run) {
        const auto start = Clock::now();
        const double c = cpuMs();
        work();
        cpu = std::min(cpu, cpuMs() - c);
        wall = std::min(wall, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::printf("| %s | %.1f | %.1f |\n", what, wall, cpu);
}

class Silent : public MessageSink {
public:
    void showMessage(const QString&, const QString&, MessageIcon) override { }
};

void addTypos(SubtitleTable& table)
{
    for (int row = 25; row < table.rowCount(); row += 25) {
        std::string line(table.cell(SubtitleTable::Line1, row));
        size_t start = 0, longest = 0, at = 0;
        for (size_t i = 0; i <= line.size(); ++i)
            if (i == line.size() || line[i] == ' ') {
                if (i - start > longest) longest = i - start, at = start;
                start = i + 1;
            }
        if (longest >= 4) std::swap(line[at + 1], line[at + 2]);
        table.setCell(SubtitleTable::Line1, row, line);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: spell_bench SUBRIP_FILE [LANGUAGE]\n");
        return 2;
    }
    const std::string language = argc > 2 ? argv[2] : "en_US";
    SubtitleTable table;
    Silent messages;
    FixedFramerate fps(25);
    LoadSubtitles(table, argv[1], false, fps, messages);
    addTypos(table);
    std::printf(
        "%d rows, %s\n\n| step | wall ms | CPU ms |\n| --- | ---: | ---: |\n", table.rowCount() - 1, language.c_str());
    best("the dictionary read", [&] { Speller speller(language); });
    Speller speller(language);
    int findings = 0;
    std::set<std::string> distinct;
    best("the dictionary read and every line checked", [&] {
        Speller fresh(language);
        findings = 0;
        CheckSpelling(table, fresh, 1, SubtitleTable::Line1, 0, [&](const SpellFinding& f) {
            distinct.insert(f.word);
            return ++findings;
        });
    });
    best("every line checked again, the verdicts known",
        [&] { CheckSpelling(table, speller, 1, SubtitleTable::Line1, 0, [&](const SpellFinding&) { return true; }); });
    best("--spell-check: read, check, suggestions for each word", [&] {
        std::ostringstream out;
        cli::SpellCheckTable(table, language, out);
    });
    const int screen = std::min(40, table.rowCount() - 1);
    double screenCpu = 1e300;
    best("the suggestions for one word not in the dictionary (the first)",
        [&] { speller.suggestions(*distinct.begin()); });
    best("the dictionary read and one screenful (40 rows) checked", [&] {
        Speller fresh(language);
        const double before = cpuMs();
        for (int row = 1; row <= screen; ++row)
            for (int c = SubtitleTable::Line1; c <= SubtitleTable::Line3; ++c)
                fresh.misspelled(table.cell(c, row));
        screenCpu = std::min(screenCpu, cpuMs() - before);
    });
    std::printf("\n%d findings, %zu distinct words; a screenful's check alone: %.2f ms CPU\n", findings,
        distinct.size(), screenCpu);
    return 0;
}
