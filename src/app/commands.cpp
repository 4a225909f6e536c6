#include "app/commands.h"

#include "app/error_report.h"
#include "app/subtitle_grid.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QSaveFile>
#include <QStatusBar>
#include <QStringDecoder>
#include <QTimer>
#include <algorithm>
#include <cassert>

namespace tessel::app {

struct CommandRegistry::Entry {
    Command* command = nullptr;
    QKeySequence key; // in effect
    bool userKey = false;
    std::vector<QAction*> actions; // one per place the key works
    QAction* menuItem = nullptr;
};

CommandRegistry::CommandRegistry(SubtitleGrid& grid, QWidget& mainWindow, ErrorReport& errors)
    : grid_(grid)
    , mainWindow_(mainWindow)
    , errors_(errors)
{
    // Items can be unavailable for a moment (no movie yet): say why in place.
    connect(grid_.popupMenu(), &QMenu::aboutToShow, this, [this] {
        for (const auto& entry : entries_)
            if (entry->menuItem) {
                const QString why = unavailableReason(*entry->command);
                entry->menuItem->setEnabled(why.isEmpty());
                entry->menuItem->setToolTip(why.isEmpty() ? entry->command->description : why);
            }
    });
    loadKeys();
    // Once every command of the start-up is there.
    QTimer::singleShot(0, this, [this] { reportKeyProblems(); });
}

CommandRegistry::~CommandRegistry() = default;

void CommandRegistry::add(Command command)
{
    assert(!find(command.id));
    commands_.push_back(std::make_unique<Command>(std::move(command)));
    auto entry = std::make_unique<Entry>();
    entry->command = commands_.back().get();
    entry->key = entry->command->key;
    takeUserKey(*entry);
    entries_.push_back(std::move(entry));
    install(*entries_.back());
}

// The user's key from the file, unless another command has it; a default key
// the user gave another command first goes.
void CommandRegistry::takeUserKey(Entry& entry)
{
    const Command& command = *entry.command;
    for (const KeyLine& line : keyLines_) {
        if (line.id != command.id || !line.problem.isEmpty()) continue;
        if (const Command* other = keyClash(command.id, line.key)) {
            keyProblems_ << QStringLiteral("line %1: %2 is already the key of \"%3\"")
                                .arg(line.number)
                                .arg(line.key.toString(QKeySequence::NativeText), other->name);
            continue;
        }
        entry.key = line.key;
        entry.userKey = line.key != command.key;
    }
    if (entry.userKey || command.key.isEmpty()) return;
    const auto taken = std::find_if(entries_.begin(), entries_.end(),
        [&](const auto& e) { return e->userKey && !e->key.isEmpty() && e->key == command.key; });
    if (taken != entries_.end()) {
        const Command* other = (*taken)->command;
        keyProblems_ << QStringLiteral("%1 of \"%2\" is your key for \"%3\"; \"%2\" has no key")
                            .arg(command.key.toString(QKeySequence::NativeText), command.name, other->name);
        entry.key = {};
        entry.userKey = true;
    }
}

void CommandRegistry::addWindow(QWidget* window, bool gridKeys)
{
    windows_.emplace_back(window, gridKeys);
    for (const auto& entry : entries_) {
        if (!gridKeys && entry->command->scope == KeyScope::Grid) continue;
        auto* action = new QAction(entry->command->name, window);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, [this, id = entry->command->id] { run(id); });
        window->addAction(action);
        entry->actions.push_back(action);
        refreshKey(*entry);
    }
}

void CommandRegistry::install(Entry& entry)
{
    const Command& command = *entry.command;
    const auto trigger = [this, id = command.id] { run(id); };
    // On the grid the key waits while a cell editor is open, as the grid's own keys do.
    QWidget* home = command.scope == KeyScope::Grid ? static_cast<QWidget*>(&grid_) : &mainWindow_;
    auto* action = new QAction(command.name, home);
    action->setShortcutContext(command.scope == KeyScope::Grid ? Qt::WidgetShortcut : Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, trigger);
    home->addAction(action);
    entry.actions.push_back(action);
    for (const auto& [window, gridKeys] : windows_) {
        if (!gridKeys && command.scope == KeyScope::Grid) continue;
        auto* copy = new QAction(command.name, window);
        copy->setShortcutContext(Qt::WindowShortcut);
        connect(copy, &QAction::triggered, this, trigger);
        window->addAction(copy);
        entry.actions.push_back(copy);
    }
    if (command.inGridMenu) {
        // Below the specified items and the undo pair.
        entry.menuItem = grid_.popupMenu()->addAction(command.name);
        entry.menuItem->setObjectName(QStringLiteral("MenuItemCommand_") + command.id);
        connect(entry.menuItem, &QAction::triggered, this, trigger);
    }
    refreshKey(entry);
}

void CommandRegistry::refreshKey(Entry& entry)
{
    const Command& command = *entry.command;
    const QList<QKeySequence> keys = this->keys(command);
    for (QAction* action : entry.actions)
        action->setShortcuts(keys);
    // The menu shows the key without owning it: the actions above do.
    if (entry.menuItem)
        entry.menuItem->setText(command.name
            + (entry.key.isEmpty() ? QString() : QLatin1Char('\t') + entry.key.toString(QKeySequence::NativeText)));
    if (command.menuItem) {
        // Only while the menu itself has the keys.
        command.menuItem->setShortcutContext(Qt::WidgetShortcut);
        command.menuItem->setShortcuts(keys);
        command.menuItem->setToolTip(
            keys.isEmpty() ? command.description : command.description + QStringLiteral(" (") + KeysText(keys) + ')');
    }
}

