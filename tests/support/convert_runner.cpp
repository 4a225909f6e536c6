#include "convert_runner.h"

#include "cli/convert.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <sstream>
#include <unistd.h>

namespace tessel::test {

Converted Convert(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int status = cli::RunConvert(args, out, err);
    return { status, out.str(), err.str() };
}

std::optional<Converted> ConvertAsNobody(const QStringList& args)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::getuid() != 0 || setpriv.isEmpty()) return std::nullopt;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process.setProcessEnvironment(environment);
    process.start(setpriv, QStringList { "--reuid=65534", "--regid=65534", "--clear-groups", TESSEL_CONVERT } + args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return Converted { process.exitCode(), process.readAllStandardOutput().toStdString(),
        process.readAllStandardError().toStdString() };
}

} // namespace tessel::test
