#include "app/adjust_wiring.h"

#include "app/adjust_page.h"
#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "app/tool_wiring.h"
#include "tools/timing_tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>

namespace tessel::app {
namespace {

std::string utf8(const QString& text) { return text.toStdString(); }

// Rows skipped because their new frames would not fit are not silent like
// bad cells: the user asked for a change the table cannot hold.
void reportOutOfRange(MessageSink& messages, const QString& operation, const std::optional<AdjustReport>& report)
{
    if (!report || report->outOfRangeRows == 0) return;
    const int rows = report->outOfRangeRows;
    const QString what = rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows);
    messages.showMessage(QStringLiteral("Error"),
        QStringLiteral("%1 left %2 unchanged: the new frame numbers would not fit in 32 bits.").arg(operation, what),
        MessageIcon::Warning);
}

void reportStop(MessageSink& messages, const FramerateConversion& conversion)
{
    if (!conversion.outOfRange) return;
    const auto header = SubtitleTable::HeaderTexts[conversion.stoppedAtColumn];
    messages.showMessage(QStringLiteral("Error"),
        QStringLiteral("The framerate conversion stopped at row %1, column \"%2\": the new frame number would not "
                       "fit in 32 bits. That cell and the ones after it are unchanged.")
            .arg(conversion.stoppedAtRow)
            .arg(QString::fromUtf8(header.data(), static_cast<int>(header.size()))),
        MessageIcon::Warning);
}

void convertFramerate(const ToolContext& context)
{
    const AdjustPage& page = context.mainWindow.adjustPage();
    EditHistory::Step step(context.history, "Framerate convert");
    reportStop(context.messages,
        ConvertFramerate(context.table, utf8(page.frameRateFrom()->currentText()),
            utf8(page.frameRateTo()->currentText()), context.decimalSeparator, context.messages));
}

void addFrames(const ToolContext& context)
{
    const AdjustPage& page = context.mainWindow.adjustPage();
    EditHistory::Step step(context.history, "Add frames");
    reportOutOfRange(context.messages, QStringLiteral("Add frames"),
        AddFrames(context.table, context.mainWindow.grid().currentTableRow(), utf8(page.addFramesCount()->text()),
            page.adjustStart()->isChecked()));
}

void changeStart(const ToolContext& context)
{
    const AdjustPage& page = context.mainWindow.adjustPage();
    EditHistory::Step step(context.history, "Change start");
    reportOutOfRange(context.messages, QStringLiteral("Change start"),
        ChangeStart(context.table, context.mainWindow.grid().currentTableRow(), utf8(page.changeToStartFrame()->text()),
            page.adjustStart()->isChecked()));
}

void expandDelay(const ToolContext& context)
{
    const AdjustPage& page = context.mainWindow.adjustPage();
    EditHistory::Step step(context.history, "Expand delay");
    reportOutOfRange(context.messages, QStringLiteral("Expand delay"),
        ExpandDelay(context.table, utf8(page.expandDelayFrames()->text())));
}

void fillChangeStart(const ToolContext& context)
{
    const std::string start = ChangeStartFieldText(context.table, context.mainWindow.grid().currentTableRow());
    context.mainWindow.adjustPage().changeToStartFrame()->setText(QString::fromStdString(start));
}

} // namespace

void WireAdjustPage(const ToolContext& context)
{
    const AdjustPage& page = context.mainWindow.adjustPage();
    ConnectGuarded(context.errors, page.frameRateGo(), &QPushButton::clicked, [context] { convertFramerate(context); });
    ConnectGuarded(context.errors, page.addFrames(), &QPushButton::clicked, [context] { addFrames(context); });
    ConnectGuarded(context.errors, page.changeStart(), &QPushButton::clicked, [context] { changeStart(context); });
    ConnectGuarded(context.errors, page.expandDelay(), &QPushButton::clicked, [context] { expandDelay(context); });
    // On the whole table: its rows, its empty part and its header row.
    SubtitleGrid& grid = context.mainWindow.grid();
    ConnectDoubleClick(context.errors, { grid.viewport(), grid.horizontalHeader()->viewport() },
        [context] { fillChangeStart(context); });
}

} // namespace tessel::app
