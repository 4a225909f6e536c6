#pragma once
#include <QKeySequence>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// The keys the user gave the commands, kept in $XDG_CONFIG_HOME/tessel/keys
// (by default ~/.config/tessel/keys): UTF-8 text, one `id = key` a line with
// the key in Qt's portable form ("Ctrl+Shift+P"; nothing after "=": no key),
// blank lines and lines starting with # skipped.
namespace tessel::app {

struct KeyLine {
    int number = 0; // from 1
    QString text; // as read
    QString id; // empty for a comment, a blank line or a line that is no `id = key`
    QKeySequence key;
    QString problem; // why the line cannot be used; empty when it can
};

QString KeysFilePath();
// Every line of the file's text.
std::vector<KeyLine> ParseKeys(const QString& text);
// The file's text: the `kept` lines as they were, then the user's keys.
QString KeysFileText(const QStringList& kept, const std::vector<std::pair<QString, QKeySequence>>& keys);

// Why `key` cannot be any command's: the grid's, its cell editor's or the
// window's own (copy, cut, paste, Delete, Tab, the arrows...), or a key that
// types text. Empty when it can be given.
QString ReservedKeyReason(const QKeySequence& key);

// "Ctrl+Y or Ctrl+Shift+Z", as the window shows keys.
QString KeysText(const QList<QKeySequence>& keys);

} // namespace tessel::app
