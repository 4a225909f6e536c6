#pragma once
#include "core/subtitle_table.h"
#include "preview/row_finder.h"

#include <QString>
#include <optional>

// What the table does while a movie plays: the time code, the subtitle under
// the picture, and the grid's selection and scrolling following the movie.
namespace tessel {

// The subtitle grid as playback sees it; rows are table rows (1 = first subtitle).
class SubtitleGridView {
public:
    virtual ~SubtitleGridView() = default;
    virtual int currentRow() const = 0;
    // Makes (column, row) the current and only selected cell without running
    // the grid's select handler, so that the movie does not seek.
    virtual void selectCellQuietly(int column, int row) = 0;
    virtual int topRow() const = 0; // first subtitle row shown
    virtual void setTopRow(int row) = 0;
    virtual int visibleRowCount() const = 0; // subtitle rows shown in full
};

// The movie window's two labels.
class MovieTextView {
public:
    virtual ~MovieTextView() = default;
    virtual void setTimeCode(const QString& text) = 0;
    virtual void setSubtitleText(const QString& text) = 0;
};

// The "Auto-select actual row" and "Auto-scroll subtitles" ticks.
class PlaybackSwitches {
public:
    virtual ~PlaybackSwitches() = default;
    virtual bool autoSelect() const = 0;
    virtual bool autoScroll() const = 0;
};

// A row's three lines as the movie window shows them, one under the other;
// empty for a row that is no subtitle row.
QString SubtitleText(const SubtitleTable& table, int row);

// The grid's new top row so that `row` is shown in full.
int ScrolledTopRow(int row, int topRow, int visibleRows);

class PlaybackSync {
public:
    PlaybackSync(
        const SubtitleTable& table, SubtitleGridView& grid, MovieTextView& movie, const PlaybackSwitches& switches);

    // On each timer event of the movie: position and length in frames. The
    // text under the picture is the row at the position, as the table holds
    // it now: shown again when the position moved, and when the row shown
    // changed under it (deleted, undone, another file opened). A row shown
    // otherwise (selected, being edited) stays while the picture stays.
    void ProcessTimer(int position, int length);
    int FindSubtitleRow(int frame);
    void ShowSubtitleText(int row);
    void ScrollToRow(int row);

    int lastShownRow() const { return LastShownRow; }
    // A row made current by a timing command stays current while the picture
    // stays at this frame, even where the frame belongs to another row.
    void holdSelectionAt(int frame) { heldFrame_ = frame; }

private:
    const SubtitleTable& table_;
    SubtitleGridView& grid_;
    MovieTextView& movie_;
    const PlaybackSwitches& switches_;
    SubtitleRowFinder finder_;
    int LastShownRow = 0; // -1: none shown; 0: no timer event yet
    std::optional<int> heldFrame_;
    std::optional<int> lastPosition_;
    int shownRow_ = 0; // the row whose text is under the picture, and that text
    QString shownText_;
};

} // namespace tessel
