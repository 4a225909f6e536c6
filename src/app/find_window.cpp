#include "app/find_window.h"

#include "app/commands.h"
#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "app/text_support.h"
#include "app/widget_helpers.h"
#include "core/errors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace tessel::app {

FindWindow::FindWindow(const ToolContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , context_(context)
{
    setObjectName(QStringLiteral("FormFind"));
    setWindowTitle(QStringLiteral("Find"));
    find_ = MakeEdit(this, "EditFind", QString());
    replace_ = MakeEdit(this, "EditReplaceWith", QString());
    regex_ = MakeCheckBox(this, "ChkBoxRegex", QStringLiteral("Regular expression"), false);
    regex_->setToolTip(QStringLiteral("\\n matches the break between two lines; \\1 in the replacement is a group"));
    matchCase_ = MakeCheckBox(this, "ChkBoxMatchCase", QStringLiteral("Match case"), false);
    wholeWords_ = MakeCheckBox(this, "ChkBoxWholeWords", QStringLiteral("Whole words"), false);
    scope_ = MakeDropDownList(
        this, "FindScopeDropDown", { QStringLiteral("Text lines"), QStringLiteral("All columns") }, 0);
    auto* next = MakeButton(this, "ButtonFindNext", QStringLiteral("Find next"));
    auto* previous = MakeButton(this, "ButtonFindPrevious", QStringLiteral("Find previous"));
    auto* replace = MakeButton(this, "ButtonReplace", QStringLiteral("Replace"));
    auto* replaceAll = MakeButton(this, "ButtonReplaceAll", QStringLiteral("Replace all"));
    auto* list = MakeButton(this, "ButtonListAll", QStringLiteral("List all"));
    list->setToolTip(QStringLiteral("Show every change Replace all would make"));
    if (context_.commands) {
        context_.commands->showKeysAsToolTip(next, QStringLiteral("text.findNext"));
        context_.commands->showKeysAsToolTip(previous, QStringLiteral("text.findPrevious"));
    }
    preview_ = MakePreviewList(this, "FindPreviewList");
    status_ = MakeLabel(this, "LabelFindStatus", QString());

    auto* fields = new QGridLayout;
    fields->addWidget(MakeLabel(this, "LabelFind", QStringLiteral("Find:")), 0, 0);
    fields->addWidget(find_, 0, 1);
    fields->addWidget(next, 0, 2);
    fields->addWidget(previous, 0, 3);
    fields->addWidget(MakeLabel(this, "LabelReplaceWith", QStringLiteral("Replace with:")), 1, 0);
    fields->addWidget(replace_, 1, 1);
    fields->addWidget(replace, 1, 2);
    fields->addWidget(replaceAll, 1, 3);
    auto* options = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*> {
             regex_, matchCase_, wholeWords_, MakeLabel(this, "LabelFindScope", QStringLiteral("In:")), scope_ })
        options->addWidget(w);
    options->addStretch(1);
    options->addWidget(list);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(options);
    layout->addWidget(preview_, 1);
    layout->addWidget(status_);
    resize(620, 360);

    ConnectGuarded(context_.errors, next, &QPushButton::clicked, [this] { findNext(false); });
    ConnectGuarded(context_.errors, previous, &QPushButton::clicked, [this] { findNext(true); });
    ConnectGuarded(context_.errors, replace, &QPushButton::clicked, [this] { replaceOne(); });
    ConnectGuarded(context_.errors, replaceAll, &QPushButton::clicked, [this] { this->replaceAll(); });
    ConnectGuarded(context_.errors, list, &QPushButton::clicked, [this] { listAll(); });
    ConnectGuarded(context_.errors, find_, &QLineEdit::returnPressed, [this] { findNext(false); });
    ConnectGuarded(context_.errors, preview_, &QTreeWidget::itemActivated, [this] {
        if (QTreeWidgetItem* item = preview_->currentItem())
            GoToCell(context_, SubtitleTable::Line1, item->data(0, Qt::UserRole).toInt());
    });
    // New options: the next search starts again from the current cell.
    for (QCheckBox* box : { regex_, matchCase_, wholeWords_ })
        connect(box, &QCheckBox::toggled, this, [this] { last_.reset(); });
    connect(find_, &QLineEdit::textChanged, this, [this] { last_.reset(); });
    connect(scope_, &QComboBox::currentIndexChanged, this, [this] { last_.reset(); });
}