const Command* CommandRegistry::find(const QString& id) const
{
    for (const auto& command : commands_)
        if (command->id == id) return command.get();
    return nullptr;
}

QString CommandRegistry::unavailableReason(const Command& command) const
{
    return command.unavailable ? command.unavailable() : QString();
}

bool CommandRegistry::run(const QString& id)
{
    const Command* command = find(id);
    if (!command) return false;
    const QString why = unavailableReason(*command);
    if (!why.isEmpty()) {
        if (auto* window = qobject_cast<QMainWindow*>(&mainWindow_))
            window->statusBar()->showMessage(command->name + QStringLiteral(": ") + why, 5000);
        return false;
    }
    if (command->run) errors_.run(command->run);
    return true;
}

QKeySequence CommandRegistry::key(const Command& command) const
{
    for (const auto& entry : entries_)
        if (entry->command == &command) return entry->key;
    return {};
}

QList<QKeySequence> CommandRegistry::keys(const Command& command) const
{
    QList<QKeySequence> keys;
    for (const auto& entry : entries_)
        if (entry->command == &command) {
            if (!entry->key.isEmpty()) keys << entry->key;
            if (!entry->userKey) keys << command.moreKeys;
        }
    return keys;
}

void CommandRegistry::setKey(const QString& id, const QKeySequence& key)
{
    for (const auto& entry : entries_)
        if (entry->command->id == id) {
            entry->key = key;
            entry->userKey = key != entry->command->key;
            refreshKey(*entry);
            emit keysChanged();
            return;
        }
}

const Command* CommandRegistry::keyClash(const QString& id, const QKeySequence& key) const
{
    if (key.isEmpty()) return nullptr;
    for (const auto& entry : entries_) {
        if (entry->command->id == id) continue;
        if (entry->key == key) return entry->command;
        if (!entry->userKey && entry->command->moreKeys.contains(key)) return entry->command;
    }
    return nullptr;
}

QString CommandRegistry::refusal(const QString& id, const QKeySequence& key) const
{
    const QString text = key.toString(QKeySequence::NativeText);
    if (const QString reserved = ReservedKeyReason(key); !reserved.isEmpty())
        return QStringLiteral("%1 cannot be taken: %2.").arg(text, reserved);
    if (const Command* other = keyClash(id, key))
        return QStringLiteral("%1 is already the key of \"%2\"; give that one another key first.")
            .arg(text, other->name);
    return {};
}

void CommandRegistry::showKeysAsToolTip(QWidget* widget, const QString& id)
{
    const auto show = [this, widget, id] {
        if (const Command* command = find(id)) widget->setToolTip(KeysText(keys(*command)));
    };
    show();
    connect(this, &CommandRegistry::keysChanged, widget, show);
}

void CommandRegistry::resetKeys()
{
    for (const auto& entry : entries_) {
        entry->key = entry->command->key;
        entry->userKey = false;
        refreshKey(*entry);
    }
    emit keysChanged();
}

void CommandRegistry::loadKeys()
{
    QFile file(KeysFilePath());
    if (!file.exists()) return;
    const QString name = QFileInfo(file).filePath();
    if (file.size() > (1 << 20) || !file.open(QIODevice::ReadOnly)) {
        keyProblems_ << QStringLiteral("%1 cannot be read").arg(name);
        return;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    if (utf8.hasError()) {
        keyProblems_ << QStringLiteral("%1 is not UTF-8 text").arg(name);
        return;
    }
    keyLines_ = ParseKeys(text);
    for (const KeyLine& line : keyLines_)
        if (!line.problem.isEmpty()) keyProblems_ << QStringLiteral("line %1: %2").arg(line.number).arg(line.problem);
}

void CommandRegistry::reportKeyProblems()
{
    for (const KeyLine& line : keyLines_)
        if (line.problem.isEmpty() && !line.id.isEmpty() && !find(line.id))
            keyProblems_ << QStringLiteral("line %1: no command \"%2\"").arg(line.number).arg(line.id);
    if (keyProblems_.isEmpty()) return;
    if (auto* window = qobject_cast<QMainWindow*>(&mainWindow_))
        window->statusBar()->showMessage(
            QStringLiteral("Keys file %1: %2 (skipped)").arg(KeysFilePath(), keyProblems_.join(QStringLiteral("; "))),
            20000);
}

QString CommandRegistry::saveKeys()
{
    QStringList kept;
    for (const KeyLine& line : keyLines_)
        if (line.id.isEmpty() || !find(line.id)) kept << line.text;
    std::vector<std::pair<QString, QKeySequence>> keys;
    for (const auto& entry : entries_)
        if (entry->userKey) keys.emplace_back(entry->command->id, entry->key);
    const QString path = KeysFilePath();
    const QString text = KeysFileText(kept, keys);
    QFileInfo(path).dir().mkpath(QStringLiteral("."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return QStringLiteral("The keys could not be written to %1: %2").arg(path, file.errorString());
    keyLines_ = ParseKeys(text);
    return {};
}

} // namespace tessel::app
