#include "app/subtitle_model.h"

#include "formats/ass.h"

#include <QColor>

namespace tessel::app {

SubtitleModel::SubtitleModel(SubtitleTable& table, QObject* parent)
    : QAbstractTableModel(parent)
    , table_(table)
{
    table_.setListener(this);
}

SubtitleModel::~SubtitleModel() { table_.setListener(nullptr); }

int SubtitleModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : table_.rowCount() - 1; }

int SubtitleModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : SubtitleTable::ColumnCount + extraCount_;
}

QVariant SubtitleModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid()) return {};
    if (index.column() >= SubtitleTable::ColumnCount)
        return extra_ ? extra_->data(index.column() - SubtitleTable::ColumnCount, index.row() + 1, role) : QVariant();
    // A script's comment events are rows like any other, greyed: they are shown nowhere.
    if (role == Qt::ForegroundRole)
        return IsAssComment(table_.cell(SubtitleTable::Extra, index.row() + 1)) ? QVariant(QColor(Qt::gray))
                                                                                : QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
    return table_.text(index.column(), index.row() + 1);
}

QVariant SubtitleModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section >= SubtitleTable::ColumnCount && extra_) return extra_->header(section - SubtitleTable::ColumnCount);
    if (section < 0 || section >= SubtitleTable::ColumnCount) return {};
    return table_.text(section, 0);
}

Qt::ItemFlags SubtitleModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    // Shown only: never the current cell, which the grid's commands write.
    if (index.column() >= SubtitleTable::ColumnCount) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

bool SubtitleModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || role != Qt::EditRole || index.column() >= SubtitleTable::ColumnCount) return false;
    const int row = index.row() + 1;
    if (table_.text(index.column(), row) == value.toString()) return true;
    if (cellWriter_)
        cellWriter_(index.column(), row, value.toString());
    else
        table_.setText(index.column(), row, value.toString());
    emit cellEdited(index.column(), row);
    return true;
}

void SubtitleModel::setExtraColumns(ExtraColumns* columns)
{
    extra_ = columns;
    extraColumnsChanged();
}

void SubtitleModel::extraColumnsChanged()
{
    const int count = extra_ ? extra_->count() : 0;
    const int first = SubtitleTable::ColumnCount;
    if (count > extraCount_) {
        beginInsertColumns(QModelIndex(), first + extraCount_, first + count - 1);
        extraCount_ = count;
        endInsertColumns();
    } else if (count < extraCount_) {
        beginRemoveColumns(QModelIndex(), first + count, first + extraCount_ - 1);
        extraCount_ = count;
        endRemoveColumns();
    }
    if (count == 0) return;
    emit headerDataChanged(Qt::Horizontal, first, first + count - 1);
    emit dataChanged(index(0, first), index(rowCount() - 1, first + count - 1));
}

void SubtitleModel::rowsAboutToBeInserted(int first, int count)
{
    beginInsertRows(QModelIndex(), first - 1, first - 1 + count - 1);
}

void SubtitleModel::rowsInserted() { endInsertRows(); }

void SubtitleModel::rowsAboutToBeRemoved(int first, int count)
{
    beginRemoveRows(QModelIndex(), first - 1, first - 1 + count - 1);
}

void SubtitleModel::rowsRemoved() { endRemoveRows(); }

void SubtitleModel::cellChanged(int column, int row)
{
    const int first = column < 0 ? 0 : column;
    const int last = column < 0 ? SubtitleTable::ColumnCount - 1 : column;
    emit dataChanged(index(row - 1, first), index(row - 1, last), { Qt::DisplayRole, Qt::EditRole });
}

void SubtitleModel::resetBegins() { beginResetModel(); }

void SubtitleModel::resetEnds() { endResetModel(); }

} // namespace tessel::app
