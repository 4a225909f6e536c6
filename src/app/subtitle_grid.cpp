#include "app/subtitle_grid.h"

#include "app/subtitle_model.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>

namespace tessel::app {
namespace {

constexpr int RowHeight = 16;

} // namespace

// Commits each keystroke, so the table (and whoever follows it) always holds
// what the user sees in the cell. Each editor it opens starts an editing
// session of the grid.
class LiveEditDelegate : public QStyledItemDelegate {
public:
    explicit LiveEditDelegate(SubtitleGrid* grid)
        : QStyledItemDelegate(grid)
        , grid_(grid)
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        grid_->editSession_ = ++grid_->lastEditSession_;
        grid_->textAtOpen_ = index.data(Qt::EditRole).toString();
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            auto* self = const_cast<LiveEditDelegate*>(this);
            connect(edit, &QLineEdit::textEdited, self, [self, edit] { emit self->commitData(edit); });
        }
        return editor;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        grid_->editSession_ = 0;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    // The commit comes back as a data change; leave the editor (and its
    // cursor) alone when it already shows that text.
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        if (edit && edit->text() == index.data(Qt::EditRole).toString()) return;
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (grid_->cellOverlay_) grid_->cellOverlay_(*painter, option, index);
    }

protected:
    // Escape closes the editor without committing; what it committed
    // already has to be taken back.
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape
            && grid_->editSession_ != 0) {
            const QModelIndex cell = grid_->currentIndex();
            emit grid_->editCancelled(cell.column(), cell.row() + 1, grid_->textAtOpen_, grid_->editSession_);
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    SubtitleGrid* grid_;
};

SubtitleGrid::SubtitleGrid(SubtitleModel& model, QWidget* parent)
    : QTableView(parent)
    , model_(model)
{
    setObjectName(QStringLiteral("SubtitleGrid"));
    setModel(&model_);
    setItemDelegate(new LiveEditDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setShowGrid(true);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked
        | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setUpHeaders();
    buildPopupMenu();
    keepPlaceAcrossResets();
    setCurrentIndex(model_.index(0, 0));
}

void SubtitleGrid::keepPlaceAcrossResets()
{
    connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
        keptRow_ = currentTableRow();
        keptColumn_ = currentTableColumn();
        keptTopRow_ = topRow();
    });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
        const int lastRow = model_.rowCount();
        selectCell(keptColumn_, std::clamp(keptRow_, 1, lastRow));
        setTopRow(std::clamp(keptTopRow_, 1, lastRow));
    });
}

void SubtitleGrid::setUpHeaders()
{
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(RowHeight);
    rows->setDefaultSectionSize(RowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed); // keeps 100,000 rows cheap
    QHeaderView* columns = horizontalHeader();
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    const int widths[] = { 57, 53, 153, 157, 149 };
    for (int c = 0; c < 5; ++c)
        setColumnWidth(c, widths[c]);
}

void SubtitleGrid::buildPopupMenu()
{
    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("SubtitlesGridPopUpMenu"));
    menuItemInsert_ = popupMenu_->addAction(QStringLiteral("&Insert new row"));
    menuItemInsert_->setObjectName(QStringLiteral("MenuItemInsert"));
    menuItemDelete_ = popupMenu_->addAction(QStringLiteral("&Delete selected row"));
    menuItemDelete_->setObjectName(QStringLiteral("MenuItemDelete"));
    popupMenu_->addSeparator()->setObjectName(QStringLiteral("MenuItemM1"));
    popupMenu_->addAction(QStringLiteral("&Cancel"))->setObjectName(QStringLiteral("MenuItemCancel"));
    popupMenu_->addSeparator();
    // Their keys and tooltips come from the command registry.
    menuItemUndo_ = popupMenu_->addAction(QStringLiteral("Undo"));
    menuItemUndo_->setObjectName(QStringLiteral("MenuItemUndo"));
    menuItemRedo_ = popupMenu_->addAction(QStringLiteral("Redo"));
    menuItemRedo_->setObjectName(QStringLiteral("MenuItemRedo"));
    popupMenu_->setToolTipsVisible(true); // only actions with a tooltip of their own show one
    for (QAction* action : { menuItemUndo_, menuItemRedo_ })
        action->setEnabled(false);
    // Over the rows and over the header row alike.
    for (QAbstractScrollArea* area : std::initializer_list<QAbstractScrollArea*> { this, horizontalHeader() }) {
        area->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(area, &QWidget::customContextMenuRequested, this,
            [this, area](const QPoint& pos) { popupMenu_->popup(area->viewport()->mapToGlobal(pos)); });
    }
}

