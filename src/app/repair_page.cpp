#include "app/repair_page.h"

#include "app/widget_helpers.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessel::app {

RepairPage::RepairPage(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TabSheetRepair"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    layout->addWidget(buildAutoRepair(), 1);
    layout->addWidget(buildUserReplace());
}

QStringList RepairPage::RepairCaptions()
{
    return { QStringLiteral("Remove [captions]"), QStringLiteral("Delete empty lines"),
        QStringLiteral("Fix stroke at begin of line"), QStringLiteral("Replace ` with '"),
        QStringLiteral("Replace '' with \""), QStringLiteral("Replace \"\" with \""),
        QStringLiteral("Replace single l with I") };
}

bool RepairPage::repairTicked(int index) const
{
    const QListWidgetItem* item = autoRepairList_->item(index);
    return item && item->checkState() == Qt::Checked;
}

QWidget* RepairPage::buildAutoRepair()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxAutoRepair", QStringLiteral("Auto-Repair"));
    autoRepairList_ = new QListWidget(box);
    autoRepairList_->setObjectName(QStringLiteral("CheckListBoxAutoRepair"));
    for (const QString& caption : RepairCaptions()) {
        auto* item = new QListWidgetItem(caption, autoRepairList_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    autoRepairGo_ = MakeButton(box, "ButtonAutoRepairGo", QStringLiteral("Go!"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 2, 6, 4);
    row->addWidget(autoRepairList_, 1);
    row->addWidget(autoRepairGo_, 0, Qt::AlignBottom);
    return box;
}

QWidget* RepairPage::buildUserReplace()
{
    QGroupBox* box = MakeGroupBox(this, "GroupBoxUserReplace", QStringLiteral("Replace"));
    replaceFrom_ = MakeEdit(box, "UserReplaceFromEdit", QString());
    replaceTo_ = MakeEdit(box, "UserReplaceToEdit", QString());
    replaceGo_ = MakeButton(box, "ButtonUserReplaceGo", QStringLiteral("Go!"));
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(6, 2, 6, 4);
    row->addWidget(replaceFrom_, 1);
    row->addWidget(MakeLabel(box, "LabelUserReplaceTo", QStringLiteral("=>")));
    row->addWidget(replaceTo_, 1);
    row->addWidget(replaceGo_);
    return box;
}

} // namespace tessel::app
