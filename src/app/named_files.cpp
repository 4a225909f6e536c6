#include "app/named_files.h"

#include "app/editor.h"
#include "app/file_actions.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/playback_wiring.h"
#include "app/translation_wiring.h"
#include "preview/playback_controller.h"
#include "tessel_version.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstring>

namespace tessel::app {
namespace {

const QString HelpText = EditorUsage
    + QStringLiteral("\n\n"
                     "Opens SUBTITLE_FILE as \"Open subtitles\" does and MOVIE_FILE as \"Open movie\" does.\n"
                     "A movie is told by its extension (.mkv .mp4 .avi .webm .mov .mpg .ts .ogv ...), in any order.\n"
                     "Of two films the first opens as subtitles (its text track): tessel film.mkv film.mkv.\n"
                     "Files dropped on the window open the same way; with Shift held, subtitles are appended,\n"
                     "with Ctrl held, a film opens as subtitles.\n\n"
                     "  --original FILE  open FILE as the original of a translation, beside the rows\n"
                     "  --help     print this text and exit\n"
                     "  --version  print the version and exit\n");

// The containers mpv plays that people keep films in.
const QStringList MovieExtensions { "3gp", "asf", "avi", "divx", "flv", "m2ts", "m4v", "mkv", "mov", "mp4", "mpeg",
    "mpg", "mts", "ogm", "ogv", "ts", "vob", "webm", "wmv" };

void showProblems(Editor& editor, const SortedFiles& files)
{
    MessageSink& messages = editor.messages();
    for (const QString& file : files.missing)
        messages.showError(QStringLiteral("No such file: %1").arg(file));
    if (!files.leftOut.isEmpty())
        messages.showMessage(QStringLiteral("Warning"),
            QStringLiteral("Only one subtitle file and one movie are opened at a time. Not opened:\n%1")
                .arg(files.leftOut.join(QLatin1Char('\n'))),
            MessageIcon::Warning);
}

class DropTarget : public QObject {
public:
    DropTarget(Editor& editor, QObject* parent)
        : QObject(parent)
        , editor_(editor)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!drag->mimeData()->hasUrls()) return false;
            drag->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasUrls()) return false;
            drop->acceptProposedAction();
            QStringList files, remote;
            for (const QUrl& url : drop->mimeData()->urls())
                (url.isLocalFile() ? files : remote) << (url.isLocalFile() ? url.toLocalFile() : url.toString());
            const bool append = drop->modifiers() & Qt::ShiftModifier;
            const bool filmsAsSubtitles = drop->modifiers() & Qt::ControlModifier;
            // Dialogs must not run inside the drop: the other program waits for its end.
            QTimer::singleShot(0, this, [this, files, remote, append, filmsAsSubtitles] {
                for (const QString& url : remote)
                    editor_.messages().showError(
                        QStringLiteral("Only files on this computer can be opened: %1").arg(url));
                OpenFiles(editor_, SortFiles(files, filmsAsSubtitles), append);
            });
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    Editor& editor_;
};

} // namespace

bool IsMovieFile(const QString& fileName) { return MovieExtensions.contains(QFileInfo(fileName).suffix().toLower()); }

bool CanHoldSubtitles(const QString& fileName)
{
    static const QStringList containers { "mkv", "mk3d", "webm", "mp4", "m4v", "mov" };
    return containers.contains(QFileInfo(fileName).suffix().toLower());
}

SortedFiles SortFiles(const QStringList& files, bool filmsAsSubtitles)
{
    SortedFiles sorted;
    for (const QString& file : files) {
        const bool movie = IsMovieFile(file) && !(filmsAsSubtitles && CanHoldSubtitles(file));
        if (!QFileInfo::exists(file))
            sorted.missing << file;
        else if (QString& slot = movie ? sorted.movie : sorted.subtitles; slot.isEmpty())
            slot = file;
        else
            sorted.leftOut << file;
    }
    // No subtitle file but a second film: the first one's text tracks are the subtitles.
    if (sorted.subtitles.isEmpty() && !sorted.movie.isEmpty() && CanHoldSubtitles(sorted.movie)) {
        const auto second = std::find_if(sorted.leftOut.begin(), sorted.leftOut.end(), IsMovieFile);
        if (second != sorted.leftOut.end()) {
            sorted.subtitles = sorted.movie;
            sorted.movie = *second;
            sorted.leftOut.erase(second);
        }
    }
    return sorted;
}

std::optional<int> AnswerInfoOption(int argc, char* argv[], std::ostream& out)
{
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            out << HelpText.toStdString();
            return 0;
        }
        if (!std::strcmp(argv[i], "--version")) {
            out << "tessel " << Version << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

void OpenCommandLine(Editor& editor, const QStringList& arguments)
{
    QStringList files, unknown, originals;
    bool optionsEnd = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnd && argument == QLatin1String("--"))
            optionsEnd = true;
        else if (!optionsEnd && argument == QLatin1String("--original") && i + 1 < arguments.size())
            originals << arguments[++i];
        else if (!optionsEnd && argument.startsWith(QLatin1String("--original=")))
            originals << argument.mid(11);
        else if (!optionsEnd && argument.size() > 1 && argument.startsWith(QLatin1Char('-')))
            unknown << argument;
        else
            files << argument;
    }
    for (const QString& option : unknown)
        editor.messages().showError(QStringLiteral("Unknown option: %1\n%2").arg(option, EditorUsage));
    OpenFiles(editor, SortFiles(files), false);
    // After the translation, whose Open would take an original away.
    for (const QString& original : originals.mid(0, 1)) {
        if (!QFileInfo::exists(original))
            editor.messages().showError(QStringLiteral("No such file: %1").arg(original));
        else
            editor.errorReport().run([&] { editor.translation().openOriginal(original); });
    }
}

void OpenFiles(Editor& editor, const SortedFiles& files, bool append)
{
    showProblems(editor, files);
    if (!files.subtitles.isEmpty()) {
        // The open dialog starts from this file next time, as if it had been chosen there.
        editor.platformFileDialogs().openDialog().selectFile(files.subtitles);
        editor.errorReport().run([&] {
            if (append)
                editor.fileActions().appendFile(files.subtitles);
            else
                editor.fileActions().openFile(files.subtitles);
        });
    }
    if (files.movie.isEmpty()) return;
    if (!editor.playback()) {
        editor.messages().showError(QStringLiteral("There is no movie window to play %1 in.").arg(files.movie));
        return;
    }
    editor.errorReport().run([&] { editor.playback()->controller().OpenMovie(files.movie); });
}

void AcceptDroppedFiles(Editor& editor)
{
    MainWindow& window = editor.mainWindow();
    window.setAcceptDrops(true);
    window.installEventFilter(new DropTarget(editor, &window));
}

} // namespace tessel::app
