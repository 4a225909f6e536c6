#include "cli/options.h"

#include "cli/reading_steps.h"
#include "cli/text_steps.h"
#include "cli/tool_steps.h"
#include "core/numbers.h"
#include "formats/encoding.h"
#include "formats/registry.h"

#include <QFileInfo>
#include <QString>
#include <QStringDecoder>

namespace tessel::cli {
namespace {

// The first format whose save type has that extension (".sub" is MicroDVD).
std::string defaultFormatFor(const std::string& output)
{
    const std::string suffix = QFileInfo(QString::fromStdString(output)).suffix().toLower().toStdString();
    if (suffix == "tsv") return "table";
    const FormatInfo* format = FormatByExtension(suffix);
    return format ? format->id : "";
}

// "  --to FORMAT         a | b | ... | table (...)", wrapped under its column.
std::string formatOptionUsage()
{
    static constexpr size_t Column = 22, Width = 88;
    std::vector<std::string> names;
    for (const FormatInfo& format : Formats())
        names.emplace_back(format.id);
    names.emplace_back("table");
    std::string text, line = "  --to FORMAT         ";
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string word = names[i] + (i + 1 < names.size() ? " |" : "");
        if (line.size() > Column && line.size() + 1 + word.size() > Width) {
            text += line + "\n";
            line = std::string(Column, ' ');
        }
        line += (line.size() > Column ? " " : "") + word;
    }
    return text + line + " (default from OUTPUT's extension)\n";
}

double framerateOption(const std::string& option, const std::string& value)
{
    if (auto rate = ParseFramerate(value)) return *rate;
    throw UsageError { option + ": '" + value + "' is not a framerate above 0" };
}

int jobsOption(const std::string& option, const std::string& value)
{
    const std::optional<int32_t> jobs = TryStrToInt(value);
    if (!jobs || *jobs < 1 || *jobs > 1024)
        throw UsageError { option + ": '" + value + "' is not a number of workers" };
    return *jobs;
}

// The batch form is asked for by its options or by more files than the single form takes.
void chooseBatch(Options& options, std::vector<std::string>& positional, bool batchOptionGiven)
{
    options.batch = batchOptionGiven || positional.size() > 2;
    if (!options.batch) return;
    if (options.detect) throw UsageError { "--detect takes one INPUT" };
    if (!options.lint.empty()) throw UsageError { "--lint takes one INPUT" };
    if (!options.spellCheck.empty()) throw UsageError { "--spell-check takes one INPUT" };
    if (!options.original.empty()) throw UsageError { "--original takes one INPUT" };
    if (!options.shotChanges.empty()) throw UsageError { "--shot-changes takes one INPUT" };
    if (options.format.empty()) throw UsageError { "--to is required for several files" };
    options.inputs = std::move(positional);
}

} // namespace

std::string FormatExtension(const std::string& format)
{
    if (format == "table") return "tsv";
    const FormatInfo* info = FormatById(format);
    return info ? info->extension : "";
}

std::optional<double> ParseFramerate(const std::string& text)
{
    auto rate = TryStrToFloat(text, text.find(',') != std::string::npos ? ',' : '.');
    if (!rate || !(*rate > 0)) return std::nullopt;
    return rate;
}

