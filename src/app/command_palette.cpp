#include "app/command_palette.h"

#include "app/command_list.h"
#include "app/commands.h"
#include "app/key_settings.h"
#include "app/keys_window.h"
#include "app/window_places.h"
#include "preview/window_frame.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cstdlib>

namespace tessel::app {
namespace {

// Centred over the main window, a sixth down from its top.
QRect paletteFirstPlace(const QWidget& palette, const QWidget* mainWindow)
{
    if (!mainWindow) return {};
    const QRect main = OuterGeometry(*mainWindow);
    const QSize outer = palette.size().grownBy(GuessedFrame(palette, mainWindow));
    return { QPoint(main.left() + (main.width() - outer.width()) / 2, main.top() + main.height() / 6), outer };
}

} // namespace

CommandPalette::CommandPalette(CommandRegistry& registry, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Dialog)
    , registry_(registry)
    , mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("FormCommands"));
    setWindowTitle(QStringLiteral("Commands"));
    // Name, keys, and why it cannot run now.
    commands_ = new CommandList(registry, this, QStringLiteral("Type a word of what you want to do"),
        { QStringLiteral("Command"), QStringLiteral("Key"), QString() }, false, [this](const Command& command) {
            return QStringList { command.name, KeysText(registry_.keys(command)),
                registry_.unavailableReason(command) };
        });
    list()->setFocusPolicy(Qt::NoFocus); // the keys stay with the search field
    about_ = new QLabel(this);
    about_->setObjectName(QStringLiteral("CommandAbout"));
    about_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search());
    layout->addWidget(list(), 1);
    layout->addWidget(about_);
    resize(560, 360);

    connect(search(), &QLineEdit::textChanged, this, &CommandPalette::filter);
    connect(list(), &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { choose(item); });
    connect(list(), &QTreeWidget::itemActivated, this, [this] { runChosen(); });
    search()->installEventFilter(this);
    KeepPlace(*this, QStringLiteral("palette"), [this] { return paletteFirstPlace(*this, mainWindow_); });
}

CommandPalette::~CommandPalette() = default;

QLineEdit* CommandPalette::search() const { return commands_->search(); }

QTreeWidget* CommandPalette::list() const { return commands_->list(); }

// Every command with its keys and state as they are now; those that cannot run greyed.
void CommandPalette::open()
{
    commands_->rebuild();
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    for (int i = 0; i < list()->topLevelItemCount(); ++i)
        if (QTreeWidgetItem* row = list()->topLevelItem(i); !row->text(2).isEmpty())
            for (int column = 0; column < 3; ++column)
                row->setForeground(column, grey);
    search()->clear();
    filter(QString());
    show();
    raise();
    activateWindow();
    search()->setFocus();
}

void CommandPalette::filter(const QString& text)
{
    QTreeWidgetItem* chosen = commands_->filter(text);
    list()->setCurrentItem(chosen);
    if (chosen) list()->scrollToItem(chosen);
    choose(chosen);
}

void CommandPalette::choose(QTreeWidgetItem* item)
{
    const Command* command = registry_.find(CommandList::idOf(item));
    if (!command) {
        about_->setText(QStringLiteral("No command has all these words."));
        return;
    }
    const QString why = registry_.unavailableReason(*command);
    about_->setText(why.isEmpty() ? command->description : QStringLiteral("Cannot run now: ") + why);
}

void CommandPalette::moveChoice(int rows)
{
    QTreeWidget* list = this->list();
    const int count = list->topLevelItemCount();
    const int index = list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) : -1;
    const int step = rows < 0 ? -1 : 1;
    int last = index;
    for (int moved = 0, i = index + step; i >= 0 && i < count && moved < std::abs(rows); i += step)
        if (!list->topLevelItem(i)->isHidden()) {
            last = i;
            ++moved;
        }
    if (last < 0 || last == index) return;
    list->setCurrentItem(list->topLevelItem(last));
    list->scrollToItem(list->currentItem());
}

QStringList CommandPalette::shownIds() const { return commands_->shownIds(); }

bool CommandPalette::runChosen()
{
    QTreeWidgetItem* item = list()->currentItem();
    if (!item || item->isHidden()) return false;
    const QString id = CommandList::idOf(item);
    const Command* command = registry_.find(id);
    if (!command) return false;
    if (const QString why = registry_.unavailableReason(*command); !why.isEmpty()) {
        about_->setText(QStringLiteral("Cannot run now: ") + why);
        return false;
    }
    // Out of the way first: what the command opens comes up over the main window.
    hide();
    return registry_.run(id);
}

bool CommandPalette::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != search() || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Up:
        moveChoice(-1);
        return true;
    case Qt::Key_Down:
        moveChoice(1);
        return true;
    case Qt::Key_PageUp:
        moveChoice(-10);
        return true;
    case Qt::Key_PageDown:
        moveChoice(10);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        runChosen();
        return true;
    case Qt::Key_Escape:
        hide();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

namespace {

template <typename Window> Window& windowOf(CommandRegistry& registry, QWidget& mainWindow)
{
    auto* window = mainWindow.findChild<Window*>(QString(), Qt::FindDirectChildrenOnly);
    return window ? *window : *new Window(registry, &mainWindow);
}

} // namespace

void WireCommandWindows(CommandRegistry& registry, QWidget& mainWindow)
{
    Command palette;
    palette.id = QStringLiteral("palette");
    palette.name = QStringLiteral("Command palette");
    palette.description = QStringLiteral("Find any command by typing a word of what it does, and run it");
    palette.key = QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P);
    palette.moreKeys = { QKeySequence(Qt::Key_F1) };
    palette.run = [&registry, &mainWindow] { windowOf<CommandPalette>(registry, mainWindow).open(); };
    registry.add(std::move(palette));
    Command keys;
    keys.id = QStringLiteral("keys");
    keys.name = QStringLiteral("Keys");
    keys.description = QStringLiteral("Change the key of any command, or give every command its default key again");
    keys.run = [&registry, &mainWindow] { windowOf<KeysWindow>(registry, mainWindow).open(); };
    registry.add(std::move(keys));
}

} // namespace tessel::app
