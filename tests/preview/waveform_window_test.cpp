#include "audio/waveform_source.h"
#include "clips.h"
#include "preview/waveform_view.h"
#include "preview/waveform_window.h"
#include "test_support.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QScrollBar>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tessel;
using test::WaitFor;

namespace {

class WaveformWindowTest : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_CLIPS(); }
    bool read(const QString& movie)
    {
        window.openMovie(movie, 25, 4000);
        EXPECT_TRUE(window.progress().isVisibleTo(&window));
        return WaitFor([&] { return !window.source().busy(); });
    }

    SubtitleTable table;
    WaveformWindow window { table, nullptr };
};

} // namespace

TEST_F(WaveformWindowTest, ATrackCanBePickedWhenThereAreSeveral)
{
    ASSERT_TRUE(read(tessel::test::TwoTrackClip()));
    EXPECT_FALSE(window.progress().isVisibleTo(&window));
    QComboBox& tracks = window.trackChoice();
    EXPECT_TRUE(tracks.isVisibleTo(&window));
    ASSERT_EQ(tracks.count(), 2);
    EXPECT_EQ(tracks.currentIndex(), 0);
    EXPECT_EQ(tracks.itemText(1), "2: pcm_s16le, 1 channel, 48000 Hz");
    tracks.setCurrentIndex(1);
    emit tracks.activated(1);
    ASSERT_TRUE(WaitFor([&] { return !window.source().busy(); }));
    EXPECT_EQ(window.source().stream(), 2);
    EXPECT_FALSE(window.source().read([](const PeakTrack& t) { return t.peaks().at(300); }).silent());

    ASSERT_TRUE(read(tessel::test::SoundClip())); // one track: no choice shown
    EXPECT_FALSE(tracks.isVisibleTo(&window));
}

TEST_F(WaveformWindowTest, WhatWentWrongIsShownAndWhatWasReadIsKept)
{
    ASSERT_TRUE(read(tessel::test::Clip25()));
    EXPECT_TRUE(window.message().isVisibleTo(&window));
    EXPECT_EQ(window.message().text(), "No audio track");

    QTemporaryDir folder;
    const QString cut = folder.filePath(QStringLiteral("cut.mkv"));
    ASSERT_TRUE(QFile::copy(tessel::test::SoundClip(), cut));
    QFile file(cut);
    ASSERT_TRUE(file.resize(file.size() / 2));
    ASSERT_TRUE(read(cut));
    EXPECT_TRUE(window.message().text().startsWith("The sound could be read up to 0:00:0"))
        << window.message().text().toStdString();
    EXPECT_GT(window.source().decodedMilliseconds(), 1000);
    EXPECT_FALSE(window.source().read([](const PeakTrack& t) { return t.peaks().at(1200); }).silent());

    window.closeMovie();
    EXPECT_FALSE(window.message().isVisibleTo(&window));
    EXPECT_FALSE(window.view().hasMovie());
}

TEST_F(WaveformWindowTest, WhilePlayingTheViewTurnsThePageAndTheScrollBarFollows)
{
    ASSERT_TRUE(read(tessel::test::SoundClip()));
    window.resize(600, 200);
    window.show();
    ASSERT_TRUE(WaitFor([&] { return window.view().width() == 600; }));
    WaveformView& view = window.view();
    view.zoomAt(0.01, 0); // the shortest span: one second
    EXPECT_DOUBLE_EQ(view.visibleMs(), 1000);
    view.setPlayPosition(50, true); // 2 s in: off the page
    EXPECT_DOUBLE_EQ(view.viewStart(), 2000 - 100);
    EXPECT_EQ(window.scrollBar().value(), 1900);
    EXPECT_EQ(window.scrollBar().maximum(), 3000);
    view.setPlayPosition(60, false); // paused: the view stays
    EXPECT_DOUBLE_EQ(view.viewStart(), 1900);
    window.scrollBar().setValue(500);
    EXPECT_DOUBLE_EQ(view.viewStart(), 500);
}
