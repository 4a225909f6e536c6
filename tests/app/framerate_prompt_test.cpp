#include "app/framerate_prompt.h"
#include "test_support.h"
#include "window_fakes.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <cstring>

using namespace tessel;
using namespace tessel::app;
using namespace tessel::test;

namespace {

class FrameratePromptTest : public ::testing::Test {
protected:
    // Types `text` and presses OK in the prompt once it shows.
    void answerWith(const QString& text)
    {
        WhenModal(QStringLiteral("FormChooseFPS"), [text](QWidget* dialog) {
            Child<QComboBox>(*dialog, "FPSDropDown")->setEditText(text);
            Child<QAbstractButton>(*dialog, "Button1")->click();
        });
    }
    std::string aviHeader(uint32_t scale, uint32_t rate, size_t size = 164)
    {
        std::string bytes(size, '\0');
        if (size >= 136) {
            std::memcpy(&bytes[128], &scale, 4); // little-endian on every machine we build for
            std::memcpy(&bytes[132], &rate, 4);
        }
        return bytes;
    }

    RecordingMessages messages;
    FrameratePromptDialog prompt { messages, ',', nullptr };
    tessel::test::TempDir dir;
};

} // namespace

TEST_F(FrameratePromptTest, ShowsCaptionAndPromptAndReturnsTheRate)
{
    QString title, label;
    WhenModal(QStringLiteral("FormChooseFPS"), [&](QWidget* dialog) {
        title = dialog->windowTitle();
        label = Child<QLabel>(*dialog, "LabelText")->text();
        Child<QAbstractButton>(*dialog, "Button1")->click();
    });
    EXPECT_DOUBLE_EQ(prompt.ChooseFramerate(FramerateCaption, tessel::FrameratePrompt), 23.976);
    EXPECT_EQ(title, "Framerate");
    EXPECT_EQ(label, "Please choose framerate:");
    EXPECT_EQ(prompt.size(), QSize(217, 69));
}

TEST_F(FrameratePromptTest, OffersTheLastChoiceAgain)
{
    answerWith(QStringLiteral("29,976"));
    EXPECT_DOUBLE_EQ(prompt.ChooseFramerate(FramerateCaption, tessel::FrameratePrompt), 29.976);
    QString offered;
    WhenModal(QStringLiteral("FormChooseFPS"), [&](QWidget* dialog) {
        offered = Child<QComboBox>(*dialog, "FPSDropDown")->currentText();
        Child<QAbstractButton>(*dialog, "Button1")->click();
    });
    EXPECT_DOUBLE_EQ(prompt.ChooseFramerate(FramerateCaption, tessel::FrameratePrompt), 29.976);
    EXPECT_EQ(offered, "29,976");
}

TEST_F(FrameratePromptTest, RefusesTextThatIsNoUsableRateAndStaysOpen)
{
    const QStringList refused = { "25fps", "", "0", "-5", "23.976" };
    for (const QString& text : refused) {
        prompt.dropDown()->setEditText(text);
        prompt.show();
        prompt.confirm();
        EXPECT_TRUE(prompt.isVisible()) << text.toStdString();
    }
    ASSERT_EQ(messages.messages.size(), static_cast<size_t>(refused.size()));
    for (const Message& m : messages.messages) {
        EXPECT_EQ(m.title, "Error");
        EXPECT_EQ(m.text, "Invalid framerate!");
        EXPECT_EQ(m.icon, MessageIcon::Error);
    }
    prompt.hide();
}

TEST_F(FrameratePromptTest, EveryPresetConverts)
{
    for (int i = 0; i < prompt.dropDown()->count(); ++i) {
        answerWith(prompt.dropDown()->itemText(i));
        EXPECT_GT(prompt.ChooseFramerate(FramerateCaption, tessel::FrameratePrompt), 0);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(FrameratePromptTest, EnterInTheDropDownConfirms)
{
    WhenModal(QStringLiteral("FormChooseFPS"), [](QWidget* dialog) {
        auto* box = Child<QComboBox>(*dialog, "FPSDropDown");
        box->setEditText(QStringLiteral("25"));
        QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    });
    EXPECT_DOUBLE_EQ(prompt.ChooseFramerate(FramerateCaption, tessel::FrameratePrompt), 25);
}

TEST_F(FrameratePromptTest, EscapeDoesNotEndThePrompt)
{
    prompt.show();
    prompt.reject();
    EXPECT_TRUE(prompt.isVisible());
    prompt.hide();
}

TEST_F(FrameratePromptTest, AutodetectReadsTheFirstStreamsRate)
{
    struct Case {
        uint32_t scale, rate;
        const char* text;
    };
    const Case cases[] = { { 1, 25, "25" }, { 1001, 24000, "23,976" }, { 1001, 30000, "29,97" } };
    for (const Case& c : cases) {
        const std::string name = dir.path("movie.avi");
        tessel::test::WriteFile(name, aviHeader(c.scale, c.rate));
        prompt.setVideoChooser([name] { return QString::fromStdString(name); });
        prompt.autodetect();
        EXPECT_EQ(prompt.dropDown()->currentText(), c.text);
    }
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(FrameratePromptTest, AutodetectFailureKeepsTheText)
{
    const std::string shortFile = dir.path("short.avi");
    tessel::test::WriteFile(shortFile, aviHeader(1, 25, 100));
    const std::string zeroScale = dir.path("zero.avi");
    tessel::test::WriteFile(zeroScale, aviHeader(0, 25));
    prompt.dropDown()->setEditText(QStringLiteral("24"));
    for (const std::string& name : { shortFile, zeroScale, dir.path("missing.avi") }) {
        prompt.setVideoChooser([name] { return QString::fromStdString(name); });
        prompt.autodetect();
    }
    EXPECT_EQ(prompt.dropDown()->currentText(), "24");
    EXPECT_EQ(
        messages.texts(), QStringList({ "FPS detection failed!", "FPS detection failed!", "FPS detection failed!" }));
    prompt.setVideoChooser([] { return std::nullopt; }); // cancelled: nothing happens
    prompt.autodetect();
    EXPECT_EQ(messages.messages.size(), 3u);
}
