#pragma once
#include "core/subtitle_table.h"
#include "core/user_prompts.h"
#include "formats/detect.h"
#include "formats/encoding.h"
#include "formats/film_tracks.h"
#include "formats/format.h"
#include "formats/picture_subtitles.h"
#include "formats/ssa_settings.h"
#include "formats/text_file.h"

#include <QString>
#include <functional>
#include <string>

// Open, append and save: detection, the reader or writer, and what the window
// does around them.
namespace tessel {

struct SsaExportAnswer {
    SsaExportSettings settings;
    QString fpsText; // converted with the regional decimal separator
    // The video size a picture format draws for.
    int pictureWidth = 1920, pictureHeight = 1080;
};

class ExportSettingsSource {
public:
    virtual ~ExportSettingsSource() = default;
    virtual SsaExportAnswer AskExportSettings() = 0;
    // For a picture format: the same settings and the video size.
    virtual SsaExportAnswer AskPictureExportSettings() { return AskExportSettings(); }
};

class FixedExportSettings : public ExportSettingsSource {
public:
    explicit FixedExportSettings(SsaExportAnswer answer)
        : answer_(std::move(answer))
    {
    }
    SsaExportAnswer AskExportSettings() override { return answer_; }

private:
    SsaExportAnswer answer_;
};

struct LoadResult {
    FormatCode format = FormatCode::Unknown;
    bool cancelled = false; // the user chose no encoding: nothing was read
    bool select = false; // an append that stored rows: select `row`, show `topRow` first
    int row = 0;
    int topRow = 0;
    // What the user should know of a file read: bytes that were not UTF-8,
    // an encoding guessed without certainty, blocks the reader skipped. One
    // sentence each.
    std::vector<std::string> notes;
    // Subtitles read from a film: the file they could be saved as, since the
    // film itself is no subtitle file. Empty for any other file.
    std::string documentName;
};

// How a file's text is told from its bytes: `forced` names the encoding to
// read it in without detection; otherwise, when detection is unsure of a
// file's code page, `chooser` (if any) is asked.
struct ReadEncoding {
    QByteArray forced;
    EncodingChooser* chooser = nullptr;
};

// Told each time the reader of a file read a window at a time moves on to
// the next window: the rows before its last stored one are settled then, and
// may be written and dropped (SubtitleTable::dropRowsBefore).
class RowFlow {
public:
    virtual ~RowFlow() = default;
    virtual void windowRead(SubtitleTable& table) = 0;
    // Whether a file of the format `formatId` is read for a save in that
    // format, which may write it again as it was (LineReader::keepsFile).
    virtual bool keepsFileOf(std::string_view /*formatId*/) const { return true; }
    // Whether the rows of such a file reach that format's writer unchanged
    // (LineReader::rowsAsRead).
    virtual bool rowsAsReadOf(std::string_view /*formatId*/) const { return false; }
};

// Read errors are not caught: they leave here with the rows read so far kept.
// An opened file (not an append) replaces what the last one kept for the
// whole document once it stored rows. An encoding that is unsure, with no
// chooser to ask, is named in the notes. With `films`, a film is read through
// the track it gives (no track chosen: `cancelled`); without, a film is a
// file of unknown format as before. Pictures of text go to `pictures`
// (declined there: `cancelled`); without it they are refused. A table just
// made (or one with a `flow`) is filled a window of the file at a time; with
// a flow, ReadFileWhole leaves here too, when the file has to be read whole
// after all.
LoadResult LoadSubtitles(SubtitleTable& table, const std::string& fileName, bool append, FramerateSource& framerate,
    MessageSink& messages, const ReadEncoding& encoding = {}, FilmTrackSource* films = nullptr,
    PictureSubtitleReader* pictures = nullptr, RowFlow* flow = nullptr);

struct SaveServices {
    FramerateSource& framerate;
    ExportSettingsSource& exportSettings;
    MessageSink& messages;
    char decimalSeparator = '.';
    OutputEncoding output = {};
    // Filled by a save: what the writer wrote otherwise than the table asks.
    std::vector<std::string> notes = {};
};

// Writes every subtitle row with the writer of the save dialog's file type
// (1..9, and the later formats' 10, 11...). Returns true when the file was
// written. The file is replaced only once it is complete: a failure leaves
// any earlier file as it was. A writer asks for the export settings only
// when the table holds no document of its own format.
bool SaveSubtitles(const SubtitleTable& table, const std::string& fileName, int fileType, SaveServices& services);

// Where a save goes: runs `write` into a sink and completes the output, or
// throws. WriteTextFile is the one for files.
using SaveTarget = std::function<void(const std::function<void(TextSink&)>& write)>;
// SaveSubtitles into any target, such as the converter's standard output.
bool SaveSubtitlesTo(const SubtitleTable& table, const SaveTarget& target, int fileType, SaveServices& services);
struct FormatInfo;
// The writer over every subtitle row, in the output encoding. Rows that are
// comments of a script are shown nowhere and go only into a script. Throws
// UnencodableText before writing anything, and whatever the writer throws.
void WriteSubtitles(const SubtitleTable& table, const FormatInfo& format, const WriteContext& context,
    const OutputEncoding& output, TextSink& out);

// The format a document named `fileName` is in, where nothing recorded it
// (a recovered table): the format that keeps the table's document data, or
// that of the file as it is on disk, or the first with the name's extension;
// Unknown when none tells.
FormatCode FormatOfDocument(const SubtitleTable& table, const std::string& fileName);

// One sentence on what writing the table in that format leaves out of what
// another format kept ("styles and 12 comment lines were not written: subrip
// has no place for them"), or nothing.
std::string DescribeUnwritten(const SubtitleTable& table, const FormatInfo& format);

// The same counted a block of rows at a time.
class Unwritten {
public:
    explicit Unwritten(const FormatInfo& format);
    ~Unwritten();
    void rows(const SubtitleTable& table, int firstRow, int lastRow);
    // With the document data as it is at the end.
    std::string describe(const SubtitleTable& table) const;

private:
    const FormatInfo& format_;
    std::vector<std::unique_ptr<LeftOutCount>> counts_;
};

// Thrown when a save made while its file is read cannot go on that way (an
// error of the writer or the file written, a file whose line ends are known
// only at its end): nothing of it is kept, and the save is made from the
// whole table instead, which says what went wrong as SaveSubtitles says it.
struct FlowStopped { };

// A save made while the file is read (LoadSubtitles with it as the flow),
// byte for byte what SaveSubtitles writes for the whole table: the rows the
// reader has settled go to the format's RowWriter a block at a time and leave
// the table. A format without one, or a table its RowWriterFn declines, keeps
// every row and is written whole at the end. Throws FlowStopped.
class FlowingSave : public RowFlow {
public:
    // Run on each block of settled rows before it is written: the batch
    // tools that change rows one by one.
    using RowsSettled = std::function<void(SubtitleTable& table, int firstRow, int lastRow)>;
    FlowingSave(const FormatInfo& format, SaveServices& services, RowsSettled settled = {});
    ~FlowingSave() override;

