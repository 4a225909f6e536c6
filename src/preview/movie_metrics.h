#pragma once
#include <QFont>
#include <QSize>
#include <QString>
#include <optional>

// The arithmetic of the movie window: label fonts, zoom and the "Movie info"
// texts.
namespace tessel {

// Font height in pixels for the labels under a picture of the given height:
// 6.62 % of it, from 11 to 23.
int CalculateFontSize(int availableHeight);

// `font` at the largest pixel size whose lines stand at most `lineHeight`
// pixels apart (exactly that far wherever the face has such a size), so that
// n lines always fit n times that height.
QFont FontForLineHeight(QFont font, int lineHeight);

// The picture area for a zoom percentage of the native size.
QSize ZoomedPictureSize(int nativeWidth, int nativeHeight, int percentage);

struct MovieInfo {
    int frames = 0; // also the movie track bar's maximum
    QString length; // h:mm:ss,mmm
    QString framesText;
    QString framesPerSecond; // at most three decimals
    QString size; // WxH
};

// From the duration read in frames and in seconds. Nothing when the length
// reads as zero milliseconds: no framerate can be derived then. Throws
// MathError for a length beyond what the labels can show.
std::optional<MovieInfo> ComputeMovieInfo(
    double durationFrames, double durationSeconds, int width, int height, const QString& decimalPoint);

} // namespace tessel
