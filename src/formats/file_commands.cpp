#include "formats/file_commands.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "formats/ass.h"
#include "formats/detect.h"
#include "formats/ebu_stl.h"
#include "formats/kept_data.h"
#include "formats/registry.h"
#include "formats/text_file.h"
#include "formats/ttml.h"
#include "formats/webvtt.h"

#include <memory>
#include <optional>

namespace tessel {
namespace {

const FormatInfo& availableFormat(const FormatInfo* info)
{
    if (!info->read || !info->write) throw Error(std::string("The ") + info->name + " format is not available yet.");
    return *info;
}

// The bytes' encoding when the user is to be asked, or nothing; throws
// nothing but leaves `cancelled` set when the user declined. Without anyone
// to ask, an unsure guess is a note.
QByteArray chosenEncoding(
    const std::string& fileName, const QByteArray& bytes, const ReadEncoding& encoding, bool& cancelled, bool& unsure)
{
    if (!encoding.forced.isEmpty() || !NeedsCodePage(bytes)) return encoding.forced;
    const EncodingGuess guess = GuessCodePage(bytes);
    if (!guess.unsure) return {};
    if (!encoding.chooser) {
        unsure = guess.strayLines.empty();
        return {};
    }
    const std::optional<QByteArray> chosen = encoding.chooser->ChooseEncoding(fileName, bytes, guess);
    cancelled = !chosen;
    return chosen.value_or(QByteArray());
}

std::string strayNote(const DecodedText& text)
{
    const bool one = text.strayLineCount() == 1;
    const std::string read = text.strayCodePage().isEmpty() ? std::string("became U+FFFD")
                                                            : "were read as " + text.strayCodePage().toStdString();
    return NameLines(text.strayLines(), text.strayLineCount()) + (one ? " holds" : " hold")
        + " bytes that are not UTF-8; they " + read + ".";
}

// Only an opened file's document keeps every skipped line: appended rows
// bring those between their events, not those before or after them.
std::string skippedNote(const std::vector<int>& lines, const FormatInfo& format, bool opened)
{
    const bool one = lines.size() == 1;
    return NameLines(lines, static_cast<int>(lines.size()))
        + (one ? " could not be read as a subtitle and was" : " could not be read as subtitles and were")
        + (opened ? " skipped; a save as " + std::string(format.name) + " writes " + (one ? "it" : "them") + " back."
                  : std::string(" skipped."));
}

// A copy without the rows `skip` picks, document data included; `kept`
// is how many rows it holds (its one row is empty when none).
std::unique_ptr<SubtitleTable> copyWithout(const SubtitleTable& table, bool (*skip)(std::string_view extra), int& kept)
{
    auto copy = std::make_unique<SubtitleTable>();
    int row = 1;
    for (int from = 1; from < table.rowCount(); ++from) {
        if (skip(table.cell(SubtitleTable::Extra, from))) continue;
        if (row >= copy->rowCount()) copy->setRowCount(row + 1);
        copy->setRow(row++, table.cell(SubtitleTable::From, from), table.cell(SubtitleTable::To, from),
            table.cell(SubtitleTable::Line1, from), table.cell(SubtitleTable::Line2, from),
            table.cell(SubtitleTable::Line3, from), table.cell(SubtitleTable::Extra, from));
    }
    copy->setDocumentData(table.documentData());
    kept = row - 1;
    return copy;
}

// The text (or, for a binary format, the bytes) a reader gets, and the
// format the file is in.
struct ReadInput {
    FormatCode format = FormatCode::Unknown;
    std::optional<DecodedText> text;
    QByteArray bytes; // of a binary format, as they are
};

// Only the head is decoded to tell the format: a big file of another kind is
// refused without decoding all of it.
void detectText(ReadInput& input, QByteArray bytes, const std::string& fileName, const QByteArray& encodingName)
{
    input.text.emplace(std::move(bytes), fileName, encodingName);
    const std::string_view head = input.text->head();
    LineReader lines(head);
    const std::string firstLine(lines.readLine());
    input.format = DetectFormat(DetectionInput { firstLine, fileName, head });
}

} // namespace

LoadResult LoadSubtitles(SubtitleTable& table, const std::string& fileName, bool append, FramerateSource& framerate,
    MessageSink& messages, const ReadEncoding& encoding, FilmTrackSource* films)
{
    LoadResult result;
    bool unsure = false;
    ReadInput input;
    if (films && films->HoldsFilm(fileName)) {
        std::optional<FilmTrackDocument> track = films->ReadChosenTrack(fileName);
        if (!track) {
            result.cancelled = true;
            return result;
        }
        input.format = track->format;
        input.text.emplace(std::move(track->text), fileName, QByteArray("UTF-8"));
        result.documentName = track->name;
        if (!track->note.empty()) result.notes.push_back(track->note);
    } else {
        QByteArray bytes = ReadFileBytes(fileName);
        input.format
            = DetectBinaryFormat(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), fileName);
        if (input.format != FormatCode::Unknown) {
            input.bytes = std::move(bytes);
        } else {
            const QByteArray encodingName = chosenEncoding(fileName, bytes, encoding, result.cancelled, unsure);
            if (result.cancelled) return result;
            detectText(input, std::move(bytes), fileName, encodingName);
        }
    }
    result.format = input.format;
    const bool select = append && table.rowCount() > 2;
    const int firstRow = select ? table.rowCount() : 1;
    if (result.format == FormatCode::Unknown) {
        messages.showError(UnknownFormatMessage);
        return result;
    }
    if (unsure && input.text)
        result.notes.push_back("The encoding could not be told for sure: the file was read as "
            + input.text->codePage().toStdString() + " (--encoding reads it in another).");
    if (input.text && !input.text->strayLines().empty()) result.notes.push_back(strayNote(*input.text));
    const FormatInfo& format = availableFormat(FormatByCode(result.format));
    const double rate = format.readAsksFramerate ? framerate.ChooseFramerate(FramerateCaption, FrameratePrompt) : 0;
    {
        SubtitleTable::BulkChange bulk(table);
        // An opened file that stored rows leaves no document data of another format.
        const uint64_t before = table.revision();
        const auto settle = [&] {
            if (firstRow == 1 && table.revision() != before && !IsKeptBy(table.documentData(), format.id))
                table.setDocumentData({});
        };
        const std::string_view all = input.text
            ? input.text->all()
            : std::string_view(input.bytes.constData(), static_cast<size_t>(input.bytes.size()));
        // Every format spends well over 32 bytes on a usual subtitle: room
        // for the rows such a text holds, taken once instead of growing.
        table.reserveRows(firstRow + static_cast<int>(all.size() / 32));
        LineReader lines(all);
        if (input.text) lines.setByteOrderMark(input.text->byteOrderMark());
        try {
            format.read(lines, table, firstRow, rate);
        } catch (...) {
            settle();
            throw;
        }
        settle();
        if (!lines.skipped().empty()) result.notes.push_back(skippedNote(lines.skipped(), format, firstRow == 1));
    }
    // An append that stored nothing leaves the selection alone.
    if (select && firstRow < table.rowCount()) {
        result.select = true;
        result.row = firstRow;
        result.topRow = firstRow <= 3 ? 1 : firstRow - 2;
    }
    return result;
}

