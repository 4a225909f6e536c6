#pragma once
#include <QKeySequence>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The "Keys" window: every command of the registry with its key and its
// default. "Change key" (or Enter, or a double click) waits for the next key
// pressed and gives it to the chosen command, unless the grid or the window
// keeps it for itself or another command has it: then the window says so and
// nothing changes. "No key" takes the key away, "Reset" gives every command
// its default again. Each change is written to the keys file at once.
namespace tessel::app {

class CommandList;
class CommandRegistry;

class KeysWindow : public QWidget {
    Q_OBJECT
public:
    KeysWindow(CommandRegistry& registry, QWidget* mainWindow);
    ~KeysWindow() override;

    void open();
    QLineEdit* search() const;
    QTreeWidget* list() const;
    // What the last change did, or why it was refused.
    QLabel* message() const { return message_; }
    QPushButton* changeButton() const { return change_; }
    QPushButton* noKeyButton() const { return noKey_; }
    QPushButton* resetButton() const { return reset_; }

    // Makes `id` the chosen command.
    void choose(const QString& id);
    // Gives the chosen command `key` (an empty one: none); false, with the
    // reason in message(), when it cannot have it.
    bool assign(const QKeySequence& key);
    // Waits for the next key pressed in the window (Escape: keeps the old one).
    void startCapture();
    bool capturing() const { return capturing_; }
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void refresh();
    QString chosenId() const;
    void stopCapture(const QString& message);
    bool capture(const QKeyEvent& event);

    CommandRegistry& registry_;
    CommandList* commands_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* change_ = nullptr;
    QPushButton* noKey_ = nullptr;
    QPushButton* reset_ = nullptr;
    bool capturing_ = false;
};

} // namespace tessel::app
