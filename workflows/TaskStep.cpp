#include "workflows/TaskStep.h"

#include <QTimer>

quint16 PortNumber(const QString& text) {
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    return static_cast<quint16>(ok ? number : 7080);
}

QString TaskFailureText(TStatus status) {
    switch (status) {
    case statResTimeOut:
        return QStringLiteral("Błąd: nodarix nie odpowiada.");
    case statResUnkn:
    case statResErr:
        return QStringLiteral("Błąd: błąd komunikacji ze nodarix-em.");
    default:
        return {};
    }
}

TTaskStep::TTaskStep(QObject* parent) : QObject(parent), timer(new QTimer(this)) {
    timer->setInterval(kPollIntervalMs);
    connect(timer, &QTimer::timeout, this, &TTaskStep::Poll);
}

void TTaskStep::Start(const TLinkTarget& target, const TQueueTask& queue, void* ResBufor,
                      std::size_t ResBuforSize) {
    pool = target.Pool;
    resBufor = ResBufor;
    resBuforSize = ResBuforSize;
    Id = queue(pool(), target.Host, target.Port, true, target.Pass);
    timer->start();
}

void TTaskStep::Stop() {
    timer->stop();
}

bool TTaskStep::Running() const {
    return timer->isActive();
}

void TTaskStep::Poll() {
    if (!timer->isActive() || !pool)
        return;
    TTaskType kind{};
    quint8 Progres = 0;
    const TStatus status =
        pool().GetTaskStatus(Id, &kind, &Progres, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, resBufor, resBuforSize);
    switch (status) {
    case statFree:
    case statWait:
        return;
    case statProgress:
        emit progress(progressBase + Progres * progressFactor);
        return;
    case statResTimeOut:
    case statResUnkn:
    case statResErr:
        timer->stop();
        emit failed(status, failureText.isEmpty() ? TaskFailureText(status) : failureText);
        return;
    case STATRESOK:
        timer->stop();
        emit succeeded();
        return;
    }
}
