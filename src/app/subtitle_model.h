#pragma once
#include "core/subtitle_table.h"

#include <QAbstractTableModel>
#include <functional>

// The grid's view of the one subtitle table: model row i is table row i + 1,
// the table's header row is the horizontal header. Edits write the table; the
// table's listener calls keep the view in step, a bulk change as one reset.
namespace tessel::app {

// Read-only columns the view shows after the table's five, taken from
// outside the table (the original of a translation). Rows are table rows.
class ExtraColumns {
public:
    virtual ~ExtraColumns() = default;
    virtual int count() const = 0;
    virtual QVariant data(int column, int row, int role) const = 0;
    virtual QString header(int column) const = 0;
};

class SubtitleModel : public QAbstractTableModel, private TableListener {
    Q_OBJECT
public:
    explicit SubtitleModel(SubtitleTable& table, QObject* parent = nullptr);
    ~SubtitleModel() override;

    SubtitleTable& table() { return table_; }

    // How an in-place edit writes its cell (the undo wiring makes it a step);
    // without one it is written as it is.
    using CellWriter = std::function<void(int column, int row, const QString& text)>;
    void setCellWriter(CellWriter writer) { cellWriter_ = std::move(writer); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // Columns shown after the five; nullptr: none. The model does not own them.
    void setExtraColumns(ExtraColumns* columns);
    // Their number or content changed.
    void extraColumnsChanged();
    int extraColumnCount() const { return extraCount_; }

signals:
    // The user changed a cell's text in place (table column and row).
    void cellEdited(int column, int row);

private:
    void rowsAboutToBeInserted(int first, int count) override;
    void rowsInserted() override;
    void rowsAboutToBeRemoved(int first, int count) override;
    void rowsRemoved() override;
    void cellChanged(int column, int row) override;
    void resetBegins() override;
    void resetEnds() override;

    SubtitleTable& table_;
    CellWriter cellWriter_;
    ExtraColumns* extra_ = nullptr;
    int extraCount_ = 0; // as the view was last told
};

} // namespace tessel::app
