#include "cli/options.h"

#include "cli/reading_steps.h"
#include "cli/tool_steps.h"
#include "core/numbers.h"
#include "formats/registry.h"

#include <QFileInfo>
#include <QString>

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

} // namespace

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
        } else if (arg == "--list-profiles")
            options.listProfiles = true;
        else if (int arity = ToolStepArity(arg); arity >= 0) {
            ToolStep step { arg, {} };
            for (int k = 0; k < arity; ++k)
                step.args.push_back(value());
            if (arg == "--replace") {
                if (i + 1 >= args.size() || args[i + 1] != "--with") throw UsageError { "--replace needs --with" };
                ++i;
                step.args.push_back(value());
            }
            ValidateToolStep(step);
            options.steps.push_back(std::move(step));
        } else if (arg == "--with")
            throw UsageError { "--with must follow --replace FIND" };
        else if (arg.size() > 1 && arg[0] == '-' && arg != "-")
            throw UsageError { "unknown option " + arg };
        else
            positional.push_back(arg);
    }
    if (options.listProfiles) {
        if (!positional.empty()) throw UsageError { "--list-profiles takes no files" };
        return options;
    }
    if (positional.empty()) throw UsageError { "no INPUT file" };
    if (positional.size() > 2) throw UsageError { "too many files" };
    options.input = positional[0];
    if (positional.size() == 2) options.output = positional[1];
    options.inFps = inFps.value_or(fps.value_or(23.976));
    options.outFps = outFps.value_or(fps.value_or(23.976));
    if (options.detect) return options;
    if (!options.lint.empty()) {
        if (!options.output.empty()) throw UsageError { "--lint prints its findings and writes no OUTPUT" };
        return options;
    }
    const bool toStdout = options.output.empty() || options.output == "-";
    if (options.format.empty()) {
        if (toStdout) throw UsageError { "--to is required when writing to standard output" };
        options.format = defaultFormatFor(options.output);
        if (options.format.empty())
            throw UsageError { "cannot tell the format from '" + options.output + "'; use --to" };
    }
    return options;
}

std::string UsageText()
{
    return "Usage: tessel-convert [OPTIONS] INPUT [OUTPUT]\n"
           "  --fps RATE          framerate wherever the editor would ask for one (default 23.976)\n"
           "  --in-fps RATE       for reading only (default --fps)\n"
           "  --out-fps RATE      for writing only (default --fps)\n"
        + formatOptionUsage() + "  --detect            print INPUT's format code and name\n"
        + "  --lint PROFILE      print the reading speed and layout findings (TAB-separated: row, start frame,\n"
          "                      rule, value, limit) after the batch tools and write nothing; exit 3 when any\n"
          "  --list-profiles     print the built-in and the user's profiles\n"
        + ToolStepUsage() + "OUTPUT \"-\" or omitted: standard output (then --to is required).\n";
}

} // namespace tessel::cli
