#include "app/keys_window.h"

#include "app/command_list.h"
#include "app/commands.h"
#include "app/key_settings.h"
#include "app/window_places.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessel::app {
namespace {

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
    commands_ = new CommandList(registry, this, QStringLiteral("Find a command"),
        { QStringLiteral("Command"), QStringLiteral("Key"), QStringLiteral("Default") }, true,
        [this](const Command& command) {
            QList<QKeySequence> defaults;
            if (!command.key.isEmpty()) defaults << command.key;
            defaults << command.moreKeys;
            return QStringList { command.name, KeysText(registry_.keys(command)), KeysText(defaults) };
        });
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
    layout->addWidget(search());
    layout->addWidget(list(), 1);
    layout->addWidget(message_);
    layout->addLayout(buttons);
    resize(620, 480);

    connect(search(), &QLineEdit::textChanged, commands_, &CommandList::filter);
    connect(list(), &QTreeWidget::itemActivated, this, [this] { startCapture(); });
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

QLineEdit* KeysWindow::search() const { return commands_->search(); }

QTreeWidget* KeysWindow::list() const { return commands_->list(); }

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
    search()->setFocus();
}

void KeysWindow::refresh()
{
    const QString chosen = chosenId();
    commands_->rebuild();
    commands_->filter(search()->text());
    if (!chosen.isEmpty()) choose(chosen);
}

void KeysWindow::choose(const QString& id)
{
    if (QTreeWidgetItem* row = commands_->rowOf(id)) {
        list()->setCurrentItem(row);
        list()->scrollToItem(row);
    }
}

QString KeysWindow::chosenId() const
{
    const QTreeWidgetItem* item = list()->currentItem();
    return item && !item->isHidden() ? CommandList::idOf(item) : QString();
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
    list()->setFocus();
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
    } else if (watched == list() && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            startCapture();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tessel::app
