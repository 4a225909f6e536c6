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

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace tessel {
namespace {

const FormatInfo& availableFormat(const FormatInfo* info)
{
    if ((!info->read && !info->picture) || !info->write)
        throw Error(std::string("The ") + info->name + " format is not available yet.");
    return *info;
}

const FormatInfo& readableFormat(const FormatInfo* info)
{
    if (info->picture) return *info;
    return availableFormat(info);
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

std::string strayNote(const std::vector<int>& lines, int count, const QByteArray& codePage)
{
    const bool one = count == 1;
    const std::string read
        = codePage.isEmpty() ? std::string("became U+FFFD") : "were read as " + codePage.toStdString();
    return NameLines(lines, count) + (one ? " holds" : " hold") + " bytes that are not UTF-8; they " + read + ".";
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
// format the file is in: the whole file, or a window of it at a time.
struct ReadInput {
    FormatCode format = FormatCode::Unknown;
    std::optional<DecodedText> text;
    QByteArray bytes; // of a binary format, as they are
    FileText* file = nullptr; // read a window at a time, text or bytes
    PictureSubtitleSource pictures; // for pictures of text: where they are
    bool unsure = false; // the encoding was guessed without certainty
    std::string documentName; // of a film's track
    std::vector<std::string> notes; // what the film's track says first
};

// Pictures of text: OCR reads them where they are.
bool readPictures(PictureSubtitleReader* reader, const PictureSubtitleSource& source, const FormatInfo& format,
    SubtitleTable& table, int firstRow, double rate, std::vector<std::string>& notes)
{
    if (!reader)
        throw Error("\"" + source.fileName + "\" holds " + format.name
            + ", pictures of text: they are read by OCR one file at a time, opened in the editor or converted with "
              "tessel-convert --ocr-language LANG FILE OUTPUT.");
    return reader->ReadPictures(source, table, firstRow, rate, notes);
}

// Only the head is decoded to tell the format: a big file of another kind is
// refused without decoding all of it.
FormatCode detectText(std::string_view head, const std::string& fileName)
{
    LineReader lines(head);
    const std::string firstLine(lines.readLine());
    return DetectFormat(DetectionInput { firstLine, fileName, head });
}

// The whole file's bytes as the reader's input; false when the user chose no encoding.
bool wholeInput(
    ReadInput& input, QByteArray bytes, const std::string& fileName, const ReadEncoding& encoding, bool& cancelled)
{
    input.format = DetectBinaryFormat(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), fileName);
    if (input.format != FormatCode::Unknown) {
        input.bytes = std::move(bytes);
        input.pictures = { fileName, input.format, -1, {} };
        return true;
    }
    const QByteArray encodingName = chosenEncoding(fileName, bytes, encoding, cancelled, input.unsure);
    if (cancelled) return false;
    input.text.emplace(std::move(bytes), fileName, encodingName);
    input.format = detectText(input.text->head(), fileName);
    return true;
}

// Hands the reader a file's windows, and the flow each window it has read.
class FlowingFeed : public TextFeed {
public:
    FlowingFeed(FileText& file, SubtitleTable& table, RowFlow* flow)
        : file_(file)
        , table_(table)
        , flow_(flow)
    {
    }
    std::string_view next() override
    {
        if (flow_ && started_) flow_->windowRead(table_);
        started_ = true;
        return file_.next();
    }

private:
    FileText& file_;
    SubtitleTable& table_;
    RowFlow* flow_;
    bool started_ = false;
};

LoadResult finishLoad(LoadResult& result, const SubtitleTable& table, bool select, int firstRow)
{
    // An append that stored nothing leaves the selection alone.
    if (select && firstRow < table.rowCount()) {
        result.select = true;
        result.row = firstRow;
        result.topRow = firstRow <= 3 ? 1 : firstRow - 2;
    }
    return result;
}

// Reads the input into the table as the load command does, once its format is known.
LoadResult readInto(SubtitleTable& table, ReadInput& input, bool append, FramerateSource& framerate,
    MessageSink& messages, std::optional<double>& rate, PictureSubtitleReader* pictures, RowFlow* flow)
{
    LoadResult result;
    result.format = input.format;
    result.documentName = input.documentName;
    result.notes = input.notes;
    const bool select = append && table.rowCount() > 2;
    const int firstRow = select ? table.rowCount() : 1;
    if (result.format == FormatCode::Unknown) {
        messages.showError(UnknownFormatMessage);
        return result;
    }
    const FormatInfo& format = readableFormat(FormatByCode(result.format));
    if (!rate) rate = format.readAsksFramerate ? framerate.ChooseFramerate(FramerateCaption, FrameratePrompt) : 0;
    {
        SubtitleTable::BulkChange bulk(table);
        // An opened file that stored rows leaves no document data of another format.
        const uint64_t before = table.revision();
        const auto settle = [&] {
            if (firstRow == 1 && table.revision() != before && !IsKeptBy(table.documentData(), format.id))
                table.setDocumentData({});
        };
        if (format.picture) {
            bool read = false;
            try {
                read = readPictures(pictures, input.pictures, format, table, firstRow, *rate, result.notes);
            } catch (...) {
                settle();
                throw;
            }
            settle();
            result.cancelled = !read;
            return finishLoad(result, table, select, firstRow);
        }
        std::optional<FlowingFeed> feed;
        std::optional<LineReader> reader;
        if (input.file) {
            // A table that keeps every row: its row index made once, as below.
            if (!flow) table.reserveRows(firstRow + static_cast<int>(input.file->fileSize() / 32));
            feed.emplace(*input.file, table, flow);
            reader.emplace(*feed);
            reader->setByteOrderMark(input.file->byteOrderMark());
        } else {
            const std::string_view all = input.text
                ? input.text->all()
                : std::string_view(input.bytes.constData(), static_cast<size_t>(input.bytes.size()));
            // Every format spends well over 32 bytes on a usual subtitle: room
            // for the rows such a text holds, taken once instead of growing.
            table.reserveRows(firstRow + static_cast<int>(all.size() / 32));
            reader.emplace(all);
            if (input.text) reader->setByteOrderMark(input.text->byteOrderMark());
        }
        LineReader& lines = *reader;
        lines.setKeepsFile(!flow || flow->keepsFileOf(format.id));
        lines.setFlowing(flow != nullptr);
        lines.setRowsAsRead(flow && flow->rowsAsReadOf(format.id));
        try {
            format.read(lines, table, firstRow, *rate);
        } catch (...) {
            settle();
            throw;
        }
        settle();
        if (input.unsure) {
            const QByteArray& page = input.file ? input.file->codePage() : input.text->codePage();
            result.notes.push_back("The encoding could not be told for sure: the file was read as " + page.toStdString()
                + " (--encoding reads it in another).");
        }
        if (input.file) {
            if (input.file->strayLineCount() > 0)
                result.notes.push_back(
                    strayNote(input.file->strayLines(), input.file->strayLineCount(), input.file->strayCodePage()));
        } else if (input.text && !input.text->strayLines().empty()) {
            result.notes.push_back(
                strayNote(input.text->strayLines(), input.text->strayLineCount(), input.text->strayCodePage()));
        }
        if (!lines.skipped().empty()) result.notes.push_back(skippedNote(lines.skipped(), format, firstRow == 1));
    }
    return finishLoad(result, table, select, firstRow);
}

} // namespace

LoadResult LoadSubtitles(SubtitleTable& table, const std::string& fileName, bool append, FramerateSource& framerate,
    MessageSink& messages, const ReadEncoding& encoding, FilmTrackSource* films, PictureSubtitleReader* pictures,
    RowFlow* flow)
{
    std::optional<double> rate;
    ReadInput input;
    bool cancelled = false;
    if (films && films->HoldsFilm(fileName)) {
        std::optional<FilmTrackDocument> track = films->ReadChosenTrack(fileName);
        if (!track) {
            LoadResult result;
            result.cancelled = true;
            return result;
        }
        input.format = track->format;
        if (track->pictureTrack >= 0)
            input.pictures = { fileName, track->format, track->pictureTrack, track->language };
        else
            input.text.emplace(std::move(track->text), fileName, QByteArray("UTF-8"));
        input.documentName = track->name;
        if (!track->note.empty()) input.notes.push_back(track->note);
        return readInto(table, input, append, framerate, messages, rate, pictures, flow);
    }
    // A table just made is filled a window of the file at a time; should the
    // file have to be read whole after all, the table is made anew for it.
    const bool windows = flow || (!append && table.revision() == 0);
    std::optional<FileText> file;
    if (windows) file.emplace(fileName);
    if (!windows || file->whole()) {
        if (!wholeInput(input, windows ? file->takeBytes() : ReadFileBytes(fileName), fileName, encoding, cancelled)) {
            LoadResult result;
            result.cancelled = true;
            return result;
        }
        return readInto(table, input, append, framerate, messages, rate, pictures, flow);
    }
    input.file = &*file;
    input.format = DetectBinaryFormat(file->start(), fileName);
    bool read = true;
    if (input.format != FormatCode::Unknown) {
        input.pictures = { fileName, input.format, -1, {} };
        file->readBytes();
    } else if ((read = file->readText(encoding.forced, encoding.chooser && encoding.forced.isEmpty()))) {
        input.unsure = file->unsure();
        input.format = detectText(file->head(), fileName);
    }
    try {
        if (read) return readInto(table, input, append, framerate, messages, rate, pictures, flow);
    } catch (const ReadFileWhole&) {
        if (flow) throw;
        table.clear();
    }
    // The encoding is to be asked, or the text is not the one its start showed.
    ReadInput whole;
    if (!wholeInput(whole, read ? ReadFileBytes(fileName) : file->takeBytes(), fileName, encoding, cancelled)) {
        LoadResult result;
        result.cancelled = true;
        return result;
    }
    file.reset();
    return readInto(table, whole, append, framerate, messages, rate, pictures, flow);
}

namespace {

// The questions a writer asks, answered. A script of the format's own
// carries its styles: no settings are asked for it.
WriteContext askedContext(const SubtitleTable& table, const FormatInfo& format, SaveServices& services)
{
    WriteContext context;
    services.notes.clear();
    context.notes = &services.notes;
    const bool askExport = format.writeAsksExportSettings && !IsKeptBy(table.documentData(), format.id);
    if (format.writeAsksFramerate && !askExport)
        context.framerate = services.framerate.ChooseFramerate(FramerateCaption, FrameratePrompt);
    if (askExport) {
        SsaExportAnswer answer = format.picture ? services.exportSettings.AskPictureExportSettings()
                                                : services.exportSettings.AskExportSettings();
        context.ssa = std::move(answer.settings);
        context.pictureWidth = answer.pictureWidth;
        context.pictureHeight = answer.pictureHeight;
        context.framerate = StrToFloat(answer.fpsText.toStdString(), services.decimalSeparator);
    }
    return context;
}

// The output encoding with a kept file's own mark and line ends.
OutputEncoding encodingFor(const SubtitleTable& written, const FormatInfo& format, const OutputEncoding& output)
{
    OutputEncoding as = output;
    if (output.isDefault() && output.keepFileForm) {
        const FileForm form = KeptFileForm(written.documentData(), format.id);
        as.byteOrderMark = form.byteOrderMark;
        as.crlf = !form.lineFeeds;
    }
    return as;
}

} // namespace

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
    const OutputEncoding as = encodingFor(written, format, output);
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
    const WriteContext context = askedContext(table, format, services);
    try {
        target([&](TextSink& sink) { WriteSubtitles(table, format, context, services.output, sink); });
        return true;
    } catch (const UnencodableText& e) {
        services.messages.showError(QString::fromStdString(e.what()));
        return false;
    } catch (const WriteRefused& e) {
        services.messages.showError(SaveFailedMessage + QStringLiteral("\n") + QString::fromStdString(e.what()));
        return false;
    } catch (const std::exception& e) {
        // What stops a picture format (no font, no framerate) is named.
        services.messages.showError(format.picture
                ? SaveFailedMessage + QStringLiteral("\n") + QString::fromStdString(e.what())
                : SaveFailedMessage);
        return false;
    }
}

FormatCode FormatOfDocument(const SubtitleTable& table, const std::string& fileName)
{
    for (const FormatInfo& format : Formats())
        if (IsKeptBy(table.documentData(), format.id)) return format.code;
    if (fileName.empty()) return FormatCode::Unknown;
    try {
        const FormatCode onDisk = DetectFormat(fileName);
        if (onDisk != FormatCode::Unknown) return onDisk;
    } catch (const std::exception&) {
        // Gone or unreadable: the name is all there is.
    }
    const size_t dot = fileName.find_last_of("./");
    if (dot == std::string::npos || fileName[dot] != '.') return FormatCode::Unknown;
    const FormatInfo* byName = FormatByExtension(std::string_view(fileName).substr(dot + 1));
    return byName ? byName->code : FormatCode::Unknown;
}

Unwritten::Unwritten(const FormatInfo& format)
    : format_(format)
{
    for (auto* count : { AssLeftOut, WebVttLeftOut, EbuStlLeftOut, TtmlLeftOut })
        counts_.push_back(count(format.id));
}

Unwritten::~Unwritten() = default;

void Unwritten::rows(const SubtitleTable& table, int firstRow, int lastRow)
{
    // Each count looks only at its own format's hidden cells: one look at
    // the block finds the counts it concerns (rows as most formats read them
    // have none), and the rows of one file share the tag found last.
    std::string_view last;
    std::vector<bool> wanted(counts_.size());
    bool any = false;
    for (int row = firstRow; row <= lastRow; ++row) {
        const std::string_view extra = table.cell(SubtitleTable::Extra, row);
        if (extra.empty() || (!last.empty() && IsKeptBy(extra, last))) continue;
        // Tags are a few letters: a passage of a whole document after one is not searched.
        const std::string_view head = extra.substr(0, 32);
        last = head.substr(0, std::min(head.find('\n'), head.find('\t')));
        for (size_t i = 0; i < counts_.size(); ++i)
            if (counts_[i] && !wanted[i] && IsKeptBy(extra, counts_[i]->tag())) wanted[i] = any = true;
    }
    if (!any) return;
    for (size_t i = 0; i < counts_.size(); ++i)
        if (wanted[i]) counts_[i]->rows(table, firstRow, lastRow);
}

std::string Unwritten::describe(const SubtitleTable& table) const
{
    std::vector<std::string> items;
    for (const std::unique_ptr<LeftOutCount>& count : counts_)
        if (count)
            for (std::string& item : count->items(table))
                items.push_back(std::move(item));
    if (items.empty()) return {};
    std::string sentence;
    for (size_t i = 0; i < items.size(); ++i)
        sentence += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
    const bool one = items.size() == 1 && items[0].compare(0, 2, "1 ") == 0;
    return sentence + (one ? " was" : " were") + " not written: " + format_.id + " has no place for them";
}

std::string DescribeUnwritten(const SubtitleTable& table, const FormatInfo& format)
{
    Unwritten unwritten(format);
    unwritten.rows(table, 1, table.rowCount() - 1);
    return unwritten.describe(table);
}

// The writing of the blocks on a thread of its own, while the next ones are read.
class FlowingSave::Worker {
public:
    explicit Worker(FlowingSave& save)
        : save_(save)
    {
        for (auto& table : tables_)
            free_.push_back(&table);
        thread_ = std::thread([this] { run(); });
    }
    ~Worker() { stop(); }

    // A table for the next block; waits while all are being written.
    SubtitleTable& freeTable()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !free_.empty() || failed_; });
        if (failed_) throw FlowStopped();
        SubtitleTable* table = free_.back();
        free_.pop_back();
        return *table;
    }
    void send(SubtitleTable& table, int firstRow, int lastRow, bool last)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            blocks_.push_back({ &table, firstRow, lastRow, last });
        }
        changed_.notify_all();
    }
    // Waits until every block sent is written; throws FlowStopped when one failed.
    void finish()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return (blocks_.empty() && !busy_) || failed_; });
        if (failed_) throw FlowStopped();
    }
    bool failed()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return failed_;
    }
    void stop()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

