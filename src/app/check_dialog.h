#pragma once
#include "tools/check_dialog.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// The "Check & Correct" dialog: three neighbouring rows of the table with the
// questioned cell framed in red, one line saying what is wrong, and the four
// answers. One dialog for the whole run; its rows and its last answer stay.
namespace tessel::app {

class CheckDialog : public QDialog, public CheckDialogView {
    Q_OBJECT
public:
    explicit CheckDialog(const QWidget* mainWindow);

    int Exec(CheckWindow& window, const QString& message, bool autoFixEnabled) override;

    QTableWidget* grid() const { return grid_; }
    int markColumn() const { return markColumn_; }
    int markRow() const { return markRow_; } // dialog row 1..3

public slots:
    // Closing without a button leaves the previous answer in place.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override; // Escape answers Ignore

private:
    QTableWidget* buildGrid();
    QWidget* buildButtons();
    void fill(const CheckWindow& window);
    void readBack(CheckWindow& window) const;
    void finish(int code);
    void commitEditing();

    const QWidget* mainWindow_;
    int checkResult_ = 0;
    int markColumn_ = 0;
    int markRow_ = 0;
    QLabel* info_ = nullptr;
    QTableWidget* grid_ = nullptr;
    QPushButton* autoFix_ = nullptr;
};

} // namespace tessel::app
