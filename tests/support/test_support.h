#pragma once
#include "core/subtitle_table.h"
#include "formats/format.h"

#include <QTemporaryDir>
#include <string>
#include <vector>

// Small helpers the tests share.
namespace tessel::test {

using Row = std::vector<std::string>; // From, To, Line 1, Line 2, Line 3 (missing ones empty)

void Fill(SubtitleTable& table, const std::vector<Row>& rows);
std::vector<Row> Rows(const SubtitleTable& table);
std::string ReadFile(const std::string& path);
// A reader over the text into a fresh table, and a writer over the rows, at a framerate.
std::vector<Row> ReadRows(ReaderFn read, const std::string& text, double fps);
std::string WriteRows(WriterFn write, const std::vector<Row>& rows, double fps);
void WriteFile(const std::string& path, const std::string& bytes);

// Every byte of the document: all six cells of every row, the row count and the document's data.
std::string AllCells(const SubtitleTable& table);
// Rows in order with gaps, overlaps, empty texts, bracketed captions, leading
// commas, several-byte characters, frame cells that are not numbers, and
// format data in the hidden cell; the same rows for the same seed.
void Generate(SubtitleTable& table, int rows, unsigned seed);

// A folder of its own for each test, removed afterwards.
class TempDir {
public:
    std::string path(const std::string& name) const { return (dir_.path() + "/").toStdString() + name; }

private:
    QTemporaryDir dir_;
};

} // namespace tessel::test
