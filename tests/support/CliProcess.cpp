#include "tests/support/CliProcess.h"

#include <QProcess>

#include <gtest/gtest.h>

CliRun RunCli(const QStringList& arguments, int timeoutMs) {
    const QString program = qEnvironmentVariable("NODARIX_CLI");
    if (program.isEmpty()) {
        ADD_FAILURE() << "NODARIX_CLI does not name the built nodarix-cli";
        return {};
    }
    QProcess cli;
    cli.start(program, arguments);
    if (!cli.waitForFinished(timeoutMs) || cli.exitStatus() != QProcess::NormalExit) {
        cli.kill();
        cli.waitForFinished();
        return {-1, {}, QString::fromUtf8(cli.readAllStandardError())};
    }
    return {cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()), QString::fromUtf8(cli.readAllStandardError())};
}
