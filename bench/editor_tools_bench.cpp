// The editor's work on a large file without its windows: opening it after the
// framerate prompt, then every Adjust and Repair operation with the undo
// history attached, as the window runs them, and the undo of each. Wall and
// thread CPU times in ms; the grid's refresh is not part of these figures.
//
//   editor_tools_bench SUBRIP_FILE
#include "core/edit_history.h"
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/file_commands.h"
#include "tools/repair.h"
#include "tools/timing_tools.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>

using namespace tessel;

namespace {

using Clock = std::chrono::steady_clock;

double threadCpuMs()
{
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timing {
    double wall = 0, cpu = 0;
};

Timing timed(const std::function<void()>& work)
{
    const auto start = Clock::now();
    const double cpu = threadCpuMs();
    work();
    return { std::chrono::duration<double, std::milli>(Clock::now() - start).count(), threadCpuMs() - cpu };
}

class Silent : public MessageSink {
public:
    void showMessage(const QString&, const QString&, MessageIcon) override { }
};

void row(const char* what, Timing t, Timing undo)
{
    std::printf("| %s | %.0f | %.0f | %.0f | %.0f |\n", what, t.wall, t.cpu, undo.wall, undo.cpu);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: editor_tools_bench SUBRIP_FILE\n");
        return 2;
    }
    SubtitleTable table;
    EditHistory history(table);
    Silent silent;
    FixedFramerate fps(25);
    const Timing open = timed([&] {
        EditHistory::Unrecorded opening(history);
        LoadSubtitles(table, argv[1], false, fps, silent);
    });
    history.markSaved();
    std::printf("%d rows\n\n| operation (history attached) | wall ms | CPU ms | undo wall ms | undo CPU ms |\n"
                "| --- | ---: | ---: | ---: | ---: |\n",
        table.rowCount() - 1);
    row("open, after the framerate prompt", open, {});
    const struct {
        const char* name;
        std::function<void()> run;
    } operations[] = {
        { "framerate conversion 25 -> 23.976", [&] { ConvertFramerate(table, "25", "23.976", '.', silent); } },
        { "add frames 100", [&] { AddFrames(table, 1, "100", false); } },
        { "change start", [&] { ChangeStart(table, 1, "5000", false); } },
        { "expand delay 10", [&] { ExpandDelay(table, "10"); } },
        { "auto-repair 0: remove [captions]", [&] { RunAutoRepairItem(table, 0); } },
        { "auto-repair 1: delete empty lines", [&] { RunAutoRepairItem(table, 1); } },
        { "auto-repair 2: fix stroke at begin of line", [&] { RunAutoRepairItem(table, 2); } },
        { "auto-repair 3 (as 5)", [&] { RunAutoRepairItem(table, 3); } },
        { "auto-repair 4: two apostrophes", [&] { RunAutoRepairItem(table, 4); } },
        { "auto-repair 5: two double quotes", [&] { RunAutoRepairItem(table, 5); } },
        { "auto-repair 6: single l with I", [&] { RunAutoRepairItem(table, 6); } },
        { "user replace made -> built", [&] { UserReplace(table, "made", "built"); } },
        { "user replace café -> coffee", [&] { UserReplace(table, "café", "coffee"); } },
        { "user replace the -> (nothing): many changes", [&] { UserReplace(table, "the", ""); } },
    };
    for (const auto& operation : operations) {
        const Timing t = timed([&] {
            EditHistory::Step step(history, operation.name);
            operation.run();
        });
        const Timing undo = timed([&] { history.undo(); });
        row(operation.name, t, undo);
    }
    return 0;
}
