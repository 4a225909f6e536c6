#include "app/styled_wiring.h"

#include "app/commands.h"
#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "app/translation_wiring.h"
#include "preview/movie_window.h"
#include "preview/styled_subtitles.h"

#include <QAction>
#include <QDir>
#include <QItemSelectionModel>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>

namespace tessel::app {

QString StyledWiring::SettingsFile()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tessel/movie-window.conf");
}

StyledWiring::StyledWiring(SubtitleTable& table, MainWindow& mainWindow, TFormMovie& movie, CommandRegistry& commands)
    : mainWindow_(mainWindow)
    , subtitles_(std::make_unique<StyledSubtitles>(table, movie.videoPlayer()))
    , commands_(commands)
    , movie_(movie)
{
    movie.popupZoom().addSeparator();
    styled_ = addChoice("movie.styled", "Styled subtitles on the picture",
        "The player draws the subtitles on the picture as they will look (styles, positions, colours)", "styled");
    currentRow_ = addChoice("movie.styledCurrentRow", "Styled: current row alone",
        "Only the grid's current row is drawn on the picture, at its times", "current-row-alone");
    original_ = addChoice("movie.styledOriginal", "Styled: original above",
        "A translation's original is drawn too, at the top of the picture", "original");
    SubtitleGrid& grid = mainWindow.grid();
    connect(grid.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex& current) { subtitles_->setCurrentRow(current.row() + 1); });
    subtitles_->setCurrentRow(grid.currentTableRow());
    connect(subtitles_.get(), &StyledSubtitles::failed, this, [this](const QString& reason) {
        mainWindow_.statusBar()->showMessage(QStringLiteral("Styled subtitles: %1").arg(reason), 10000);
    });
    apply();
}

StyledWiring::~StyledWiring() = default;

// A menu item and a command that both flip the choice.
QAction* StyledWiring::addChoice(const char* id, const char* name, const char* description, const char* key)
{
    QAction* item = movie_.popupZoom().addAction(QLatin1String(name));
    item->setObjectName(QLatin1String(id));
    item->setCheckable(true);
    item->setChecked(QSettings(SettingsFile(), QSettings::IniFormat).value(QLatin1String(key), false).toBool());
    item->setProperty("settingsKey", QLatin1String(key));
    connect(item, &QAction::triggered, this, [this] {
        apply();
        remember();
    });
    Command command;
    command.id = QLatin1String(id);
    command.name = QLatin1String(name);
    command.description = QLatin1String(description);
    command.run = [item] { item->trigger(); };
    commands_.add(std::move(command));
    return item;
}

void StyledWiring::follow(TranslationWiring& translation)
{
    translation_ = &translation;
    connect(&translation, &TranslationWiring::originalChanged, this, [this] { apply(); });
    connect(&movie_.popupZoom(), &QMenu::aboutToShow, original_,
        [this] { original_->setEnabled(translation_ && translation_->original()); });
    apply();
}

void StyledWiring::apply()
{
    subtitles_->setRows(currentRow_->isChecked() ? StyledSubtitles::Rows::Current : StyledSubtitles::Rows::All);
    const OriginalSubtitles* original = translation_ ? translation_->original() : nullptr;
    subtitles_->setOriginal(original && original_->isChecked() ? original->table : nullptr);
    subtitles_->setEnabled(styled_->isChecked());
}

// Written only when the user chooses, so that a run that never does leaves no file.
void StyledWiring::remember() const
{
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    for (QAction* item : { styled_, currentRow_, original_ })
        settings.setValue(item->property("settingsKey").toString(), item->isChecked());
}

} // namespace tessel::app
