// Fleet backup benchmark: "nodarix-cli backup --hosts" against one simulator and against many at
// once on loopback, end to end (process start, reads, files). Goal: 16 controllers take at most
// twice the time of one.
//
//   build/bench/fleet/fleet_bench [rounds] [controllers]   (default 5 and 16; run it inside
//   unshare -n bash -c 'ip link set lo up; ...')
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A QPB simulator (the larger read: 321 blocks) on a free loopback port; 0 when it did not start.
quint16 startSimulator(QProcess& sim, int serial) {
    sim.setProgram(QStringLiteral(NODARIX_SIM_PATH));
    sim.setArguments({"--port", "0", "--edition", "QPB", "--serial", QStringLiteral("B%1").arg(serial)});
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start();
    if (!sim.waitForReadyRead(5000))
        return 0;
    const QByteArray line = sim.readLine().trimmed();
    return static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).toUInt());
}

// One fleet backup of the first `count` simulators; milliseconds, or -1 when it failed.
double backup(const QTemporaryDir& dir, const std::vector<quint16>& ports, int count, int round) {
    const QString hosts = dir.filePath(QStringLiteral("hosts-%1").arg(count));
    QFile list(hosts);
    if (!list.open(QIODevice::WriteOnly))
        return -1;
    for (int i = 0; i < count; ++i)
        list.write(QStringLiteral("127.0.0.1:%1\n").arg(ports[size_t(i)]).toUtf8());
    list.close();
    QProcess cli;
    cli.setProgram(QStringLiteral(NODARIX_CLI_PATH));
    cli.setArguments({"backup", "--hosts", hosts, "-o", dir.filePath(QStringLiteral("out-%1-%2").arg(count).arg(round))});
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    cli.start();
    if (!cli.waitForFinished(120000) || cli.exitStatus() != QProcess::NormalExit || cli.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    const int fleetSize = argc > 2 ? std::clamp(QByteArray(argv[2]).toInt(), 2, 64) : 16;

    std::vector<std::unique_ptr<QProcess>> sims;
    std::vector<quint16> ports;
    for (int i = 0; i < fleetSize; ++i) {
        sims.push_back(std::make_unique<QProcess>());
        const quint16 port = startSimulator(*sims.back(), i);
        if (port == 0) {
            std::fprintf(stderr, "fleet_bench: simulator %d did not start\n", i);
            return 1;
        }
        ports.push_back(port);
    }
    QTemporaryDir dir;
    std::vector<double> one, many;
    for (int r = 0; r < rounds; ++r) {
        one.push_back(backup(dir, ports, 1, r));
        many.push_back(backup(dir, ports, fleetSize, r));
        if (one.back() < 0 || many.back() < 0) {
            std::fprintf(stderr, "fleet_bench: a backup failed in round %d\n", r);
            return 1;
        }
    }
    const double single = median(one), fleet = median(many);
    std::printf("QPB backup, median of %d rounds\n", rounds);
    std::printf("  1 controller:   %8.1f ms\n", single);
    std::printf("  %d controllers: %8.1f ms\n", fleetSize, fleet);
    std::printf("  ratio %.2f (goal at most 2.00): %s\n", fleet / single, fleet <= 2 * single ? "met" : "missed");
    for (auto& sim : sims) {
        sim->terminate();
        sim->waitForFinished(5000);
    }
    return 0;
}
