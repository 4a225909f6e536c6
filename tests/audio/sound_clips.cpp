#include "sound_clips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <map>

namespace tessel::test {
namespace {

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

// Sample numbers of the bursts at 48 kHz; a phase that never lands on zero.
const QString Bursts = QStringLiteral("(gte(n\\,48000)*lt(n\\,72960)+gte(n\\,115200)*lt(n\\,140160))");
const QString ShortBurst = QStringLiteral("(gte(n\\,9600)*lt(n\\,19200))");

QStringList picture() { return { "-f", "lavfi", "-i", "testsrc=size=64x48:rate=25:d=4" }; }

QStringList sound(const QString& gate, double delay = 0)
{
    QStringList arguments;
    if (delay != 0) arguments << "-itsoffset" << QString::number(delay);
    const QString wave = QStringLiteral("0.5*sin(n*0.05+0.5)*") + gate;
    arguments << "-f"
              << "lavfi"
              << "-i" << QStringLiteral("aevalsrc=exprs='%1|-%1':s=48000:d=4").arg(wave);
    return arguments;
}

} // namespace

bool HaveFfmpegTool() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

QString MakeMovie(const QString& name, const QStringList& arguments)
{
    static std::map<QString, QString> made;
    if (!HaveFfmpegTool()) return {};
    auto found = made.find(name);
    if (found != made.end()) return found->second;
    const QString path = folder().filePath(name);
    QStringList all { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y") };
    all << arguments << path;
    const QString result = QProcess::execute(QStringLiteral("ffmpeg"), all) == 0 ? path : QString();
    made[name] = result;
    return result;
}

QString BurstMovie(double soundDelay, double filmStart)
{
    QStringList arguments = picture() + sound(Bursts, soundDelay);
    arguments << "-c:v"
              << "mjpeg";
    if (filmStart == 0) {
        arguments << "-c:a"
                  << "pcm_s16le";
        return MakeMovie(QStringLiteral("bursts-%1.mkv").arg(soundDelay), arguments);
    }
    // A transport stream: lossless sound there is SMPTE 302M.
    arguments << "-c:a"
              << "s302m"
              << "-strict"
              << "-2"
              << "-output_ts_offset" << QString::number(filmStart);
    return MakeMovie(QStringLiteral("bursts-%1-%2.ts").arg(soundDelay).arg(filmStart), arguments);
}

QString SilentMovie()
{
    return MakeMovie(QStringLiteral("nosound.mkv"),
        picture() << "-c:v"
                  << "mjpeg");
}

QString TwoTrackMovie()
{
    QStringList arguments = picture() + sound(Bursts) + sound(ShortBurst);
    arguments << "-map"
              << "0"
              << "-map"
              << "1"
              << "-map"
              << "2"
              << "-c:v"
              << "mjpeg"
              << "-c:a"
              << "pcm_s16le";
    return MakeMovie(QStringLiteral("twotracks.mkv"), arguments);
}

QString LongSound()
{
    return MakeMovie(QStringLiteral("long.mka"), { "-f", "lavfi", "-i", "sine=f=440:r=8000:d=180", "-c:a", "flac" });
}

} // namespace tessel::test

namespace tessel::test {

bool ProcessEventsUntil(const std::function<bool()>& condition, int timeoutMs)
{
    static int argc = 1;
    static char name[] = "tessel_tests";
    static char* argv[] = { name, nullptr };
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv); // lives to the end of the run
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

} // namespace tessel::test
