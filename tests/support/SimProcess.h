#pragma once
// Runs the built controller simulator (nodarix-sim, path from the environment variable NODARIX_SIM)
// as a child process for the length of a test.
//
//     SimProcess sim({"--edition", "QPB", "--fault", "wrong-code"});
//     ASSERT_TRUE(sim.started()) << sim.failure();
//     connect to sim.host() : sim.port() ...
//
// The constructor starts the simulator on 127.0.0.1 with --port 0 (unless the arguments name a port)
// and waits for its "listening on" line to learn the port. The destructor stops it (SIGTERM, so the
// simulator saves its state file, then SIGKILL if it does not end within a few seconds).
//
// The simulator's stderr (its log with --log) goes to a file, never to a pipe, so a chatty simulator
// cannot block while the test waits on a socket; read it with log(). Needs a QCoreApplication (or
// QApplication) to exist, as every Qt networking test does.
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class SimProcess {
public:
    explicit SimProcess(const QStringList& arguments = {}, int startTimeoutMs = 10000);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // True once the simulator has said on which port it listens; otherwise failure() says why.
    bool started() const { return m_port != 0; }
    const QString& failure() const { return m_failure; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }

    // Everything the simulator wrote on stderr so far.
    QByteArray log() const;

    // Sends SIGTERM and waits; returns the exit status, or -1 if it had to be killed or was not running.
    int stop(int timeoutMs = 5000);
    bool running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 pid() const { return m_process.processId(); }

    // Runs the simulator with these arguments to its end (for option errors and --dump-ext).
    struct Finished {
        int exitCode = -1; // -1: did not end within the time-out, crashed or could not start
        QByteArray out;
        QByteArray err;
    };
    static Finished run(const QStringList& arguments, int timeoutMs = 10000);

    // The simulator executable from NODARIX_SIM; empty when the variable is not set.
    static QString executable();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_logPath;
    quint16 m_port = 0;
    QString m_failure;
};
