#include "preview/movie_metrics.h"

#include "core/numbers.h"
#include "core/timecode.h"

#include <QFontMetricsF>
#include <algorithm>

namespace tessel {
namespace {

QString lengthText(int32_t milliseconds)
{
    const TimeValues t = MilisecondToTimeValues(milliseconds);
    return QStringLiteral("%1:%2:%3,%4")
        .arg(t.hours)
        .arg(QString::fromStdString(FormatInt(t.minutes, 2)), QString::fromStdString(FormatInt(t.seconds, 2)),
            QString::fromStdString(FormatInt(t.milliseconds, 3)));
}

} // namespace

int CalculateFontSize(int availableHeight)
{
    const int64_t size = RoundTiesEven(availableHeight * 0.0662L);
    return static_cast<int>(std::clamp<int64_t>(size, 11, 23));
}

QFont FontForLineHeight(QFont font, int lineHeight)
{
    // A face's line spacing is at least its pixel size: search downwards.
    // The unrounded spacing: text is laid out with it.
    for (int pixels = std::max(lineHeight, 1);; --pixels) {
        font.setPixelSize(pixels);
        if (pixels == 1 || QFontMetricsF(font).lineSpacing() <= lineHeight) return font;
    }
}

QSize ZoomedPictureSize(int nativeWidth, int nativeHeight, int percentage)
{
    const auto zoom = [percentage](int native) {
        return RoundTiesEvenToInt32(static_cast<long double>(native) / 100 * percentage);
    };
    return { zoom(nativeWidth), zoom(nativeHeight) };
}

std::optional<MovieInfo> ComputeMovieInfo(
    double durationFrames, double durationSeconds, int width, int height, const QString& decimalPoint)
{
    const int32_t frames = RoundTiesEvenToInt32(durationFrames);
    const int32_t milliseconds = RoundTiesEvenToInt32(static_cast<long double>(durationSeconds) * 1000);
    if (milliseconds == 0) return std::nullopt;
    const auto framesPerSecond = static_cast<double>(frames / (milliseconds / 1000.0L));
    MovieInfo info;
    info.frames = frames;
    info.length = lengthText(milliseconds);
    info.framesText = QString::number(frames);
    info.framesPerSecond = QString::fromStdString(FormatFloatThreeDecimals(framesPerSecond, '.', true))
                               .replace(QLatin1Char('.'), decimalPoint);
    info.size = QString::asprintf("%dx%d", width, height);
    return info;
}

} // namespace tessel
