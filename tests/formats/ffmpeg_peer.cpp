#include "formats/ffmpeg_peer.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <limits>
#include <sstream>

namespace tessel::test {

bool FfmpegAvailable() { return !QStandardPaths::findExecutable("ffmpeg").isEmpty(); }

std::optional<std::vector<PeerCue>> FfmpegReadCues(
    const std::string& file, const std::vector<std::string>& inputOptions)
{
    QStringList args { "-loglevel", "error", "-nostdin" };
    for (const auto& o : inputOptions)
        args << QString::fromStdString(o);
    args << "-i" << QString::fromStdString(file) << "-f"
         << "srt"
         << "-";
    QProcess ffmpeg;
    ffmpeg.start("ffmpeg", args);
    if (!ffmpeg.waitForFinished(30000) || ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return std::nullopt;
    return ParseSrt(ffmpeg.readAllStandardOutput().toStdString());
}

namespace {

// hh:mm:ss,mmm; ffmpeg gives a cue without end a huge time, kept as INT_MAX.
int parseTime(const std::string& t)
{
    long long h = 0, m = 0, s = 0, ms = 0;
    std::sscanf(t.c_str(), "%lld:%lld:%lld,%lld", &h, &m, &s, &ms);
    const long long total = ((h * 60 + m) * 60 + s) * 1000 + ms;
    return static_cast<int>(std::min<long long>(total, std::numeric_limits<int>::max()));
}

} // namespace

std::vector<PeerCue> ParseSrt(const std::string& text)
{
    std::vector<PeerCue> cues;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t arrow = line.find(" --> ");
        if (arrow == std::string::npos) continue;
        PeerCue cue;
        cue.startMs = parseTime(line.substr(0, arrow));
        cue.endMs = parseTime(line.substr(arrow + 5));
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) break;
            if (!cue.text.empty()) cue.text += '\n';
            cue.text += line;
        }
        cues.push_back(cue);
    }
    return cues;
}

} // namespace tessel::test
