#include "app/check_dialog.h"

#include "app/placement.h"
#include "app/widget_helpers.h"
#include "app/window_font.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

namespace tessel::app {
namespace {

// Frames the questioned cell in red, over the text already drawn.
class MarkedCellDelegate : public QStyledItemDelegate {
public:
    explicit MarkedCellDelegate(const CheckDialog& dialog)
        : QStyledItemDelegate(nullptr)
        , dialog_(dialog)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        if (index.row() != dialog_.markRow() - 1 || index.column() != dialog_.markColumn()) return;
        painter->save();
        painter->setPen(QPen(Qt::red, 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }

private:
    const CheckDialog& dialog_;
};

constexpr int CodeChange = CheckChange, CodeIgnore = CheckIgnore, CodeAutoFix = CheckAutoFix, CodeCancel = CheckCancel;

} // namespace

CheckDialog::CheckDialog(const QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , mainWindow_(mainWindow)
{
    setObjectName(QStringLiteral("FormCheck"));
    setWindowTitle(QStringLiteral("Check & Correct"));
    setFont(WindowFont());
    setModal(true);
    info_ = MakeLabel(this, "LblInfoText", QStringLiteral("LblInfoText"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addSpacing(6);
    auto* infoRow = new QHBoxLayout;
    infoRow->setContentsMargins(8, 0, 8, 0);
    infoRow->addWidget(info_);
    layout->addLayout(infoRow);
    layout->addStretch(1);
    layout->addWidget(buildGrid());
    layout->addWidget(buildButtons());
    setFixedSize(591, 144);
}

QTableWidget* CheckDialog::buildGrid()
{
    grid_ = new QTableWidget(3, 5, this);
    grid_->setObjectName(QStringLiteral("SubtitleGrid"));
    grid_->setItemDelegate(new MarkedCellDelegate(*this));
    grid_->itemDelegate()->setParent(grid_);
    grid_->setHorizontalHeaderLabels({ QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("Line 1"),
        QStringLiteral("Line 2"), QStringLiteral("Line 3") });
    grid_->verticalHeader()->hide();
    grid_->verticalHeader()->setMinimumSectionSize(16);
    grid_->verticalHeader()->setDefaultSectionSize(16);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->horizontalHeader()->setHighlightSections(false);
    const int widths[] = { 57, 53, 153, 157, 162 };
    for (int c = 0; c < 5; ++c)
        grid_->setColumnWidth(c, widths[c]);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            grid_->setItem(r, c, new QTableWidgetItem);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid_->setTabKeyNavigation(true);
    grid_->setWordWrap(false);
    grid_->setFixedHeight(88);
    return grid_;
}

QWidget* CheckDialog::buildButtons()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(32);
    QPushButton* change = MakeButton(panel, "BtnChange", QStringLiteral("Change"));
    autoFix_ = MakeButton(panel, "BtnAutoFix", QStringLiteral("Auto-Fix"));
    autoFix_->setDefault(true);
    autoFix_->setEnabled(false);
    QPushButton* ignore = MakeButton(panel, "BtnIgnore", QStringLiteral("Ignore"));
    QPushButton* cancel = MakeButton(panel, "BtnCancel", QStringLiteral("Cancel"));
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, 8, 4);
    row->addStretch(1);
    for (QPushButton* button : { change, autoFix_, ignore, cancel })
        row->addWidget(button);
    setTabOrder(change, autoFix_);
    setTabOrder(autoFix_, ignore);
    setTabOrder(ignore, cancel);
    connect(change, &QPushButton::clicked, this, [this] { finish(CodeChange); });
    connect(autoFix_, &QPushButton::clicked, this, [this] { finish(CodeAutoFix); });
    connect(ignore, &QPushButton::clicked, this, [this] { finish(CodeIgnore); });
    connect(cancel, &QPushButton::clicked, this, [this] { finish(CodeCancel); });
    return panel;
}

int CheckDialog::Exec(CheckWindow& window, const QString& message, bool autoFixEnabled)
{
    fill(window);
    info_->setText(message);
    PlaceThirdDownOver(*this, mainWindow_);
    autoFix_->setEnabled(autoFixEnabled);
    exec();
    readBack(window);
    return checkResult_;
}

void CheckDialog::fill(const CheckWindow& window)
{
    for (int r = 0; r < window.rowsFilled && r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            grid_->item(r, c)->setText(
                QString::fromStdString(window.rows[static_cast<size_t>(r)][static_cast<size_t>(c)]));
    markColumn_ = window.markColumn;
    markRow_ = window.markRow;
    grid_->setCurrentCell(markRow_ - 1, markColumn_);
    grid_->viewport()->update();
}

void CheckDialog::readBack(CheckWindow& window) const
{
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c)
            window.rows[static_cast<size_t>(r)][static_cast<size_t>(c)] = grid_->item(r, c)->text().toStdString();
}

// An edit still open in the grid counts as made.
void CheckDialog::commitEditing()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != grid_ && grid_->isAncestorOf(focus)) focus->clearFocus();
}

void CheckDialog::finish(int code)
{
    commitEditing();
    checkResult_ = code;
    done(code == CodeCancel ? QDialog::Rejected : QDialog::Accepted);
}

void CheckDialog::reject()
{
    commitEditing();
    done(QDialog::Rejected);
}

void CheckDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        finish(CodeIgnore);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tessel::app
