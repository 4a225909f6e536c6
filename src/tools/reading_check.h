#pragma once
#include "core/subtitle_table.h"
#include "tools/check_run.h"
#include "tools/reading_profile.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The reading speed and layout check: each subtitle against a delivery
// profile at the film's framerate, with a safe proposal where there is one.
// Frames are whole numbers and an end frame is the first frame no longer
// shown, as in the timing check: duration = end - start, gap = next start -
// end.
namespace tessel {

enum class ReadingRule {
    ReadingSpeed,
    LineLength,
    LineCount,
    MinDuration,
    MaxDuration,
    MinGap,
    ShotChangeIn,
    ShotChangeOut
};
constexpr int ReadingRuleCount = 8;

// "reading-speed", "line-length", "line-count", "min-duration",
// "max-duration", "min-gap", "shot-change-in", "shot-change-out": the
// converter's names.
std::string_view ReadingRuleId(ReadingRule rule);
// "Reading speed", "Characters per line", ...: the window's captions.
std::string_view ReadingRuleCaption(ReadingRule rule);

// Characters a viewer reads in one line: "{...}" blocks and "<...>" tags
// are markup, line breaks are not read, and every other character counts once
// whatever its UTF-8 length. Without `spacesAndPunctuation` white space and
// punctuation do not count either.
int ReadingCharacters(std::string_view line, bool spacesAndPunctuation = true);

struct ReadingFinding {
    int row = 0;
    ReadingRule rule = ReadingRule::ReadingSpeed;
    int column = SubtitleTable::To; // the cell the finding is about
    std::optional<int32_t> start; // the From cell, when it is a number
    // Characters, lines or frames; tenths of a character per second for
    // reading speed, where `endless` marks text shown for no time at all;
    // for the shot-change rules the frames from the cut (below 0: before it).
    int64_t measured = 0;
    bool endless = false;
    double limit = 0; // characters/s, characters, lines or frames
    int64_t cut = -1; // the shot change a shot-change finding is about
    std::optional<int32_t> proposedStart; // the From cell of `row`
    std::optional<int32_t> proposedEnd; // the To cell of `row`
    bool hasProposal() const { return proposedStart || proposedEnd; }
};

// A profile at a framerate, with the rules to check.
class ReadingRules {
public:
    using RuleSet = std::array<bool, ReadingRuleCount>;
    static constexpr RuleSet AllRules = { true, true, true, true, true, true, true, true };

    // Throws Error for a framerate that is not above 0.
    ReadingRules(const ReadingProfile& profile, double framerate, RuleSet rules = AllRules);

    const ReadingProfile& profile() const { return profile_; }
    double framerate() const { return framerate_; }
    // The film's cuts, as frames at this framerate, for the shot-change
    // rules; without them those are not checked.
    void setShotChanges(std::vector<int64_t> cuts);
    // Ticked and limited by the profile (the shot-change rules: and given cuts).
    bool checks(ReadingRule rule) const;

    // Every finding of `row` as the table stands, in the order a run meets
    // them, with their proposals unless `proposals` is false. `found` may
    // change the table (a finding it changed the table for is looked at
    // again) and returns false to stop; then so does this.
    bool forEachFinding(const SubtitleTable& table, int row, const std::function<bool(const ReadingFinding&)>& found,
        bool proposals = true) const;

    // "Reading speed 23.4 characters/s, limit 20." and so on, for the dialog.
    std::string message(const ReadingFinding& finding, char decimalSeparator) const;
    // The value and the limit as the converter prints them.
    static std::string MeasuredText(const ReadingFinding& finding);
    static std::string LimitText(const ReadingFinding& finding);

private:
    struct Row;
    Row readRow(const SubtitleTable& table, int row) const;
    std::optional<ReadingFinding> evaluate(const Row& facts, int check, bool propose) const;
    std::optional<int32_t> laterEnd(const Row& facts, int64_t wanted) const;
    int64_t framesForSpeed(int characters) const;
    std::optional<ReadingFinding> inTime(const Row& facts, bool propose) const;
    std::optional<ReadingFinding> outTime(const Row& facts, bool propose) const;
    bool keepsRules(const Row& facts, int64_t start, int64_t end) const;
    bool onCut(int64_t frame) const;

    ReadingProfile profile_;
    double framerate_;
    RuleSet rules_;
    int64_t minDuration_ = 0, maxDuration_ = 0, minGap_ = 0; // frames
    int64_t shotIn_ = 0, shotOut_ = 0, shotGap_ = 2; // frames
    double speedLimitTenths_ = 0; // with a hair of room for floating-point noise
    std::vector<int64_t> cuts_;
    bool hasCuts_ = false;
};

// Every finding in row order, the table unchanged, without proposals.
void LintReading(
    const SubtitleTable& table, const ReadingRules& rules, const std::function<void(const ReadingFinding&)>& found);

struct ReadingFixReport {
    int fixed = 0; // proposals applied
    int left = 0; // findings still there
};

// Applies every safe proposal in row order, as Auto-Fix would.
ReadingFixReport FixReading(SubtitleTable& table, const ReadingRules& rules);

// The check in the window: pauses the movie, then goes through the rows in
// order. With `autoFix` every safe proposal is applied at once and the dialog
// shows only what is left; otherwise each finding goes through the dialog,
// with its proposal behind Auto-Fix.
CheckOutcome CheckReading(SubtitleTable& table, const ReadingRules& rules, bool autoFix, const CheckServices& services,
    char decimalSeparator);

} // namespace tessel
