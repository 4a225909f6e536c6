#include "app/text_support.h"

#include "app/main_window.h"
#include "app/reading_page.h"
#include "app/subtitle_grid.h"
#include "app/tool_wiring.h"
#include "core/numbers.h"

#include <QComboBox>
#include <QHeaderView>
#include <QStatusBar>
#include <QTreeWidget>

namespace tessel::app {

std::optional<TextToolSettings> CurrentTextToolSettings(const ToolContext& context)
{
    const ReadingPage& page = context.mainWindow.readingPage();
    const ReadingProfile* profile = page.currentProfile();
    const std::optional<double> framerate
        = TryStrToFloat(page.framerate()->currentText().toStdString(), context.decimalSeparator);
    if (!framerate || !(*framerate > 0)) {
        context.messages.showError(QStringLiteral("Invalid framerate!"));
        return std::nullopt;
    }
    return TextToolSettings { profile ? *profile : BuiltInProfiles().front(), *framerate };
}

void ApplyTextChanges(const ToolContext& context, const char* name, const std::vector<RowChange>& changes)
{
    if (changes.empty()) return;
    SubtitleGrid& grid = context.mainWindow.grid();
    const int column = grid.currentTableColumn();
    {
        EditHistory::Step step(context.history, name);
        ApplyRowChanges(context.table, changes);
    }
    grid.selectCell(column, std::min(changes.front().first, context.table.rowCount() - 1));
    grid.scrollTo(grid.currentIndex());
}

QTreeWidget* MakePreviewList(QWidget* parent, const char* name)
{
    auto* list = new QTreeWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setHeaderLabels({ QStringLiteral("Row"), QStringLiteral("Before"), QStringLiteral("After") });
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->header()->setSectionResizeMode(QHeaderView::Interactive);
    list->setColumnWidth(0, 50);
    list->setColumnWidth(1, 260);
    return list;
}

void FillPreview(QTreeWidget* list, const SubtitleTable& table, const std::vector<RowChange>& changes, int most)
{
    list->clear();
    QList<QTreeWidgetItem*> items;
    for (const RowChange& change : changes) {
        if (items.size() >= most) break;
        auto* item = new QTreeWidgetItem({ QString::number(change.first),
            QString::fromStdString(DescribeBefore(table, change)), QString::fromStdString(DescribeAfter(change)) });
        item->setData(0, Qt::UserRole, change.first);
        items.append(item);
    }
    list->addTopLevelItems(items);
}

void ShowStatus(const ToolContext& context, const QString& text)
{
    context.mainWindow.statusBar()->showMessage(text, 10000);
}

void GoToCell(const ToolContext& context, int column, int row)
{
    SubtitleGrid& grid = context.mainWindow.grid();
    grid.selectCell(column, row);
    grid.scrollTo(grid.currentIndex());
}

} // namespace tessel::app
