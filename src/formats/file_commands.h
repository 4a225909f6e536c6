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

// Read errors are not caught: they leave here with the rows read so far kept.
// An opened file (not an append) replaces what the last one kept for the
// whole document once it stored rows. An encoding that is unsure, with no
// chooser to ask, is named in the notes. With `films`, a film is read through
// the track it gives (no track chosen: `cancelled`); without, a film is a
// file of unknown format as before. Pictures of text go to `pictures`
// (declined there: `cancelled`); without it they are refused.
LoadResult LoadSubtitles(SubtitleTable& table, const std::string& fileName, bool append, FramerateSource& framerate,
    MessageSink& messages, const ReadEncoding& encoding = {}, FilmTrackSource* films = nullptr,
    PictureSubtitleReader* pictures = nullptr);

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

inline const QString UnknownFormatMessage = QStringLiteral("Unknow subtitles format.");
inline const QString SaveFailedMessage = QStringLiteral("Subtiles file can't be saved!");

} // namespace tessel
