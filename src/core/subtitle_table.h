#pragma once
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tessel {

// Told about every change of the table, so that a view can follow it. Changes
// inside a BulkChange arrive as one reset.
class TableListener {
public:
    virtual ~TableListener() = default;
    // Table row indexes; `first` is where the rows go in or come out.
    virtual void rowsAboutToBeInserted(int first, int count) = 0;
    virtual void rowsInserted() = 0;
    virtual void rowsAboutToBeRemoved(int first, int count) = 0;
    virtual void rowsRemoved() = 0;
    // column -1: the whole row.
    virtual void cellChanged(int column, int row) = 0;
    virtual void resetBegins() = 0;
    virtual void resetEnds() = 0;
};

// The document: a header row (row 0) and at least one subtitle row, five text
// cells each (From, To, Line 1, Line 2, Line 3). Cells hold UTF-8 text.
class SubtitleTable {
public:
    enum Column { From = 0, To = 1, Line1 = 2, Line2 = 3, Line3 = 4 };
    static constexpr int ColumnCount = 5;
    static constexpr std::array<std::string_view, ColumnCount> HeaderTexts
        = { "From", "To", "Line 1", "Line 2", "Line 3" };

    SubtitleTable();
    SubtitleTable(const SubtitleTable&) = delete;
    SubtitleTable& operator=(const SubtitleTable&) = delete;

    // Header row included; never below 2.
    int rowCount() const { return static_cast<int>(rows_.size()) + 1; }
    // Grows with empty rows or cuts off the rows at and after the new count.
    void setRowCount(int count);

    std::string_view cell(int column, int row) const;
    QString text(int column, int row) const;
    void setCell(int column, int row, std::string_view text);
    void setText(int column, int row, const QString& text) { setCell(column, row, text.toUtf8().toStdString()); }
    // All five cells of a subtitle row at once.
    void setRow(int row, std::string_view from, std::string_view to, std::string_view line1, std::string_view line2,
        std::string_view line3);
    std::array<std::string, ColumnCount> row(int row) const;

    // Removes the subtitle rows the predicate picks, in one pass, keeping at
    // least one row; returns how many went.
    int removeRowsWhere(const std::function<bool(int row)>& remove);
    void insertRow(int row); // an empty row at that index, the rest moves down
    void deleteRow(int row); // the rows after it move up; the last row cannot go

    // Counts every change; a window compares it with the count at its last save.
    uint64_t revision() const { return revision_; }

    void setListener(TableListener* listener) { listener_ = listener; }

    // Changes made while one exists reach the listener as one reset.
    class BulkChange {
    public:
        explicit BulkChange(SubtitleTable& table);
        ~BulkChange();
        BulkChange(const BulkChange&) = delete;
        BulkChange& operator=(const BulkChange&) = delete;

    private:
        SubtitleTable& table_;
    };

private:
    // One row's cells packed into one buffer: far less memory than five strings.
    class Row {
    public:
        std::string_view cell(int column) const;
        void set(int column, std::string_view text);
        void setAll(std::string_view a, std::string_view b, std::string_view c, std::string_view d, std::string_view e);

    private:
        std::string buffer_;
        std::array<uint32_t, ColumnCount> ends_ {};
    };

    Row& subtitleRow(int row);
    const Row& subtitleRow(int row) const;
    void changed(int column, int row);
    bool notifying() const { return listener_ && bulkDepth_ == 0; }

    std::vector<Row> rows_;
    uint64_t revision_ = 0;
    TableListener* listener_ = nullptr;
    int bulkDepth_ = 0;
};

} // namespace tessel
