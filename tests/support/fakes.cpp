#include "fakes.h"

namespace tessel::test {

QStringList RecordingMessages::texts() const
{
    QStringList list;
    for (const Message& m : messages)
        list << m.text;
    return list;
}

int ScriptedCheckDialog::Exec(CheckWindow& window, const QString& message, bool autoFixEnabled)
{
    shown.push_back({ window, message.toStdString(), autoFixEnabled });
    if (edit) edit(window);
    return next_ < answers_.size() ? answers_[next_++] : fallback_;
}

int TenPixelFont::Width(const std::string& utf8Text)
{
    int characters = 0;
    for (char c : utf8Text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    return 10 * characters;
}

} // namespace tessel::test

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

void PrintTo(const QPoint& point, std::ostream* out) { *out << point.x() << ',' << point.y(); }

void PrintTo(const QSize& size, std::ostream* out) { *out << size.width() << 'x' << size.height(); }

void PrintTo(const QRect& rect, std::ostream* out)
{
    PrintTo(rect.topLeft(), out);
    *out << ' ';
    PrintTo(rect.size(), out);
}
