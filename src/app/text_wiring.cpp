#include "app/text_wiring.h"

#include "app/commands.h"
#include "app/find_window.h"
#include "app/main_window.h"
#include "app/spelling_service.h"
#include "app/spelling_underline.h"
#include "app/spelling_window.h"
#include "app/subtitle_grid.h"
#include "app/text_support.h"
#include "app/text_tools_window.h"
#include "app/window_places.h"
#include "tools/line_breaking.h"
#include "tools/split_merge.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QLineEdit>

namespace tessel::app {

TextTools::TextTools(const ToolContext& context)
    : QObject(&context.mainWindow)
    , context_(context)
{
    setObjectName(QStringLiteral("TextTools"));
    service_ = new SpellingService(this);
    UnderlineMisspelledWords(context_.mainWindow.grid(), *service_);
    registerCommands();
}

TextTools::~TextTools() = default;

FindWindow& TextTools::findWindow()
{
    if (!find_) {
        find_ = new FindWindow(context_, &context_.mainWindow);
        KeepPlace(*find_, QStringLiteral("find"));
        // Find next and previous also from the Find window itself; not the
        // grid's keys, such as F4, which opens its drop-down list.
        context_.commands->addWindow(find_, false);
    }
    return *find_;
}

SpellingWindow& TextTools::spellingWindow()
{
    if (!spelling_) {
        spelling_ = new SpellingWindow(context_, *service_, &context_.mainWindow);
        KeepPlace(*spelling_, QStringLiteral("spelling"));
    }
    return *spelling_;
}

TextToolsWindow& TextTools::toolsWindow()
{
    if (!tools_) {
        tools_ = new TextToolsWindow(context_, &context_.mainWindow);
        KeepPlace(*tools_, QStringLiteral("text-tools"));
    }
    return *tools_;
}

QString TextTools::rowUnavailable(bool needsNext) const
{
    const int row = context_.mainWindow.grid().currentTableRow();
    if (row < 1 || row >= context_.table.rowCount()) return QStringLiteral("needs a current subtitle");
    if (needsNext && row + 1 >= context_.table.rowCount()) return QStringLiteral("needs a subtitle after this one");
    return {};
}

void TextTools::registerCommands()
{
    CommandRegistry& registry = *context_.commands;
    const auto add = [&](const char* id, const char* name, const char* description, QKeySequence key, bool menu,
                         std::function<void()> run, std::function<QString()> unavailable = {}) {
        Command command;
        command.id = QString::fromLatin1(id);
        command.name = QString::fromUtf8(name);
        command.description = QString::fromUtf8(description);
        command.key = key;
        command.inGridMenu = menu;
        command.run = std::move(run);
        command.unavailable = std::move(unavailable);
        registry.add(std::move(command));
    };
    const auto row = [this] { return rowUnavailable(false); };
    const auto rowAndNext = [this] { return rowUnavailable(true); };
    const auto dictionary = [this] {
        return service_->language().empty() ? QStringLiteral("needs a Hunspell dictionary (hunspell-* packages)")
                                            : QString();
    };
    add(
        "text.split", "Split subtitle", "Split the current subtitle at the cursor, its line break or its best break",
        QKeySequence(Qt::ALT | Qt::Key_S), true, [this] { splitRow(); }, row);
    add(
        "text.merge", "Merge with next", "Make the current subtitle and the next one subtitle",
        QKeySequence(Qt::ALT | Qt::Key_M), true, [this] { mergeWithNext(); }, rowAndNext);
    add(
        "text.breakRow", "Break lines", "Break the current subtitle's lines again to the profile's length",
        QKeySequence(Qt::ALT | Qt::Key_B), true, [this] { breakRow(); }, row);
    add(
        "text.unbreakRow", "Unbreak", "Put the current subtitle's lines on one line when it fits the profile",
        QKeySequence(Qt::ALT | Qt::Key_U), true, [this] { unbreakRow(); }, row);
    add("text.removeHi", "Remove hearing-impaired text\u2026",
        "Brackets, parentheses, speaker labels and music signs out of every subtitle, with a preview",
        QKeySequence(Qt::ALT | Qt::Key_H), true,
        [this] { toolsWindow().open(TextToolsWindow::RemoveHearingImpaired); });
    add("text.tools", "Text tools\u2026", "Break lines, unbreak, split long and merge short subtitles in every row",
        QKeySequence(Qt::ALT | Qt::Key_T), false, [this] { toolsWindow().open(TextToolsWindow::BreakLines); });
    add("text.breakAll", "Break lines in every subtitle\u2026", "The Text tools window on \"Break lines\"", {}, false,
        [this] { toolsWindow().open(TextToolsWindow::BreakLines); });
    add("text.unbreakAll", "Unbreak every subtitle\u2026", "The Text tools window on \"Unbreak\"", {}, false,
        [this] { toolsWindow().open(TextToolsWindow::Unbreak); });
    add("text.splitLong", "Split long subtitles\u2026", "The Text tools window on \"Split long subtitles\"", {}, false,
        [this] { toolsWindow().open(TextToolsWindow::SplitLong); });
    add("text.mergeShort", "Merge short rows\u2026", "The Text tools window on \"Merge short rows\"", {}, false,
        [this] { toolsWindow().open(TextToolsWindow::MergeShort); });
    add("text.find", "Find\u2026", "Find text or a regular expression in the subtitles",
        QKeySequence(Qt::CTRL | Qt::Key_F), false, [this] { findWindow().showFind(); });
    add("text.replace", "Replace\u2026", "Find and replace, one match or all of them",
        QKeySequence(Qt::CTRL | Qt::Key_H), false, [this] { findWindow().showReplace(); });
    add("text.findNext", "Find next", "The next match of the Find window's text", QKeySequence(Qt::Key_F3), false,
        [this] { findWindow().findNext(false); });
    add("text.findPrevious", "Find previous", "The previous match of the Find window's text",
        QKeySequence(Qt::SHIFT | Qt::Key_F3), false, [this] { findWindow().findNext(true); });
    add(
        "text.spelling", "Spelling\u2026", "Go through the words not in the dictionary from the current cell on",
        QKeySequence(Qt::Key_F12), false, [this] { spellingWindow().start(); }, dictionary);
    add(
        "text.underline", "Underline misspelled words", "Switch the grid's spelling underlines on or off", {}, false,
        [this] { service_->setUnderline(!service_->underline()); }, dictionary);
}

std::optional<size_t> TextTools::cursorInRowText()
{
    SubtitleGrid& grid = context_.mainWindow.grid();
    auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (grid.editSession() == 0 || !edit || !grid.isAncestorOf(edit)) return std::nullopt;
    const int column = grid.currentTableColumn(), row = grid.currentTableRow();
    const size_t inCell = static_cast<size_t>(edit->text().left(edit->cursorPosition()).toUtf8().size());
    // Each keystroke is in the table already: closing the editor loses nothing.
    emit grid.itemDelegate()->closeEditor(edit, QAbstractItemDelegate::NoHint);
    if (column < SubtitleTable::Line1) return std::nullopt;
    size_t offset = inCell;
    for (int c = SubtitleTable::Line1; c < column; ++c)
        offset += context_.table.cell(c, row).size() + 1;
    return offset;
}

void TextTools::splitRow()
{
    const std::optional<size_t> cursor = cursorInRowText();
    const auto settings = CurrentTextToolSettings(context_);
    if (!settings) return;
    const int row = context_.mainWindow.grid().currentTableRow();
    const int gap = MinGapFrames(settings->profile, settings->framerate);
    TextToolResult result = PlanSplit(context_.table, row, cursor, gap);
    // A cursor at either end of the text: the best place instead.
    if (!result.change && cursor) result = PlanSplit(context_.table, row, std::nullopt, gap);
    if (!result.change) {
        ShowStatus(context_, QString::fromStdString(result.problem));
        return;
    }
    ApplyTextChanges(context_, "Split subtitle", { *result.change });
}

void TextTools::mergeWithNext()
{
    cursorInRowText();
    const auto settings = CurrentTextToolSettings(context_);
    if (!settings) return;
    const TextToolResult result = PlanMerge(
        context_.table, context_.mainWindow.grid().currentTableRow(), LineLimitsOf(settings->profile).charsPerLine);
    if (!result.change) {
        ShowStatus(context_, QString::fromStdString(result.problem));
        return;
    }
    ApplyTextChanges(context_, "Merge subtitles", { *result.change });
}

void TextTools::breakRow()
{
    cursorInRowText();
    const auto settings = CurrentTextToolSettings(context_);
    if (!settings) return;
    ApplyTextChanges(context_, "Break lines",
        PlanBreakLines(context_.table, LineLimitsOf(settings->profile), context_.mainWindow.grid().currentTableRow()));
}

void TextTools::unbreakRow()
{
    cursorInRowText();
    const auto settings = CurrentTextToolSettings(context_);
    if (!settings) return;
    const int row = context_.mainWindow.grid().currentTableRow();
    const std::vector<RowChange> changes
        = PlanUnbreak(context_.table, LineLimitsOf(settings->profile).charsPerLine, row);
    if (changes.empty()) ShowStatus(context_, QStringLiteral("The lines do not fit one line of the profile."));
    ApplyTextChanges(context_, "Unbreak", changes);
}

void WireTextTools(const ToolContext& context)
{
    if (!context.commands) return; // the text tools hang on the command registry
    new TextTools(context);
}

} // namespace tessel::app
