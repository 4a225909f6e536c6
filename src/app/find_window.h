#pragma once
#include "app/tool_wiring.h"
#include "tools/find_replace.h"

#include <QWidget>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

// The "Find" window: plain text or a regular expression, match case, whole
// words, in the text lines or in all columns. Each match makes its cell
// current; Replace changes the match found and goes on to the next, Replace
// all changes every match as one undo step, and "List all" shows every
// change Replace all would make before it is made.
namespace tessel::app {

class FindWindow : public QWidget {
    Q_OBJECT
public:
    FindWindow(const ToolContext& context, QWidget* parent);

    // Shows the window with the find (or the replace) text selected.
    void showFind();
    void showReplace();
    // The next or previous match from the last one found, or from the
    // current cell when that moved since; false when there is none.
    bool findNext(bool backwards = false);
    void replaceOne();
    void replaceAll();
    void listAll();

    QLineEdit* findText() const { return find_; }
    QLineEdit* replaceText() const { return replace_; }
    QCheckBox* regex() const { return regex_; }
    QCheckBox* matchCase() const { return matchCase_; }
    QCheckBox* wholeWords() const { return wholeWords_; }
    QComboBox* scope() const { return scope_; } // 0: text lines, 1: all columns
    QTreeWidget* preview() const { return preview_; }
    QLabel* status() const { return status_; }

private:
    std::optional<TextSearch> search();
    void say(const QString& text);
    void select(const FoundMatch& match);

    ToolContext context_;
    QLineEdit* find_ = nullptr;
    QLineEdit* replace_ = nullptr;
    QCheckBox* regex_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeWords_ = nullptr;
    QComboBox* scope_ = nullptr;
    QTreeWidget* preview_ = nullptr;
    QLabel* status_ = nullptr;
    std::optional<FoundMatch> last_;
    int lastColumn_ = 0, lastRow_ = 0; // the cell the last match made current
};

} // namespace tessel::app
