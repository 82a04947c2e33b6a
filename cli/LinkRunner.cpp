#include "cli/LinkRunner.h"

#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace cli {

namespace {

constexpr int kPollMs = 100; // the windows' status timers tick every 100 ms

} // namespace

ProgressView::ProgressView(const QString& label) : label(label), terminal(isatty(fileno(stderr))) {}

void ProgressView::show(int percent) {
    if (percent == last)
        return;
    last = percent;
    if (terminal) {
        const int width = 40, filled = percent * width / 100;
        std::fprintf(stderr, "\r%s [%s%s] %3d%%", label.toUtf8().constData(), QByteArray(filled, '#').constData(),
                     QByteArray(width - filled, '.').constData(), percent);
    } else {
        std::fprintf(stderr, "%s %d%%\n", label.toUtf8().constData(), percent);
    }
    std::fflush(stderr);
}

void ProgressView::end() {
    if (terminal && last >= 0)
        std::fputc('\n', stderr);
    last = -1;
}

TStatus runTask(const GlobalOptions& options, const std::function<qint32(TCommTask&)>& add, void* result,
                const QString& label, std::size_t resultSize) {
    TCommTask pool(options.timeoutMs, options.timeoutMs);
    const qint32 id = add(pool);
    ProgressView progress(label);
    for (;;) {
        TTaskType kind = taskDigiKiv;
        quint8 percent = 0;
        const TStatus status = pool.GetTaskStatus(id, &kind, &percent, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, result, resultSize);
        if (IsBlockKind(kind) && (status == statProgress || status == STATRESOK))
            progress.show(status == STATRESOK ? 100 : percent);
        if (IsEndStatus(status) || status == statFree) {
            progress.end();
            return status;
        }
        QThread::msleep(kPollMs);
    }
}

int finish(TStatus status) {
    switch (status) {
    case STATRESOK:
        return kExitOk;
    case statResUnkn:
        printError(StatusText(status));
        return kExitUnknown;
    case statResErr:
        printError(StatusText(status));
        return kExitError;
    case statFree:
        // The pool knows no such task: the command asked for the wrong one, the controller is not to blame.
        printError(QStringLiteral("nodarix-cli: internal error: the task pool knows no such task"));
        return kExitFailure;
    default:
        printError(StatusText(statResTimeOut));
        return kExitTimeOut;
    }
}

} // namespace cli
