#include "app/spelling_window.h"

#include "app/main_window.h"
#include "app/spelling_service.h"
#include "app/subtitle_grid.h"
#include "app/text_support.h"
#include "app/widget_helpers.h"
#include "core/errors.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace tessel::app {
namespace {

const QString CompleteMessage = QStringLiteral("The spelling check is complete.");

QString fromUtf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

} // namespace

SpellingWindow::SpellingWindow(const ToolContext& context, SpellingService& spelling, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , tools_(context)
    , spelling_(spelling)
{
    setObjectName(QStringLiteral("FormSpelling"));
    setWindowTitle(QStringLiteral("Spelling"));
    language_ = MakeDropDownList(this, "SpellingLanguageDropDown", {}, -1);
    context_ = MakeLabel(this, "LabelSpellingContext", QString());
    context_->setTextFormat(Qt::RichText);
    context_->setWordWrap(true);
    context_->setMinimumHeight(48);
    context_->setFrameShape(QFrame::StyledPanel);
    changeTo_ = MakeEdit(this, "EditSpellingChangeTo", QString());
    suggestions_ = new QListWidget(this);
    suggestions_->setObjectName(QStringLiteral("SpellingSuggestionList"));
    status_ = MakeLabel(this, "LabelSpellingStatus", QString());
    const std::pair<const char*, const char*> buttons[] = { { "ButtonSpellingChange", "Change" },
        { "ButtonSpellingChangeAll", "Change all" }, { "ButtonSpellingIgnore", "Ignore" },
        { "ButtonSpellingIgnoreAll", "Ignore all" }, { "ButtonSpellingAdd", "Add to my dictionary" } };
    for (const auto& [name, caption] : buttons)
        answers_.push_back(MakeButton(this, name, QString::fromLatin1(caption)));
    auto* close = MakeButton(this, "ButtonSpellingClose", QStringLiteral("Close"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(MakeLabel(this, "LabelSpellingLanguage", QStringLiteral("Language:")), 0, 0);
    grid->addWidget(language_, 0, 1);
    grid->addWidget(MakeLabel(this, "LabelSpellingNotFound", QStringLiteral("Not in the dictionary:")), 1, 0, 1, 2);
    grid->addWidget(context_, 2, 0, 1, 2);
    grid->addWidget(MakeLabel(this, "LabelSpellingChangeTo", QStringLiteral("Change to:")), 3, 0);
    grid->addWidget(changeTo_, 3, 1);
    grid->addWidget(MakeLabel(this, "LabelSpellingSuggestions", QStringLiteral("Suggestions:")), 4, 0, 1, 2);
    grid->addWidget(suggestions_, 5, 0, 6, 2);
    for (size_t i = 0; i < answers_.size(); ++i)
        grid->addWidget(answers_[i], 2 + static_cast<int>(i), 2);
    grid->addWidget(close, 10, 2, Qt::AlignBottom);
    grid->addWidget(status_, 11, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    resize(520, 340);

    fillLanguages();
    ErrorReport& errors = tools_.errors;
    ConnectGuarded(errors, answers_[0], &QPushButton::clicked, [this] { change(); });
    ConnectGuarded(errors, answers_[1], &QPushButton::clicked, [this] { changeAll(); });
    ConnectGuarded(errors, answers_[2], &QPushButton::clicked, [this] { ignore(); });
    ConnectGuarded(errors, answers_[3], &QPushButton::clicked, [this] { ignoreAll(); });
    ConnectGuarded(errors, answers_[4], &QPushButton::clicked, [this] { addToDictionary(); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(suggestions_, &QListWidget::currentTextChanged, changeTo_, &QLineEdit::setText);
    ConnectGuarded(errors, suggestions_, &QListWidget::itemDoubleClicked, [this] { change(); });
    ConnectGuarded(errors, language_, &QComboBox::activated, [this] { chooseLanguage(); });
}

void SpellingWindow::fillLanguages()
{
    const QSignalBlocker blocker(language_);
    language_->clear();
    for (const std::string& l : spelling_.languages())
        language_->addItem(QString::fromStdString(l));
    language_->setCurrentIndex(language_->findText(QString::fromStdString(spelling_.language())));
}

Speller* SpellingWindow::speller()
{
    try {
        return &spelling_.waitForSpeller();
    } catch (const Error& e) {
        finish(QString::fromStdString(e.what()));
        return nullptr;
    }
}

void SpellingWindow::start()
{
    fillLanguages();
    QWidget::show();
    raise();
    activateWindow();
    const SubtitleGrid& grid = tools_.mainWindow.grid();
    startRow_ = std::max(grid.currentTableRow(), 1);
    startColumn_ = std::max(grid.currentTableColumn(), static_cast<int>(SubtitleTable::Line1));
    wrapped_ = false;
    next(startRow_, startColumn_, 0);
}

void SpellingWindow::chooseLanguage()
{
    spelling_.setLanguage(language_->currentText().toStdString());
    // The walk starts again where it stands, in the new language.
    const int row = finding_ ? finding_->row : startRow_;
    const int column = finding_ ? finding_->column : startColumn_;
    const size_t offset = finding_ ? finding_->span.start : 0;
    next(row, column, offset);
}

void SpellingWindow::next(int row, int column, size_t offset)
{
    Speller* s = speller();
    if (!s) return;
    std::optional<SpellFinding> found;
    const auto take = [&](const SpellFinding& f) {
        if (!wrapped_ || f.row < startRow_ || (f.row == startRow_ && f.column < startColumn_)) found = f;
        return false;
    };
    CheckSpelling(tools_.table, *s, row, column, offset, take);
    if (!found && !wrapped_) {
        wrapped_ = true;
        CheckSpelling(tools_.table, *s, 1, SubtitleTable::Line1, 0, take);
    }
    if (found)
        show(*found);
    else
        finish(CompleteMessage);
}

void SpellingWindow::show(const SpellFinding& finding)
{
    finding_ = finding;
    const std::string_view cell = tools_.table.cell(finding.column, finding.row);
    context_->setText(fromUtf8(cell.substr(0, finding.span.start)).toHtmlEscaped()
        + QStringLiteral("<b><font color=\"#c00000\">")
        + fromUtf8(cell.substr(finding.span.start, finding.span.end - finding.span.start)).toHtmlEscaped()
        + QStringLiteral("</font></b>") + fromUtf8(cell.substr(finding.span.end)).toHtmlEscaped());
    suggestions_->clear();
    changeTo_->setText(QString::fromStdString(finding.word));
    if (Speller* s = speller())
        for (const std::string& suggestion : s->suggestions(finding.word))
            suggestions_->addItem(QString::fromStdString(suggestion));
    if (suggestions_->count() > 0) suggestions_->setCurrentRow(0);
    for (QPushButton* b : answers_)
        b->setEnabled(true);
    status_->setText(QStringLiteral("Row %1, %2.")
                         .arg(finding.row)
                         .arg(fromUtf8(SubtitleTable::HeaderTexts[static_cast<size_t>(finding.column)])));
    GoToCell(tools_, finding.column, finding.row);
}

void SpellingWindow::finish(const QString& text)
{
    finding_.reset();
    context_->clear();
    suggestions_->clear();
    changeTo_->clear();
    for (QPushButton* b : answers_)
        b->setEnabled(false);
    status_->setText(text);
}

void SpellingWindow::change()
{
    if (!finding_) return;
    const SpellFinding f = *finding_;
    const std::string cell(tools_.table.cell(f.column, f.row));
    // Edited meanwhile: look again from there.
    if (f.span.end > cell.size() || StripMarkup(cell.substr(f.span.start, f.span.end - f.span.start)) != f.word) {
        next(f.row, f.column, f.span.start);
        return;
    }
    const std::string replacement = changeTo_->text().toStdString();
    {
        EditHistory::Step step(tools_.history, "Change word");
        tools_.table.setCell(f.column, f.row, ReplaceWord(cell, f.span, replacement));
    }
    next(f.row, f.column, f.span.start + replacement.size());
}

void SpellingWindow::changeAll()
{
    if (!finding_) return;
    Speller* s = speller();
    if (!s) return;
    const SpellFinding f = *finding_;
    const std::string replacement = changeTo_->text().toStdString();
    std::vector<SpellFinding> all;
    CheckSpelling(tools_.table, *s, 1, SubtitleTable::Line1, 0, [&](const SpellFinding& x) {
        if (x.word == f.word) all.push_back(x);
        return true;
    });
    {
        EditHistory::Step step(tools_.history, "Change all");
        // From the last: the places before each stay where they were.
        for (auto x = all.rbegin(); x != all.rend(); ++x) {
            const std::string cell(tools_.table.cell(x->column, x->row));
            tools_.table.setCell(x->column, x->row, ReplaceWord(cell, x->span, replacement));
        }
    }
    ShowStatus(tools_, QStringLiteral("Changed %1 word(s).").arg(all.size()));
    const bool here = std::any_of(all.begin(), all.end(),
        [&](const SpellFinding& x) { return x.row == f.row && x.column == f.column && x.span == f.span; });
    next(f.row, f.column, f.span.start + (here ? replacement.size() : f.span.end - f.span.start));
}

void SpellingWindow::ignore()
{
    if (finding_) next(finding_->row, finding_->column, finding_->span.end);
}

void SpellingWindow::ignoreAll()
{
    if (!finding_) return;
    if (Speller* s = speller()) s->ignore(finding_->word);
    spelling_.tellChanged();
    ignore();
}

void SpellingWindow::addToDictionary()
{
    if (!finding_) return;
    const SpellFinding f = *finding_;
    Speller* s = speller();
    if (!s) return;
    try {
        s->addToPersonal(f.word);
    } catch (...) {
        spelling_.tellChanged();
        next(f.row, f.column, f.span.end);
        throw;
    }
    spelling_.tellChanged();
    next(f.row, f.column, f.span.end);
}

} // namespace tessel::app
