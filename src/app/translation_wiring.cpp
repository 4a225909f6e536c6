#include "app/translation_wiring.h"

#include "app/commands.h"
#include "app/error_report.h"
#include "app/file_dialogs.h"
#include "app/main_window.h"
#include "app/reading_page.h"
#include "app/styled_wiring.h"
#include "app/subtitle_grid.h"
#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "preview/movie_window.h"
#include "tools/reading_check.h"

#include <QActionGroup>
#include <QColor>
#include <QComboBox>
#include <QFileInfo>
#include <QFont>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>

namespace tessel::app {
namespace {

const QString NeedsOriginal = QStringLiteral("needs an original (Open original)");
constexpr int ListedFindings = 30;

class NotedFramerate : public FramerateSource {
public:
    explicit NotedFramerate(FramerateSource& source)
        : source_(source)
    {
    }
    double ChooseFramerate(const QString& caption, const QString& prompt) override
    {
        return chosen = source_.ChooseFramerate(caption, prompt);
    }
    double chosen = 0;

private:
    FramerateSource& source_;
};

QString clockTime(int32_t frame, double framerate)
{
    try {
        const TimeValues t = MilisecondToTimeValues(FrameToTime(frame, framerate));
        return QStringLiteral("%1:%2:%3,%4")
            .arg(t.hours)
            .arg(t.minutes, 2, 10, QLatin1Char('0'))
            .arg(t.seconds, 2, 10, QLatin1Char('0'))
            .arg(t.milliseconds, 3, 10, QLatin1Char('0'));
    } catch (const Error&) {
        return {};
    }
}

int linesInUse(const SubtitleTable& table)
{
    int lines = 1;
    for (int row = 1; row < table.rowCount() && lines < 3; ++row)
        for (int column = SubtitleTable::Line3; column > SubtitleTable::Line1 + lines - 1; --column)
            if (!table.cell(column, row).empty()) lines = column - SubtitleTable::Line1 + 1;
    return lines;
}

} // namespace

TranslationWiring::TranslationWiring(const TranslationServices& services)
    : services_(services)
{
    services_.table.addRecorder(this);
    closingHook_ = services_.history.addClosingHook([this] { followRowMoves(); });
    // A replay brings the pairing back as it was: the moves it made are in it.
    historyObserver_ = services_.history.addObserver([this](EditHistory::Event event) {
        if (event != EditHistory::Event::StepAdded && event != EditHistory::Event::StepMerged) rowMoves_.clear();
    });
    services_.mainWindow.grid().subtitleModel().setExtraColumns(this);
    registerCommands();
    if (services_.movie)
        connect(&services_.movie->videoPlayer(), &VideoPlayer::timer, this, [this] { showOriginalAtFrame(); });
    refresh();
}

TranslationWiring::~TranslationWiring()
{
    services_.mainWindow.grid().subtitleModel().setExtraColumns(nullptr);
    services_.history.removeObserver(historyObserver_);
    services_.history.removeClosingHook(closingHook_);
    services_.table.removeRecorder(this);
}

void TranslationWiring::registerCommands()
{
    CommandRegistry& commands = services_.commands;
    const auto needsOriginal = [this] { return available(); };
    const auto add = [&](const char* id, const char* name, const char* description, std::function<void()> run,
                         std::function<QString()> unavailable, QKeySequence key = {}) {
        Command command;
        command.id = QLatin1String(id);
        command.name = QLatin1String(name);
        command.description = QLatin1String(description);
        command.key = key;
        command.inGridMenu = true;
        command.unavailable = std::move(unavailable);
        command.run = std::move(run);
        commands.add(std::move(command));
    };
    add(
        "translation.open", "Open original",
        "Reads a subtitle file as the original of a translation, shown read-only beside the rows",
        [this] { chooseOriginal(); }, nullptr, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    add(
        "translation.start", "Start translation from original",
        "Makes the table a copy of the original's rows, their times with empty text (one undo step)",
        [this] { startTranslation(false); }, needsOriginal);
    add(
        "translation.startCopied", "Start translation from original with its text",
        "Makes the table a copy of the original's rows, their times and their text (one undo step)",
        [this] { startTranslation(true); }, needsOriginal);
    add(
        "translation.pairByTime", "Pair original by time", "Shows each original row beside the row it overlaps longest",
        [this] { setPairing(PairingMode::ByTime); },
        [this] {
            const QString why = available();
            return !why.isEmpty() || pairingMode() != PairingMode::ByTime ? why : QStringLiteral("paired by time");
        });
    add(
        "translation.pairByRow", "Pair original by row number",
        "Shows original row n beside row n; inserted and deleted rows keep the others in place",
        [this] { setPairing(PairingMode::ByRow); },
        [this] {
            const QString why = available();
            return !why.isEmpty() || pairingMode() != PairingMode::ByRow ? why : QStringLiteral("paired by row number");
        });
    add(
        "translation.columns", "Show or hide original columns",
        "Hides the original's columns in the grid, or shows them again", [this] { setColumnsShown(!columnsShown_); },
        needsOriginal);
    add(
        "translation.readingCheck", "Check original's reading speed",
        "Runs the Reading page's check over the original and lists what it finds; the original is not changed",
        [this] { checkOriginalReading(); }, needsOriginal);
    add(
        "translation.close", "Close original", "Takes the original away from the document (one undo step)",
        [this] { closeOriginal(); }, needsOriginal);
    if (!services_.movie) return;
    // Under the picture: the movie window's menu and the registry both choose.
    QMenu& menu = services_.movie->popupZoom();
    menu.addSeparator();
    auto* group = new QActionGroup(this);
    const std::pair<const char*, TFormMovie::ShownText> choices[] = {
        { "Text: translation", TFormMovie::ShownText::Translation },
        { "Text: original", TFormMovie::ShownText::Original },
        { "Text: original above translation", TFormMovie::ShownText::Both },
    };
    const char* const ids[] = { "movie.showTranslation", "movie.showOriginal", "movie.showBoth" };
    for (int i = 0; i < 3; ++i) {
        QAction* item = menu.addAction(QLatin1String(choices[i].first));
        item->setObjectName(QLatin1String(ids[i]));
        item->setCheckable(true);
        // The choice is remembered with the movie window's others.
        const QString remembered = QSettings(StyledWiring::SettingsFile(), QSettings::IniFormat)
                                       .value(QStringLiteral("text"), QStringLiteral("translation"))
                                       .toString();
        const QString name = QString::fromLatin1(ids[i]).mid(10).toLower(); // "translation", "original", "both"
        item->setChecked(remembered == name);
        if (remembered == name) shownChoice_ = static_cast<int>(choices[i].second);
        group->addAction(item);
        const TFormMovie::ShownText shown = choices[i].second;
        const auto choose = [this, item, shown, name] {
            item->setChecked(true);
            shownChoice_ = static_cast<int>(shown);
            QSettings(StyledWiring::SettingsFile(), QSettings::IniFormat).setValue(QStringLiteral("text"), name);
            services_.movie->setShownText(original_ ? shown : TFormMovie::ShownText::Translation);
            showOriginalAtFrame();
        };
        connect(item, &QAction::triggered, this, [this, choose] { services_.errors.run(choose); });
        connect(&menu, &QMenu::aboutToShow, item, [this, item] { item->setEnabled(original_.has_value()); });
        Command command;
        command.id = QLatin1String(ids[i]);
        command.name = QStringLiteral("Movie window ") + QString::fromLatin1(choices[i].first).toLower();
        command.description = QStringLiteral("What the text under the picture shows while an original is open");
        command.unavailable = needsOriginal;
        command.run = choose;
        commands.add(std::move(command));
    }
}

QString TranslationWiring::available() const { return original_ ? QString() : NeedsOriginal; }

// --- the document's side data -------------------------------------------

void TranslationWiring::cellsChanging(int, unsigned columns, const std::string_view*)
{
    if (!(columns & ((1u << SubtitleTable::From) | (1u << SubtitleTable::To)))) return;
    pairingStale_ = true;
    refreshSoon();
}

void TranslationWiring::rowsInserted(int row, int count)
{
    // A reader stores its rows one after the other: one move.
    if (!rowMoves_.empty() && rowMoves_.back().second > 0 && rowMoves_.back().first + rowMoves_.back().second == row)
        rowMoves_.back().second += count;
    else
        rowMoves_.emplace_back(row, count);
    pairingStale_ = true;
    refreshSoon();
}

void TranslationWiring::rowsRemoving(int row, int count)
{
    rowMoves_.emplace_back(row, -count);
    pairingStale_ = true;
    refreshSoon();
}

void TranslationWiring::tableReplaced()
{
    // Every row is new: no move of the old ones is left to follow.
    rowMoves_.clear();
    pairingStale_ = true;
    refreshSoon();
}

void TranslationWiring::sideDataChanging(std::string_view key, std::string_view)
{
    if (key != OriginalSideKey && key != PairingSideKey) return;
    // Whoever sets the pairing sets it for the rows as they stand.
    if (key == PairingSideKey) rowMoves_.clear();
    sideDataStale_ = true;
    refreshSoon();
}

// Inside the step that moved rows: the anchors move with them, and undo
// takes both back together.
void TranslationWiring::followRowMoves()
{
    if (rowMoves_.empty()) return;
    const std::vector<std::pair<int, int>> moves = std::exchange(rowMoves_, {});
    if (sideDataStale_) readSideData();
    if (!original_ || choice_.mode != PairingMode::ByRow) return;
    PairingChoice moved = choice_;
    for (const auto& [row, count] : moves) {
        if (count > 0)
            AnchorsAfterInsert(moved.anchors, row, count);
        else
            AnchorsAfterRemove(moved.anchors, row, -count);
    }
    if (moved.anchors == choice_.anchors) return;
    services_.table.setSideData(PairingSideKey, EncodePairing(moved));
    choice_ = std::move(moved);
    sideDataStale_ = false;
    pairingStale_ = true;
}

void TranslationWiring::readSideData()
{
    sideDataStale_ = false;
    pairingStale_ = true;
    const std::string& data = services_.table.sideData(OriginalSideKey);
    const int rows = services_.table.rowCount() - 1;
    if (data.empty()) {
        original_.reset();
    } else if (!original_ || decoded_ != data) {
        try {
            original_ = DecodeOriginal(data);
        } catch (const Error& error) {
            original_.reset();
            services_.mainWindow.statusBar()->showMessage(QString::fromUtf8(error.what()));
        }
    }
    decoded_ = original_ ? data : std::string();
    if (!original_) {
        choice_ = {};
        spans_ = {};
        return;
    }
    choice_ = DecodePairing(services_.table.sideData(PairingSideKey), original_->rowCount(), rows);
    spans_ = SpanIndex(original_->spans);
    lineColumns_ = linesInUse(*original_->table);
}

const OriginalSubtitles* TranslationWiring::original()
{
    if (sideDataStale_) refresh();
    return original_ ? &*original_ : nullptr;
}

const Pairing& TranslationWiring::pairing()
{
    if (sideDataStale_) refresh();
    if (pairingStale_ && original_) pairing_ = Pairing(*original_, services_.table, choice_);
    pairingStale_ = false;
    return pairing_;
}

PairingMode TranslationWiring::pairingMode()
{
    if (sideDataStale_) refresh();
    return choice_.mode;
}

void TranslationWiring::refreshSoon()
{
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] { refresh(); });
}

