#include "clips.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <map>

namespace tessel::test {
namespace {

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

QString make(const QString& name, const QStringList& arguments)
{
    static std::map<QString, QString> made;
    if (!HaveFfmpeg()) return {};
    auto found = made.find(name);
    if (found != made.end()) return found->second;
    const QString path = folder().filePath(name);
    QStringList all { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y") };
    all << arguments << path;
    const int status = QProcess::execute(QStringLiteral("ffmpeg"), all);
    const QString result = status == 0 ? path : QString();
    made[name] = result;
    return result;
}

QStringList testPattern(const QString& rate)
{
    return { QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("testsrc=size=320x240:rate=") + rate };
}

} // namespace

bool HaveFfmpeg() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

void UseNullOutputs()
{
    qputenv("TESSEL_MPV_VO", "null");
    qputenv("TESSEL_MPV_AO", "null");
}

QString Clip25()
{
    return make(QStringLiteral("clip25.avi"),
        testPattern(QStringLiteral("25"))
            << QStringLiteral("-t") << QStringLiteral("4") << QStringLiteral("-c:v") << QStringLiteral("mjpeg"));
}

QString Clip23976()
{
    return make(QStringLiteral("clip23976.avi"),
        testPattern(QStringLiteral("24000/1001"))
            << QStringLiteral("-t") << QStringLiteral("4") << QStringLiteral("-c:v") << QStringLiteral("mjpeg"));
}

QString StillPicture()
{
    return make(QStringLiteral("still.png"),
        testPattern(QStringLiteral("25")) << QStringLiteral("-frames:v") << QStringLiteral("1"));
}

QString AudioOnly()
{
    return make(QStringLiteral("tone.wav"),
        { QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=d=2") });
}

QString NumberedClip(const QString& rate, const QString& container)
{
    const QString source
        = QStringLiteral("color=c=black:s=32x32:r=%1:d=4,format=rgb24,geq=r='mod(N\\,256)':g='floor(N/256)':b=128")
              .arg(rate);
    return make(QStringLiteral("numbered-%1.%2").arg(QString(rate).replace('/', '_'), container),
        { QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), source, QStringLiteral("-c:v"),
            QStringLiteral("ffv1"), QStringLiteral("-pix_fmt"), QStringLiteral("bgr0") });
}

QString NumberedFilm(const QString& rate, const QString& container)
{
    // Drawn as 16 pixels, one a bit, and then widened: far quicker.
    const QString picture
        = QStringLiteral("color=c=black:s=16x1:r=%1:d=20,format=gray,"
                         "geq=lum='255*mod(floor(N/pow(2\\,X))\\,2)',scale=320:240:flags=neighbor,setsar=1")
              .arg(rate);
    const bool pcm = container == QLatin1String("avi"); // AAC's priming would shift AVI's frames
    return make(QStringLiteral("film-%1.%2").arg(QString(rate).replace('/', '_'), container),
        { QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"), picture, QStringLiteral("-f"),
            QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=d=20:sample_rate=48000"),
            QStringLiteral("-c:v"), QStringLiteral("mjpeg"), QStringLiteral("-pix_fmt"), QStringLiteral("yuvj420p"),
            QStringLiteral("-c:a"), pcm ? QStringLiteral("pcm_s16le") : QStringLiteral("aac") });
}

namespace {

QStringList tone(const QString& gate)
{
    return { QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("aevalsrc=exprs='0.5*sin(n*0.05+0.5)*%1':s=48000:d=4").arg(gate) };
}

const QString Bursts = QStringLiteral("(gte(n\\,48000)*lt(n\\,72960)+gte(n\\,115200)*lt(n\\,140160))");

} // namespace

QString SoundClip()
{
    return make(QStringLiteral("sound.mkv"),
        testPattern(QStringLiteral("25"))
            << tone(Bursts) << QStringLiteral("-t") << QStringLiteral("4") << QStringLiteral("-c:v")
            << QStringLiteral("mjpeg") << QStringLiteral("-c:a") << QStringLiteral("pcm_s16le"));
}

QString TwoTrackClip()
{
    return make(QStringLiteral("twotracks.mkv"),
        testPattern(QStringLiteral("25"))
            << tone(Bursts) << tone(QStringLiteral("(gte(n\\,9600)*lt(n\\,19200))")) << QStringLiteral("-map")
            << QStringLiteral("0") << QStringLiteral("-map") << QStringLiteral("1") << QStringLiteral("-map")
            << QStringLiteral("2") << QStringLiteral("-t") << QStringLiteral("4") << QStringLiteral("-c:v")
            << QStringLiteral("mjpeg") << QStringLiteral("-c:a") << QStringLiteral("pcm_s16le"));
}

int PictureNumber(const std::optional<QImage>& picture)
{
    if (!picture || picture->width() < 16 || picture->height() < 16) return -1;
    if (picture->width() == 320) { // a film's bar code, read across its middle
        int number = 0;
        for (int bit = 0; bit < 16; ++bit)
            if (qGray(picture->pixel(bit * 20 + 10, picture->height() / 2)) > 128) number |= 1 << bit;
        return number;
    }
    const QRgb pixel = picture->pixel(10, 10);
    return qRed(pixel) + 256 * qGreen(pixel);
}

} // namespace tessel::test
