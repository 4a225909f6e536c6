#include "formats/aeidon_peer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStringList>
#include <cmath>

namespace tessel::test {
namespace {

// Debian's own interpreter, where the package lives (not one on PATH first).
const char* const Python = "/usr/bin/python3";

const char* const Script = R"(import json, sys
import aeidon
project = aeidon.Project(framerate=aeidon.framerates.FPS_25_000)
project.open_main(sys.argv[2], "utf_8")
if sys.argv[1] == "read":
    print(json.dumps([[s.start_seconds, s.end_seconds, s.main_text] for s in project.subtitles]))
else:
    out = aeidon.files.new(getattr(aeidon.formats, sys.argv[4]), sys.argv[3], "utf_8", aeidon.newlines.WINDOWS)
    project.save_main(out)
)";

std::optional<QByteArray> run(const QStringList& args)
{
    QProcess python;
    python.start(Python, QStringList { "-c", Script } + args);
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return std::nullopt;
    return python.readAllStandardOutput();
}

} // namespace

bool AeidonAvailable()
{
    QProcess python;
    python.start(Python, { "-c", "import aeidon" });
    return python.waitForFinished(30000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

std::optional<std::vector<PeerCue>> AeidonReadCues(const std::string& file)
{
    const std::optional<QByteArray> output = run({ "read", QString::fromStdString(file) });
    if (!output) return std::nullopt;
    std::vector<PeerCue> cues;
    for (const QJsonValue& value : QJsonDocument::fromJson(*output).array()) {
        const QJsonArray cue = value.toArray();
        cues.push_back({ static_cast<int>(std::lround(cue[0].toDouble() * 1000)),
            static_cast<int>(std::lround(cue[1].toDouble() * 1000)), cue[2].toString().toStdString() });
    }
    return cues;
}

bool AeidonConvert(const std::string& from, const std::string& to, const std::string& format)
{
    return run({ "write", QString::fromStdString(from), QString::fromStdString(to), QString::fromStdString(format) })
        .has_value();
}

} // namespace tessel::test