int SubtitleGrid::currentTableRow() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() + 1 : 0;
}

int SubtitleGrid::currentTableColumn() const
{
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.column() : 0;
}

void SubtitleGrid::selectCell(int column, int row) { setCurrentIndex(model_.index(row - 1, column)); }

int SubtitleGrid::topRow() const { return verticalScrollBar()->value() + 1; }

void SubtitleGrid::setTopRow(int row)
{
    executeDelayedItemsLayout(); // the scroll range must know the rows just stored
    verticalScrollBar()->setValue(row - 1);
}

int SubtitleGrid::LineColumnWidth(int gridWidth) { return (gridWidth - 143) / 3; }

void SubtitleGrid::fitColumns()
{
    // Columns shown after the five (a translation's original) share the
    // line columns' room with them.
    int shared = 3;
    for (int c = 5; c < model_.columnCount(); ++c)
        shared += isColumnHidden(c) ? 0 : 1;
    const int lineWidth = shared == 3 ? LineColumnWidth(width()) : (width() - 143) / shared;
    setColumnWidth(0, 60);
    setColumnWidth(1, 60);
    for (int c = 2; c < model_.columnCount(); ++c)
        setColumnWidth(c, lineWidth);
}

void SubtitleGrid::keyPressEvent(QKeyEvent* event)
{
    emit keyDown(event->key(), event->modifiers());
    QTableView::keyPressEvent(event);
}

template <typename Handler> bool SubtitleGrid::asUserInput(Handler handle)
{
    ++userInputDepth_;
    const bool handled = handle();
    --userInputDepth_;
    return handled;
}

namespace {

bool isUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
        return true;
    default:
        return false;
    }
}

} // namespace

// Tab reaches the grid here, before keyPressEvent.
bool SubtitleGrid::event(QEvent* event)
{
    if (!isUserInput(event)) return QTableView::event(event);
    return asUserInput([&] { return QTableView::event(event); });
}

bool SubtitleGrid::viewportEvent(QEvent* event)
{
    if (!isUserInput(event)) return QTableView::viewportEvent(event);
    return asUserInput([&] { return QTableView::viewportEvent(event); });
}

// Tab or Backtab in the cell editor moves on to the next cell.
void SubtitleGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    if (hint != QAbstractItemDelegate::EditNextItem && hint != QAbstractItemDelegate::EditPreviousItem) {
        QTableView::closeEditor(editor, hint);
        return;
    }
    asUserInput([&] {
        QTableView::closeEditor(editor, hint);
        return true;
    });
}

void SubtitleGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTableView::currentChanged(current, previous);
    if (userInputDepth_ > 0 && current.isValid()) emit cellSelected(current.column(), current.row() + 1);
}

// A left click on the current cell selects it again, though nothing moves.
void SubtitleGrid::mousePressEvent(QMouseEvent* event)
{
    const QPersistentModelIndex before = currentIndex();
    QTableView::mousePressEvent(event);
    const QModelIndex pressed = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && pressed.isValid() && pressed == before && pressed == currentIndex())
        emit cellSelected(pressed.column(), pressed.row() + 1);
}

void SubtitleGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    fitColumns();
}

} // namespace tessel::app
