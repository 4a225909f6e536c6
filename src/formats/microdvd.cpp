#include "formats/microdvd.h"

#include "core/text_utils.h"

namespace tessel {
namespace {

// The text between the first "{" and the first "}", then the line less
// everything up to that "}".
std::string_view takeBraced(std::string_view& line)
{
    const size_t open = line.find('{');
    const size_t close = line.find('}');
    const long a = open == std::string_view::npos ? 0 : static_cast<long>(open) + 1;
    const long b = close == std::string_view::npos ? 0 : static_cast<long>(close) + 1;
    std::string_view value;
    const long count = b - a - 1;
    if (count > 0 && static_cast<size_t>(a) < line.size()) value = line.substr(static_cast<size_t>(a), count);
    line.remove_prefix(static_cast<size_t>(b));
    return value;
}

} // namespace

// A first line of three characters or more that opens with "{" and a digit or "-".
bool LooksLikeMicroDVD(const DetectionInput& input)
{
    const std::u32string start = FirstCharacters(input.firstLine, 3);
    return start.size() >= 3 && start[0] == '{' && (start[1] == '-' || (start[1] >= '0' && start[1] <= '9'));
}

void ReadMicroDVD(LineReader& lines, SubtitleTable& table, int firstRow, double)
{
    int row = firstRow;
    std::vector<std::string> pieces;
    while (!lines.atEnd()) {
        std::string_view line = lines.readLine();
        const std::string from(takeBraced(line));
        const std::string to(takeBraced(line));
        SplitText(line, "|", pieces, false, MaxStoredPieces);
        StoreRow(table, row, from, to, PieceOrEmpty(pieces, 0), PieceOrEmpty(pieces, 1), PieceOrEmpty(pieces, 2));
    }
}

namespace {

class Writer : public RowWriter {
public:
    void rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out) override;
    void finish(const SubtitleTable&, TextSink&) override { }
};

void Writer::rows(const SubtitleTable& table, int firstRow, int lastRow, TextSink& out)
{
    for (int row = firstRow; row <= lastRow; ++row) {
        out.write("{");
        out.write(table.cell(SubtitleTable::From, row));
        out.write("}{");
        out.write(table.cell(SubtitleTable::To, row));
        out.write("}");
        out.write(table.cell(SubtitleTable::Line1, row));
        for (int column : { SubtitleTable::Line2, SubtitleTable::Line3 }) {
            if (table.cell(column, row).empty()) continue;
            out.write("|");
            out.write(table.cell(column, row));
        }
        out.write("\r\n");
    }
}

} // namespace

std::unique_ptr<RowWriter> MakeMicroDVDWriter(const SubtitleTable&, const WriteContext&, TextSink&)
{
    return std::make_unique<Writer>();
}

void WriteMicroDVD(const SubtitleTable& table, int firstRow, int lastRow, const WriteContext& context, TextSink& out)
{
    WriteAllRows(MakeMicroDVDWriter, table, firstRow, lastRow, context, out);
}

} // namespace tessel
