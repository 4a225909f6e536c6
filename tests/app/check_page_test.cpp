#include "app/check_page.h"
#include "app/text_measurer.h"
#include "window_fakes.h"

#include <QLineEdit>

using namespace tessel::app;
using namespace tessel::test;

TEST(CheckPage, FontDescriptionNamesBoldButNoOtherStyle)
{
    QFont italicArial(QStringLiteral("Arial"), 20, QFont::Bold, true);
    const std::pair<QFont, const char*> cases[] = {
        { QFont(QStringLiteral("Tahoma"), 12), "Tahoma, 12pt" },
        { italicArial, "Arial, Bold, 20pt" },
        { QFont(QStringLiteral("Verdana"), 9, QFont::Bold), "Verdana, Bold, 9pt" },
    };
    for (const auto& [font, text] : cases)
        EXPECT_EQ(CheckPage::FontDescription(font), text);
}

TEST(CheckPage, ChosenFontBecomesTheMeasuringFont)
{
    CheckPage page;
    EXPECT_EQ(page.checkFont().family(), "Arial");
    EXPECT_EQ(page.checkFont().pointSize(), 20);
    EXPECT_TRUE(page.checkFont().bold());
    page.setFontChooser([](const QFont&) { return QFont(QStringLiteral("Tahoma"), 12); });
    page.chooseFont();
    EXPECT_EQ(Child<QLineEdit>(page, "CheckFontNameEdit")->text(), "Tahoma, 12pt");
    EXPECT_EQ(page.checkFont().pointSize(), 12);
    page.setFontChooser([](const QFont&) { return std::nullopt; });
    page.chooseFont();
    EXPECT_EQ(Child<QLineEdit>(page, "CheckFontNameEdit")->text(), "Tahoma, 12pt");
}

TEST(TextMeasurer, MeasuresLinesInTheGivenFont)
{
    QtTextMeasurer small(QFont(QStringLiteral("Arial"), 10));
    QtTextMeasurer large(QFont(QStringLiteral("Arial"), 40));
    EXPECT_EQ(small.Width(""), 0);
    EXPECT_GT(small.Width("WWWW"), small.Width("iiii"));
    EXPECT_GT(large.Width("Hello"), 3 * small.Width("Hello"));
    EXPECT_EQ(small.Width("Grüße"), small.Width("Grüße")); // UTF-8 text
    EXPECT_GT(small.Width("Grüße"), small.Width("Gr"));
}
