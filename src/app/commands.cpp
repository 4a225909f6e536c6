#include "app/commands.h"

#include "app/error_report.h"
#include "app/subtitle_grid.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
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
}

CommandRegistry::~CommandRegistry() = default;

void CommandRegistry::add(Command command)
{
    assert(!find(command.id));
    commands_.push_back(std::make_unique<Command>(std::move(command)));
    auto entry = std::make_unique<Entry>();
    entry->command = commands_.back().get();
    entry->key = entry->command->key;
    entries_.push_back(std::move(entry));
    install(*entries_.back());
}

void CommandRegistry::addWindow(QWidget* window)
{
    windows_.push_back(window);
    for (const auto& entry : entries_) {
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
    for (QWidget* window : windows_) {
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
    QList<QKeySequence> keys;
    if (!entry.key.isEmpty()) keys << entry.key;
    if (!entry.userKey) keys << entry.command->moreKeys;
    for (QAction* action : entry.actions)
        action->setShortcuts(keys);
    // The menu shows the key without owning it: the actions above do.
    if (entry.menuItem)
        entry.menuItem->setText(entry.command->name
            + (entry.key.isEmpty() ? QString() : QLatin1Char('\t') + entry.key.toString(QKeySequence::NativeText)));
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

} // namespace tessel::app
