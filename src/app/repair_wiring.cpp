#include "app/repair_wiring.h"

#include "app/main_window.h"
#include "app/repair_page.h"
#include "app/tool_wiring.h"
#include "tools/repair.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tessel::app {
namespace {

void userReplace(const ToolContext& context)
{
    const RepairPage& page = context.mainWindow.repairPage();
    EditHistory::Step step(context.history, "Replace");
    UserReplace(context.table, page.replaceFrom()->text().toStdString(), page.replaceTo()->text().toStdString());
}

// Each item is selected as it starts, so the list shows the one running and,
// afterwards, the last one that ran.
void autoRepair(const ToolContext& context)
{
    const RepairPage& page = context.mainWindow.repairPage();
    std::array<bool, AutoRepairItemCount> checked {};
    for (int index = 0; index < AutoRepairItemCount; ++index)
        checked[index] = page.repairTicked(index);
    QListWidget* list = page.autoRepairList();
    EditHistory::Step step(context.history, "Auto-Repair");
    RunAutoRepair(context.table, checked, [list](int index) { list->setCurrentRow(index); });
}

void toggleSelectedRepair(const ToolContext& context)
{
    QListWidgetItem* item = context.mainWindow.repairPage().autoRepairList()->currentItem();
    if (!item) return;
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

} // namespace

void WireRepairPage(const ToolContext& context)
{
    const RepairPage& page = context.mainWindow.repairPage();
    ConnectGuarded(context.errors, page.replaceGo(), &QPushButton::clicked, [context] { userReplace(context); });
    ConnectGuarded(context.errors, page.autoRepairGo(), &QPushButton::clicked, [context] { autoRepair(context); });
    ConnectDoubleClick(
        context.errors, { page.autoRepairList()->viewport() }, [context] { toggleSelectedRepair(context); });
}

} // namespace tessel::app
