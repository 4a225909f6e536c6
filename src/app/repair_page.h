#pragma once
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

// The "Repair" page: the automatic repairs and the user's replace. Only the
// controls live here; the repairs are connected to them by the tool wiring.
namespace tessel::app {

class RepairPage : public QWidget {
    Q_OBJECT
public:
    explicit RepairPage(QWidget* parent = nullptr);

    static QStringList RepairCaptions();

    QListWidget* autoRepairList() const { return autoRepairList_; }
    QPushButton* autoRepairGo() const { return autoRepairGo_; }
    QLineEdit* replaceFrom() const { return replaceFrom_; }
    QLineEdit* replaceTo() const { return replaceTo_; }
    QPushButton* replaceGo() const { return replaceGo_; }
    // Index i of the list ticked.
    bool repairTicked(int index) const;

private:
    QWidget* buildAutoRepair();
    QWidget* buildUserReplace();

    QListWidget* autoRepairList_ = nullptr;
    QPushButton* autoRepairGo_ = nullptr;
    QLineEdit* replaceFrom_ = nullptr;
    QLineEdit* replaceTo_ = nullptr;
    QPushButton* replaceGo_ = nullptr;
};

} // namespace tessel::app
