#include "tests/support/SimProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

QString SimProcess::executable() {
    return qEnvironmentVariable("NODARIX_SIM");
}

SimProcess::SimProcess(const QStringList& arguments, int startTimeoutMs) {
    const QString program = executable();
    if (program.isEmpty()) {
        m_failure =
            QStringLiteral("NODARIX_SIM is not set: run the test through ctest, or point it at nodarix-sim");
        return;
    }
    if (!m_dir.isValid()) {
        m_failure = QStringLiteral("cannot create a temporary directory for the simulator's log");
        return;
    }
    QStringList args = arguments;
    const bool portGiven = std::any_of(args.begin(), args.end(), [](const QString& a) {
        return a == QLatin1String("--port") || a.startsWith(QLatin1String("--port="));
    });
    if (!portGiven)
        args << QStringLiteral("--port") << QStringLiteral("0");
    m_logPath = m_dir.filePath(QStringLiteral("sim-stderr.log"));
    m_process.setStandardErrorFile(m_logPath);
    m_process.start(program, args);
    if (!m_process.waitForStarted(startTimeoutMs)) {
        m_failure = QStringLiteral("cannot start %1: %2").arg(program, m_process.errorString());
        return;
    }

    static const QRegularExpression listening(QStringLiteral("^nodarix-sim listening on (\\S+):(\\d+)\\s*$"));
    const QDeadlineTimer deadline(startTimeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() == QProcess::NotRunning) {
            m_failure = QStringLiteral("nodarix-sim ended (exit status %1) before listening; its stderr: %2")
                            .arg(m_process.exitCode())
                            .arg(QString::fromUtf8(log()));
            return;
        }
        if (deadline.hasExpired()) {
            m_failure =
                QStringLiteral("nodarix-sim did not say \"listening on\" within %1 ms; its stderr: %2")
                    .arg(startTimeoutMs)
                    .arg(QString::fromUtf8(log()));
            stop(1000);
            return;
        }
        m_process.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
    }
    const QString line = QString::fromUtf8(m_process.readLine());
    const auto match = listening.match(line);
    if (!match.hasMatch() || match.captured(2).toUInt() == 0 || match.captured(2).toUInt() > 65535) {
        m_failure = QStringLiteral("unexpected first line from nodarix-sim: \"%1\"").arg(line.trimmed());
        stop(1000);
        return;
    }
    m_port = quint16(match.captured(2).toUInt());
}

SimProcess::~SimProcess() {
    if (running())
        stop();
}

QByteArray SimProcess::log() const {
    QFile file(m_logPath);
    if (m_logPath.isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

int SimProcess::stop(int timeoutMs) {
    if (!running())
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    m_process.terminate();
    if (m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit)
        return m_process.exitCode();
    m_process.kill();
    m_process.waitForFinished(timeoutMs);
    return -1;
}

SimProcess::Finished SimProcess::run(const QStringList& arguments, int timeoutMs) {
    Finished result;
    const QString program = executable();
    if (program.isEmpty()) {
        result.err = "NODARIX_SIM is not set";
        return result;
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        result.err = process.readAllStandardError();
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    return result;
}