void TranslationWiring::refresh()
{
    refreshQueued_ = false;
    const bool documentChanged = sideDataStale_;
    if (documentChanged) readSideData();
    SubtitleModel& model = services_.mainWindow.grid().subtitleModel();
    const int columnsBefore = model.extraColumnCount();
    model.extraColumnsChanged();
    if (model.extraColumnCount() != columnsBefore) services_.mainWindow.grid().fitColumns();
    if (!documentChanged) return;
    if (services_.movie) {
        services_.movie->setShownText(
            original_ ? static_cast<TFormMovie::ShownText>(shownChoice_) : TFormMovie::ShownText::Translation);
        showOriginalAtFrame();
    }
    emit originalChanged();
}

// --- the commands ---------------------------------------------------------

void TranslationWiring::chooseOriginal()
{
    if (const std::optional<QString> file = services_.dialogs.chooseSubtitleFile()) openOriginal(*file);
}

void TranslationWiring::openOriginal(const QString& fileName)
{
    SubtitleTable read;
    NotedFramerate framerate(services_.framerate);
    const LoadResult result = LoadSubtitles(
        read, fileName.toStdString(), false, framerate, services_.messages, ReadEncoding { {}, services_.encoding });
    if (result.format == FormatCode::Unknown || result.cancelled) return;
    if (read.revision() == 0) {
        services_.messages.showError(QStringLiteral("No subtitles were read from the original %1.").arg(fileName));
        return;
    }
    OriginalSubtitles original
        = MakeOriginal(read, fileName.toStdString(), FormatByCode(result.format)->id, framerate.chosen);
    const int rows = services_.table.rowCount() - 1;
    const PairingChoice choice = DefaultPairing(original.rowCount(), rows);
    // Only the translation is ever saved: an original alone is nothing to save.
    const bool modified = services_.history.isModified();
    {
        EditHistory::Step step(services_.history, "Open original");
        std::string encoded = EncodeOriginal(original);
        services_.table.setSideData(OriginalSideKey, encoded);
        services_.table.setSideData(PairingSideKey, EncodePairing(choice));
        // What the side data now holds, without decoding it again.
        decoded_ = std::move(encoded);
        original_ = std::move(original);
    }
    if (!modified) services_.history.markSaved();
    refresh();
    services_.mainWindow.statusBar()->showMessage(
        QStringLiteral("Original %1: %2 rows, paired %3.")
            .arg(QFileInfo(fileName).fileName())
            .arg(original_ ? original_->rowCount() : 0)
            .arg(choice.mode == PairingMode::ByTime ? QStringLiteral("by time") : QStringLiteral("by row number")));
}

