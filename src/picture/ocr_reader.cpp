#include "picture/ocr_reader.h"

#include "core/errors.h"
#include "core/numbers.h"
#include "core/timecode.h"
#include "formats/format.h"
#include "formats/kept_data.h"
#include "formats/registry.h"
#include "formats/time_format.h"
#include "picture/ocr_engine.h"
#include "picture/ocr_text.h"

#include <algorithm>
#include <cstdlib>

namespace tessel {
namespace {

constexpr std::string_view KeyPrefix = "picture ";

// Films name languages by ISO 639-2 (bibliographic codes among them),
// VobSub indexes by two letters; Tesseract by its own names, mostly 639-2/T.
const std::map<std::string, std::string, std::less<>>& languageNames()
{
    static const std::map<std::string, std::string, std::less<>> names = { { "en", "eng" }, { "fr", "fra" },
        { "fre", "fra" }, { "de", "deu" }, { "ger", "deu" }, { "es", "spa" }, { "it", "ita" }, { "nl", "nld" },
        { "dut", "nld" }, { "pt", "por" }, { "sv", "swe" }, { "da", "dan" }, { "no", "nor" }, { "nb", "nor" },
        { "fi", "fin" }, { "pl", "pol" }, { "cs", "ces" }, { "cze", "ces" }, { "sk", "slk" }, { "slo", "slk" },
        { "hu", "hun" }, { "ro", "ron" }, { "rum", "ron" }, { "ru", "rus" }, { "uk", "ukr" }, { "el", "ell" },
        { "gre", "ell" }, { "tr", "tur" }, { "ja", "jpn" }, { "zh", "chi_sim" }, { "chi", "chi_sim" },
        { "zho", "chi_sim" }, { "ko", "kor" }, { "ar", "ara" }, { "he", "heb" }, { "hr", "hrv" }, { "sr", "srp" },
        { "bg", "bul" }, { "sl", "slv" }, { "et", "est" }, { "lv", "lav" }, { "lt", "lit" }, { "is", "isl" },
        { "ice", "isl" }, { "ca", "cat" }, { "eu", "eus" }, { "baq", "eus" }, { "gl", "glg" }, { "vi", "vie" },
        { "th", "tha" }, { "id", "ind" }, { "ms", "msa" }, { "may", "msa" }, { "fa", "fas" }, { "per", "fas" },
        { "hi", "hin" }, { "cy", "cym" }, { "wel", "cym" }, { "ga", "gle" }, { "sq", "sqi" }, { "alb", "sqi" },
        { "mk", "mkd" }, { "mac", "mkd" }, { "hy", "hye" }, { "arm", "hye" }, { "ka", "kat" }, { "geo", "kat" } };
    return names;
}

std::string at(int64_t ms)
{
    return FormatClockTime(static_cast<int32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX)),
        ClockTimeFormat { ClockTimeFormat::Milliseconds, ',' });
}

// "Subtitle 12 (at 00:01:02,500)", or "Subtitles 3, 12 and 40" (ten at most named).
std::string nameSubtitles(const std::vector<const OcrRecord*>& records)
{
    if (records.size() == 1)
        return "Subtitle " + std::to_string(records[0]->number) + " (at " + at(records[0]->startMs) + ")";
    std::string text = "Subtitles ";
    const size_t named = std::min<size_t>(records.size(), 10);
    for (size_t i = 0; i < named; ++i)
        text += (i == 0                                             ? ""
                        : i + 1 == named && named == records.size() ? " and "
                                                                    : ", ")
            + std::to_string(records[i]->number);
    if (named < records.size()) text += " and " + std::to_string(records.size() - named) + " more";
    return text;
}

std::string note(const std::vector<const OcrRecord*>& records, const std::string& one, const std::string& several)
{
    return nameSubtitles(records) + (records.size() == 1 ? one : several);
}

} // namespace

