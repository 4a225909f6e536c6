#pragma once
#include <QObject>
#include <QStringList>
#include <functional>
#include <vector>

class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// What the command palette and the Keys window share: a search field over a
// list of every command of the registry, by name, one row each; typing shows
// the rows whose name and description have every word (see WordSearch).
namespace tessel::app {

class CommandRegistry;
struct Command;

class CommandList : public QObject {
    Q_OBJECT
public:
    // A row's texts, one a column.
    using Columns = std::function<QStringList(const Command&)>;
    // One column a header; the headers shown or not.
    CommandList(CommandRegistry& registry, QWidget* parent, const QString& placeholder, const QStringList& headers,
        bool headersShown, Columns columns);

    QLineEdit* search() const { return search_; }
    QTreeWidget* list() const { return list_; }

    // Every command's row anew, the search kept.
    void rebuild();
    // Shows the rows the search finds (its owner calls it as the search
    // changes); the first whose name alone has every word, else the first
    // shown, or nullptr.
    QTreeWidgetItem* filter(const QString& text);
    static QString idOf(const QTreeWidgetItem* item);
    QTreeWidgetItem* rowOf(const QString& id) const;
    QStringList shownIds() const;

private:
    CommandRegistry& registry_;
    Columns columns_;
    QLineEdit* search_ = nullptr;
    QTreeWidget* list_ = nullptr;
    std::vector<QString> folded_, foldedNames_;
};

} // namespace tessel::app
