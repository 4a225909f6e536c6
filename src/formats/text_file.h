#pragma once
#include <QByteArray>
#include <functional>
#include <string>
#include <string_view>

// Subtitle files on disk: reading and decoding, line splitting, and writing
// that never leaves a truncated file behind.
namespace tessel {

// Bytes of any encoding as UTF-8: a UTF-8 or UTF-16 byte-order mark is honoured
// and removed, valid UTF-8 stays as it is, anything else goes through the
// detected 8-bit code page (Windows-1252 when detection has no answer).
QByteArray DecodeToUtf8(const QByteArray& bytes);
bool IsValidUtf8(std::string_view bytes);

// The whole file decoded; throws Error with a message naming the file.
QByteArray ReadTextFile(const std::string& fileName);

// Lines end at LF; every CR is dropped; the end of the text ends the last line.
class LineReader {
public:
    explicit LineReader(std::string_view text)
        : text_(text)
    {
    }
    bool atEnd() const { return position_ >= text_.size(); }
    // The next line, valid until the next call; at the end, an empty line.
    std::string_view readLine();

private:
    std::string_view text_;
    size_t position_ = 0;
    std::string scratch_;
};

// Output of a writer: lines ended by CR LF.
class TextSink {
public:
    virtual ~TextSink() = default;
    virtual void write(std::string_view text) = 0;
    void line(std::string_view text)
    {
        write(text);
        write("\r\n");
    }
};

// Runs `write` into the file; the file is replaced only once everything was
// written, so a failure (thrown as an error) leaves any earlier file as it was.
void WriteTextFile(const std::string& fileName, const std::function<void(TextSink&)>& write);

class StringSink : public TextSink {
public:
    void write(std::string_view text) override { text_.append(text); }
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

} // namespace tessel