Options ParseOptions(const std::vector<std::string>& args)
{
    Options options;
    std::optional<double> fps, inFps, outFps;
    std::vector<std::string> positional;
    bool batchOptionGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError { arg + " needs a value" };
            return args[++i];
        };
        if (arg == "--fps")
            fps = framerateOption(arg, value());
        else if (arg == "--in-fps")
            inFps = framerateOption(arg, value());
        else if (arg == "--out-fps")
            outFps = framerateOption(arg, value());
        else if (arg == "--to") {
            options.format = value();
            if (options.format != "table" && !FormatById(options.format))
                throw UsageError { "--to: unknown format '" + options.format + "'" };
        } else if (arg == "--detect")
            options.detect = true;
        else if (arg == "--lint") {
            options.lint = value();
            ResolveProfile(arg, options.lint);
        } else if (arg == "--spell-check") {
            options.spellCheck = value();
            ValidateSpellLanguage(options.spellCheck);
        } else if (arg == "--original") {
            options.original = value();
        } else if (arg == "--list-profiles")
            options.listProfiles = true;
        else if (arg == "--version")
            options.version = true;
        else if (arg == "--help")
            options.help = true;
        else if (arg == "--formats")
            options.listFormats = true;
        else if (arg == "--list-tracks")
            options.listTracks = value();
        else if (arg == "--shot-changes")
            options.shotChanges = value();
        else if (arg == "--list-shot-changes")
            options.listShotChanges = value();
        else if (arg == "--track") {
            const std::string& number = value();
            const std::optional<int32_t> track = TryStrToInt(number);
            if (!track || *track < 0) throw UsageError { "--track: '" + number + "' is not a track number" };
            options.track = *track;
        } else if (arg == "--picture-size") {
            const std::string& size = value();
            const size_t x = size.find('x');
            const std::optional<int32_t> w = TryStrToInt(size.substr(0, x)),
                                         h = x == std::string::npos ? std::nullopt : TryStrToInt(size.substr(x + 1));
            if (!w || !h || *w < 16 || *h < 16 || *w > 4096 || *h > 4096)
                throw UsageError { "--picture-size: '" + size + "' is no WIDTHxHEIGHT from 16x16 to 4096x4096" };
            options.pictureWidth = *w;
            options.pictureHeight = *h;
        } else if (arg == "--ocr-language") {
            options.ocrLanguage = value();
            if (options.ocrLanguage.empty()) throw UsageError { "--ocr-language needs a language" };
        } else if (arg == "--output-dir") {
            options.outputDir = value();
            if (options.outputDir.empty()) throw UsageError { "--output-dir needs a folder" };
            batchOptionGiven = true;
        } else if (arg == "--overwrite")
            batchOptionGiven = options.overwrite = true;
        else if (arg == "-j" || arg == "--jobs") {
            options.jobs = jobsOption(arg, value());
            batchOptionGiven = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "-j") == 0 && arg[2] != '-') {
            options.jobs = jobsOption("-j", arg.substr(2));
            batchOptionGiven = true;
        } else if (arg == "--encoding") {
            options.encoding = value();
            if (!QStringDecoder(options.encoding.c_str()).isValid())
                throw UsageError { "--encoding: unknown encoding '" + options.encoding + "'" };
        } else if (arg == "--out-encoding") {
            options.outEncoding = value();
            if (!ParseOutputEncoding(options.outEncoding))
                throw UsageError { "--out-encoding: unknown encoding '" + options.outEncoding + "'" };
        } else if (arg == "--line-ends") {
            const std::string& ends = value();
            if (ends != "crlf" && ends != "lf") throw UsageError { "--line-ends: 'crlf' or 'lf', not '" + ends + "'" };
            options.lf = ends == "lf";
            options.lineEndsGiven = true;
        } else if (const ToolDeclaration* tool = FindTool(arg)) {
            ToolStep step { arg, {} };
            if (tool->valueName) step.args.push_back(value());
            if (tool->joinedOption) {
                if (i + 1 >= args.size() || args[i + 1] != tool->joinedOption)
                    throw UsageError { arg + " needs " + tool->joinedOption };
                ++i;
                step.args.push_back(value());
            }
            if (tool->validate) tool->validate(step);
            options.steps.push_back(std::move(step));
        } else if (const ToolDeclaration* joined = FindToolJoinedBy(arg))
            throw UsageError { arg + " must follow " + joined->option + " " + joined->valueName };
        else if (arg.size() > 1 && arg[0] == '-' && arg != "-")
            throw UsageError { "unknown option " + arg };
        else
            positional.push_back(arg);
    }
    if (options.help || options.version) return options;
    if (!options.listTracks.empty()) {
        if (!positional.empty()) throw UsageError { "--list-tracks takes one FILE, its value" };
        return options;
    }
    if (!options.listShotChanges.empty()) {
        if (!positional.empty()) throw UsageError { "--list-shot-changes takes one MOVIE, its value" };
        return options;
    }
    if (options.listProfiles || options.listFormats) {
        if (!positional.empty())
            throw UsageError { std::string(options.listProfiles ? "--list-profiles" : "--formats")
                + " takes no files" };
        return options;
    }
    if (positional.empty()) throw UsageError { "no INPUT file" };
    options.inFps = inFps.value_or(fps.value_or(23.976));
    options.outFps = outFps.value_or(fps.value_or(23.976));
    chooseBatch(options, positional, batchOptionGiven);
    if (options.batch) return options;
    if (positional.size() > 2) throw UsageError { "too many files" };
    options.input = positional[0];
    if (positional.size() == 2) options.output = positional[1];
    if (options.detect) return options;
    if (!options.original.empty() && options.lint.empty())
        throw UsageError { "--original is checked by --lint: give --lint PROFILE too" };
    if (!options.lint.empty()) {
        if (!options.output.empty()) throw UsageError { "--lint prints its findings and writes no OUTPUT" };
        if (!options.spellCheck.empty()) throw UsageError { "--lint and --spell-check go one at a time" };
        return options;
    }
    if (!options.spellCheck.empty()) {
        if (!options.output.empty()) throw UsageError { "--spell-check prints its findings and writes no OUTPUT" };
        return options;
    }
    const bool toStdout = options.output.empty() || options.output == "-";
    if (options.format.empty()) {
        if (toStdout) throw UsageError { "--to is required when writing to standard output" };
        options.format = defaultFormatFor(options.output);
        if (options.format.empty())
            throw UsageError { "cannot tell the format from '" + options.output + "'; use --to" };
    }
    if (const FormatInfo* format = FormatById(options.format); format && !format->write)
        throw UsageError { std::string(format->name) + " is read, not written" };
    return options;
}

