#pragma once
#include "core/subtitle_table.h"

#include <QObject>
#include <QString>
#include <memory>

class QAction;

namespace tessel {
class StyledSubtitles;
class TFormMovie;
} // namespace tessel

// "Styled subtitles on the picture": the choices in the movie window's pop-up
// menu (and the command registry), remembered in
// $XDG_CONFIG_HOME/tessel/movie-window.conf, and what the player draws
// following the grid's current row and the translation's original.
namespace tessel::app {

class CommandRegistry;
class MainWindow;
class TranslationWiring;

class StyledWiring : public QObject {
    Q_OBJECT
public:
    StyledWiring(SubtitleTable& table, MainWindow& mainWindow, TFormMovie& movie, CommandRegistry& commands);
    ~StyledWiring() override;

    // The original is drawn above the rows while it is chosen.
    void follow(TranslationWiring& translation);
    StyledSubtitles& subtitles() { return *subtitles_; }
    QAction* styledItem() const { return styled_; }
    QAction* currentRowItem() const { return currentRow_; }
    QAction* originalItem() const { return original_; }

    static QString SettingsFile();

private:
    QAction* addChoice(const char* id, const char* name, const char* description, const char* key);
    void apply();
    void remember() const;

    MainWindow& mainWindow_;
    std::unique_ptr<StyledSubtitles> subtitles_;
    TranslationWiring* translation_ = nullptr;
    QAction* styled_ = nullptr;
    QAction* currentRow_ = nullptr;
    QAction* original_ = nullptr;
    CommandRegistry& commands_;
    TFormMovie& movie_;
};

} // namespace tessel::app
