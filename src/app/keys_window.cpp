#include "app/keys_window.h"

#include "app/commands.h"
#include "app/key_settings.h"
#include "app/window_places.h"
#include "core/word_search.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace tessel::app {
namespace {

constexpr int IdRole = Qt::UserRole;

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case 0:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

KeysWindow::KeysWindow(CommandRegistry& registry, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window)
    , registry_(registry)
{
    setObjectName(QStringLiteral("FormKeys"));
    setWindowTitle(QStringLiteral("Keys"));
    search_ = new QLineEdit(this);
    search_->setObjectName(QStringLiteral("EditSearch"));
    search_->setPlaceholderText(QStringLiteral("Find a command"));
    search_->setClearButtonEnabled(true);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("KeyList"));
    list_->setHeaderLabels({ QStringLiteral("Command"), QStringLiteral("Key"), QStringLiteral("Default") });
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->header()->setStretchLastSection(false);
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    list_->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("KeysMessage"));
    message_->setWordWrap(true);
    change_ = button(this, "BtnChangeKey", QStringLiteral("Change key\u2026"));
    noKey_ = button(this, "BtnNoKey", QStringLiteral("No key"));
    reset_ = button(this, "BtnReset", QStringLiteral("Reset"));
    reset_->setToolTip(QStringLiteral("Every command gets its default key again"));
    QPushButton* close = button(this, "BtnClose", QStringLiteral("Close"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(change_);
    buttons->addWidget(noKey_);
    buttons->addStretch(1);
    buttons->addWidget(reset_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search_);
    layout->addWidget(list_, 1);
    layout->addWidget(message_);
    layout->addLayout(buttons);
    resize(620, 480);

    connect(search_, &QLineEdit::textChanged, this, &KeysWindow::filter);
    connect(list_, &QTreeWidget::itemActivated, this, [this] { startCapture(); });
    connect(change_, &QPushButton::clicked, this, &KeysWindow::startCapture);
    connect(noKey_, &QPushButton::clicked, this, [this] { assign({}); });
    connect(reset_, &QPushButton::clicked, this, &KeysWindow::reset);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    // Whichever of them has the focus, a key being waited for comes here.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    KeepPlace(*this, QStringLiteral("keys"));
}

KeysWindow::~KeysWindow() = default;

void KeysWindow::open()
{
    capturing_ = false;
    refresh();
    const QStringList& problems = registry_.keyProblems();
    message_->setText(problems.isEmpty()
            ? QStringLiteral("Choose a command, then \"Change key\u2026\" and the new key.")
            : QStringLiteral("Skipped in the keys file: ") + problems.join(QStringLiteral("; ")));
    show();
    raise();
    activateWindow();
    search_->setFocus();
}

void KeysWindow::refresh()
{
    const QString chosen = chosenId();
    std::vector<const Command*> commands;
    for (const auto& command : registry_.commands())
        commands.push_back(command.get());
    std::stable_sort(commands.begin(), commands.end(),
        [](const Command* a, const Command* b) { return a->name.localeAwareCompare(b->name) < 0; });
    list_->clear();
    folded_.clear();
    QList<QTreeWidgetItem*> items;
    for (const Command* command : commands) {
        QList<QKeySequence> defaults;
        if (!command->key.isEmpty()) defaults << command->key;
        defaults << command->moreKeys;
        auto* item = new QTreeWidgetItem({ command->name, KeysText(registry_.keys(*command)), KeysText(defaults) });
        item->setData(0, IdRole, command->id);
        item->setToolTip(0, command->description);
        items << item;
        folded_.push_back(WordSearch::Fold(command->name + QLatin1Char(' ') + command->description));
    }
    list_->addTopLevelItems(items);
    filter(search_->text());
    if (!chosen.isEmpty()) choose(chosen);
}

void KeysWindow::filter(const QString& text)
{
    const WordSearch search(text);
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        list_->topLevelItem(i)->setHidden(!search.matches(folded_[static_cast<size_t>(i)]));
}

void KeysWindow::choose(const QString& id)
{
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (list_->topLevelItem(i)->data(0, IdRole).toString() == id) {
            list_->setCurrentItem(list_->topLevelItem(i));
            list_->scrollToItem(list_->currentItem());
            return;
        }
}

QString KeysWindow::chosenId() const
{
    const QTreeWidgetItem* item = list_->currentItem();
    return item && !item->isHidden() ? item->data(0, IdRole).toString() : QString();
}

bool KeysWindow::assign(const QKeySequence& key)
{
    const QString id = chosenId();
    const Command* command = registry_.find(id);
    if (!command) {
        message_->setText(QStringLiteral("Choose a command first."));
        return false;
    }
    if (const QString refusal = registry_.refusal(id, key); !refusal.isEmpty()) {
        message_->setText(refusal);
        return false;
    }
    registry_.setKey(id, key);
    const QString error = registry_.saveKeys();
    refresh();
    if (!error.isEmpty())
        message_->setText(error);
    else if (key.isEmpty())
        message_->setText(QStringLiteral("\"%1\" has no key now.").arg(command->name));
    else
        message_->setText(
            QStringLiteral("\"%1\" now has %2.").arg(command->name, key.toString(QKeySequence::NativeText)));
    return true;
}

void KeysWindow::startCapture()
{
    const Command* command = registry_.find(chosenId());
    if (!command) {
        message_->setText(QStringLiteral("Choose a command first."));
        return;
    }
    capturing_ = true;
    list_->setFocus();
    message_->setText(QStringLiteral("Press the new key for \"%1\" (Escape keeps the old one).").arg(command->name));
}

void KeysWindow::stopCapture(const QString& message)
{
    capturing_ = false;
    message_->setText(message);
}

void KeysWindow::reset()
{
    capturing_ = false;
    registry_.resetKeys();
    const QString error = registry_.saveKeys();
    refresh();
    message_->setText(error.isEmpty() ? QStringLiteral("Every command has its default key again.") : error);
}

// The key pressed, with its modifiers, goes to the chosen command.
bool KeysWindow::capture(const QKeyEvent& event)
{
    const int key = event.key();
    if (isModifierKey(key) || event.isAutoRepeat()) return true;
    const Qt::KeyboardModifiers modifiers
        = event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (key == Qt::Key_Escape && modifiers == Qt::NoModifier) {
        stopCapture(QStringLiteral("The key stays as it was."));
        return true;
    }
    capturing_ = false;
    assign(QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(key))));
    return true;
}

bool KeysWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (capturing_) {
        // Before any shortcut or focus change can take the key.
        if (type == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        if (type == QEvent::KeyPress) return capture(*static_cast<QKeyEvent*>(event));
    } else if (watched == list_ && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            startCapture();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessel::app
