#include "cli/convert.h"

#include "cli/options.h"
#include "cli/reading_steps.h"
#include "cli/tool_steps.h"
#include "core/errors.h"
#include "core/user_prompts.h"
#include "formats/detect.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "formats/text_file.h"

#include <cstdio>

namespace tessel::cli {
namespace {

class StreamMessages : public MessageSink {
public:
    explicit StreamMessages(std::ostream& err)
        : err_(err)
    {
    }
    void showMessage(const QString&, const QString& text, MessageIcon) override
    {
        err_ << text.toStdString() << '\n';
        ++count_;
    }
    int count() const { return count_; }

private:
    std::ostream& err_;
    int count_ = 0;
};

void appendEscaped(std::string& out, std::string_view cell)
{
    for (char c : cell) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            out += c;
        }
    }
}

int detect(const Options& options, std::ostream& out)
{
    const FormatCode code = DetectFormat(options.input);
    const FormatInfo* format = FormatByCode(code);
    out << static_cast<int>(code) << ' ' << (format ? format->name : "unknown") << '\n';
    return code == FormatCode::Unknown ? 1 : 0;
}

int write(const SubtitleTable& table, const Options& options, std::ostream& out, StreamMessages& messages)
{
    const bool toStdout = options.output.empty() || options.output == "-";
    if (options.format == "table") {
        const std::string dump = DumpTable(table);
        if (toStdout) {
            out << dump;
            return 0;
        }
        try {
            WriteTextFile(options.output, [&](TextSink& sink) { sink.write(dump); });
        } catch (const std::exception&) {
            messages.showError(SaveFailedMessage);
            return 1;
        }
        return 0;
    }
    const FormatInfo* format = FormatById(options.format);
    FixedFramerate fps(options.outFps);
    SsaExportAnswer answer;
    answer.fpsText = QString::number(options.outFps, 'g', 17);
    FixedExportSettings exportSettings(answer);
    if (!toStdout) {
        SaveServices services { fps, exportSettings, messages, '.' };
        return SaveSubtitles(table, options.output, format->saveType, services) ? 0 : 1;
    }
    if (!format->write) throw Error(std::string("The ") + format->name + " format is not available yet.");
    StringSink sink;
    WriteContext context;
    context.framerate = options.outFps;
    try {
        format->write(table, 1, table.rowCount() - 1, context, sink);
    } catch (const std::exception&) {
        messages.showError(SaveFailedMessage);
        return 1;
    }
    out << sink.text();
    return 0;
}

} // namespace

std::string DumpTable(const SubtitleTable& table)
{
    std::string out = "From\tTo\tLine 1\tLine 2\tLine 3\n";
    for (int row = 1; row < table.rowCount(); ++row) {
        for (int column = 0; column < SubtitleTable::ColumnCount; ++column) {
            if (column) out += '\t';
            appendEscaped(out, table.cell(column, row));
        }
        out += '\n';
    }
    return out;
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    Options options;
    try {
        options = ParseOptions(args);
    } catch (const UsageError& e) {
        err << "tessel-convert: " << e.message << "\n\n" << UsageText();
        return 2;
    }
    StreamMessages messages(err);
    try {
        if (options.detect) return detect(options, out);
        if (options.listProfiles) return ListProfiles(out, err);
        SubtitleTable table;
        FixedFramerate fps(options.inFps);
        const LoadResult loaded = LoadSubtitles(table, options.input, false, fps, messages);
        if (loaded.format == FormatCode::Unknown) return 1;
        const double framerate = RunToolSteps(options.steps, table, messages, options.inFps);
        if (!options.lint.empty()) return LintTable(table, options.lint, framerate, out);
        return write(table, options, out, messages);
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}

} // namespace tessel::cli
