#pragma once
#include "app/key_settings.h"

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QWidget;

// Every command beyond the specified buttons, in one list: its name and a
// line on what it does, its key, when it can run and what it runs. The keys,
// the grid's pop-up menu items below the specified ones, the command palette
// and the README's key table all come from here.
namespace tessel::app {

class ErrorReport;
class SubtitleGrid;

// Where a command's key works.
enum class KeyScope {
    // The grid focused with no cell editor open, and the windows added with
    // addWindow to have them (the Waveform window): the timing keys.
    Grid,
    // Anywhere in the main window and in the windows added with addWindow.
    Window,
};

struct Command {
    QString id; // stable: the keys file names commands by it ("sync.open")
    QString name; // "Synchronise"
    QString description; // one short line: what it does
    QKeySequence key; // the default; empty: none
    KeyScope scope = KeyScope::Window;
    bool inGridMenu = false; // also an item of the grid's pop-up menu
    // Why it cannot run now ("needs a movie"); empty: it can. nullptr: always.
    std::function<QString()> unavailable;
    std::function<void()> run;
    // Keys beside `key` that do the same ("Ctrl+Shift+Z" beside "Ctrl+Y").
    QList<QKeySequence> moreKeys;
    // An item of the grid's pop-up menu made elsewhere, whose text follows
    // the state ("Undo Edit cell"): it shows the keys, and the description
    // with them as its tooltip; its owner enables it and connects it.
    QAction* menuItem = nullptr;
};

class CommandRegistry : public QObject {
    Q_OBJECT
public:
    CommandRegistry(SubtitleGrid& grid, QWidget& mainWindow, ErrorReport& errors);
    ~CommandRegistry() override;

    // Takes effect at once: the key on the grid or the main window (and every
    // window added), the pop-up menu item. An id given twice is a mistake.
    void add(Command command);
    // The keys of every command, present and later, while `window` is active;
    // without `gridKeys`, those of the Window scope only.
    void addWindow(QWidget* window, bool gridKeys = true);

    const std::vector<std::unique_ptr<Command>>& commands() const { return commands_; }
    const Command* find(const QString& id) const;
    // Empty when the command can run now.
    QString unavailableReason(const Command& command) const;
    // Runs it through the error report; false when it is unknown or cannot run now.
    bool run(const QString& id);

    // The key in effect: the user's choice, or the default.
    QKeySequence key(const Command& command) const;
    // Every key in effect: the user's choice, or the default and moreKeys.
    QList<QKeySequence> keys(const Command& command) const;
    // Changes the key in effect (an empty sequence: none). The caller checks
    // for clashes first; see refusal.
    void setKey(const QString& id, const QKeySequence& key);
    // The command whose key this already is, other than `id`, or nullptr.
    const Command* keyClash(const QString& id, const QKeySequence& key) const;
    // Why `id` cannot have `key`: a key the grid or the window keeps for
    // itself, or another command's (named); empty when it can.
    QString refusal(const QString& id, const QKeySequence& key) const;
    // Every command's default key back.
    void resetKeys();
    // `widget`'s tooltip lists the command's keys from now on, as they change.
    void showKeysAsToolTip(QWidget* widget, const QString& id);

    // The user's keys are read from the keys file (see key_settings.h) when
    // the registry is made and given to each command as it is added; what
    // cannot be used is listed here and shown in the status bar once the
    // window is up.
    const QStringList& keyProblems() const { return keyProblems_; }
    // Writes the user's keys to the keys file, keeping the lines that are not
    // about a command of this run as they were; an error text when it fails.
    QString saveKeys();

signals:
    void keysChanged();

private:
    struct Entry;
    void install(Entry& entry);
    void refreshKey(Entry& entry);
    void loadKeys();
    void takeUserKey(Entry& entry);
    void reportKeyProblems();

    SubtitleGrid& grid_;
    QWidget& mainWindow_;
    ErrorReport& errors_;
    std::vector<std::unique_ptr<Command>> commands_;
    std::vector<std::unique_ptr<Entry>> entries_;
    std::vector<std::pair<QWidget*, bool>> windows_; // and whether it has the grid's keys
    std::vector<KeyLine> keyLines_; // the keys file as read
    QStringList keyProblems_;
};

} // namespace tessel::app
