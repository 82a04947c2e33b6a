#pragma once
// One controller task, queued on a task pool and polled every 100 ms: the step every controller
// chain is made of, in the windows and in the command-line tool alike.
#include "comm/CommTask.h"

#include <QObject>
#include <QString>
#include <functional>

class QTimer;

// The controller a chain talks to and the pool its tasks go through. The pool is asked for at each
// task, so a window may replace it between two steps (the update window does after a restart).
struct TLinkTarget {
    std::function<TCommTask&()> Pool;
    QString Host;
    quint16 Port = 7080;
    QString Pass;
};

// The port text read as a decimal integer (7080 when it is not one), passed on as its low 16 bits.
quint16 PortNumber(const QString& text);

// The common failure texts of a task's end status ("" for STATRESOK and the states before the end).
QString TaskFailureText(TStatus status);

// Queues one task; the save tasks bind the data they send into the function.
using TQueueTask = std::function<qint32(TCommTask&, const QString& Host, quint16 Port, bool Keep,
                                        const QString& Pass)>;

class TTaskStep : public QObject {
    Q_OBJECT
public:
    static constexpr int kPollIntervalMs = 100;

    explicit TTaskStep(QObject* parent = nullptr);

    // The step's timer (interval 100 ms, stopped until Start): the window's TimerN of this step.
    QTimer* Timer() const { return timer; }

    // One text for all three failures instead of the common ones (a window's write steps).
    void SetFailureText(const QString& text) { failureText = text; }

    // Progress position while the task runs: base + Progres x factor.
    void SetProgress(int base, int factor) {
        progressBase = base;
        progressFactor = factor;
    }

    // Queues the task (Keep true) and starts polling. ResBufor, when given, receives what a reading
    // task read (ResBuforSize bytes, the record's size), at its successful end.
    void Start(const TLinkTarget& target, const TQueueTask& queue, void* ResBufor = nullptr,
               std::size_t ResBuforSize = kResBuforUnsized);
    void Stop();
    bool Running() const;

    // One poll of the task's status (the timer's tick).
    void Poll();

    qint32 Id = 0;

signals:
    void progress(int position);
    // The task ended in failure; text is the status text to show.
    void failed(TStatus status, const QString& text);
    void succeeded();

private:
    QTimer* timer;
    std::function<TCommTask&()> pool;
    void* resBufor = nullptr;
    std::size_t resBuforSize = kResBuforUnsized;
    QString failureText;
    int progressBase = 0;
    int progressFactor = 0;
};
