#include "comm/CommThread.h"

#include "comm/TcpClient.h"

#include <QMutexLocker>

#include <cstring>
#include <type_traits>

namespace {

// How one block kind walks through its image.
struct BlockKind {
    int blocks;
    int firstBlock; // controller address of block i is (firstBlock + i) * 256
    std::uint8_t request;
    bool reading;
    bool readStart; // the QPA settings read starts with its own exchange
    bool writeEnd;  // the settings writes end with their own exchange
};

constexpr BlockKind BlockKindOf(TTaskType kind) {
    switch (kind) {
    case taskConfQPASettRead:
        return {32, 6, frame::kQpaBlockRead, true, true, false};
    case taskConfQPASettSave:
        return {32, 6, frame::kBlockWrite, false, false, true};
    case taskConfQPATextRead:
        return {128, 41, frame::kQpaBlockRead, true, false, false};
    case taskConfQPATextSave:
        return {128, 41, frame::kBlockWrite, false, false, false};
    case taskConfQPBSettRead:
        return {256, 0, frame::kQpbSettRead, true, false, false};
    case taskConfQPBSettSave:
        return {256, 0, frame::kQpbSettWrite, false, false, true};
    case taskConfQPBVarsRead:
        return {65, 0, frame::kQpbVarsRead, true, false, false};
    case taskConfQPBVarsSave:
        return {65, 0, frame::kQpbVarsWrite, false, false, false};
    default:
        return {2048, 0, frame::kBlockWrite, false, false, false};
    }
}

template <typename T>
constexpr bool kHasProgress = std::is_base_of_v<TBlockTaskHead, T>;
template <typename T>
concept ReadingTask = requires(T t) { t.ResBuf; };
template <typename T>
concept SavingTask = requires(T t) { t.OutBuf; };

} // namespace

TCommThread::TCommThread(const QString& Host, quint16 Port, bool Keep, quint32 ConnTimeout, quint32 ReadTimeout)
    : NodarixHost(Host), NodarixPort(Port), NodarixKeep(Keep), NodarixConnTimeout(ConnTimeout),
      NodarixReadTimeout(ReadTimeout), clientConnTimeout(ConnTimeout), clientReadTimeout(ReadTimeout) {
    StopWatch.start();
    start();
}

TCommThread::~TCommThread() {
    Terminate();
    wait();
}

bool TCommThread::TestHostAndPort(const QString& Host, quint16 Port) const {
    return Host == NodarixHost && Port == NodarixPort;
}

void TCommThread::CloseThread() {
    NodarixTerm.store(true);
    clientConnTimeout.store(10);
    clientReadTimeout.store(10);
    QMutexLocker locker(&Lock);
    wakeUp.wakeAll();
}

void TCommThread::Terminate() {
    QMutexLocker locker(&Lock);
    terminateRequested = true;
    requestInterruption();
    wakeUp.wakeAll();
}

template <typename T, typename Fill>
void TCommThread::addTask(TTaskQueue<T>& queue, qint32 id, const QString& pass, Fill&& fill) {
    const std::uint32_t hash = frame::PasswordHash(pass);
    QMutexLocker locker(&Lock);
    T* slot = nullptr;
    for (auto& t : queue)
        if (t.Status == statFree) {
            slot = &t;
            break;
        }
    if (!slot)
        slot = &queue.emplace_back(); // value-initialised: all bytes zero
    slot->Stamp = StopWatch.elapsed();
    slot->Id = id;
    slot->PassHash = hash;
    if constexpr (kHasProgress<T>) {
        slot->Progres = 0;
        slot->Index = 0;
    }
    fill(*slot);
    slot->Status = statWait;
    const bool wake = workerSleeping;
    locker.unlock();
    // The worker looks for work under Lock before it sleeps, so a wake after unlocking is never lost.
    if (wake)
        wakeUp.wakeAll();
}

template <typename T>
static void copyIn(T& task, const void* data) {
    std::memcpy(task.OutBuf.data(), data, task.OutBuf.size());
}