    // While it lives, the rows go to `out`; made before the reading starts,
    // and gone before `out` is (a file many windows long is written on a
    // thread of its own).
    class Writing {
    public:
        Writing(FlowingSave& save, TextSink& out);
        ~Writing();
        Writing(const Writing&) = delete;
        Writing& operator=(const Writing&) = delete;

    private:
        FlowingSave& save_;
    };

    void windowRead(SubtitleTable& table) override;
    bool keepsFileOf(std::string_view formatId) const override;
    bool rowsAsReadOf(std::string_view formatId) const override;
    // After the reading: the last rows and the end of the file.
    void finish(SubtitleTable& table);
    // DescribeUnwritten of all the rows, once finished.
    const std::string& unwritten() const { return description_; }

private:
    class Worker;
    void begin(const SubtitleTable& table);
    // Rows firstRow..lastRow to be written, keptRow the one after them that
    // the writer may look at.
    void hand(SubtitleTable& table, int firstRow, int lastRow, int keptRow, bool last);
    void write(SubtitleTable& table, int firstRow, int lastRow, bool last);

    const FormatInfo& format_;
    SaveServices& services_;
    RowsSettled settled_;
    Unwritten unwritten_;
    std::string description_;
    TextSink* out_ = nullptr;
    TextSink* sink_ = nullptr;
    std::unique_ptr<EncodingSink> encoded_;
    WriteContext context_;
    OutputEncoding as_;
    std::unique_ptr<RowWriter> writer_;
    bool begun_ = false;
    bool whole_ = false;
    bool filtering_ = false;
    SubtitleTable shown_; // the rows but comments, when they are left out
    int shownRows_ = 0, shownNext_ = 1;
    int preparedRows_ = 0; // the rows of the copy without comments whose writing was prepared
    int next_ = 1; // the next row to write
    int settle_ = 1; // the next row the batch tools run on
    std::unique_ptr<Worker> worker_;
};

inline const QString UnknownFormatMessage = QStringLiteral("Unknow subtitles format.");
inline const QString SaveFailedMessage = QStringLiteral("Subtiles file can't be saved!");

} // namespace tessel
