#pragma once
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// The command palette: a small window, "Commands", listing every command of
// the registry with its key. Typing filters them by name and description
// (every word, in any order, case and accents ignored), Up and Down choose,
// Enter runs the chosen one through the registry, Escape closes. Commands
// that cannot run now are greyed, with the reason.
namespace tessel::app {

class CommandList;
class CommandRegistry;

class CommandPalette : public QWidget {
    Q_OBJECT
public:
    CommandPalette(CommandRegistry& registry, QWidget* mainWindow);
    ~CommandPalette() override;

    // Shown with an empty search and every command's state as it is now.
    void open();
    QLineEdit* search() const;
    QTreeWidget* list() const;
    // The chosen command's description, or why it cannot run.
    QLabel* about() const { return about_; }
    // The ids of the commands shown, in order.
    QStringList shownIds() const;
    // Runs the chosen command, the palette closed first; false when none is
    // chosen or it cannot run now (the reason stays in about()).
    bool runChosen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void filter(const QString& text);
    void choose(QTreeWidgetItem* item);
    void moveChoice(int rows);

    CommandRegistry& registry_;
    QWidget* mainWindow_;
    CommandList* commands_ = nullptr;
    QLabel* about_ = nullptr;
};

// Registers the palette (Ctrl+Shift+P, F1) and the Keys window as commands
// of the main window; both windows are made when first opened.
void WireCommandWindows(CommandRegistry& registry, QWidget& mainWindow);

} // namespace tessel::app