void TCommThread::AddTaskConfQPASettRead(qint32 Id, const QString& Pass) {
    addTask(ConfQPASettReadTasks, Id, Pass, [](auto& t) { t.Index = -1; });
}
void TCommThread::AddTaskConfQPASettSave(qint32 Id, const QString& Pass, const void* Settings) {
    addTask(ConfQPASettSaveTasks, Id, Pass, [&](auto& t) { copyIn(t, Settings); });
}
void TCommThread::AddTaskConfQPATextRead(qint32 Id, const QString& Pass) {
    addTask(ConfQPATextReadTasks, Id, Pass, [](auto&) {});
}
void TCommThread::AddTaskConfQPATextSave(qint32 Id, const QString& Pass, const void* Texts) {
    addTask(ConfQPATextSaveTasks, Id, Pass, [&](auto& t) { copyIn(t, Texts); });
}
void TCommThread::AddTaskConfQPBSettRead(qint32 Id, const QString& Pass) {
    addTask(ConfQPBSettReadTasks, Id, Pass, [](auto&) {});
}
void TCommThread::AddTaskConfQPBSettSave(qint32 Id, const QString& Pass, const void* Settings) {
    addTask(ConfQPBSettSaveTasks, Id, Pass, [&](auto& t) { copyIn(t, Settings); });
}
void TCommThread::AddTaskConfQPBVarsRead(qint32 Id, const QString& Pass) {
    addTask(ConfQPBVarsReadTasks, Id, Pass, [](auto&) {});
}
void TCommThread::AddTaskConfQPBVarsSave(qint32 Id, const QString& Pass, const void* Texts) {
    addTask(ConfQPBVarsSaveTasks, Id, Pass, [&](auto& t) { copyIn(t, Texts); });
}
void TCommThread::AddTaskFlashSave(qint32 Id, const QString& Pass, const void* Flashs) {
    addTask(FlashSaveTasks, Id, Pass, [&](auto& t) { copyIn(t, Flashs); });
}
void TCommThread::AddTaskExtSave(qint32 Id, const QString& Pass, quint8 No, const void* Exts) {
    addTask(ExtSaveTasks, Id, Pass, [&](auto& t) {
        t.No = No;
        copyIn(t, Exts);
    });
}
void TCommThread::AddTaskVersion(qint32 Id, const QString& Pass) {
    addTask(VersionTasks, Id, Pass, [](auto&) {});
}
void TCommThread::AddTaskUpdate(qint32 Id, const QString& Pass) {
    addTask(UpdateTasks, Id, Pass, [](auto&) {});
}
void TCommThread::AddTaskHttpOn(qint32 Id, const QString& Pass) {
    addTask(HttpOnTasks, Id, Pass, [](auto&) {});
}
void TCommThread::AddTaskHttpOff(qint32 Id, const QString& Pass) {
    addTask(HttpOffTasks, Id, Pass, [](auto&) {});
}

template <typename T>
bool TCommThread::statusIn(TTaskQueue<T>& queue, TTaskType kind, qint32 id, TTaskType* taskType, quint8* progres,
                           void* resBufor, TStatus& status) {
    QMutexLocker locker(&Lock);
    for (auto& t : queue) {
        if (t.Id != id || t.Status == statFree)
            continue;
        if (taskType)
            *taskType = kind;
        if constexpr (kHasProgress<T>) {
            if (progres)
                *progres = t.Progres;
        }
        status = t.Status;
        if (IsEndStatus(status))
            t.Status = statFree;
        if constexpr (ReadingTask<T>) {
            if (status == STATRESOK && resBufor)
                std::memcpy(resBufor, t.ResBuf.data(), t.ResBuf.size());
        }
        return true;
    }
    return false;
}

