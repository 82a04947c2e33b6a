// The update's QPA chain (configuration read, conversion, backup, zeroing, firmware image, restart,
// configuration written back) against the simulator on loopback with the waits after the restart at
// 0: total time and time per exchange, against the link benchmark's bare client making block writes.
//
//   build/bench/update/update_bench [rounds]   (run it inside: unshare -n bash -c 'ip link set lo up; ...')
#include "bench/comm/RawLink.h"
#include "comm/CommTask.h"
#include "workflows/Update.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace bench;

// Runs the chain to its end; the end it reported.
TChainEnd runToEnd(TChain& chain, const std::function<void()>& start) {
    QEventLoop loop;
    TChainEnd end = TChainEnd::Failure;
    QObject::connect(&chain, &TChain::finished, &loop, [&](TChainEnd e) {
        end = e;
        loop.quit();
    });
    start();
    loop.exec();
    return end;
}

// The exchanges the simulator logged since the last call.
int exchangesLogged(QProcess& sim) {
    sim.waitForReadyRead(200);
    return int(sim.readAllStandardError().count("->"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QProcess sim;
    const quint16 port = startSimulator(sim, {QStringLiteral("--jumper"), QStringLiteral("--version-text"),
                                              QStringLiteral("V4.0.1"), QStringLiteral("--restart-ms"),
                                              QStringLiteral("0"), QStringLiteral("--log")});
    if (port == 0) {
        std::fprintf(stderr, "update_bench: the simulator did not start\n");
        return 1;
    }
    // The bare client's yardstick: block writes to a simulator as the link benchmark makes them.
    QProcess rawSim;
    const quint16 rawPort = startSimulator(rawSim, {QStringLiteral("--edition"), QStringLiteral("QPB")});
    if (rawPort == 0) {
        std::fprintf(stderr, "update_bench: the simulator did not start\n");
        return 1;
    }
    QTemporaryDir backups;
    std::unique_ptr<TCommTask> pool;
    const TLinkTarget target{[&pool]() -> TCommTask& {
                                 if (!pool)
                                     pool = std::make_unique<TCommTask>(2000, 2000);
                                 return *pool;
                             },
                             kHost, port, kPass};

    std::vector<double> totals, perExchange, rawPerExchange;
    int exchanges = 0;
    for (int round = 0; round < rounds; ++round) {
        TNodarixVersion version{};
        TUpdateCheckChain check(version);
        int path = kPathNone;
        QObject::connect(&check, &TUpdateCheckChain::pathChosen, [&](int p) { path = p; });
        if (runToEnd(check, [&] { check.Start(target); }) != TChainEnd::Done || path != kPathQPA) {
            std::fprintf(stderr, "update_bench: the check failed\n");
            return 1;
        }
        exchangesLogged(sim);
        TUpdateChain update(version, [&pool] { pool.reset(); });
        if (qEnvironmentVariableIsSet("UPDATE_BENCH_TRACE"))
            QObject::connect(&update, &TChain::status, [](const QString& t) { std::fprintf(stderr, "%s\n", qPrintable(t)); });
        update.SetRestartWaits(0, 0);
        TUpdateOptions options;
        options.Path = kPathQPA;
        options.Language = QStringLiteral("PL");
        options.BackupDirectory = backups.path();
        QElapsedTimer timer;
        timer.start();
        const TChainEnd end = runToEnd(update, [&] { update.Start(target, options); });
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (end != TChainEnd::Done) {
            std::fprintf(stderr, "update_bench: the update failed in round %d\n", round + 1);
            return 1;
        }
        exchanges = exchangesLogged(sim);
        totals.push_back(seconds);
        perExchange.push_back(seconds / exchanges * 1e3);
        pool.reset();

        const Run raw = rawTransfer(rawPort, frame::kBlockWrite, 2048, true);
        rawPerExchange.push_back(raw.seconds / 2048 * 1e3);
    }
    std::printf("QPA update with the conversion, restart waits 0, %d exchanges: median %.1f ms total, "
                "%.3f ms per exchange; bare client block writes: %.3f ms per exchange; ratio %.2f (%d rounds)\n",
                exchanges, median(totals) * 1e3, median(perExchange), median(rawPerExchange),
                median(perExchange) / median(rawPerExchange), rounds);
    for (QProcess* p : {&sim, &rawSim}) {
        p->terminate();
        p->waitForFinished(5000);
    }
    return 0;
}