void TranslationWiring::closeOriginal()
{
    if (!original()) return;
    EditHistory::Step step(services_.history, "Close original");
    services_.table.setSideData(OriginalSideKey, {});
    services_.table.setSideData(PairingSideKey, {});
}

void TranslationWiring::startTranslation(bool copyText)
{
    const OriginalSubtitles* source = original();
    if (!source) return;
    const OriginalSubtitles kept = *source; // the table's side data stays as it is
    {
        EditHistory::Step step(services_.history,
            copyText ? "Start translation from original with its text" : "Start translation from original");
        StartTranslation(services_.table, kept, copyText);
        services_.table.setSideData(
            PairingSideKey, EncodePairing(DefaultPairing(kept.rowCount(), services_.table.rowCount() - 1)));
    }
    services_.mainWindow.grid().selectCell(SubtitleTable::Line1, 1);
    services_.mainWindow.grid().setTopRow(1);
}

void TranslationWiring::setPairing(PairingMode mode)
{
    const OriginalSubtitles* source = original();
    if (!source || choice_.mode == mode) return;
    PairingChoice choice { mode, {} };
    if (mode == PairingMode::ByRow) choice.anchors = RowAnchors(source->rowCount(), services_.table.rowCount() - 1);
    EditHistory::Step step(
        services_.history, mode == PairingMode::ByTime ? "Pair original by time" : "Pair original by row number");
    services_.table.setSideData(PairingSideKey, EncodePairing(choice));
}