std::string OcrPictures::add(OcrRecord record)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    std::string key = std::to_string(next_++);
    records_.emplace(key, std::make_shared<const OcrRecord>(std::move(record)));
    return key;
}

std::shared_ptr<const OcrRecord> OcrPictures::find(std::string_view key) const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = records_.find(key);
    return found == records_.end() ? nullptr : found->second;
}

void OcrPictures::clear()
{
    const std::lock_guard<std::mutex> lock(mutex_);
    records_.clear();
}

size_t OcrPictures::count() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return records_.size();
}

std::string OcrPictureKey(std::string_view extra)
{
    std::vector<std::string_view> lines;
    for (const char* tag : { "pgs", "vobsub" })
        if (SplitKept(extra, tag, lines)) {
            const std::string_view line = KeptLine(lines, 0);
            if (line.substr(0, KeyPrefix.size()) == KeyPrefix) return std::string(line.substr(KeyPrefix.size()));
        }
    return {};
}

std::string OcrExtra(std::string_view formatId, std::string_view key)
{
    const std::string line = std::string(KeyPrefix) + std::string(key);
    return JoinKept(formatId, { line });
}

OcrJob::OcrJob(Decode decode, std::string language, int threads)
    : decode_(std::move(decode))
    , language_(std::move(language))
    , threads_(threads > 0 ? threads : std::max(1, static_cast<int>(std::thread::hardware_concurrency())))
{
}

OcrJob::~OcrJob()
{
    cancel();
    wait();
}

void OcrJob::start()
{
    running_ = threads_;
    for (int i = 0; i < threads_; ++i)
        workers_.emplace_back([this, i] { work(i == 0); });
}

void OcrJob::fail(const std::string& error)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    if (error_.empty()) error_ = error;
    cancel_ = true;
    decoded_ = true;
    changed_.notify_all();
}

void OcrJob::work(bool decodes)
{
    try {
        if (decodes) {
            std::vector<TimedPicture> pictures = decode_(cancel_);
            const std::lock_guard<std::mutex> lock(mutex_);
            pictures_ = std::move(pictures);
            records_.resize(pictures_.size());
            read_.assign(pictures_.size(), 0);
            total_ = static_cast<int>(pictures_.size());
            decoded_ = true;
            changed_.notify_all();
        }
        // Each engine loads while the pictures are decoded.
        OcrEngine engine(language_);
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return decoded_; });
        }
        for (size_t i; !cancel_ && (i = next_++) < pictures_.size();) {
            const TimedPicture& p = pictures_[i];
            OcrRecord record { p.number, p.startMs, p.endMs, p.picture, {}, {}, p.damage };
            if (!p.picture.empty()) {
                OcrText text = ReadPictureText(engine, p.picture);
                record.lines = std::move(text.lines);
                record.doubtful = std::move(text.doubtful);
            }
            records_[i] = std::move(record);
            read_[i] = 1;
            ++done_;
        }
    } catch (const std::exception& e) {
        fail(e.what());
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    --running_;
    changed_.notify_all();
}

bool OcrJob::waitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return running_ == 0; });
}

void OcrJob::wait()
{
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return running_ == 0; });
    }
    for (std::thread& t : workers_)
        if (t.joinable()) t.join();
}

std::vector<OcrRecord> OcrJob::takeRecords()
{
    wait();
    std::vector<OcrRecord> out;
    for (size_t i = 0; i < records_.size() && read_[i]; ++i)
        out.push_back(std::move(records_[i]));
    return out;
}

std::string DefaultOcrLanguage(const std::string& trackLanguage)
{
    const std::vector<std::string> installed = OcrLanguages();
    const auto has
        = [&](const std::string& l) { return std::find(installed.begin(), installed.end(), l) != installed.end(); };
    std::string wanted = QString::fromStdString(trackLanguage).toLower().toStdString();
    if (const auto found = languageNames().find(wanted); found != languageNames().end()) wanted = found->second;
    if (!wanted.empty() && has(wanted)) return wanted;
    if (has("eng")) return "eng";
    return installed.empty() ? std::string() : installed.front();
}