private:
    struct Block {
        SubtitleTable* table;
        int firstRow, lastRow;
        bool last;
    };

    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return !blocks_.empty() || stopping_; });
            // Stopped: the blocks left would go nowhere.
            if (stopping_) return;
            const Block block = blocks_.front();
            blocks_.pop_front();
            busy_ = true;
            lock.unlock();
            bool ok = true;
            try {
                if (!failed_) save_.write(*block.table, block.firstRow, block.lastRow, block.last);
            } catch (...) {
                ok = false;
            }
            lock.lock();
            busy_ = false;
            failed_ = failed_ || !ok;
            free_.push_back(block.table);
            changed_.notify_all();
        }
    }

    FlowingSave& save_;
    SubtitleTable tables_[2]; // one written while the other is filled
    std::vector<SubtitleTable*> free_;
    std::deque<Block> blocks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false, failed_ = false, stopping_ = false;
    std::thread thread_;
};

FlowingSave::FlowingSave(const FormatInfo& format, SaveServices& services, RowsSettled settled)
    : format_(availableFormat(&format))
    , services_(services)
    , settled_(std::move(settled))
    , unwritten_(format)
{
}

FlowingSave::~FlowingSave() = default;

FlowingSave::Writing::Writing(FlowingSave& save, TextSink& out)
    : save_(save)
{
    save.out_ = &out;
}

