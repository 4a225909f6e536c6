#include "formats/file_commands.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "formats/detect.h"
#include "formats/registry.h"
#include "formats/text_file.h"

namespace tessel {
namespace {

const FormatInfo& availableFormat(const FormatInfo* info)
{
    if (!info->read || !info->write) throw Error(std::string("The ") + info->name + " format is not available yet.");
    return *info;
}

} // namespace

LoadResult LoadSubtitles(
    SubtitleTable& table, const std::string& fileName, bool append, FramerateSource& framerate, MessageSink& messages)
{
    // Only the head is decoded to tell the format: a big file of another kind
    // is refused without decoding all of it.
    DecodedText text(ReadFileBytes(fileName), fileName);
    LoadResult result;
    {
        const std::string_view head = text.head();
        LineReader lines(head);
        const std::string firstLine(lines.readLine());
        result.format = DetectFormat(DetectionInput { firstLine, fileName, head });
    }
    const bool select = append && table.rowCount() > 2;
    const int firstRow = select ? table.rowCount() : 1;
    if (result.format == FormatCode::Unknown) {
        messages.showError(UnknownFormatMessage);
        return result;
    }
    const FormatInfo& format = availableFormat(FormatByCode(result.format));
    const double rate = format.readAsksFramerate ? framerate.ChooseFramerate(FramerateCaption, FrameratePrompt) : 0;
    {
        SubtitleTable::BulkChange bulk(table);
        LineReader lines(text.all());
        format.read(lines, table, firstRow, rate);
    }
    // An append that stored nothing leaves the selection alone.
    if (select && firstRow < table.rowCount()) {
        result.select = true;
        result.row = firstRow;
        result.topRow = firstRow <= 3 ? 1 : firstRow - 2;
    }
    return result;
}

bool SaveSubtitles(const SubtitleTable& table, const std::string& fileName, int fileType, SaveServices& services)
{
    const FormatInfo* info = FormatBySaveType(fileType);
    if (!info) return false;
    const FormatInfo& format = availableFormat(info);
    // The questions come before the file is touched; their errors leave here.
    WriteContext context;
    if (format.writeAsksFramerate)
        context.framerate = services.framerate.ChooseFramerate(FramerateCaption, FrameratePrompt);
    if (format.writeAsksExportSettings) {
        SsaExportAnswer answer = services.exportSettings.AskExportSettings();
        context.ssa = std::move(answer.settings);
        context.framerate = StrToFloat(answer.fpsText.toStdString(), services.decimalSeparator);
    }
    try {
        WriteTextFile(fileName, [&](TextSink& sink) { format.write(table, 1, table.rowCount() - 1, context, sink); });
        return true;
    } catch (const std::exception&) {
        services.messages.showError(SaveFailedMessage);
        return false;
    }
}

} // namespace tessel