void TranslationWiring::setColumnsShown(bool shown)
{
    columnsShown_ = shown;
    refresh();
}

void TranslationWiring::checkOriginalReading()
{
    const OriginalSubtitles* source = original();
    if (!source) return;
    ReadingPage& page = services_.mainWindow.readingPage();
    const ReadingProfile* profile = page.currentProfile();
    const std::optional<double> framerate
        = TryStrToFloat(page.framerate()->currentText().toStdString(), services_.decimalSeparator);
    if (!profile) return;
    if (!framerate || !(*framerate > 0)) {
        services_.messages.showError(QStringLiteral("Invalid framerate!"));
        return;
    }
    const ReadingRules rules(*profile, *framerate, page.rules());
    QStringList lines;
    int found = 0;
    for (int row = 1; row < source->table->rowCount(); ++row)
        rules.forEachFinding(
            *source->table, row,
            [&](const ReadingFinding& finding) {
                if (++found <= ListedFindings)
                    lines << QStringLiteral("Row %1: %2")
                                 .arg(row)
                                 .arg(QString::fromStdString(rules.message(finding, services_.decimalSeparator)));
                return true;
            },
            false);
    if (found > ListedFindings) lines << QStringLiteral("... and %1 more.").arg(found - ListedFindings);
    const QString head = QStringLiteral("The original %1 against \"%2\": %3 finding(s).")
                             .arg(QFileInfo(QString::fromStdString(source->fileName)).fileName(),
                                 QString::fromStdString(profile->name))
                             .arg(found);
    services_.messages.showMessage(QStringLiteral("Done"),
        lines.isEmpty() ? head : head + QStringLiteral("\n\n") + lines.join(QLatin1Char('\n')),
        MessageIcon::Information);
}

