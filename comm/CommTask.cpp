#include "comm/CommTask.h"

TCommTask::TCommTask(quint32 ConnTimeout, quint32 ReadTimeout)
    : NodarixConnTimeout(ConnTimeout), NodarixReadTimeout(ReadTimeout) {}

TCommTask::~TCommTask() {
    // Every worker is asked to end before the first is waited for, so that their last cycles run
    // side by side: releasing the pool takes as long as the slowest of them, not their sum.
    for (auto& thread : CommThreads)
        thread->Terminate();
    for (auto& thread : CommThreads) {
        thread->Join();
        thread.reset();
    }
    CommThreads.clear();
}

TCommThread& TCommTask::worker(const QString& host, quint16 port, bool keep) {
    for (auto& thread : CommThreads)
        if (thread->TestHostAndPort(host, port)) {
            thread->SetKeep(keep);
            return *thread;
        }
    CommThreads.push_back(std::make_unique<TCommThread>(host, port, keep, NodarixConnTimeout, NodarixReadTimeout));
    return *CommThreads.back();
}

template <typename Add>
qint32 TCommTask::add(const QString& host, quint16 port, bool keep, Add&& addToWorker) {
    TCommThread& thread = worker(host, port, keep);
    const qint32 id = Id++;
    addToWorker(thread, id);
    return id;
}

qint32 TCommTask::AddTaskConfQPASettRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPASettRead(id, Pass); });
}
qint32 TCommTask::AddTaskConfQPASettSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                         const void* Settings) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPASettSave(id, Pass, Settings); });
}
qint32 TCommTask::AddTaskConfQPATextRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPATextRead(id, Pass); });
}
qint32 TCommTask::AddTaskConfQPATextSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                         const void* Texts) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPATextSave(id, Pass, Texts); });
}
qint32 TCommTask::AddTaskConfQPBSettRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPBSettRead(id, Pass); });
}
qint32 TCommTask::AddTaskConfQPBSettSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                         const void* Settings) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPBSettSave(id, Pass, Settings); });
}
qint32 TCommTask::AddTaskConfQPBVarsRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPBVarsRead(id, Pass); });
}
qint32 TCommTask::AddTaskConfQPBVarsSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                         const void* Texts) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskConfQPBVarsSave(id, Pass, Texts); });
}
qint32 TCommTask::AddTaskFlashSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                   const void* Flashs) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskFlashSave(id, Pass, Flashs); });
}
qint32 TCommTask::AddTaskExtSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass, quint8 No,
                                 const void* Exts) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskExtSave(id, Pass, No, Exts); });
}
qint32 TCommTask::AddTaskVersion(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskVersion(id, Pass); });
}
qint32 TCommTask::AddTaskUpdate(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskUpdate(id, Pass); });
}
qint32 TCommTask::AddTaskHttpOn(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskHttpOn(id, Pass); });
}
qint32 TCommTask::AddTaskHttpOff(const QString& Host, quint16 Port, bool Keep, const QString& Pass) {
    return add(Host, Port, Keep, [&](TCommThread& t, qint32 id) { t.AddTaskHttpOff(id, Pass); });
}

TStatus TCommTask::GetTaskStatus(qint32 Id, TTaskType* TaskType, quint8* Progres, void*, void*, void*, void*,
                                 bool* ResValD, bool* ResValA, void* ResBufor, std::size_t ResBuforSize) {
    if (ResValD)
        *ResValD = false;
    if (ResValA)
        *ResValA = false;
    if (Progres)
        *Progres = 0;
    for (auto& thread : CommThreads) {
        const TStatus status = thread->GetTaskStatus(Id, TaskType, Progres, ResBufor, ResBuforSize);
        if (status != statFree)
            return status;
    }
    return statFree;
}

void TCommTask::CloseThreads() {
    for (auto& thread : CommThreads)
        thread->CloseThread();
}
