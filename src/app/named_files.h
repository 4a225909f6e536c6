#pragma once
#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>

// Files given to the editor from outside: named on its command line or
// dropped on the main window. They go through the same commands as the
// "Open subtitles", "Append subtitles" and "Open movie" buttons, only without
// their file dialogs.
namespace tessel::app {

class Editor;

inline const QString EditorUsage = QStringLiteral("Usage: tessel [SUBTITLE_FILE] [MOVIE_FILE]");

// Files as the editor takes them: a movie is told by its extension, anything
// else is taken for subtitles (detection then says whether it is).
struct SortedFiles {
    QString subtitles;
    QString movie;
    QStringList leftOut; // a second subtitle file or movie
    QStringList missing; // no such file
};
// A second film next to a first one that can hold subtitle tracks makes the
// first the subtitles (`tessel film.mkv film.mkv` opens both from one file);
// with `filmsAsSubtitles` (a drop with Ctrl held) such films are subtitles.
SortedFiles SortFiles(const QStringList& files, bool filmsAsSubtitles = false);
bool IsMovieFile(const QString& fileName);
// Matroska, WebM and MP4 files, whose text tracks open as subtitles.
bool CanHoldSubtitles(const QString& fileName);

// --help and --version print to `out` and give the exit status; anything else
// is left for OpenCommandLine once the windows are up.
std::optional<int> AnswerInfoOption(int argc, char* argv[], std::ostream& out);
// The arguments after the program's name; "--original FILE" opens FILE as
// the original of a translation once the other files are open. Errors are shown as the window
// shows them; the editor stays, empty where nothing could be opened.
void OpenCommandLine(Editor& editor, const QStringList& arguments);
// Opens (or with `append`, appends) the subtitle file and opens the movie.
void OpenFiles(Editor& editor, const SortedFiles& files, bool append);
// Files dropped on the main window open as OpenFiles does, appended with
// Shift held, films as subtitles with Ctrl held, once the drop itself is over.
void AcceptDroppedFiles(Editor& editor);

} // namespace tessel::app
