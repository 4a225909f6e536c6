#include "cli/sync_steps.h"

#include "audio/film_speech.h"
#include "audio/peak_cache.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "formats/file_commands.h"
#include "tools/sync.h"
#include "tools/sync_points.h"
#include "tools/sync_table.h"

#include <cmath>
#include <cstdio>

namespace tessel::cli {
namespace {

void say(MessageSink& messages, const std::string& text)
{
    messages.showMessage(QStringLiteral("Synchronisation"), QString::fromStdString(text), MessageIcon::Information);
}

SyncPoint pointOf(const ToolStep& step)
{
    const std::string& value = step.args.at(0);
    const size_t equals = value.find('=');
    const std::optional<int32_t> row
        = equals == std::string::npos ? std::nullopt : TryStrToInt(std::string_view(value).substr(0, equals));
    const std::optional<int32_t> frame
        = equals == std::string::npos ? std::nullopt : TryStrToInt(std::string_view(value).substr(equals + 1));
    if (!row || !frame || *row < 1 || *frame < 0)
        throw UsageError { step.option + " needs ROW=FRAME (a row from 1, a frame from 0), not '" + value + "'" };
    return { *row, *frame };
}

void align(const ToolRun& run, const SyncTarget& target, bool reference)
{
    const TimedRows rows = ReadTimedRows(run.table, run.framerate);
    RequireTimedRows(rows);
    SyncOptions options;
    options.splits = !run.given("--sync-no-splits");
    options.leastOffsetMs = 1000 / run.framerate;
    const SyncResult result = Align(rows.intervals, target, options);
    say(run.messages, "sync: " + DescribeSync(result, rows));
    if (!result.trusted() && !run.given("--sync-force")) {
        char score[16];
        std::snprintf(score, sizeof score, "%.0f", result.score);
        throw Error("sync: score " + std::string(score) + " is below " + std::to_string(int(SyncResult::LowScore))
            + ": " + LowScoreMessage(reference) + "; nothing was written (--sync-force writes it)");
    }
    ApplySync(run.table, rows, result);
}

} // namespace

void ValidateSyncPoint(const ToolStep& step) { pointOf(step); }

void RunSyncAudio(const ToolStep& step, const ToolRun& run)
{
    const std::atomic<bool> never { false };
    const PeakCache cache;
    const FilmSpeech speech = LoadFilmSpeech(step.args.at(0), -1, &cache, never);
    if (!speech.note.empty())
        run.messages.showMessage(
            QStringLiteral("Warning"), QString::fromStdString("sync: " + speech.note), MessageIcon::Warning);
    align(run, TargetFromLikelihood(speech.speech.likelihood), false);
}

void RunSyncReference(const ToolStep& step, const ToolRun& run)
{
    const std::string& file = step.args.at(0);
    SubtitleTable reference;
    FixedFramerate framerate(run.framerate);
    const LoadResult loaded = LoadSubtitles(reference, file, false, framerate, run.messages);
    if (loaded.format == FormatCode::Unknown) throw Error("sync: \"" + file + "\" could not be read as subtitles");
    align(run, TargetFromIntervals(ReferenceIntervals(reference, run.framerate, file)), true);
}

void RunSyncPoints(const ToolStep& step, const ToolRun& run)
{
    std::vector<SyncPoint> points;
    for (const ToolStep& s : run.steps) {
        if (s.option != step.option) continue;
        if (points.empty() && &s != &step) return; // the first one ran them all
        points.push_back(pointOf(s));
    }
    const PointSyncPlan plan = PlanPointSync(run.table, points);
    const int changed = ApplyPointSync(run.table, plan);
    std::string text = "sync points:";
    for (const PointSyncPlan::Point& p : plan.points) {
        text += " row " + std::to_string(p.row) + " " + std::to_string(p.from) + "->" + std::to_string(p.to);
        if (plan.points.size() > 2) {
            char residual[32];
            std::snprintf(residual, sizeof residual, " (residual %+.1f)", p.residual);
            text += residual;
        }
        text += ",";
    }
    say(run.messages, text + " " + std::to_string(changed) + " rows changed");
}

} // namespace tessel::cli