std::string UsageText()
{
    return "Usage: tessel-convert [OPTIONS] INPUT [OUTPUT]\n"
           "       tessel-convert --to FORMAT [--output-dir DIR] [--overwrite] [-j N] [OPTIONS] INPUT...\n"
           "       tessel-convert --formats | --list-profiles | --list-tracks FILM | --list-shot-changes MOVIE\n"
           "                      | --version | --help\n"
           "  --fps RATE          framerate wherever the editor would ask for one (default 23.976)\n"
           "  --in-fps RATE       for reading only (default --fps)\n"
           "  --out-fps RATE      for writing only (default --fps)\n"
        + formatOptionUsage() + "  --detect            print INPUT's format code and name\n"
        + "  --lint PROFILE      print the reading speed and layout findings (TAB-separated: row, start frame,\n"
          "                      rule, value, limit) after the batch tools and write nothing; exit 3 when any\n"
          "  --original FILE     with --lint: also rows far longer than FILE's (a translation's original, the\n"
          "                      profile's max-translation-ratio) and FILE's rows with no translation\n"
          "  --list-profiles     print the built-in and the user's profiles\n"
          "  --spell-check LANG  print the words not in LANG's dictionary (e.g. en_US; TAB-separated: row, column,\n"
          "                      word, suggestions) after the batch tools and write nothing; exit 3 when any\n"
        + "  --encoding NAME     read INPUT in this encoding (e.g. windows-1250), nothing detected\n"
          "  --out-encoding NAME utf-8 (default) | utf-8-bom | utf-16le | utf-16be | a code page\n"
          "  --line-ends ENDS    crlf (default) | lf\n"
        + "  --formats           print each format: code, name for --to, full name, extensions, read, write\n"
          "  --list-tracks FILM  print the subtitle tracks of a Matroska, WebM or MP4 film (TAB-separated:\n"
          "                      number, text or picture, codec, language, title, flags)\n"
          "  --track N           read the film INPUT's subtitle track N (needed when it holds several)\n"
          "  --ocr-language LANG read picture subtitles (.sup, .idx, a film's PGS or VobSub track) by OCR in\n"
          "                      Tesseract's language LANG (eng, fra, eng+fra...; default: the track's, or eng)\n"
          "  --picture-size WxH  the video Blu-ray subtitles (--to pgs) are drawn for (default 1920x1080)\n"
          "  --shot-changes MOVIE|LIST  the film's cuts for --lint and --fix-reading: found in MOVIE's picture\n"
          "                      (as the editor finds them, cached), or a list of frame numbers or times a line\n"
          "  --list-shot-changes MOVIE  print the cuts of MOVIE, one frame number a line\n"
          "  --version           print the version\n"
        + ToolStepUsage() + "OUTPUT \"-\" or omitted: standard output (then --to is required).\n"
        + "Several files (more than two, or any of the three options below): each is converted on its own and\n"
          "written next to it, or into DIR, under its name with FORMAT's extension.\n"
          "  --output-dir DIR    write the results into DIR\n"
          "  --overwrite         replace existing files (never an input)\n"
          "  -j N                convert on N workers at once (default: one per processor core)\n";
}

} // namespace tessel::cli
