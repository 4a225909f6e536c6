#include "shot_films.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <map>

namespace tessel::test {
namespace {

// Frames of each shot; the cuts fall where one ends.
constexpr int Shots[] = { 40, 50, 40, 50, 50, 30 };

QString graph(const QString& rate)
{
    // Each shot from its own source, its frames counted from 0.
    const QString frames = QStringLiteral(":r=%1,trim=end_frame=%2,setpts=PTS-STARTPTS,format=yuv420p");
    auto shot = [&](const QString& source, int count) { return source + frames.arg(rate).arg(count); };
    return shot(QStringLiteral("testsrc2=s=160x90"), Shots[0])
        + QStringLiteral("[a];")
        // A flash: two frames far brighter, then the shot again.
        + shot(QStringLiteral("smptebars=s=160x90"), Shots[1])
        + QStringLiteral(",noise=alls=10:allf=t,lutyuv=y='min(val+140\\,255)':enable='between(n\\,15\\,16)'[b];")
        // A fast pan: a sixth of the width a frame.
        + QStringLiteral("testsrc=s=960x90:r=%1,crop=160:90:'n*12':0,trim=end_frame=%2,setpts=PTS-STARTPTS,"
                         "format=yuv420p[c];")
              .arg(rate)
              .arg(Shots[2])
        // A dissolve over 20 frames.
        + shot(QStringLiteral("rgbtestsrc=s=160x90"), Shots[3]) + QStringLiteral("[d1];")
        + shot(QStringLiteral("mandelbrot=s=160x90"), Shots[3]) + QStringLiteral("[d2];")
        + QStringLiteral("[d1][d2]blend=all_expr='A*(1-clip((N-10)/20\\,0\\,1))+B*clip((N-10)/20\\,0\\,1)'[d];")
        // A fade out to black and back in.
        + shot(QStringLiteral("yuvtestsrc=s=160x90"), Shots[4])
        + QStringLiteral(",geq=lum='lum(X\\,Y)*%1':cb='128+(cb(X\\,Y)-128)*%1':cr='128+(cr(X\\,Y)-128)*%1'[e];")
              .arg(QStringLiteral("(clip((20-N)/12\\,0\\,1)+clip((N-24)/12\\,0\\,1))"))
        + shot(QStringLiteral("gradients=s=160x90:speed=0.05"), Shots[5]) + QStringLiteral("[f];")
        + QStringLiteral("[a][b][c][d][e][f]concat=n=6:v=1:a=0");
}

QTemporaryDir& folder()
{
    static QTemporaryDir dir;
    return dir;
}

} // namespace

bool HaveShotFilms() { return !QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty(); }

ShotFilm MakeShotFilm(const std::string& rate, const std::string& container, int late)
{
    static std::map<std::string, ShotFilm> made;
    const std::string name = "shots-" + std::to_string(made.size()) + "." + container;
    const std::string id = rate + "/" + container + "/" + std::to_string(late);
    if (auto found = made.find(id); found != made.end()) return found->second;
    ShotFilm film;
    int at = late;
    for (size_t i = 0; i + 1 < std::size(Shots); ++i)
        film.cuts.push_back(at += Shots[i]);
    const QString path = folder().filePath(QString::fromStdString(name));
    QStringList arguments { QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y") };
    const QString r = QString::fromStdString(rate);
    // The picture `late` frames after the sound, which starts the film.
    if (late > 0)
        arguments << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
                  << QStringLiteral("sine=d=12");
    arguments << QStringLiteral("-filter_complex")
              << graph(r) + QStringLiteral(",settb=1/1000,setpts=PTS+%1/(%2)/TB[out]").arg(late).arg(r);
    arguments << QStringLiteral("-map") << QStringLiteral("[out]");
    if (late > 0) arguments << QStringLiteral("-map") << QStringLiteral("0:a") << QStringLiteral("-shortest");
    arguments << QStringLiteral("-c:v") << QStringLiteral("libx264") << QStringLiteral("-preset")
              << QStringLiteral("veryfast") << path;
    if (!HaveShotFilms()) return film;
    if (QProcess::execute(QStringLiteral("ffmpeg"), arguments) == 0)
        film.path = path.toStdString();
    else
        film.error = "ffmpeg could not make " + name;
    made[id] = film;
    return film;
}

} // namespace tessel::test
