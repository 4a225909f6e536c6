#include "cli/batch.h"

#include "cli/convert.h"
#include "cli/options.h"
#include "formats/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace tessel::cli {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

// The same file however it was named; a file not there yet by its absolute name.
QString identity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

struct Job {
    std::string input;
    std::string output;
    std::string refusal; // why it is not converted at all; "" to convert it
};

std::vector<Job> planJobs(const Options& options)
{
    const QString extension = fromUtf8(FormatExtension(options.format));
    std::vector<QString> inputs;
    for (const std::string& input : options.inputs)
        inputs.push_back(identity(fromUtf8(input)));
    std::map<QString, std::string> taken; // an output, and the input it is for
    std::vector<Job> jobs;
    for (const std::string& input : options.inputs) {
        const QFileInfo info(fromUtf8(input));
        const QString folder = options.outputDir.empty() ? info.path() : fromUtf8(options.outputDir);
        const QString name = (info.suffix().isEmpty() ? info.fileName() : info.completeBaseName()) + '.' + extension;
        Job job { input, QDir::cleanPath(QDir(folder).filePath(name)).toStdString(), {} };
        const QString output = identity(fromUtf8(job.output));
        if (std::find(inputs.begin(), inputs.end(), output) != inputs.end())
            job.refusal = job.output + " is an input; it is never written over.";
        else if (auto [other, isNew] = taken.emplace(output, input); !isNew)
            job.refusal = job.output + " is already the result of " + other->second + ".";
        else if (!options.overwrite && QFileInfo::exists(fromUtf8(job.output)))
            job.refusal = job.output + " exists; --overwrite replaces it.";
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// Each line of a file's messages, after its name.
std::string named(const std::string& input, const std::string& messages)
{
    std::string text;
    std::istringstream lines(messages);
    for (std::string line; std::getline(lines, line);)
        text += input + ": " + line + '\n';
    return text;
}

} // namespace

int ConvertBatch(const Options& options, std::ostream& err)
{
    if (!options.outputDir.empty() && !QFileInfo(fromUtf8(options.outputDir)).isDir()) {
        err << "tessel-convert: --output-dir: '" << options.outputDir << "' is not a folder\n";
        return 2;
    }
    const std::vector<Job> jobs = planJobs(options);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t workers = std::min(jobs.size(), static_cast<size_t>(options.jobs > 0 ? options.jobs : cores));
    std::atomic<size_t> next { 0 };
    std::atomic<int> failed { 0 };
    std::mutex errLock;
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            const Job& job = jobs[i];
            std::ostringstream messages, unused;
            int status = 1;
            if (job.refusal.empty()) {
                Options file = options;
                file.batch = false;
                file.input = job.input;
                file.output = job.output;
                status = ConvertFile(file, unused, messages);
            } else
                messages << job.refusal << '\n';
            if (status != 0) ++failed;
            const std::string text = named(job.input, messages.str());
            if (text.empty()) continue;
            const std::lock_guard<std::mutex> lock(errLock);
            err << text << std::flush;
        }
    };
    std::vector<std::thread> threads;
    for (size_t i = 1; i < workers; ++i)
        threads.emplace_back(work);
    work();
    for (std::thread& thread : threads)
        thread.join();
    const int failures = failed;
    err << "tessel-convert: " << jobs.size() - static_cast<size_t>(failures) << " of " << jobs.size()
        << " files converted, " << failures << " failed\n";
    return failures ? 1 : 0;
}

std::string FormatList()
{
    std::string text;
    for (const FormatInfo& format : Formats()) {
        std::vector<std::string> extensions { std::string(".") + format.extension };
        for (const QString& pattern : QString::fromLatin1(format.openPatterns).split(';')) {
            const std::string extension = pattern.mid(1).toStdString(); // "*.srt": ".srt"
            if (std::find(extensions.begin(), extensions.end(), extension) == extensions.end())
                extensions.push_back(extension);
        }
        std::string joined;
        for (const std::string& extension : extensions)
            joined += (joined.empty() ? "" : " ") + extension;
        text += std::to_string(static_cast<int>(format.code)) + '\t' + format.id + '\t' + format.name + '\t' + joined
            + '\t' + (format.read ? "yes" : "no") + '\t' + (format.write ? "yes" : "no") + '\n';
    }
    return text + "-\ttable\tTable of cells, TAB-separated\t.tsv\tno\tyes\n";
}

} // namespace tessel::cli
