#include "app/key_settings.h"

#include <QDir>

namespace tessel::app {

QString KeysFilePath()
{
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    const QString base = QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/tessel/keys");
}

namespace {

// Qt parses what it cannot read as Qt::Key_unknown, or as nothing.
bool isKey(const QKeySequence& key)
{
    if (key.isEmpty() || key.toString(QKeySequence::PortableText).isEmpty()) return false;
    for (int i = 0; i < key.count(); ++i)
        if (key[i].key() == Qt::Key_unknown) return false;
    return true;
}

KeyLine parseLine(int number, const QString& text)
{
    KeyLine line;
    line.number = number;
    line.text = text;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#'))) return line;
    const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
    if (equals < 0) {
        line.problem = QStringLiteral("no \"=\" between a command and its key");
        return line;
    }
    line.id = trimmed.left(equals).trimmed();
    const QString value = trimmed.mid(equals + 1).trimmed();
    if (line.id.isEmpty()) {
        line.problem = QStringLiteral("no command before \"=\"");
        return line;
    }
    if (value.isEmpty()) return line; // no key
    line.key = QKeySequence::fromString(value, QKeySequence::PortableText);
    if (!isKey(line.key)) {
        line.problem = QStringLiteral("\"%1\" is no key").arg(value);
        line.key = {};
    } else if (const QString reserved = ReservedKeyReason(line.key); !reserved.isEmpty()) {
        line.problem = QStringLiteral("%1 cannot be taken: %2").arg(value, reserved);
        line.key = {};
    }
    return line;
}

} // namespace

std::vector<KeyLine> ParseKeys(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast(); // the last line's end
    std::vector<KeyLine> parsed;
    parsed.reserve(static_cast<size_t>(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        parsed.push_back(parseLine(static_cast<int>(i + 1), line));
    }
    return parsed;
}

QString KeysFileText(const QStringList& kept, const std::vector<std::pair<QString, QKeySequence>>& keys)
{
    QString text;
    if (kept.isEmpty())
        text = QStringLiteral("# Tessel's keys: one \"command = key\" a line (\"Ctrl+Shift+P\"; nothing after \"=\": "
                              "no key).\n# The Keys window writes this file; its Reset empties it.\n");
    for (const QString& line : kept)
        text += line + QLatin1Char('\n');
    for (const auto& [id, key] : keys)
        text += id + QStringLiteral(" = ") + key.toString(QKeySequence::PortableText) + QLatin1Char('\n');
    return text;
}

QString ReservedKeyReason(const QKeySequence& key)
{
    if (key.isEmpty()) return {};
    const QKeyCombination chord = key[0];
    const int code = chord.key();
    const Qt::KeyboardModifiers modifiers = chord.keyboardModifiers() & ~Qt::KeypadModifier;
    // Ctrl with C, X or V copies, cuts and pastes whatever else is held.
    if (modifiers.testFlag(Qt::ControlModifier) && (code == Qt::Key_C || code == Qt::Key_X || code == Qt::Key_V))
        return QStringLiteral("the grid copies, cuts and pastes a cell with it");
    switch (code) {
    case Qt::Key_Delete:
        return QStringLiteral("the grid empties a cell with it");
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return QStringLiteral("the grid moves to the next or previous cell with it");
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        // Alt with an arrow moves nothing in the grid or a cell editor, so it
        // is free for going back and forth (the shot changes take it).
        if (modifiers == Qt::AltModifier) break;
        [[fallthrough]];
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return QStringLiteral("the grid moves between cells with it");
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_F2:
        return QStringLiteral("the grid opens, closes or cancels a cell editor with it");
    case Qt::Key_F4:
        if (modifiers.testFlag(Qt::AltModifier)) return QStringLiteral("it closes a window");
        break;
    default:
        break;
    }
    if ((modifiers & ~Qt::ShiftModifier) == Qt::NoModifier && code >= Qt::Key_Space && code < Qt::Key_Escape)
        return QStringLiteral("it types text");
    return {};
}

QString KeysText(const QList<QKeySequence>& keys)
{
    QStringList texts;
    for (const QKeySequence& key : keys)
        texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(" or "));
}

} // namespace tessel::app
