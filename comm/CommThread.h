#pragma once
// TCommThread: the connection worker for one controller address and port. It owns the TCP
// connection and one queue per task kind, and serves the queues one step per queue per cycle.
#include "comm/TaskRecords.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class TcpClient;

// A queue of task records of one kind. A deque never moves existing elements when it grows,
// so a slot that a step is working on stays in place while callers add tasks.
template <typename T>
using TTaskQueue = std::deque<T>;

// The slot a worker serves next from a queue, or -1. One-step kinds: the first slot in progress,
// else the waiting slot with the smallest stamp. Block kinds: among waiting and running slots the
// smallest stamp, so a transfer that has begun runs to its end before a later one starts.
// Equal stamps go to the higher index.
template <typename T>
int ChooseNextSlot(const TTaskQueue<T>& queue, bool blockKind) {
    int chosen = -1;
    for (int i = 0; i < static_cast<int>(queue.size()); ++i)
        if (!blockKind && queue[i].Status == statProgress)
            return i;
    for (int i = 0; i < static_cast<int>(queue.size()); ++i) {
        const TStatus s = queue[i].Status;
        const bool eligible = s == statWait || (blockKind && s == statProgress);
        if (eligible && (chosen < 0 || queue[i].Stamp <= queue[chosen].Stamp))
            chosen = i;
    }
    return chosen;
}

// ResBufor's size when the caller does not state it: the buffer holds the result of whatever kind
// the task turns out to be.
constexpr std::size_t kResBuforUnsized = SIZE_MAX;

class TCommThread {
public:
    TCommThread(const QString& Host, quint16 Port, bool Keep, quint32 ConnTimeout, quint32 ReadTimeout);
    ~TCommThread(); // asks the thread to end and joins it if the owner did not
    TCommThread(const TCommThread&) = delete;
    TCommThread& operator=(const TCommThread&) = delete;

    bool TestHostAndPort(const QString& Host, quint16 Port) const;
    void SetKeep(bool Keep) { NodarixKeep.store(Keep); }
    void CloseThread();
    // Asks the thread to end after its current cycle and wakes it if it is idle.
    void Terminate();
    // Waits until the thread has ended.
    void Join();

    void AddTaskConfQPASettRead(qint32 Id, const QString& Pass);
    void AddTaskConfQPASettSave(qint32 Id, const QString& Pass, const void* Settings);
    void AddTaskConfQPATextRead(qint32 Id, const QString& Pass);
    void AddTaskConfQPATextSave(qint32 Id, const QString& Pass, const void* Texts);
    void AddTaskConfQPBSettRead(qint32 Id, const QString& Pass);
    void AddTaskConfQPBSettSave(qint32 Id, const QString& Pass, const void* Settings);
    void AddTaskConfQPBVarsRead(qint32 Id, const QString& Pass);
    void AddTaskConfQPBVarsSave(qint32 Id, const QString& Pass, const void* Texts);
    void AddTaskFlashSave(qint32 Id, const QString& Pass, const void* Flashs);
    void AddTaskExtSave(qint32 Id, const QString& Pass, quint8 No, const void* Exts);
    void AddTaskVersion(qint32 Id, const QString& Pass);
    void AddTaskUpdate(qint32 Id, const QString& Pass);
    void AddTaskHttpOn(qint32 Id, const QString& Pass);
    void AddTaskHttpOff(qint32 Id, const QString& Pass);

    // Reports the task's status; an end state is reported once, then the slot is free.
    // ResBufor receives the result bytes of a reading or version task on STATRESOK. A caller that
    // states ResBuforSize gets them only when it equals the size of the task's result, so that an
    // identifier mixed up with one of another kind cannot overrun its buffer.
    TStatus GetTaskStatus(qint32 Id, TTaskType* TaskType, quint8* Progres, void* ResBufor,
                          std::size_t ResBuforSize = kResBuforUnsized);

    // Number of slots (free or not) in the queue of a kind; queues never shrink.
    int QueueSlots(TTaskType kind) const;

private:
    void run();

    template <typename T, typename Fill>
    void addTask(TTaskQueue<T>& queue, qint32 id, const QString& pass, Fill&& fill);
    template <typename T>
    bool statusIn(TTaskQueue<T>& queue, TTaskType kind, qint32 id, TTaskType* taskType, quint8* progres,
                  void* resBufor, std::size_t resBuforSize, TStatus& status);
    static constexpr auto queueTable();
    template <typename Self, typename Visit>
    static bool anyQueue(Self& self, Visit&& visit);
    void runCycle();
    template <typename T>
    void serveQueue(TTaskQueue<T>& queue, TTaskType kind);
    template <typename T>
    TStatus stepTask(T& task, TTaskType kind, quint8& progres);
    // Sends the request and reads and judges its reply; drops the connection when the exchange fails.
    TStatus exchange(const QByteArray& request, const frame::ExpectedReply& expected, bool noReply, QByteArray& reply);
    void dropConnection();
    void setConnTimeout(quint32 ms);
    bool hasWork() const;
    void replaceClient();
    void endCycleWithoutKeep();

public:
    const QString NodarixHost;
    const quint16 NodarixPort;
    std::atomic<bool> NodarixKeep;
    std::atomic<bool> NodarixTerm{false};
    const quint32 NodarixConnTimeout;
    const quint32 NodarixReadTimeout;

private:
    QElapsedTimer StopWatch;
    std::unique_ptr<TcpClient> IdTCPClient; // created and used only inside the worker thread
    // Time-outs the client uses; CloseThread lowers them from the caller's thread (under Lock, so
    // that the worker never raises them again afterwards).
    std::atomic<quint32> clientConnTimeout;
    std::atomic<quint32> clientReadTimeout;
    // Standard primitives rather than Qt's, so that ThreadSanitizer sees every hand-over.
    mutable std::mutex Lock;
    std::condition_variable wakeUp; // signalled by added tasks, CloseThread and Terminate
    std::thread thread;             // started last, once every field above exists
    bool terminateRequested = false; // guarded by Lock
    bool workerSleeping = false;     // guarded by Lock

    TTaskQueue<TConfQPASettReadTask> ConfQPASettReadTasks;
    TTaskQueue<TConfQPASettSaveTask> ConfQPASettSaveTasks;
    TTaskQueue<TConfQPATextReadTask> ConfQPATextReadTasks;
    TTaskQueue<TConfQPATextSaveTask> ConfQPATextSaveTasks;
    TTaskQueue<TConfQPBSettReadTask> ConfQPBSettReadTasks;
    TTaskQueue<TConfQPBSettSaveTask> ConfQPBSettSaveTasks;
    TTaskQueue<TConfQPBVarsReadTask> ConfQPBVarsReadTasks;
    TTaskQueue<TConfQPBVarsSaveTask> ConfQPBVarsSaveTasks;
    TTaskQueue<TFlashSaveTask> FlashSaveTasks;
    TTaskQueue<TExtSaveTask> ExtSaveTasks;
    TTaskQueue<TVersionTask> VersionTasks;
    TTaskQueue<TUpdateTask> UpdateTasks;
    TTaskQueue<THttpOnTask> HttpOnTasks;
    TTaskQueue<THttpOffTask> HttpOffTasks;
};
