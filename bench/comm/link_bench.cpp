// Link benchmark against the simulator on loopback: the task pool against a bare blocking client
// making the same exchanges, per-exchange latency, an idle worker's CPU use, and the cost of
// AddTask/GetTaskStatus on the calling thread while a transfer runs.
//
//   build/bench/comm/link_bench [rounds]      (run it inside: unshare -n bash -c 'ip link set lo up; ...')
#include "bench/comm/RawLink.h"
#include "comm/CommTask.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

using namespace bench;

// Spins on GetTaskStatus (no sleeping) so that the figure is the pool's own cost.
TStatus runToEnd(TCommTask& pool, qint32 id, void* result = nullptr) {
    for (;;) {
        const TStatus s = pool.GetTaskStatus(id, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                             nullptr, result);
        if (IsEndStatus(s) || s == statFree)
            return s;
        QThread::yieldCurrentThread();
    }
}

double poolFlash(quint16 port, const QByteArray& image) {
    TCommTask pool(5000, 5000);
    // The worker connects first, as a window's pool would have done before its first transfer.
    runToEnd(pool, pool.AddTaskVersion(kHost, port, true, kPass));
    QElapsedTimer t;
    t.start();
    runToEnd(pool, pool.AddTaskFlashSave(kHost, port, true, kPass, image.constData()));
    return t.nsecsElapsed() / 1e9;
}

double poolQpbRead(quint16 port) {
    TCommTask pool(5000, 5000);
    runToEnd(pool, pool.AddTaskVersion(kHost, port, true, kPass));
    QByteArray result(kQpbSettingsSize, '\0');
    QElapsedTimer t;
    t.start();
    runToEnd(pool, pool.AddTaskConfQPBSettRead(kHost, port, true, kPass), result.data());
    return t.nsecsElapsed() / 1e9;
}

double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    QProcess sim;
    const quint16 port = startSimulator(sim, {QStringLiteral("--edition"), QStringLiteral("QPB")});
    if (port == 0) {
        std::fprintf(stderr, "link_bench: the simulator did not start\n");
        return 1;
    }
    const QByteArray image(kFlashImageSize, '\x5A');

    std::vector<double> flashRatio, readRatio, flashPool, flashRaw, readPool, readRaw, rawExchanges;
    for (int r = 0; r < rounds; ++r) {
        const Run rawF = rawTransfer(port, frame::kBlockWrite, 2048, true);
        const double poolF = poolFlash(port, image);
        const Run rawR = rawTransfer(port, frame::kQpbSettRead, 256, false);
        const double poolR = poolQpbRead(port);
        flashPool.push_back(poolF), flashRaw.push_back(rawF.seconds), flashRatio.push_back(poolF / rawF.seconds);
        readPool.push_back(poolR), readRaw.push_back(rawR.seconds), readRatio.push_back(poolR / rawR.seconds);
        rawExchanges.insert(rawExchanges.end(), rawF.exchangeMs.begin(), rawF.exchangeMs.end());
    }
    std::printf("flash upload, 2048 exchanges: pool %.1f ms (%.0f exch/s), raw %.1f ms (%.0f exch/s), "
                "median ratio pool/raw %.2f\n",
                median(flashPool) * 1e3, 2048 / median(flashPool), median(flashRaw) * 1e3, 2048 / median(flashRaw),
                median(flashRatio));
    std::printf("QPB settings read, 256 exchanges: pool %.1f ms (%.0f exch/s), raw %.1f ms (%.0f exch/s), "
                "median ratio pool/raw %.2f\n",
                median(readPool) * 1e3, 256 / median(readPool), median(readRaw) * 1e3, 256 / median(readRaw),
                median(readRatio));

    // Single exchanges through the pool, one at a time: a delayed-acknowledgement stall would
    // show as an exchange of tens of milliseconds.
    std::vector<double> single;
    {
        TCommTask pool(5000, 5000);
        runToEnd(pool, pool.AddTaskVersion(kHost, port, true, kPass));
        for (int i = 0; i < 1000; ++i) {
            QElapsedTimer t;
            t.start();
            runToEnd(pool, pool.AddTaskHttpOn(kHost, port, true, kPass));
            single.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    std::printf("single exchanges through the pool: median %.3f ms, max %.3f ms (max/median %.1f); "
                "raw block writes: median %.3f ms, max %.3f ms\n",
                median(single), maximum(single), maximum(single) / median(single), median(rawExchanges),
                maximum(rawExchanges));

    // The calling thread's cost while a flash upload runs on the worker.
    {
        TCommTask pool(5000, 5000);
        const qint32 flash = pool.AddTaskFlashSave(kHost, port, true, kPass, image.constData());
        std::vector<double> addUs, statusUs;
        QElapsedTimer t;
        for (int i = 0;; ++i) {
            quint8 progres = 0;
            t.start();
            const TStatus s = pool.GetTaskStatus(flash, nullptr, &progres);
            statusUs.push_back(t.nsecsElapsed() / 1e3);
            if (s != statWait && s != statProgress)
                break;
            if (i % 4 == 0) {
                t.start();
                const qint32 id = pool.AddTaskHttpOff(kHost, port, true, kPass);
                addUs.push_back(t.nsecsElapsed() / 1e3);
                (void)id;
            }
            QThread::usleep(100);
        }
        std::printf("during a transfer (%zu polls): GetTaskStatus median %.2f us, max %.1f us; AddTask median %.2f us, max %.1f us\n", statusUs.size(),
                    median(statusUs), maximum(statusUs), median(addUs), maximum(addUs));
    }

    // An idle worker with an open connection must not spin.
    {
        TCommTask pool(5000, 5000);
        runToEnd(pool, pool.AddTaskVersion(kHost, port, true, kPass));
        const double cpu0 = threadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QThread::sleep(2);
        const double cpu = threadCpuSeconds() - cpu0;
        std::printf("idle worker: %.3f%% of a core over %.1f s\n", 100.0 * cpu / (wall.nsecsElapsed() / 1e9),
                    wall.nsecsElapsed() / 1e9);
    }
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
