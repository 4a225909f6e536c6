#pragma once
#include <QTableView>
#include <functional>

class QAction;
class QMenu;

// The subtitle table on screen: 16-pixel rows, grid lines, one selected cell,
// in-place editing that writes every keystroke into the table, Tab moving
// between cells. Rows and columns here are the table's (row 1 is the first
// subtitle). Only the user selects: a cell made current by the program
// (selectCell, or the grid keeping its place across a change of rows) is a
// selection write that nobody hears about.
namespace tessel::app {

class LiveEditDelegate;
class SubtitleModel;

class SubtitleGrid : public QTableView {
    Q_OBJECT
public:
    explicit SubtitleGrid(SubtitleModel& model, QWidget* parent = nullptr);

    SubtitleModel& subtitleModel() { return model_; }

    int currentTableRow() const;
    int currentTableColumn() const;
    // Makes (column, row) the current and only selected cell; no cellSelected.
    void selectCell(int column, int row);
    // The first subtitle row shown at the top (1 shows the table from its start).
    int topRow() const;
    void setTopRow(int row);

    // Columns 0 and 1 at 60 pixels, the three line columns share the rest.
    static int LineColumnWidth(int gridWidth);
    void fitColumns();

    QMenu* popupMenu() const { return popupMenu_; }
    QAction* menuItemInsert() const { return menuItemInsert_; }
    QAction* menuItemDelete() const { return menuItemDelete_; }
    // Below the other items; their keys (Ctrl+Z, and Ctrl+Y or Ctrl+Shift+Z,
    // while the grid itself has the focus: an open cell editor keeps them)
    // are the command registry's.
    QAction* menuItemUndo() const { return menuItemUndo_; }
    QAction* menuItemRedo() const { return menuItemRedo_; }

    // Draws over each cell after the grid has drawn it (the spell check's
    // underlines); nothing by default.
    using CellOverlay = std::function<void(QPainter&, const QStyleOptionViewItem&, const QModelIndex&)>;
    void setCellOverlay(CellOverlay overlay) { cellOverlay_ = std::move(overlay); }

    // Each cell editor the grid opens is an editing session of its own, by
    // number; 0 while none is open.
    quint64 editSession() const { return editSession_; }

signals:
    // Every key pressed in the grid, before the grid handles it (the row
    // editing shortcuts listen here and leave the key to the grid).
    void keyDown(int key, Qt::KeyboardModifiers modifiers);
    // The user made (column, row) the current cell, by mouse or keyboard, or
    // clicked the current cell again.
    void cellSelected(int column, int row);
    // Escape in an open cell editor, just before it closes.
    void editCancelled(int column, int row, const QString& textAtOpen, quint64 session);

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void setUpHeaders();
    // A bulk change resets the model; the current cell and the top row stay
    // where they were, as far as the new row count allows.
    void keepPlaceAcrossResets();
    void buildPopupMenu();
    // Runs the grid's own handling of an input event, during which a new
    // current cell is the user's selection.
    template <typename Handler> bool asUserInput(Handler handle);
    friend class LiveEditDelegate;

    SubtitleModel& model_;
    QMenu* popupMenu_ = nullptr;
    QAction* menuItemInsert_ = nullptr;
    QAction* menuItemDelete_ = nullptr;
    QAction* menuItemUndo_ = nullptr;
    QAction* menuItemRedo_ = nullptr;
    quint64 editSession_ = 0, lastEditSession_ = 0;
    QString textAtOpen_;
    int keptRow_ = 1, keptColumn_ = 0, keptTopRow_ = 1;
    int userInputDepth_ = 0;
    CellOverlay cellOverlay_;
};

} // namespace tessel::app