FlowingSave::Writing::~Writing()
{
    // Nothing is written after the sink is gone, whatever stopped the reading.
    if (save_.worker_) save_.worker_->stop();
}

void FlowingSave::windowRead(SubtitleTable& table)
{
    try {
        if (worker_ && worker_->failed()) throw FlowStopped();
        // The last row stored may still change while more are read: the rows
        // before it are settled, and the batch tools run on them. The last
        // settled one stays for the writer to look at, unwritten.
        const int settledRow = table.rowCount() - 2;
        if (settledRow < settle_) return;
        if (settled_) settled_(table, settle_, settledRow);
        settle_ = settledRow + 1;
        if (settledRow - 1 < next_) return;
        if (!begun_) begin(table);
        if (whole_) return;
        hand(table, next_, settledRow - 1, settledRow, false);
        table.dropRowsBefore(settledRow);
        next_ = settledRow;
    } catch (...) {
        throw FlowStopped();
    }
}

bool FlowingSave::keepsFileOf(std::string_view formatId) const { return formatId == format_.id; }

bool FlowingSave::rowsAsReadOf(std::string_view formatId) const { return formatId == format_.id && !settled_; }

void FlowingSave::finish(SubtitleTable& table)
{
    try {
        const int lastRow = table.rowCount() - 1;
        if (settled_ && settle_ <= lastRow) settled_(table, settle_, lastRow);
        settle_ = lastRow + 1;
        if (!begun_ || whole_) {
            // Nothing written yet: the whole table is here, and is saved as SaveSubtitles saves it.
            description_ = DescribeUnwritten(table, format_);
            if (!begun_) {
                context_ = askedContext(table, format_, services_);
                context_.rowsAsRead = !settled_;
            }
            WriteSubtitles(table, format_, context_, services_.output, *out_);
            return;
        }
        hand(table, next_, lastRow, lastRow, true);
        if (worker_) worker_->finish();
    } catch (...) {
        throw FlowStopped();
    }
}

