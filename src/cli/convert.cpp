#include "cli/convert.h"

#include "cli/batch.h"
#include "cli/options.h"
#include "cli/reading_steps.h"
#include "cli/shot_steps.h"
#include "cli/text_steps.h"
#include "cli/tool_steps.h"
#include "core/errors.h"
#include "core/user_prompts.h"
#include "formats/detect.h"
#include "formats/file_commands.h"
#include "formats/registry.h"
#include "formats/text_file.h"
#include "media/film_subtitles.h"
#include "picture/ocr_reader.h"
#include "tessel_version.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <iomanip>
#include <optional>

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

// Messages said only once a conversion is done, in the order they came.
class HeldMessages : public MessageSink {
public:
    void showMessage(const QString& title, const QString& text, MessageIcon icon) override
    {
        held_.push_back({ title, text, icon });
    }
    void replay(MessageSink& to) const
    {
        for (const Held& m : held_)
            to.showMessage(m.title, m.text, m.icon);
    }

private:
    struct Held {
        QString title, text;
        MessageIcon icon;
    };
    std::vector<Held> held_;
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

// Standard output gets the text only once all of it is there, as a file
// would, and a failure to take it (a full device) is a failed save.
void writeToStream(std::ostream& out, const std::function<void(TextSink&)>& write)
{
    StringSink sink;
    write(sink);
    out << sink.text();
    out.flush();
    if (!out) throw Error("Cannot write to standard output.");
}

SaveTarget targetOf(const Options& options, std::ostream& out)
{
    const bool toStdout = options.output.empty() || options.output == "-";
    return [&options, &out, toStdout](const std::function<void(TextSink&)>& write) {
        if (toStdout)
            writeToStream(out, write);
        else
            WriteTextFile(options.output, write);
    };
}

OutputEncoding outputEncoding(const Options& options)
{
    OutputEncoding output = options.outEncoding.empty() ? OutputEncoding() : *ParseOutputEncoding(options.outEncoding);
    output.crlf = !options.lf;
    // Chosen: a script's own mark and line ends give way.
    output.keepFileForm = options.outEncoding.empty() && !options.lineEndsGiven;
    return output;
}

int write(const SubtitleTable& table, const Options& options, std::ostream& out, StreamMessages& messages)
{
    const SaveTarget target = targetOf(options, out);
    if (options.format == "table") {
        try {
            target([&](TextSink& sink) { sink.write(DumpTable(table)); });
        } catch (const std::exception&) {
            messages.showError(SaveFailedMessage);
            return 1;
        }
        return 0;
    }
    const FormatInfo* format = FormatById(options.format);
    const OutputEncoding output = outputEncoding(options);
    // What the target cannot hold is said before it is left out.
    if (const std::string unwritten = DescribeUnwritten(table, *format); !unwritten.empty())
        messages.showMessage(QStringLiteral("Warning"), QString::fromStdString(unwritten), MessageIcon::Warning);
    FixedFramerate fps(options.outFps);
    SsaExportAnswer answer;
    answer.fpsText = QString::number(options.outFps, 'g', 17);
    answer.pictureWidth = options.pictureWidth;
    answer.pictureHeight = options.pictureHeight;
    FixedExportSettings exportSettings(answer);
    SaveServices services { fps, exportSettings, messages, '.', output };
    const bool saved = SaveSubtitlesTo(table, target, format->saveType, services);
    for (const std::string& note : services.notes)
        messages.showMessage(QStringLiteral("Warning"), QString::fromStdString(note), MessageIcon::Warning);
    return saved ? 0 : 1;
}

// Nothing asks for the whole table: the rows can go from the reader to the
// writer a block at a time.
bool flows(const Options& options)
{
    return !options.wholeTable && options.lint.empty() && options.spellCheck.empty() && options.format != "table"
        && options.steps.empty() && options.shotChanges.empty();
}

struct NothingRead { };

// Pictures of text are read by OCR over the whole table.
class PicturesReadWhole : public PictureSubtitleReader {
public:
    bool ReadPictures(const PictureSubtitleSource&, SubtitleTable&, int, double, std::vector<std::string>&) override
    {
        throw FlowStopped();
    }
};

// The conversion with its rows flowing from the reader to the writer: the
// same bytes and messages as the whole table gives, with a window of the file
// and a block of rows in memory. Nothing when it has to be done whole after
// all; then nothing was written or said.
std::optional<int> convertFlowing(const Options& options, std::ostream& out, StreamMessages& said)
{
    HeldMessages held, saving;
    const FormatInfo* format = FormatById(options.format);
    FixedFramerate outFps(options.outFps);
    SsaExportAnswer answer;
    answer.fpsText = QString::number(options.outFps, 'g', 17);
    answer.pictureWidth = options.pictureWidth;
    answer.pictureHeight = options.pictureHeight;
    FixedExportSettings exportSettings(answer);
    SaveServices services { outFps, exportSettings, saving, '.', outputEncoding(options) };
    FlowingSave save(*format, services);
    SubtitleTable table;
    FixedFramerate inFps(options.inFps);
    FilmSubtitles films(nullptr, options.track, true);
    PicturesReadWhole pictures;
    LoadResult loaded;
    bool reading = false, read = false;
    try {
        targetOf(options, out)([&](TextSink& sink) {
            reading = true;
            const FlowingSave::Writing writing(save, sink);
            loaded = LoadSubtitles(table, options.input, false, inFps, held,
                ReadEncoding { QByteArray::fromStdString(options.encoding) }, &films, &pictures, &save);
            if (loaded.format == FormatCode::Unknown) throw NothingRead();
            read = true;
            save.finish(table);
        });
    } catch (const NothingRead&) {
        held.replay(said);
        return 1;
    } catch (const FlowStopped&) {
        return std::nullopt;
    } catch (const ReadFileWhole&) {
        return std::nullopt;
    } catch (const std::exception&) {
        // Only a reading error is said as the whole table would say it; the
        // output's own errors come after the reading there.
        if (!reading || read) return std::nullopt;
        held.replay(said);
        throw;
    }
    held.replay(said);
    for (const std::string& note : loaded.notes)
        said.showMessage(QStringLiteral("Warning"), QString::fromStdString(note), MessageIcon::Warning);
    if (!save.unwritten().empty())
        said.showMessage(QStringLiteral("Warning"), QString::fromStdString(save.unwritten()), MessageIcon::Warning);
    saving.replay(said);
    for (const std::string& note : services.notes)
        said.showMessage(QStringLiteral("Warning"), QString::fromStdString(note), MessageIcon::Warning);
    return 0;
}

int listTracks(const std::string& film, std::ostream& out, std::ostream& err)
{
    try {
        for (const FilmTrack& track : ListSubtitleTracks(film))
            out << DescribeTrack(track) << '\n';
        return 0;
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
}

// Picture subtitles: read in the language asked for, with the progress said
// on standard error every few seconds.
OcrSubtitleReader ocrReader(const Options& options, std::ostream& err)
{
    OcrServices services;
    services.language = options.ocrLanguage;
    services.chooseTrack = [&options](const std::string&, const std::vector<FilmTrack>& tracks) {
        return std::optional<int>(options.track.value_or(tracks.front().number));
    };
    services.run = [&err](OcrJob& job) {
        const auto start = std::chrono::steady_clock::now();
        auto said = start;
        while (!job.waitFor(std::chrono::milliseconds(200))) {
            const auto now = std::chrono::steady_clock::now();
            if (now - said < std::chrono::seconds(5) || job.total() == 0) continue;
            said = now;
            err << "OCR: " << job.done() << " of " << job.total() << " subtitles read\n";
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        err << "OCR: " << job.done() << " subtitles read in " << std::fixed << std::setprecision(1) << seconds
            << " s\n";
        err.unsetf(std::ios::fixed);
    };
    return OcrSubtitleReader(std::move(services));
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

int ConvertFile(const Options& options, std::ostream& out, std::ostream& err)
{
    StreamMessages messages(err);
    try {
        if (flows(options))
            if (const std::optional<int> status = convertFlowing(options, out, messages)) return *status;
        SubtitleTable table;
        FixedFramerate fps(options.inFps);
        FilmSubtitles films(nullptr, options.track, true);
        OcrSubtitleReader pictures = ocrReader(options, err);
        const LoadResult loaded = LoadSubtitles(table, options.input, false, fps, messages,
            ReadEncoding { QByteArray::fromStdString(options.encoding) }, &films, &pictures);
        if (loaded.format == FormatCode::Unknown) return 1;
        for (const std::string& note : loaded.notes)
            messages.showMessage(QStringLiteral("Warning"), QString::fromStdString(note), MessageIcon::Warning);
        std::optional<ShotChangeInput> shotChanges;
        if (!options.shotChanges.empty()) {
            shotChanges.emplace(options.shotChanges);
            const bool used = !options.lint.empty()
                || std::any_of(options.steps.begin(), options.steps.end(),
                    [](const ToolStep& s) { return s.option == "--fix-reading"; });
            if (!used)
                messages.showMessage(QStringLiteral("Warning"),
                    QStringLiteral("--shot-changes does nothing without --lint or --fix-reading"),
                    MessageIcon::Warning);
        }
        ShotChangeInput* shots = shotChanges ? &*shotChanges : nullptr;
        const double framerate = RunToolSteps(options.steps, table, messages, options.inFps, shots);
        if (!options.lint.empty() && !options.original.empty()) {
            SubtitleTable read;
            const LoadResult original = LoadSubtitles(read, options.original, false, fps, messages);
            if (original.format == FormatCode::Unknown) return 1;
            const int reading = LintTable(table, options.lint, framerate, out, shots);
            const int translation = LintTranslation(table, options.lint,
                MakeOriginal(read, options.original, FormatByCode(original.format)->id, options.inFps), out);
            return std::max(reading, translation);
        }
        if (!options.lint.empty()) return LintTable(table, options.lint, framerate, out, shots);
        if (!options.spellCheck.empty()) return SpellCheckTable(table, options.spellCheck, out);
        return write(table, options, out, messages);
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
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
    if (options.help) {
        out << UsageText();
        return 0;
    }
    if (options.version) {
        out << "tessel-convert " << Version << '\n';
        return 0;
    }
    if (options.listFormats) {
        out << FormatList();
        return 0;
    }
    if (!options.listTracks.empty()) return listTracks(options.listTracks, out, err);
    if (!options.listShotChanges.empty()) return ListShotChanges(options.listShotChanges, out, err);
    if (options.batch) return ConvertBatch(options, err);
    try {
        if (options.detect) return detect(options, out);
        if (options.listProfiles) return ListProfiles(out, err);
    } catch (const std::exception& e) {
        err << e.what() << '\n';
        return 1;
    }
    if (const std::string refusal = WritesOverInput(options); !refusal.empty()) {
        err << refusal << '\n';
        return 1;
    }
    return ConvertFile(options, out, err);
}

} // namespace tessel::cli
