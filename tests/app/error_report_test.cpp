#include "app/editor.h"
#include "app/error_report.h"
#include "app/main_window.h"
#include "app/subtitle_grid.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <stdexcept>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

TEST(ErrorReport, ShowsTheTextOfAnErrorTheCommandDidNotHandle)
{
    RecordingMessages messages;
    ErrorReport report(messages);
    int ranAfter = 0;
    report.run([&] {
        throw std::runtime_error("Cannot open file \"x.srt\".");
        ++ranAfter;
    });
    report.run([] {});
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Cannot open file \"x.srt\".");
    EXPECT_EQ(messages.messages[0].title, "Tessel Subtitles Editor");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(ranAfter, 0);
}

TEST(ErrorReport, ReadErrorOfOpenKeepsTheRowsReadBeforeIt)
{
    tessel::test::TempDir dir;
    const std::string name = dir.path("broken.srt");
    tessel::test::WriteFile(name,
        "1\n00:00:01,000 --> 00:00:02,000\nFirst\n\n"
        "2\n00:00:03,000 --> 00:00:04,000\nSecond\n\n"
        "3\n99999999999:00:05,000 --> 00:00:06,000\nThird\n\n"
        "4\n00:00:07,000 --> 00:00:08,000\nFourth\n");
    RecordingMessages messages;
    ScriptedQuestions questions;
    ScriptedFileDialogs files;
    FixedFramerate framerate(25);
    Editor editor { EditorOverrides { &messages, &questions, &files, &framerate, nullptr, '.' } };
    files.openAnswers.push_back(QString::fromStdString(name));
    Child<QAbstractButton>(editor.mainWindow(), "ButtonOpenSubtitles")->click();

    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(messages.messages[0].text.isEmpty());
    const auto rows = tessel::test::Rows(editor.table());
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows[0], (tessel::test::Row { "25", "50", "First", "", "" }));
    EXPECT_EQ(rows[1], (tessel::test::Row { "75", "100", "Second", "", "" }));
    EXPECT_LT(rows.size(), 4u); // the reading ended at the error
    EXPECT_EQ(editor.mainWindow().grid().model()->rowCount(), static_cast<int>(rows.size()));

    // The next command runs as usual; the half-read table counts as changed.
    questions.answer = true;
    files.openAnswers.push_back(std::nullopt);
    Child<QAbstractButton>(editor.mainWindow(), "ButtonOpenSubtitles")->click();
    EXPECT_EQ(questions.asked.size(), 1);
    EXPECT_EQ(files.opensShown, 2);
}