TStatus TCommThread::GetTaskStatus(qint32 Id, TTaskType* TaskType, quint8* Progres, void* ResBufor) {
    if (Progres)
        *Progres = 0;
    TStatus status = statFree;
    // Ascending task kind order, as the worker serves them.
    statusIn(ConfQPASettReadTasks, taskConfQPASettRead, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPASettSaveTasks, taskConfQPASettSave, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPATextReadTasks, taskConfQPATextRead, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPATextSaveTasks, taskConfQPATextSave, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPBSettReadTasks, taskConfQPBSettRead, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPBSettSaveTasks, taskConfQPBSettSave, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPBVarsReadTasks, taskConfQPBVarsRead, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ConfQPBVarsSaveTasks, taskConfQPBVarsSave, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(FlashSaveTasks, taskFlashSave, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(ExtSaveTasks, taskExtSave, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(VersionTasks, taskVersion, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(UpdateTasks, taskUpdate, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(HttpOnTasks, taskHttpOn, Id, TaskType, Progres, ResBufor, status) ||
        statusIn(HttpOffTasks, taskHttpOff, Id, TaskType, Progres, ResBufor, status);
    return status;
}

int TCommThread::QueueSlots(TTaskType kind) const {
    QMutexLocker locker(&Lock);
    switch (kind) {
    case taskConfQPASettRead: return int(ConfQPASettReadTasks.size());
    case taskConfQPASettSave: return int(ConfQPASettSaveTasks.size());
    case taskConfQPATextRead: return int(ConfQPATextReadTasks.size());
    case taskConfQPATextSave: return int(ConfQPATextSaveTasks.size());
    case taskConfQPBSettRead: return int(ConfQPBSettReadTasks.size());
    case taskConfQPBSettSave: return int(ConfQPBSettSaveTasks.size());
    case taskConfQPBVarsRead: return int(ConfQPBVarsReadTasks.size());
    case taskConfQPBVarsSave: return int(ConfQPBVarsSaveTasks.size());
    case taskFlashSave: return int(FlashSaveTasks.size());
    case taskExtSave: return int(ExtSaveTasks.size());
    case taskVersion: return int(VersionTasks.size());
    case taskUpdate: return int(UpdateTasks.size());
    case taskHttpOn: return int(HttpOnTasks.size());
    case taskHttpOff: return int(HttpOffTasks.size());
    default: return 0;
    }
}

void TCommThread::replaceClient() {
    IdTCPClient = std::make_unique<TcpClient>(NodarixHost, NodarixPort, clientConnTimeout, clientReadTimeout);
}

void TCommThread::run() {
    replaceClient();
    IdTCPClient->connectToController();
    for (;;) {
        const bool served = runCycle();
        {
            QMutexLocker locker(&Lock);
            if (terminateRequested)
                break;
            // An idle worker sleeps until a task, CloseThread or the terminate request wakes it.
            if (!served && !hasWork()) {
                workerSleeping = true;
                wakeUp.wait(&Lock);
                workerSleeping = false;
                continue;
            }
        }
        if (!NodarixKeep.load())
            endCycleWithoutKeep();
    }
    IdTCPClient->drop();
    IdTCPClient.reset();
}

void TCommThread::endCycleWithoutKeep() {
    clientConnTimeout.store(NodarixTerm ? 10 : 100);
    IdTCPClient->drop();
    if (NodarixTerm.load())
        return;
    QThread::msleep(500);
    clientConnTimeout.store(1000);
    IdTCPClient->connectToController();
    clientConnTimeout.store(NodarixConnTimeout);
}

bool TCommThread::hasWork() const {
    const auto pending = [](const auto& queue) {
        for (const auto& t : queue)
            if (t.Status == statWait || t.Status == statProgress)
                return true;
        return false;
    };
    return pending(ConfQPASettReadTasks) || pending(ConfQPASettSaveTasks) || pending(ConfQPATextReadTasks) ||
           pending(ConfQPATextSaveTasks) || pending(ConfQPBSettReadTasks) || pending(ConfQPBSettSaveTasks) ||
           pending(ConfQPBVarsReadTasks) || pending(ConfQPBVarsSaveTasks) || pending(FlashSaveTasks) ||
           pending(ExtSaveTasks) || pending(VersionTasks) || pending(UpdateTasks) || pending(HttpOnTasks) ||
           pending(HttpOffTasks);
}

bool TCommThread::runCycle() {
    if (!NodarixTerm.load() && !IdTCPClient->isOpen())
        IdTCPClient->connectToController();

    bool served = false;
    served |= serveQueue(ConfQPASettReadTasks, taskConfQPASettRead);
    served |= serveQueue(ConfQPASettSaveTasks, taskConfQPASettSave);
    served |= serveQueue(ConfQPATextReadTasks, taskConfQPATextRead);
    served |= serveQueue(ConfQPATextSaveTasks, taskConfQPATextSave);
    served |= serveQueue(ConfQPBSettReadTasks, taskConfQPBSettRead);
    served |= serveQueue(ConfQPBSettSaveTasks, taskConfQPBSettSave);
    served |= serveQueue(ConfQPBVarsReadTasks, taskConfQPBVarsRead);
    served |= serveQueue(ConfQPBVarsSaveTasks, taskConfQPBVarsSave);
    served |= serveQueue(FlashSaveTasks, taskFlashSave);
    served |= serveQueue(ExtSaveTasks, taskExtSave);
    served |= serveQueue(VersionTasks, taskVersion);
    served |= serveQueue(UpdateTasks, taskUpdate);
    served |= serveQueue(HttpOnTasks, taskHttpOn);
    served |= serveQueue(HttpOffTasks, taskHttpOff);
    return served;
}

template <typename T>
bool TCommThread::serveQueue(TTaskQueue<T>& queue, TTaskType kind) {
    T* chosen = nullptr;
    {
        QMutexLocker locker(&Lock);
        const int slot = ChooseNextSlot(queue, IsBlockKind(kind));
        if (slot < 0)
            return false;
        chosen = &queue[static_cast<std::size_t>(slot)];
        chosen->Status = statProgress;
    }
    quint8 progres = 0;
    const TStatus result = stepTask(*chosen, kind, progres);
    QMutexLocker locker(&Lock);
    if constexpr (kHasProgress<T>)
        chosen->Progres = progres;
    chosen->Status = result;
    return true;
}

template <typename T>
TStatus TCommThread::stepTask(T& task, TTaskType kind, quint8& progres) {
    using namespace frame;
    if constexpr (kHasProgress<T>)
        progres = task.Progres;
    if (NodarixTerm.load())
        return statResTimeOut;

    QByteArray request;
    ExpectedReply expected;
    bool closeAfterSend = false;

    // Block kinds: which exchange this step makes.
    [[maybe_unused]] BlockKind block{};
    [[maybe_unused]] bool blockExchange = false;
    if constexpr (kHasProgress<T>) {
        block = BlockKindOf(kind);
        const int i = task.Index;
        if (block.readStart && i < 0) {
            request = BuildRequest(kQpaReadStart, task.PassHash);
            expected = {ReplyCode(kQpaReadStart), 0, std::nullopt, false, true};
        } else if (block.writeEnd && i >= block.blocks) {
            request = BuildRequest(kSettWriteEnd, task.PassHash);
            expected = {kSettWriteEndReply, 0, std::nullopt, false, false};
        } else if (i < 0 || i >= block.blocks) {
            return statResErr; // cannot happen for tasks added through the adding operations
        } else {
            blockExchange = true;
            const QByteArray address = BlockAddress(static_cast<std::uint32_t>((block.firstBlock + i) * kBlockSize));
            QByteArray payload = address;
            if constexpr (SavingTask<T>)
                payload.append(reinterpret_cast<const char*>(task.OutBuf.data()) + i * kBlockSize, kBlockSize);
            request = BuildRequest(block.request, task.PassHash, payload);
            expected = {ReplyCode(block.request), block.reading ? 3 + kBlockSize : 3, address, false, false};
        }
    } else if constexpr (std::is_same_v<T, TExtSaveTask>) {
        request = BuildRequest(static_cast<std::uint8_t>(kExtSaveBase + task.No % 4), task.PassHash,
                               QByteArray(reinterpret_cast<const char*>(task.OutBuf.data()), kXet16Size));
        expected = {kAck, 0, std::nullopt, true, true};
    } else if constexpr (std::is_same_v<T, TVersionTask>) {
        request = BuildRequest(kVersion, task.PassHash);
        expected = {ReplyCode(kVersion), kVersionSize, std::nullopt, false, false};
    } else if constexpr (std::is_same_v<T, TUpdateTask>) {
        request = BuildRequest(kRestart, task.PassHash);
        closeAfterSend = true;
    } else if constexpr (std::is_same_v<T, THttpOnTask>) {
        request = BuildRequest(kHttpOn, task.PassHash);
        expected = {ReplyCode(kHttpOn), 0, std::nullopt, false, false};
    } else {
        static_assert(std::is_same_v<T, THttpOffTask>);
        request = BuildRequest(kHttpOff, task.PassHash);
        expected = {ReplyCode(kHttpOff), 0, std::nullopt, false, false};
    }

    const auto dropConnection = [this] {
        clientConnTimeout.store(NodarixTerm ? 10 : 100);
        IdTCPClient->drop();
    };
    if (!IdTCPClient->isOpen()) {
        dropConnection();
        return statResTimeOut;
    }
    if (!IdTCPClient->send(request)) {
        dropConnection();
        return statResTimeOut;
    }
    if (closeAfterSend) {
        IdTCPClient->drop();
        return STATRESOK;
    }
    QByteArray reply;
    QByteArray payload;
    if (!IdTCPClient->readExact(kHeaderSize, reply)) {
        dropConnection();
        return statResTimeOut;
    }
    const int announced = AnnouncedLength(reply);
    if (announced > 0) {
        if (!IdTCPClient->readExact(announced, payload)) {
            dropConnection();
            return statResTimeOut;
        }
        reply.append(payload);
    }
    const Verdict verdict = JudgeReply(reply, expected);
    if (!verdict.keepConnection)
        dropConnection();
    if (verdict.status != STATRESOK)
        return verdict.status;

    if constexpr (kHasProgress<T>) {
        const int i = task.Index;
        if (!blockExchange) {
            if (i < 0) { // read start done; blocks follow
                task.Index = 0;
                return statProgress;
            }
            progres = 100; // write end answered
            return STATRESOK;
        }
        if constexpr (ReadingTask<T>)
            std::memcpy(task.ResBuf.data() + i * kBlockSize, reply.constData() + kHeaderSize + 3, kBlockSize);
        task.Index = i + 1;
        progres = static_cast<quint8>((i + 1) * 100 / block.blocks);
        if (task.Index < block.blocks || block.writeEnd)
            return statProgress;
        progres = 100;
        return STATRESOK;
    } else if constexpr (std::is_same_v<T, TVersionTask>) {
        std::memcpy(task.ResBuf.data(), reply.constData() + kHeaderSize, kVersionSize);
    }
    return STATRESOK;
}
