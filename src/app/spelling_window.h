#pragma once
#include "app/tool_wiring.h"
#include "tools/spell_check.h"

#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// The "Spelling" window: walks the words not in the dictionary from the
// current cell on, round the table once, each one's cell made current. Change
// and Change all are an undo step each; Ignore all lasts the run; Add to my
// dictionary keeps the word for every file in this language.
namespace tessel::app {

class SpellingService;

class SpellingWindow : public QWidget {
    Q_OBJECT
public:
    SpellingWindow(const ToolContext& context, SpellingService& spelling, QWidget* parent);

    // Shows the window on the first word from the current cell on.
    void start();

    void change();
    void changeAll();
    void ignore();
    void ignoreAll();
    void addToDictionary();

    const std::optional<SpellFinding>& finding() const { return finding_; }
    QComboBox* language() const { return language_; }
    QLabel* context() const { return context_; }
    QLineEdit* changeTo() const { return changeTo_; }
    QListWidget* suggestions() const { return suggestions_; }
    QLabel* status() const { return status_; }

private:
    void fillLanguages();
    void chooseLanguage();
    // The next word from (row, column, offset); round the table to where the walk started.
    void next(int row, int column, size_t offset);
    void show(const SpellFinding& finding);
    void finish(const QString& text);
    Speller* speller();

    ToolContext tools_;
    SpellingService& spelling_;
    QComboBox* language_ = nullptr;
    QLabel* context_ = nullptr;
    QLineEdit* changeTo_ = nullptr;
    QListWidget* suggestions_ = nullptr;
    QLabel* status_ = nullptr;
    std::vector<QPushButton*> answers_;
    std::optional<SpellFinding> finding_;
    int startRow_ = 1, startColumn_ = SubtitleTable::Line1;
    bool wrapped_ = false;
};

} // namespace tessel::app