void WriteSubtitles(const SubtitleTable& table, const FormatInfo& format, const WriteContext& context,
    const OutputEncoding& output, TextSink& out)
{
    std::unique_ptr<SubtitleTable> shown;
    int lastRow = table.rowCount() - 1;
    if (std::string_view(format.id) != "ass") {
        for (int row = 1; row < table.rowCount() && !shown; ++row)
            if (IsAssComment(table.cell(SubtitleTable::Extra, row))) shown = copyWithout(table, IsAssComment, lastRow);
    }
    const SubtitleTable& written = shown ? *shown : table;
    // A file of the format's own is written as it was read: its mark, its line ends.
    OutputEncoding as = output;
    if (output.isDefault() && output.keepFileForm) {
        const FileForm form = KeptFileForm(written.documentData(), format.id);
        as.byteOrderMark = form.byteOrderMark;
        as.crlf = !form.lineFeeds;
    }
    if (as.isDefault() || format.binary) return format.write(written, 1, lastRow, context, out);
    CheckEncodable(written, 1, lastRow, format.id, as);
    EncodingSink encoded(out, as);
    format.write(written, 1, lastRow, context, encoded);
    encoded.finish();
}

bool SaveSubtitles(const SubtitleTable& table, const std::string& fileName, int fileType, SaveServices& services)
{
    const SaveTarget file
        = [&fileName](const std::function<void(TextSink&)>& write) { WriteTextFile(fileName, write); };
    return SaveSubtitlesTo(table, file, fileType, services);
}

bool SaveSubtitlesTo(const SubtitleTable& table, const SaveTarget& target, int fileType, SaveServices& services)
{
    const FormatInfo* info = FormatBySaveType(fileType);
    if (!info) return false;
    const FormatInfo& format = availableFormat(info);
    // The questions come before the file is touched; their errors leave here.
    // A script of the format's own carries its styles: no settings are asked.
    WriteContext context;
    services.notes.clear();
    context.notes = &services.notes;
    const bool askExport = format.writeAsksExportSettings && !IsKeptBy(table.documentData(), format.id);
    if (format.writeAsksFramerate && !askExport)
        context.framerate = services.framerate.ChooseFramerate(FramerateCaption, FrameratePrompt);
    if (askExport) {
        SsaExportAnswer answer = services.exportSettings.AskExportSettings();
        context.ssa = std::move(answer.settings);
        context.framerate = StrToFloat(answer.fpsText.toStdString(), services.decimalSeparator);
    }
    try {
        target([&](TextSink& sink) { WriteSubtitles(table, format, context, services.output, sink); });
        return true;
    } catch (const UnencodableText& e) {
        services.messages.showError(QString::fromStdString(e.what()));
        return false;
    } catch (const std::exception&) {
        services.messages.showError(SaveFailedMessage);
        return false;
    }
}

std::string DescribeUnwritten(const SubtitleTable& table, const FormatInfo& format)
{
    std::vector<std::string> items = AssDataLeftOut(table, format.id);
    for (auto* more : { WebVttDataLeftOut, EbuStlDataLeftOut, TtmlDataLeftOut })
        for (std::string& item : more(table, format.id))
            items.push_back(std::move(item));
    if (items.empty()) return {};
    std::string sentence;
    for (size_t i = 0; i < items.size(); ++i)
        sentence += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    const bool one = items.size() == 1 && items[0].compare(0, 2, "1 ") == 0;
    return sentence + (one ? " was" : " were") + " not written: " + format.id + " has no place for them";
}

} // namespace tessel
