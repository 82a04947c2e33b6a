#pragma once
// TCommTask: the task pool a window uses for all controller work. One worker per exact
// (address text, port); identifiers from 1 upwards; status polled by identifier.
#include "comm/CommThread.h"

#include <memory>
#include <vector>

class TCommTask {
public:
    TCommTask(quint32 ConnTimeout, quint32 ReadTimeout);
    ~TCommTask(); // stops every worker, then joins them in creation order
    TCommTask(const TCommTask&) = delete;
    TCommTask& operator=(const TCommTask&) = delete;

    qint32 AddTaskConfQPASettRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskConfQPASettSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                  const void* Settings);
    qint32 AddTaskConfQPATextRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskConfQPATextSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                  const void* Texts);
    qint32 AddTaskConfQPBSettRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskConfQPBSettSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                  const void* Settings);
    qint32 AddTaskConfQPBVarsRead(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskConfQPBVarsSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass,
                                  const void* Texts);
    qint32 AddTaskFlashSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass, const void* Flashs);
    qint32 AddTaskExtSave(const QString& Host, quint16 Port, bool Keep, const QString& Pass, quint8 No,
                          const void* Exts);
    qint32 AddTaskVersion(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskUpdate(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskHttpOn(const QString& Host, quint16 Port, bool Keep, const QString& Pass);
    qint32 AddTaskHttpOff(const QString& Host, quint16 Port, bool Keep, const QString& Pass);

    // ResDigi, ResAnal, ResVar and ResTxt serve only reserved task kinds and are never written;
    // ResValD and ResValA are set to false when given. A caller that states ResBuforSize gets the
    // result only when the task's result has exactly that size (see TCommThread::GetTaskStatus).
    TStatus GetTaskStatus(qint32 Id, TTaskType* TaskType = nullptr, quint8* Progres = nullptr,
                          void* ResDigi = nullptr, void* ResAnal = nullptr, void* ResVar = nullptr,
                          void* ResTxt = nullptr, bool* ResValD = nullptr, bool* ResValA = nullptr,
                          void* ResBufor = nullptr, std::size_t ResBuforSize = kResBuforUnsized);

    void CloseThreads();

    const quint32 NodarixConnTimeout;
    const quint32 NodarixReadTimeout;
    qint32 Id = 1;
    std::vector<std::unique_ptr<TCommThread>> CommThreads;

private:
    TCommThread& worker(const QString& host, quint16 port, bool keep);
    template <typename Add>
    qint32 add(const QString& host, quint16 port, bool keep, Add&& addToWorker);
};
