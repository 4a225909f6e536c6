#include "test_support.h"

#include <fstream>
#include <sstream>

namespace tessel::test {

void Fill(SubtitleTable& table, const std::vector<Row>& rows)
{
    table.setRowCount(static_cast<int>(rows.size()) + 1);
    for (size_t i = 0; i < rows.size(); ++i) {
        Row r = rows[i];
        r.resize(5);
        table.setRow(static_cast<int>(i) + 1, r[0], r[1], r[2], r[3], r[4]);
    }
}

std::vector<Row> Rows(const SubtitleTable& table)
{
    std::vector<Row> rows;
    for (int row = 1; row < table.rowCount(); ++row) {
        Row r;
        for (int c = 0; c < SubtitleTable::ColumnCount; ++c)
            r.emplace_back(table.cell(c, row));
        rows.push_back(r);
    }
    return rows;
}

std::vector<Row> ReadRows(ReaderFn read, const std::string& text, double fps)
{
    SubtitleTable table;
    LineReader lines(text);
    read(lines, table, 1, fps);
    return Rows(table);
}

std::string WriteRows(WriterFn write, const std::vector<Row>& rows, double fps)
{
    SubtitleTable table;
    Fill(table, rows);
    StringSink sink;
    WriteContext context;
    context.framerate = fps;
    write(table, 1, table.rowCount() - 1, context, sink);
    return sink.text();
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

} // namespace tessel::test