void FlowingSave::begin(const SubtitleTable& table)
{
    begun_ = true;
    context_ = askedContext(table, format_, services_);
    context_.rowsAsRead = !settled_;
    // Comment lines of a script go only into a script: the others are
    // written from a copy without them, its rows numbered anew.
    filtering_ = std::string_view(format_.id) != "ass" && IsKeptBy(table.documentData(), "ass");
    if (filtering_) shown_.setDocumentData(table.documentData());
    as_ = encodingFor(table, format_, services_.output);
    sink_ = out_;
    if (!as_.isDefault() && !format_.binary) {
        encoded_ = std::make_unique<EncodingSink>(*out_, as_);
        sink_ = encoded_.get();
    }
    writer_ = format_.rowWriter ? format_.rowWriter(filtering_ ? shown_ : table, context_, *sink_) : nullptr;
    // A writer that needs every row at once: they stay in the table.
    whole_ = !writer_;
}

void FlowingSave::hand(SubtitleTable& table, int firstRow, int lastRow, int keptRow, bool last)
{
    // Counted here, on the reading thread: the writing one is the slower of the two.
    unwritten_.rows(table, firstRow, lastRow);
    if (!filtering_) {
        writer_->prepare(table, firstRow, lastRow);
    } else {
        // As the copy without comments written on the other thread numbers them.
        writer_->prepare(table, firstRow, lastRow, { preparedRows_ + 1, IsAssComment });
        for (int row = firstRow; row <= lastRow; ++row)
            if (!IsAssComment(table.cell(SubtitleTable::Extra, row))) ++preparedRows_;
    }
    // A file of many windows is written on a second core while it is read.
    if (!worker_ && !last && std::thread::hardware_concurrency() > 1) worker_ = std::make_unique<Worker>(*this);
    if (!worker_) return write(table, firstRow, lastRow, last);
    SubtitleTable& block = worker_->freeTable();
    block.shareRowsOf(table, firstRow, keptRow);
    if (last) block.setDocumentData(table.documentData());
    worker_->send(block, firstRow, lastRow, last);
}