void FindWindow::showFind()
{
    show();
    raise();
    activateWindow();
    find_->setFocus();
    find_->selectAll();
}

void FindWindow::showReplace()
{
    showFind();
    replace_->setFocus();
    replace_->selectAll();
}

void FindWindow::say(const QString& text) { status_->setText(text); }

std::optional<TextSearch> FindWindow::search()
{
    try {
        return TextSearch(FindOptions { find_->text().toStdString(), regex_->isChecked(), matchCase_->isChecked(),
            wholeWords_->isChecked(), scope_->currentIndex() == 1 });
    } catch (const Error& e) {
        say(QString::fromStdString(e.what()));
        return std::nullopt;
    }
}

void FindWindow::select(const FoundMatch& match)
{
    last_ = match;
    lastColumn_ = match.column;
    lastRow_ = match.row;
    GoToCell(context_, match.column, match.row);
    say(QStringLiteral("Row %1, %2.")
            .arg(match.row)
            .arg(QString::fromStdString(std::string(SubtitleTable::HeaderTexts[static_cast<size_t>(match.column)]))));
}

bool FindWindow::findNext(bool backwards)
{
    if (find_->text().isEmpty()) {
        showFind();
        return false;
    }
    const std::optional<TextSearch> s = search();
    if (!s) return false;
    const SubtitleGrid& grid = context_.mainWindow.grid();
    int row = grid.currentTableRow(), field = SubtitleTable::Line1;
    size_t offset = 0;
    const bool fromLast = last_ && grid.currentTableRow() == lastRow_ && grid.currentTableColumn() == lastColumn_;
    if (fromLast) {
        row = last_->row;
        field = last_->field;
        offset = backwards ? last_->span.start : last_->span.end + (last_->span.start == last_->span.end);
    } else {
        // From the start of the current cell.
        const int column = grid.currentTableColumn();
        if (column < SubtitleTable::Line1 && scope_->currentIndex() == 1)
            field = column;
        else if (column > SubtitleTable::Line1 && row >= 1 && row < context_.table.rowCount()) {
            for (int c = SubtitleTable::Line1; c < column; ++c)
                offset += context_.table.cell(c, row).size() + 1;
            offset = std::min(offset, TextSearch::FieldText(context_.table, row, SubtitleTable::Line1).size());
        }
    }
    const std::optional<FoundMatch> match = s->findFrom(context_.table, row, field, offset, backwards);
    if (!match) {
        last_.reset();
        say(QStringLiteral("Not found."));
        return false;
    }
    select(*match);
    return true;
}

void FindWindow::replaceOne()
{
    const std::optional<TextSearch> s = search();
    if (!s) return;
    if (last_) {
        const std::string with = replace_->text().toStdString();
        const std::string text = TextSearch::FieldText(context_.table, last_->row, last_->field);
        if (const auto change = PlanReplaceOne(context_.table, *s, *last_, with)) {
            const size_t length = s->replacement(text, last_->span, with).size();
            ApplyTextChanges(context_, "Replace", { *change });
            // Go on after what was put in.
            last_->span = { last_->span.start, last_->span.start + length };
            lastColumn_ = context_.mainWindow.grid().currentTableColumn();
            lastRow_ = context_.mainWindow.grid().currentTableRow();
        }
    }
    findNext(false);
}

void FindWindow::replaceAll()
{
    const std::optional<TextSearch> s = search();
    if (!s) return;
    int count = 0;
    const std::vector<RowChange> changes = PlanReplaceAll(context_.table, *s, replace_->text().toStdString(), &count);
    const QString done = count == 0
        ? QStringLiteral("Not found.")
        : QStringLiteral("Replaced %1 match(es) in %2 row(s).").arg(count).arg(changes.size());
    ApplyTextChanges(context_, "Replace all", changes);
    last_.reset();
    preview_->clear();
    say(done);
    ShowStatus(context_, done);
}

void FindWindow::listAll()
{
    const std::optional<TextSearch> s = search();
    if (!s) return;
    int count = 0;
    const std::vector<RowChange> changes = PlanReplaceAll(context_.table, *s, replace_->text().toStdString(), &count);
    FillPreview(preview_, context_.table, changes);
    say(count == 0
            ? QStringLiteral("Not found.")
            : QStringLiteral("Replace all would replace %1 match(es) in %2 row(s).").arg(count).arg(changes.size()));
}

} // namespace tessel::app
