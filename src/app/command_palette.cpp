#include "app/command_palette.h"

#include "app/commands.h"
#include "app/key_settings.h"
#include "app/keys_window.h"
#include "app/window_places.h"
#include "core/word_search.h"
#include "preview/window_frame.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tessel::app {
namespace {

constexpr int IdRole = Qt::UserRole;
constexpr int NameMatchRole = Qt::UserRole + 1; // the folded name alone

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
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("EditSearch"));
    search_->setPlaceholderText(QStringLiteral("Type a word of what you want to do"));
    search_->setClearButtonEnabled(true);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("CommandList"));
    list_->setColumnCount(3);
    list_->setHeaderHidden(true);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setFocusPolicy(Qt::NoFocus); // the keys stay with the search field
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    about_ = new QLabel(this);
    about_->setObjectName(QStringLiteral("CommandAbout"));
    about_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search_);
    layout->addWidget(list_, 1);
    layout->addWidget(about_);
    resize(560, 360);

    connect(search_, &QLineEdit::textChanged, this, &CommandPalette::filter);
    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { choose(item); });
    connect(list_, &QTreeWidget::itemActivated, this, [this] { runChosen(); });
    search_->installEventFilter(this);
    KeepPlace(*this, QStringLiteral("palette"), [this] { return paletteFirstPlace(*this, mainWindow_); });
}

CommandPalette::~CommandPalette() = default;

void CommandPalette::open()
{
    rebuild();
    search_->clear();
    filter(QString());
    show();
    raise();
    activateWindow();
    search_->setFocus();
}

// Every command, by name, with its keys and state as they are now.
void CommandPalette::rebuild()
{
    std::vector<const Command*> commands;
    for (const auto& command : registry_.commands())
        commands.push_back(command.get());
    std::stable_sort(commands.begin(), commands.end(),
        [](const Command* a, const Command* b) { return a->name.localeAwareCompare(b->name) < 0; });
    list_->clear();
    folded_.clear();
    QList<QTreeWidgetItem*> items;
    const QBrush grey = palette().brush(QPalette::Disabled, QPalette::Text);
    for (const Command* command : commands) {
        const QString why = registry_.unavailableReason(*command);
        auto* item = new QTreeWidgetItem({ command->name, KeysText(registry_.keys(*command)), why });
        item->setData(0, IdRole, command->id);
        item->setData(0, NameMatchRole, WordSearch::Fold(command->name));
        item->setToolTip(0, command->description);
        if (!why.isEmpty())
            for (int column = 0; column < 3; ++column)
                item->setForeground(column, grey);
        items << item;
        folded_.push_back(WordSearch::Fold(command->name + QLatin1Char(' ') + command->description));
    }
    list_->addTopLevelItems(items);
}

// The first command whose name has every word is chosen, else the first shown.
void CommandPalette::filter(const QString& text)
{
    const WordSearch search(text);
    QTreeWidgetItem *first = nullptr, *byName = nullptr;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const bool shown = search.matches(folded_[static_cast<size_t>(i)]);
        item->setHidden(!shown);
        if (!shown) continue;
        if (!first) first = item;
        if (!byName && search.matches(item->data(0, NameMatchRole).toString())) byName = item;
    }
    QTreeWidgetItem* chosen = byName ? byName : first;
    list_->setCurrentItem(chosen);
    if (chosen) list_->scrollToItem(chosen);
    choose(chosen);
}

void CommandPalette::choose(QTreeWidgetItem* item)
{
    const Command* command = item ? registry_.find(item->data(0, IdRole).toString()) : nullptr;
    if (!command) {
        about_->setText(QStringLiteral("No command has all these words."));
        return;
    }
    const QString why = registry_.unavailableReason(*command);
    about_->setText(why.isEmpty() ? command->description : QStringLiteral("Cannot run now: ") + why);
}

void CommandPalette::moveChoice(int rows)
{
    const int count = list_->topLevelItemCount();
    int index = list_->currentItem() ? list_->indexOfTopLevelItem(list_->currentItem()) : -1;
    const int step = rows < 0 ? -1 : 1;
    int last = index;
    for (int moved = 0, i = index + step; i >= 0 && i < count && moved < std::abs(rows); i += step)
        if (!list_->topLevelItem(i)->isHidden()) {
            last = i;
            ++moved;
        }
    if (last < 0 || last == index) return;
    list_->setCurrentItem(list_->topLevelItem(last));
    list_->scrollToItem(list_->currentItem());
}

QStringList CommandPalette::shownIds() const
{
    QStringList ids;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (!list_->topLevelItem(i)->isHidden()) ids << list_->topLevelItem(i)->data(0, IdRole).toString();
    return ids;
}

bool CommandPalette::runChosen()
{
    QTreeWidgetItem* item = list_->currentItem();
    if (!item || item->isHidden()) return false;
    const QString id = item->data(0, IdRole).toString();
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
    if (watched != search_ || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
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
