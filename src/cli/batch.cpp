#include "cli/batch.h"

#include "cli/convert.h"
#include "cli/options.h"
#include "formats/registry.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QTemporaryFile>
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <thread>

namespace tessel::cli {
namespace {

QString fromUtf8(const std::string& text) { return QString::fromStdString(text); }

// The same file however it was named: links resolved, and for a file not
// there yet, those of its folder.
QString identity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty()) return canonical;
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : folder + '/' + info.fileName();
}

// A folder whose file system takes names that differ only in case for one
// file (VFAT, exFAT, NTFS, casefolded ext4). Tried with a file of its own;
// one that cannot be tried is taken to fold.
bool foldsCase(const QString& folder)
{
    QTemporaryFile probe(folder + QStringLiteral("/.tessel-case-probe-XXXXXX"));
    if (!probe.open()) return true;
    const QFileInfo info(probe.fileName());
    return QFileInfo::exists(info.path() + '/' + info.fileName().toUpper());
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
    std::vector<FileId> inputIds;
    for (const std::string& input : options.inputs) {
        inputs.push_back(identity(fromUtf8(input)));
        if (const std::optional<FileId> id = IdOf(input)) inputIds.push_back(*id);
    }
    std::vector<std::pair<QString, std::string>> taken; // an output, and the input it is for
    std::map<QString, bool> folding; // by folder
    const auto sameOutput = [&](const QString& a, const QString& b) {
        if (a == b) return true;
        if (a.compare(b, Qt::CaseInsensitive) != 0) return false;
        const QString folder = QFileInfo(a).path();
        const auto known = folding.find(folder);
        if (known != folding.end()) return known->second;
        return folding[folder] = foldsCase(folder);
    };
    std::vector<Job> jobs;
    for (const std::string& input : options.inputs) {
        const QFileInfo info(fromUtf8(input));
        const QString folder = options.outputDir.empty() ? info.path() : fromUtf8(options.outputDir);
        const QString name = (info.suffix().isEmpty() ? info.fileName() : info.completeBaseName()) + '.' + extension;
        Job job { input, QDir::cleanPath(QDir(folder).filePath(name)).toStdString(), {} };
        const QString output = identity(fromUtf8(job.output));
        const std::optional<FileId> outputId = IdOf(job.output);
        const auto other
            = std::find_if(taken.begin(), taken.end(), [&](const auto& t) { return sameOutput(t.first, output); });
        if (std::find(inputs.begin(), inputs.end(), output) != inputs.end()
            || (outputId && std::find(inputIds.begin(), inputIds.end(), *outputId) != inputIds.end()))
            job.refusal = job.output + " is an input; it is never written over.";
        else if (other != taken.end())
            job.refusal = job.output + " is already the result of " + other->second + ".";
        else {
            taken.emplace_back(output, input);
            if (!options.overwrite && QFileInfo::exists(fromUtf8(job.output)))
                job.refusal = job.output + " exists; --overwrite replaces it.";
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// The files this run wrote, by identity, so that an output that turns out
// to be one of them under another name is refused, not written twice.
class WrittenFiles {
public:
    // Why `job` is not to be written now, or "".
    std::string refusal(const Job& job)
    {
        const std::optional<FileId> id = IdOf(job.output);
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = id ? written_.find(*id) : written_.end();
        return found == written_.end() ? std::string()
                                       : job.output + " is already the result of " + found->second + ".";
    }
    void add(const Job& job)
    {
        const std::optional<FileId> id = IdOf(job.output);
        std::lock_guard<std::mutex> lock(mutex_);
        if (id) written_.emplace(*id, job.input);
    }

private:
    std::mutex mutex_;
    std::map<FileId, std::string> written_;
};

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

std::optional<FileId> IdOf(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return FileId { static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino) };
}

std::string WritesOverInput(const Options& options)
{
    if (options.output.empty() || options.output == "-") return {};
    const std::optional<FileId> in = IdOf(options.input), out = IdOf(options.output);
    const bool same
        = (in && out && *in == *out) || identity(fromUtf8(options.input)) == identity(fromUtf8(options.output));
    return same ? options.output + " is an input; it is never written over." : std::string();
}

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
    WrittenFiles written;
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            const Job& job = jobs[i];
            std::ostringstream messages, unused;
            int status = 1;
            const std::string refusal = job.refusal.empty() ? written.refusal(job) : job.refusal;
            if (refusal.empty()) {
                Options file = options;
                file.batch = false;
                file.input = job.input;
                file.output = job.output;
                status = ConvertFile(file, unused, messages);
                if (status == 0) written.add(job);
            } else
                messages << refusal << '\n';
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
            + '\t' + (format.read || format.picture ? "yes" : "no") + '\t' + (format.write ? "yes" : "no") + '\n';
    }
    return text + "-\ttable\tTable of cells, TAB-separated\t.tsv\tno\tyes\n";
}

} // namespace tessel::cli
