#include "app/check_page.h"
#include "app/text_measurer.h"
#include "app_test_support.h"

#include <QImage>
#include <QLineEdit>

using namespace tessel::app;
using namespace tessel::app::test;

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
    EXPECT_GT(small.Width("Grüße"), small.Width("Gr"));
}

// Liberation Sans stands in for Arial: 153 pixels, as measured on and off screen.
TEST(TextMeasurer, MeasuresAsTheScreenDoes)
{
    EXPECT_EQ(QtTextMeasurer(QFont(QStringLiteral("Arial"), 20, QFont::Bold)).Width("Hello, world"), 153);
}

// The cells hold UTF-8: "Grüße" is five letters, not the seven its bytes
// would be read as Latin-1.
TEST(TextMeasurer, ReadsTheTextAsUtf8)
{
    const QFont font(QStringLiteral("Arial"), 10);
    QImage canvas(1, 1, QImage::Format_RGB32);
    const QFontMetrics reference(font, &canvas);
    const char* const text = "Gr\xC3\xBC\xC3\x9F"
                             "e";
    QtTextMeasurer measurer(font);
    EXPECT_EQ(measurer.Width(text), reference.horizontalAdvance(QString::fromUtf16(u"Gr\u00FC\u00DFe")));
    EXPECT_NE(measurer.Width(text), reference.horizontalAdvance(QString::fromLatin1(text)));
}
