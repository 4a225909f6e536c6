#pragma once
#include "formats/picture_subtitles.h"
#include "media/film_tracks.h"
#include "picture/ocr_pictures.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// Picture subtitles read into rows by OCR on worker threads, with progress
// and cancel; what each picture gave is kept for review with its row.
namespace tessel {

// What OCR made of one picture.
struct OcrRecord {
    int number = 0; // the subtitle's, from 1, in its file
    int64_t startMs = 0, endMs = 0;
    SubtitlePicture picture;
    std::vector<std::string> lines; // as read, with <i> markup
    std::vector<std::string> doubtful; // words the engine was unsure of
    std::string damage; // what ffmpeg said of a damaged picture
};

// The records of rows read by OCR, by the key each row keeps in its hidden
// cell, until the document is saved in a text format. Thread-safe.
class OcrPictures {
public:
    std::string add(OcrRecord record);
    std::shared_ptr<const OcrRecord> find(std::string_view key) const;
    void clear();
    size_t count() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const OcrRecord>, std::less<>> records_;
    uint64_t next_ = 1;
};

// The key the hidden cell of a row read by OCR holds; "" for any other row.
std::string OcrPictureKey(std::string_view extra);
// The hidden cell of such a row, for the format `formatId` ("pgs", "vobsub").
std::string OcrExtra(std::string_view formatId, std::string_view key);

// Decodes the pictures, then reads them on `threads` workers (0: one per
// core), each with an engine of its own.
class OcrJob {
public:
    using Decode = std::function<std::vector<TimedPicture>(const std::atomic<bool>& cancel)>;
    OcrJob(Decode decode, std::string language, int threads = 0);
    ~OcrJob(); // cancels and waits
    OcrJob(const OcrJob&) = delete;
    OcrJob& operator=(const OcrJob&) = delete;

    void start();
    void cancel() { cancel_ = true; }
    bool cancelled() const { return cancel_; }
    // True once every worker has ended (within `timeout`).
    bool waitFor(std::chrono::milliseconds timeout);
    void wait();
    // Pictures read so far, and how many there are (0 until decoded).
    int done() const { return done_; }
    int total() const { return total_; }
    // After the end: the records of the pictures read, in file order, up to
    // the first one not read (cancelled); why the job failed, if it did.
    std::vector<OcrRecord> takeRecords();
    const std::string& error() const { return error_; }

private:
    void work(bool decodes);
    void fail(const std::string& error);

    Decode decode_;
    std::string language_;
    int threads_;
    std::vector<std::thread> workers_;
    std::vector<TimedPicture> pictures_;
    std::vector<OcrRecord> records_;
    std::vector<char> read_;
    std::atomic<bool> cancel_ { false };
    std::atomic<int> done_ { 0 }, total_ { 0 };
    std::atomic<size_t> next_ { 0 };
    std::mutex mutex_;
    std::condition_variable changed_;
    bool decoded_ = false;
    int running_ = 0;
    std::string error_;
};

struct OcrServices {
    std::string language; // Tesseract's name ("eng", "eng+fra"); "": asked
    // The language for a source (its track's language is a hint), or
    // nothing to read nothing.
    std::function<std::optional<std::string>(const PictureSubtitleSource&)> chooseLanguage;
    // Runs the started job until it ends, showing its progress; may cancel it.
    std::function<void(OcrJob&)> run;
    // Which of an index's several languages to read (nothing: none).
    std::function<std::optional<int>(const std::string&, const std::vector<FilmTrack>&)> chooseTrack;
    OcrPictures* keep = nullptr; // where pictures stay for review; none: not kept
    int threads = 0;
};

class OcrSubtitleReader : public PictureSubtitleReader {
public:
    explicit OcrSubtitleReader(OcrServices services)
        : services_(std::move(services))
    {
    }
    bool ReadPictures(const PictureSubtitleSource& source, SubtitleTable& table, int firstRow, double framerate,
        std::vector<std::string>& notes) override;

private:
    OcrServices services_;
};

// Tesseract's name of an installed language for a track's language (ISO
// 639-2 as films give it, or two letters as indexes do): the track's own,
// else English, else the first installed; "" when none is.
std::string DefaultOcrLanguage(const std::string& trackLanguage);

} // namespace tessel
