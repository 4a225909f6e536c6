#include "test_support.h"

#include <fstream>
#include <random>
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

std::string AllCells(const SubtitleTable& table)
{
    std::string s = std::to_string(table.rowCount()) + '\n' + table.documentData() + '\n';
    s.reserve(table.storedBytes() + 8 * SubtitleTable::CellCount * static_cast<size_t>(table.rowCount()));
    for (int row = 1; row < table.rowCount(); ++row)
        for (int c = 0; c < SubtitleTable::CellCount; ++c) {
            const std::string_view cell = table.cell(c, row);
            s += std::to_string(cell.size()) + ':';
            s += cell;
        }
    for (const auto& [key, value] : table.allSideData())
        s += '\n' + key + '=' + value;
    return s;
}

void Generate(SubtitleTable& table, int rows, unsigned seed)
{
    std::mt19937 random(seed);
    const char* const texts[] = { "", "Hello", "[door slams]", ",and then", "Ça va, déjà vu", "日本語の字幕", "  ",
        "<i>tag</i>", "{\\an8}top", "long line of text for the width" };
    auto text = [&] { return texts[random() % std::size(texts)]; };
    SubtitleTable::BulkChange bulk(table);
    table.setRowCount(rows + 1);
    int frame = 0;
    for (int row = 1; row <= rows; ++row) {
        frame += static_cast<int>(random() % 60);
        const int end = frame + static_cast<int>(random() % 90) - 5;
        const std::string from = random() % 97 == 0 ? "x12" : std::to_string(frame);
        const std::string extra = random() % 3 == 0 ? "Dialogue,0,Default" + std::to_string(row) : "";
        if (row % 17 == 0)
            table.setRow(row, from, std::to_string(end), "", " ", "", extra);
        else
            table.setRow(row, from, std::to_string(end), text(), text(), text(), extra);
    }
    table.setDocumentData("[Script Info]\nTitle: generated");
}

} // namespace tessel::test
