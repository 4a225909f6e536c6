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

// The error is reported; the table is the one before Open, not a half-read
// one that a save could write over the file (nothing to lose, nothing asked).
TEST(ErrorReport, ReadErrorOfOpenIsReportedAndLeavesTheTable)
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
    EXPECT_EQ(tessel::test::Rows(editor.table()), (std::vector<tessel::test::Row> { { "", "", "", "", "" } }));
    EXPECT_EQ(editor.mainWindow().grid().model()->rowCount(), 1);

    // The next command runs as usual; the table is as unchanged as before.
    files.openAnswers.push_back(std::nullopt);
    Child<QAbstractButton>(editor.mainWindow(), "ButtonOpenSubtitles")->click();
    EXPECT_EQ(questions.asked.size(), 0);
    EXPECT_EQ(files.opensShown, 2);
}
