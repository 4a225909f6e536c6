#include "app/check_wiring.h"

#include "app/check_page.h"
#include "app/main_window.h"
#include "app/text_measurer.h"
#include "app/tool_wiring.h"
#include "tools/timing_check.h"
#include "tools/width_check.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

namespace tessel::app {
namespace {

CheckServices checkServices(const ToolContext& context, VideoPause& noVideo)
{
    return { context.checkDialog, context.video ? *context.video : noVideo, context.messages };
}

void checkWidth(const ToolContext& context)
{
    const CheckPage& page = context.mainWindow.checkPage();
    QtTextMeasurer measurer(page.checkFont());
    NoVideo noVideo;
    // Every answer of the run, those before a Cancel too.
    EditHistory::Step step(context.history, "Check text width");
    CheckTextWidth(
        context.table, page.screenPx()->currentText().toStdString(), measurer, checkServices(context, noVideo));
}

void checkTiming(const ToolContext& context)
{
    const CheckPage& page = context.mainWindow.checkPage();
    NoVideo noVideo;
    EditHistory::Step step(context.history, "Check subtitles timing");
    CheckTiming(context.table, page.timingAutoFix()->isChecked(), page.shortTime()->isChecked(),
        checkServices(context, noVideo));
}

} // namespace

void WireCheckPage(const ToolContext& context)
{
    const CheckPage& page = context.mainWindow.checkPage();
    ConnectGuarded(context.errors, page.checkWidthNow(), &QPushButton::clicked, [context] { checkWidth(context); });
    ConnectGuarded(context.errors, page.checkTimingNow(), &QPushButton::clicked, [context] { checkTiming(context); });
}

} // namespace tessel::app
