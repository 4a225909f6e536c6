#include "app/ocr_wiring.h"

#include "app/commands.h"
#include "app/file_actions.h"
#include "app/main_window.h"
#include "app/ocr_review_window.h"
#include "app/window_places.h"
#include "core/errors.h"
#include "formats/registry.h"
#include "media/film_subtitles.h"
#include "picture/ocr_engine.h"
#include "tools/spell_check.h"

#include <QEventLoop>
#include <QInputDialog>
#include <QProgressDialog>
#include <QTimer>

namespace tessel::app {

std::string DictionaryForOcrLanguage(const std::string& language)
{
    static const std::pair<const char*, const char*> twoLetters[] = { { "eng", "en" }, { "fra", "fr" }, { "deu", "de" },
        { "spa", "es" }, { "ita", "it" }, { "por", "pt" }, { "nld", "nl" }, { "swe", "sv" }, { "dan", "da" },
        { "nor", "nb" }, { "fin", "fi" }, { "pol", "pl" }, { "ces", "cs" }, { "rus", "ru" } };
    const std::string first = language.substr(0, language.find('+'));
    std::string code;
    for (const auto& [three, two] : twoLetters)
        if (first == three) code = two;
    if (code.empty()) return {};
    std::string found;
    for (const Dictionary& d : InstalledDictionaries())
        if (d.language == code || d.language.rfind(code + "_", 0) == 0) {
            if (found.empty() || d.language == "en_US") found = d.language;
        }
    return found;
}

OcrWiring::OcrWiring(const ToolContext& tools, FileActions& files, TrackChooser& tracks)
    : tools_(tools)
{
    OcrServices services;
    services.keep = &pictures_;
    services.chooseLanguage = [this](const PictureSubtitleSource& source) {
        return chooseLanguage_ ? chooseLanguage_(source) : askLanguage(source);
    };
    services.run = [this](OcrJob& job) { run_ ? run_(job) : runWithProgress(job); };
    services.chooseTrack = [&tracks](const std::string& file, const std::vector<FilmTrack>& list) {
        std::vector<FilmTrack> offered = list;
        for (FilmTrack& t : offered)
            t.ocr = true;
        return tracks.ChooseTrack(file, offered);
    };
    // The language read in is kept for the review's dictionary.
    auto chooser = services.chooseLanguage;
    services.chooseLanguage = [this, chooser](const PictureSubtitleSource& source) {
        std::optional<std::string> language = chooser(source);
        if (language) language_ = *language;
        return language;
    };
    reader_ = std::make_unique<OcrSubtitleReader>(std::move(services));
    files.setPictureReading(
        reader_.get(), [this] { read(); }, [this](int fileType) { saved(fileType); });
    if (tools_.commands)
        tools_.commands->add({ QStringLiteral("ocr.review"), QStringLiteral("Review OCR\u2026"),
            QStringLiteral("The rows read from pictures by OCR, each beside its picture"), {}, KeyScope::Window, false,
            [this] { return pictures_.count() ? QString() : QStringLiteral("needs rows read from pictures"); },
            [this] { reviewWindow().open(); }, {} });
}

OcrWiring::~OcrWiring() = default;

OcrReviewWindow& OcrWiring::reviewWindow()
{
    if (!review_) {
        review_ = new OcrReviewWindow(tools_, pictures_, &tools_.mainWindow);
        KeepPlace(*review_, QStringLiteral("ocr-review"));
        if (tools_.commands) tools_.commands->addWindow(review_);
    }
    review_->setDictionary(DictionaryForOcrLanguage(language_));
    return *review_;
}

std::optional<std::string> OcrWiring::askLanguage(const PictureSubtitleSource& source)
{
    const std::vector<std::string> installed = OcrLanguages();
    if (installed.empty()) throw Error("No OCR language is installed: install Debian's tesseract-ocr-eng.");
    QStringList items;
    for (const std::string& l : installed)
        items << QString::fromStdString(l);
    const std::string preferred = language_.empty() ? DefaultOcrLanguage(source.language) : language_;
    bool ok = false;
    const QString chosen = QInputDialog::getItem(&tools_.mainWindow, QStringLiteral("Read pictures by OCR"),
        QStringLiteral("The subtitles are pictures. Read their text in:"), items,
        std::max(0, static_cast<int>(items.indexOf(QString::fromStdString(preferred)))), false, &ok);
    if (!ok) return std::nullopt;
    return chosen.toStdString();
}

// A modal progress window while the workers read; the editor keeps
// drawing itself, and Cancel keeps what was read.
void OcrWiring::runWithProgress(OcrJob& job)
{
    QProgressDialog dialog(
        QStringLiteral("Reading the pictures\u2026"), QStringLiteral("Cancel"), 0, 0, &tools_.mainWindow);
    dialog.setObjectName(QStringLiteral("OcrProgress"));
    dialog.setWindowTitle(QStringLiteral("OCR"));
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    QEventLoop loop;
    QTimer timer;
    QObject::connect(&dialog, &QProgressDialog::canceled, &dialog, [&job] { job.cancel(); });
    QObject::connect(&timer, &QTimer::timeout, &dialog, [&] {
        if (job.waitFor(std::chrono::milliseconds(0))) return loop.quit();
        if (job.total() > 0) {
            dialog.setMaximum(job.total());
            dialog.setValue(job.done());
            dialog.setLabelText(QStringLiteral("Reading subtitle %1 of %2\u2026").arg(job.done() + 1).arg(job.total()));
        }
    });
    timer.start(50);
    dialog.show();
    loop.exec();
}

void OcrWiring::read()
{
    if (pictures_.count() == 0) return;
    reviewWindow().open();
}

// Saved as text, the rows need their pictures no more.
void OcrWiring::saved(int fileType)
{
    const FormatInfo* format = FormatBySaveType(fileType);
    if (!format || format->picture) return;
    pictures_.clear();
    if (review_ && review_->isVisible()) review_->refresh();
}

} // namespace tessel::app
