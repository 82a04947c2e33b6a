#pragma once
// The link benchmarks' common parts: the simulator on loopback, and a bare blocking client making
// the same exchanges as the task pool, as the yardstick the pool and the chains are measured against.
// NODARIX_SIM_PATH is defined by the benchmark's target.
#include "comm/Frame.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>
#include <vector>

namespace bench {

inline const QString kHost = QStringLiteral("127.0.0.1");
inline const QString kPass = QStringLiteral("8052");

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline double maximum(const std::vector<double>& v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// Starts the simulator on a free loopback port with these arguments; the port, or 0 when it did not start.
inline quint16 startSimulator(QProcess& sim, const QStringList& arguments) {
    sim.setProgram(QStringLiteral(NODARIX_SIM_PATH));
    sim.setArguments(QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
    sim.start();
    if (!sim.waitForReadyRead(5000))
        return 0;
    const QByteArray line = sim.readLine().trimmed();
    return static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).toUInt());
}

// A bare client: one blocking socket, one request in one write, exact reads.
class RawClient {
public:
    explicit RawClient(quint16 port) {
        socket.connectToHost(kHost, port);
        socket.waitForConnected(2000);
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }
    bool exchange(const QByteArray& request, int replySize) {
        socket.write(request);
        socket.waitForBytesWritten(2000);
        qint64 got = 0;
        while (got < replySize) {
            if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(2000))
                return false;
            got += socket.read(replySize - got).size();
        }
        return true;
    }
    QTcpSocket socket;
};

struct Run {
    double seconds;
    std::vector<double> exchangeMs;
};

inline Run rawTransfer(quint16 port, quint8 code, int blocks, bool write) {
    RawClient raw(port);
    const std::uint32_t hash = frame::PasswordHash(kPass);
    const QByteArray data(256, '\x33');
    Run run{0, {}};
    QElapsedTimer total, one;
    total.start();
    for (int i = 0; i < blocks; ++i) {
        QByteArray payload = frame::BlockAddress(static_cast<std::uint32_t>(i * 256));
        if (write)
            payload += data;
        one.start();
        raw.exchange(frame::BuildRequest(code, hash, payload), write ? 19 : 275);
        run.exchangeMs.push_back(one.nsecsElapsed() / 1e6);
    }
    if (code == frame::kQpbSettWrite)
        raw.exchange(frame::BuildRequest(frame::kSettWriteEnd, hash), 16);
    run.seconds = total.nsecsElapsed() / 1e9;
    return run;
}

} // namespace bench
