#include "clips.h"
#include "preview/movie_window.h"

#include <QAction>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <set>

using namespace tessel;
using test::WaitFor;

namespace {

QLabel* Label(TFormMovie& movie, const char* name) { return movie.findChild<QLabel*>(QLatin1String(name)); }

QFont withPixelSize(QFont font, int pixels)
{
    font.setPixelSize(pixels);
    return font;
}

} // namespace

TEST(MovieWindow, WindowAndControls)
{
    QWidget main;
    main.move(300, 200);
    TFormMovie movie(&main);
    EXPECT_EQ(movie.objectName(), "FormMovie");
    EXPECT_EQ(movie.windowTitle(), "Movie");
    EXPECT_TRUE(movie.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(movie.windowType(), Qt::Tool);
    EXPECT_FALSE(movie.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(movie.testAttribute(Qt::WA_QuitOnClose));
    EXPECT_EQ(movie.minimumSize(), QSize(150, 150));
    EXPECT_EQ(movie.pos(), QPoint(60, 200)); // beside the main window's 640 pixels: left, on an 800 pixel screen
    EXPECT_EQ(movie.size(), QSize(240, 220));
    ASSERT_TRUE(movie.findChild<QFrame*>(QStringLiteral("PnlMovie")));
    QWidget* player = movie.findChild<QWidget*>(QStringLiteral("VideoPlayer"));
    ASSERT_TRUE(player);
    EXPECT_FALSE(player->isVisibleTo(&movie));

    QLabel* timeCode = Label(movie, "TimeCode");
    ASSERT_TRUE(timeCode);
    EXPECT_EQ(timeCode->text(), "0/0");
    EXPECT_TRUE(timeCode->font().bold());
    EXPECT_EQ(timeCode->font().pixelSize(), 11);
    EXPECT_TRUE(timeCode->alignment() & Qt::AlignRight);
    EXPECT_EQ(timeCode->palette().color(QPalette::WindowText), QColor(Qt::white));

    QLabel* memo = Label(movie, "SubtitleMemo");
    ASSERT_TRUE(memo);
    EXPECT_EQ(memo->height(), 39);
    EXPECT_TRUE(memo->alignment() & Qt::AlignHCenter);
    EXPECT_EQ(memo->palette().color(QPalette::Window), QColor(Qt::black));
    // Plain text and no buddy: an ampersand is no shortcut marker.
    movie.setSubtitleText(QStringLiteral("Tom & Jerry\nline 2\n"));
    EXPECT_EQ(memo->text(), "Tom & Jerry\nline 2\n");
    EXPECT_EQ(memo->textFormat(), Qt::PlainText);
    EXPECT_EQ(memo->buddy(), nullptr);
}

TEST(MovieWindow, ZoomMenu)
{
    TFormMovie movie(nullptr);
    QMenu& menu = movie.popupZoom();
    EXPECT_EQ(menu.objectName(), "PopupZoom");
    QStringList texts, names;
    for (QAction* item : menu.actions()) {
        texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
        names << item->objectName();
    }
    EXPECT_EQ(texts, QStringList({ "25%", "50%", "75%", "100%", "150%", "200%", "-", "Cancel" }));
    EXPECT_EQ(names.mid(0, 6), QStringList({ "N251", "N501", "N751", "N1001", "N1501", "N2001" }));
    EXPECT_EQ(names.last(), "Cancel1");
}

TEST(MovieWindow, RefusesToClose)
{
    TFormMovie movie(nullptr);
    movie.show();
    EXPECT_FALSE(movie.close());
    EXPECT_TRUE(movie.isVisible());
}

TEST(MovieWindow, LabelFontsFollowTheWindowHeight)
{
    TFormMovie movie(nullptr);
    movie.show();
    QLabel* memo = Label(movie, "SubtitleMemo");
    QLabel* timeCode = Label(movie, "TimeCode");
    movie.resize(240, 700); // far more than 348 pixels left over: lines 23 pixels apart
    ASSERT_TRUE(WaitFor([&] { return memo->height() == 69; })) << memo->height();
    EXPECT_LE(QFontMetricsF(timeCode->font()).lineSpacing(), 23);
    EXPECT_LE(QFontMetricsF(memo->font()).lineSpacing(), 23);
    EXPECT_GT(QFontMetricsF(withPixelSize(memo->font(), memo->font().pixelSize() + 1)).lineSpacing(), 23);
    movie.resize(240, 150); // far less than 173: 11 pixels apart
    ASSERT_TRUE(WaitFor([&] { return memo->height() == 39; })) << memo->height();
    EXPECT_LE(QFontMetricsF(timeCode->font()).lineSpacing(), 11);
    EXPECT_GT(QFontMetricsF(withPixelSize(memo->font(), memo->font().pixelSize() + 1)).lineSpacing(), 11);
}

// Heights of 150 to 700 pixels give every line height from 11 to 23; at each
// the memo shows three full lines and the time code its whole line.
TEST(MovieWindow, ThreeLinesFitUnderThePictureAtEveryFontSize)
{
    QWidget main;
    main.setFont(QFont(QStringLiteral("Liberation Sans")));
    TFormMovie movie(&main);
    movie.show();
    QLabel* memo = Label(movie, "SubtitleMemo");
    QLabel* timeCode = Label(movie, "TimeCode");
    movie.setSubtitleText(QStringLiteral("\u00c9first gjpq|\nsecond \u00c5gy\nthird \u00c7jy_"));
    std::set<int> lineHeights;
    for (int height = 150; height <= 700; height += 3) {
        movie.resize(240, height);
        ASSERT_TRUE(WaitFor([&] { return movie.height() == height; })) << height;
        QCoreApplication::processEvents(); // the labels' new heights
        const QFontMetrics metrics = memo->fontMetrics();
        lineHeights.insert(memo->height() / 3);
        const QRect text = metrics.boundingRect(memo->contentsRect(), int(memo->alignment()), memo->text());
        EXPECT_TRUE(memo->contentsRect().contains(text)) << height << ": " << text.height() << " in " << memo->height();
        EXPECT_GE(timeCode->height(), timeCode->fontMetrics().height()) << height;
        EXPECT_EQ(memo->font().family(), QStringLiteral("Liberation Sans"));
    }
    EXPECT_EQ(lineHeights, std::set<int>({ 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23 }));
}

class MovieWindowWithMovie : public ::testing::Test {
protected:
    void SetUp() override
    {
        REQUIRE_CLIPS();
        movie.show();
        QSignalSpy complete(&movie.videoPlayer(), &VideoPlayer::openComplete);
        movie.videoPlayer().setFileName(test::Clip25());
        ASSERT_TRUE(WaitFor([&] { return !complete.isEmpty(); }));
    }
    int panelBorder()
    {
        auto* panel = movie.findChild<QFrame*>(QStringLiteral("PnlMovie"));
        return panel->width() - panel->contentsRect().width();
    }
    TFormMovie movie { nullptr };
};

TEST_F(MovieWindowWithMovie, ThePictureShowsOnceOpen)
{
    EXPECT_TRUE(movie.videoPlayer().isVisibleTo(&movie));
    EXPECT_GT(movie.videoPlayer().height(), 0);
}

TEST_F(MovieWindowWithMovie, ZoomFitsTheWindowToTheMovie)
{
    // 50% of 320x240: 160x120, fonts of 11 pixels; the height adds 4 of them.
    movie.ZoomMovie(50);
    ASSERT_TRUE(WaitFor([&] { return movie.size() == QSize(160 + panelBorder(), 164); })) << movie.height();
    // 100%: 240 * 0.0662 = 15.9, fonts of 16 pixels.
    movie.findChild<QAction*>(QStringLiteral("N1001"))->trigger();
    ASSERT_TRUE(WaitFor([&] { return movie.size() == QSize(320 + panelBorder(), 304); })) << movie.height();
    // 25%: 80x60, but never below 150x150.
    movie.ZoomMovie(25);
    ASSERT_TRUE(WaitFor([&] { return movie.size() == QSize(150, 150); })) << movie.width();
}

TEST_F(MovieWindowWithMovie, RightClickOnThePictureOpensTheZoomMenu)
{
    QTest::mouseClick(&movie.videoPlayer(), Qt::LeftButton);
    QTest::mouseClick(&movie.videoPlayer(), Qt::MiddleButton);
    EXPECT_FALSE(movie.popupZoom().isVisible());
    QTest::mouseClick(&movie.videoPlayer(), Qt::RightButton);
    EXPECT_TRUE(movie.popupZoom().isVisible());
    movie.popupZoom().close();
}
