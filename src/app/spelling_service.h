#pragma once
#include "tools/spell_check.h"

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class QThread;

// The dictionary the window checks with: one of the installed ones, the
// choice kept in $XDG_CONFIG_HOME/tessel/spelling.ini. It is read on a thread
// of its own the first time something asks for it, so the editor starts as
// fast as without it, and once a run: every editor of the process shares it.
namespace tessel::app {

class SpellingService : public QObject {
    Q_OBJECT
public:
    explicit SpellingService(QObject* parent = nullptr);
    ~SpellingService() override;

    std::vector<std::string> languages() const;
    // Empty when no dictionary is installed.
    const std::string& language() const { return language_; }
    // Keeps the choice for the next runs; the new speller is read at once.
    void setLanguage(const std::string& language);

    // The speller when it is ready; otherwise it starts reading it and says
    // ready() when it is.
    Speller* speller();
    // Reads it now if it is not there yet. Throws Error.
    Speller& waitForSpeller();
    // Why there is no speller ("No Hunspell dictionary is installed."), once a read failed.
    const QString& problem() const { return problem_; }

    // Whether the grid underlines misspelled words; kept with the language.
    bool underline() const { return underline_; }
    void setUnderline(bool on);

    // Something else is accepted now (a word ignored or added, another
    // language): views look again.
    void tellChanged() { emit changed(); }

signals:
    void ready();
    void changed();

private:
    void startReading();
    void finishReading();
    void save() const;

    std::string language_;
    bool underline_ = true;
    std::shared_ptr<Speller> speller_;
    QString problem_;
    QThread* reader_ = nullptr;
    std::shared_ptr<Speller> read_; // filled on the reading thread
    std::string readError_;
};

} // namespace tessel::app