// --- the grid's columns and the movie window ----------------------------

int TranslationWiring::count() const { return original_ && columnsShown_ ? lineColumns_ : 0; }

QString TranslationWiring::header(int column) const { return QStringLiteral("Original %1").arg(column + 1); }

QString TranslationWiring::describeRow(int i) const
{
    const SubtitleTable& table = *original_->table;
    QString text = QStringLiteral("Original row %1").arg(i + 1);
    if (const std::optional<FrameSpan>& span = original_->spans[i]) {
        text += QStringLiteral(", frames %1-%2").arg(span->start).arg(span->end);
        if (original_->framerate > 0)
            text += QStringLiteral(" (%1 - %2)")
                        .arg(clockTime(span->start, original_->framerate), clockTime(span->end, original_->framerate));
    }
    QStringList lines;
    for (int column = SubtitleTable::Line1; column <= SubtitleTable::Line3; ++column)
        if (!table.cell(column, i + 1).empty()) lines << table.text(column, i + 1);
    return text + QStringLiteral(": ") + lines.join(QStringLiteral(" | "));
}

QString TranslationWiring::tooltip(int row) const
{
    QStringList parts;
    for (int i : pairing_.originalsBeside(row))
        parts << describeRow(i)
                + (pairing_.unpaired(i) ? QStringLiteral("\n  (overlaps no row: shown beside the nearest)")
                                        : QString());
    if (parts.isEmpty() && pairing_.continued(row) >= 0) {
        const int i = pairing_.continued(row);
        parts << describeRow(i)
                + QStringLiteral("\n  (shown beside row %1, goes on over this row)").arg(pairing_.rowOf(i));
    }
    return parts.join(QLatin1Char('\n'));
}

QVariant TranslationWiring::data(int column, int row, int role) const
{
    if (!original_) return {};
    if (pairingStale_) {
        pairing_ = Pairing(*original_, services_.table, choice_);
        pairingStale_ = false;
    }
    const std::vector<int> beside = pairing_.originalsBeside(row);
    switch (role) {
    case Qt::DisplayRole: {
        if (beside.empty()) return column == 0 && pairing_.continued(row) >= 0 ? QStringLiteral("\u2026") : QString();
        QStringList texts;
        for (int i : beside)
            if (!original_->table->cell(SubtitleTable::Line1 + column, i + 1).empty())
                texts << original_->table->text(SubtitleTable::Line1 + column, i + 1);
        return texts.join(QStringLiteral(" / "));
    }
    case Qt::ToolTipRole:
        return tooltip(row);
    case Qt::ForegroundRole:
        return QColor(Qt::gray);
    case Qt::BackgroundRole:
        return QColor(246, 246, 246);
    case Qt::FontRole: {
        const bool unpaired
            = !beside.empty() && std::all_of(beside.begin(), beside.end(), [&](int i) { return pairing_.unpaired(i); });
        if (!unpaired) return {};
        QFont font = services_.mainWindow.grid().font();
        font.setItalic(true);
        return font;
    }
    default:
        return {};
    }
}

// Every original row shown at the frame on screen, their lines one under the
// other, three at most.
void TranslationWiring::showOriginalAtFrame()
{
    if (!services_.movie) return;
    QStringList lines;
    if (original_) {
        const SubtitleTable& table = *original_->table;
        for (int i : spans_.at(services_.movie->videoPlayer().frameOnScreen()))
            for (int column = SubtitleTable::Line1; column <= SubtitleTable::Line3; ++column)
                if (!table.cell(column, i + 1).empty() && lines.size() < 3) lines << table.text(column, i + 1);
    }
    services_.movie->setOriginalText(lines.join(QLatin1Char('\n')));
}

} // namespace tessel::app
