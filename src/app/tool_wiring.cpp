#include "app/tool_wiring.h"

#include "app/adjust_wiring.h"
#include "app/check_wiring.h"
#include "app/grid_editing_wiring.h"
#include "app/reading_wiring.h"
#include "app/repair_wiring.h"
#include "app/text_wiring.h"
#include "app/undo_wiring.h"

#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace tessel::app {
namespace {

class DoubleClickFilter : public QObject {
public:
    DoubleClickFilter(QObject* parent, ErrorReport& errors, std::function<void()> command)
        : QObject(parent)
        , errors_(errors)
        , command_(std::move(command))
    {
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonDblClick
            && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            errors_.run(command_);
        return false;
    }

private:
    ErrorReport& errors_;
    std::function<void()> command_;
};

} // namespace

void ConnectDoubleClick(ErrorReport& errors, std::initializer_list<QWidget*> areas, std::function<void()> command)
{
    auto* filter = new DoubleClickFilter(*areas.begin(), errors, std::move(command));
    for (QWidget* area : areas)
        area->installEventFilter(filter);
}

void WireTools(const ToolContext& context)
{
    WireAdjustPage(context);
    WireRepairPage(context);
    WireGridEditing(context);
    WireCheckPage(context);
    WireReadingPage(context);
    WireUndo(context);
    WireTextTools(context);
}

} // namespace tessel::app
