#include "app/command_list.h"

#include "app/commands.h"
#include "core/word_search.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QTreeWidget>
#include <algorithm>

namespace tessel::app {

CommandList::CommandList(CommandRegistry& registry, QWidget* parent, const QString& placeholder,
    const QStringList& headers, bool headersShown, Columns columns)
    : QObject(parent)
    , registry_(registry)
    , columns_(std::move(columns))
{
    search_ = new QLineEdit(parent);
    search_->setObjectName(QStringLiteral("EditSearch"));
    search_->setPlaceholderText(placeholder);
    search_->setClearButtonEnabled(true);
    list_ = new QTreeWidget(parent);
    list_->setObjectName(QStringLiteral("CommandList"));
    list_->setHeaderLabels(headers);
    list_->setHeaderHidden(!headersShown);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    QHeaderView* header = list_->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
}

void CommandList::rebuild()
{
    std::vector<const Command*> commands;
    for (const auto& command : registry_.commands())
        commands.push_back(command.get());
    std::stable_sort(commands.begin(), commands.end(),
        [](const Command* a, const Command* b) { return a->name.localeAwareCompare(b->name) < 0; });
    list_->clear();
    folded_.clear();
    foldedNames_.clear();
    QList<QTreeWidgetItem*> rows;
    for (const Command* command : commands) {
        auto* row = new QTreeWidgetItem(columns_(*command));
        row->setData(0, Qt::UserRole, command->id);
        row->setToolTip(0, command->description);
        rows << row;
        folded_.push_back(WordSearch::Fold(command->name + QLatin1Char(' ') + command->description));
        foldedNames_.push_back(WordSearch::Fold(command->name));
    }
    list_->addTopLevelItems(rows);
}

QTreeWidgetItem* CommandList::filter(const QString& text)
{
    const WordSearch search(text);
    QTreeWidgetItem *first = nullptr, *byName = nullptr;
    for (int i = 0; i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list_->topLevelItem(i);
        const bool shown = search.matches(folded_[static_cast<size_t>(i)]);
        row->setHidden(!shown);
        if (!shown) continue;
        if (!first) first = row;
        if (!byName && search.matches(foldedNames_[static_cast<size_t>(i)])) byName = row;
    }
    return byName ? byName : first;
}

QString CommandList::idOf(const QTreeWidgetItem* item)
{
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

QTreeWidgetItem* CommandList::rowOf(const QString& id) const
{
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (idOf(list_->topLevelItem(i)) == id) return list_->topLevelItem(i);
    return nullptr;
}

QStringList CommandList::shownIds() const
{
    QStringList ids;
    for (int i = 0; i < list_->topLevelItemCount(); ++i)
        if (!list_->topLevelItem(i)->isHidden()) ids << idOf(list_->topLevelItem(i));
    return ids;
}

} // namespace tessel::app
