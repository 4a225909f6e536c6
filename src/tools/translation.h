#pragma once
#include "core/subtitle_table.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Translation mode: the subtitles a translation is made from (the original),
// kept beside the table in its side data and never written, and how its rows
// pair with the table's rows. The original is not part of the table's cells,
// so no tool that works on the cells (replace, repairs, checks) can touch it.
namespace tessel {

// Side data keys: the original itself, and how it is paired.
inline constexpr std::string_view OriginalSideKey = "translation.original";
inline constexpr std::string_view PairingSideKey = "translation.pairing";

// Frames a row is shown, from its start to the first frame it is no longer
// shown; nothing when either cell is no number.
struct FrameSpan {
    int32_t start = 0, end = 0;
};
std::optional<FrameSpan> RowSpan(const SubtitleTable& table, int row);

struct OriginalSubtitles {
    std::string fileName;
    std::string format; // the converter's name of the format it was read in
    double framerate = 0; // the one it was read at; 0: none was asked
    // Every row of the file with its hidden cell, and its document data.
    std::shared_ptr<const SubtitleTable> table;
    std::vector<std::optional<FrameSpan>> spans; // index i: table row i + 1

    int rowCount() const { return static_cast<int>(spans.size()); }
};

// A copy of `table`'s rows and document data.
OriginalSubtitles MakeOriginal(const SubtitleTable& table, std::string fileName, std::string format, double framerate);
std::string EncodeOriginal(const OriginalSubtitles& original);
// Throws Error when `data` is no original this program wrote.
OriginalSubtitles DecodeOriginal(std::string_view data);

// Rows by their start, to find those shown at a frame.
class SpanIndex {
public:
    SpanIndex() = default;
    explicit SpanIndex(const std::vector<std::optional<FrameSpan>>& spans);
    // The indexes of the spans that show `frame` (start <= frame < end), in order.
    std::vector<int> at(int32_t frame) const;

private:
    std::vector<std::pair<FrameSpan, int>> byStart_;
    std::vector<int32_t> latestEnd_; // of each and those before it
};

enum class PairingMode { ByTime, ByRow };

// By row number the pairing follows the rows the table gains and loses:
// anchors[i] is the table row original row i + 1 stands beside.
struct PairingChoice {
    PairingMode mode = PairingMode::ByTime;
    std::vector<int> anchors;
};
// By time unless both have as many rows, then by row number.
PairingChoice DefaultPairing(int originalRows, int tableRows);
// Original row i + 1 beside table row i + 1; those past the table's end beside its last row.
std::vector<int> RowAnchors(int originalRows, int tableRows);
std::string EncodePairing(const PairingChoice& choice);
// Anything unreadable, or anchors that do not fit, reads as the default.
PairingChoice DecodePairing(std::string_view data, int originalRows, int tableRows);

// Table rows came or went: anchors at or after an insertion move down with
// their rows; those of removed rows stand beside the row before (or, for the
// first rows, the row that now comes first).
void AnchorsAfterInsert(std::vector<int>& anchors, int row, int count);
void AnchorsAfterRemove(std::vector<int>& anchors, int row, int count);

// Which original rows stand beside which table row. Every original row stands
// beside exactly one: by time the one it overlaps longest (the first of equals),
// and one that overlaps none beside the last row that starts before it (it is
// "unpaired"). Rows that an original overlaps besides its own "continue" it.
class Pairing {
public:
    Pairing() = default;
    Pairing(const OriginalSubtitles& original, const SubtitleTable& table, const PairingChoice& choice);

    int tableRows() const { return static_cast<int>(firsts_.size()) - 1; }
    // Original indexes (row - 1) beside table row `row`, in their order.
    std::vector<int> originalsBeside(int row) const;
    int rowOf(int original) const { return rowOf_.at(original); }
    bool unpaired(int original) const { return unpaired_.at(original); }
    // An original shown beside another row that this row also overlaps; -1 for none.
    int continued(int row) const;

private:
    void pairByTime(const OriginalSubtitles& original, const SubtitleTable& table);
    void index(int tableRows);

    std::vector<int> rowOf_;
    std::vector<bool> unpaired_;
    std::vector<int> firsts_; // into byRow_, per table row (and one past the last)
    std::vector<int> byRow_;
    std::vector<int> continued_;
};

// The table becomes a copy of the original's rows: their times, their hidden
// cells and the document data, with empty text or the original's text.
void StartTranslation(SubtitleTable& table, const OriginalSubtitles& original, bool copyText);

// What a translation check finds: a row whose text is far longer than its
// original's, or an original row with no translated text beside it.
struct TranslationFinding {
    enum Kind { TooLong, Untranslated } kind = TooLong;
    int row = 0; // the table row; 0: an original beside no row at all
    int original = 0; // the original's row (1 = first)
    std::optional<int32_t> start; // TooLong: the row's start frame; Untranslated: the original's
    double ratio = 0; // TooLong: the table row's characters / the original's
};

// Characters as the reading check counts them; a row is too long above
// `maxRatio` times its originals' characters.
std::vector<TranslationFinding> CheckTranslation(
    const SubtitleTable& table, const OriginalSubtitles& original, const Pairing& pairing, double maxRatio);

} // namespace tessel