bool OcrSubtitleReader::ReadPictures(const PictureSubtitleSource& source, SubtitleTable& table, int firstRow,
    double framerate, std::vector<std::string>& notes)
{
    PictureSubtitleSource chosen = source;
    chosen.fileName = PictureFileOf(source);
    if (chosen.track < 0 && chosen.format == FormatCode::VobSub && services_.chooseTrack) {
        const std::vector<FilmTrack> tracks = PictureTracksOf(chosen.fileName);
        if (tracks.size() > 1) {
            const std::optional<int> track = services_.chooseTrack(chosen.fileName, tracks);
            if (!track) return false;
            chosen.track = *track;
            const auto t
                = std::find_if(tracks.begin(), tracks.end(), [&](const FilmTrack& f) { return f.number == *track; });
            if (t != tracks.end()) chosen.language = t->language;
        } else if (!tracks.empty()) {
            chosen.language = tracks.front().language;
        }
    }
    std::string language = services_.language;
    if (language.empty()) {
        const std::optional<std::string> asked
            = services_.chooseLanguage ? services_.chooseLanguage(chosen) : DefaultOcrLanguage(chosen.language);
        if (!asked) return false;
        language = *asked;
    }
    CheckOcrLanguage(language);
    OcrJob job([chosen](const std::atomic<bool>& cancel) { return DecodePictures(ReadPictureTrack(chosen), &cancel); },
        language, services_.threads);
    job.start();
    if (services_.run) services_.run(job);
    job.wait();
    if (!job.error().empty()) throw Error(job.error());
    const int total = job.total();
    const std::vector<OcrRecord> records = job.takeRecords();
    const bool cancelled = static_cast<int>(records.size()) < total;
    const std::string formatId = FormatByCode(source.format) ? FormatByCode(source.format)->id : "pgs";
    std::vector<const OcrRecord*> leftOut, empty, damaged;
    int row = firstRow;
    table.reserveRows(firstRow + static_cast<int>(records.size()));
    for (const OcrRecord& r : records) {
        if (r.picture.empty()) {
            leftOut.push_back(&r);
            continue;
        }
        std::vector<std::string> lines = r.lines;
        while (lines.size() > 3) {
            lines[2] += " " + lines[3];
            lines.erase(lines.begin() + 3);
        }
        lines.resize(3);
        const auto frame = [framerate](int64_t ms) {
            return IntToStr(TimeToFrame(static_cast<int32_t>(std::clamp<int64_t>(ms, 0, INT32_MAX)), framerate));
        };
        const std::string extra = services_.keep ? OcrExtra(formatId, services_.keep->add(r)) : std::string();
        StoreRow(table, row, frame(r.startMs), frame(r.endMs), lines[0], lines[1], lines[2], extra);
        if (r.lines.empty()) empty.push_back(&r);
        if (!r.damage.empty()) damaged.push_back(&r);
    }
    if (!leftOut.empty())
        notes.push_back(
            note(leftOut, " could not be read: its picture is damaged (" + leftOut[0]->damage + "); it was left out.",
                " could not be read: their pictures are damaged (the first: " + leftOut[0]->damage
                    + "); they were left out."));
    if (!damaged.empty())
        notes.push_back(note(damaged, " was read from a damaged picture (" + damaged[0]->damage + "): check its text.",
            " were read from damaged pictures: check their text."));
    if (!empty.empty())
        notes.push_back(note(empty, " shows no text that OCR could read: its row is empty.",
            " show no text that OCR could read: their rows are empty."));
    if (cancelled)
        notes.push_back("OCR was cancelled: the first " + std::to_string(records.size()) + " of "
            + std::to_string(total) + " subtitles were read.");
    return true;
}

} // namespace tessel
