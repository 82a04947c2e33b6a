#pragma once
// Runs the built command-line tool (path from the environment variable NODARIX_CLI) as a process.
#include <QString>
#include <QStringList>

struct CliRun {
    int exitCode = -1; // -1: did not end normally within the time-out, or could not start
    QString out;
    QString err;
};

CliRun RunCli(const QStringList& arguments, int timeoutMs = 60000);