void FlowingSave::write(SubtitleTable& table, int firstRow, int lastRow, bool last)
{
    if (filtering_) {
        for (int row = firstRow; row <= lastRow; ++row) {
            if (IsAssComment(table.cell(SubtitleTable::Extra, row))) continue;
            const int to = ++shownRows_;
            if (to >= shown_.rowCount()) shown_.setRowCount(to + 1);
            shown_.setRow(to, table.cell(SubtitleTable::From, row), table.cell(SubtitleTable::To, row),
                table.cell(SubtitleTable::Line1, row), table.cell(SubtitleTable::Line2, row),
                table.cell(SubtitleTable::Line3, row), table.cell(SubtitleTable::Extra, row));
        }
        // The last one stays, for the writer to look at with the one before it.
        const int shownLast = last ? shownRows_ : shownRows_ - 1;
        if (shownLast >= shownNext_) {
            if (encoded_) CheckEncodable(shown_, shownNext_, shownLast, format_.id, as_, false);
            writer_->rows(shown_, shownNext_, shownLast, *sink_);
            shownNext_ = shownLast + 1;
            shown_.dropRowsBefore(shownNext_);
        }
    } else {
        if (encoded_) CheckEncodable(table, firstRow, lastRow, format_.id, as_, false);
        writer_->rows(table, firstRow, lastRow, *sink_);
    }
    if (!last) return;
    SubtitleTable& written = filtering_ ? shown_ : table;
    if (filtering_) shown_.setDocumentData(table.documentData());
    // The mark and line ends a kept file is written with are those of all of it.
    const OutputEncoding as = encodingFor(written, format_, services_.output);
    if (as.name != as_.name || as.byteOrderMark != as_.byteOrderMark || as.crlf != as_.crlf) throw FlowStopped();
    if (encoded_) CheckEncodable(written, 1, 0, format_.id, as_);
    description_ = unwritten_.describe(table);
    writer_->finish(written, *sink_);
    if (encoded_) encoded_->finish();
}

} // namespace tessel
