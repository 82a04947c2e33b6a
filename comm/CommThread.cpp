#include "comm/CommThread.h"

#include "comm/TcpClient.h"

#include <QDeadlineTimer>

#include <chrono>
#include <cstring>
#include <optional>
#include <tuple>
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

// An exchange, sending included, may take at most the read time-out plus this many milliseconds
// for each byte it moves (the request and the reply it expects). Each single wait stays bounded by
// the read time-out too; the overall limit keeps a reply trickled a byte at a time from holding the
// worker, and a window that releases it, any longer than that.
constexpr qint64 kExchangeMsPerByte = 1;

template <typename T>
struct QueueRef {
    TTaskType kind;
    TTaskQueue<T> TCommThread::*queue;
};

// One exchange of a step: the request, what its reply must look like, and which part of a block
// task it carries out.
struct Exchange {
    enum class Part { Whole, ReadStart, Block, WriteEnd };
    Part part = Part::Whole;
    QByteArray request;
    frame::ExpectedReply expected;
    bool noReply = false; // the restart request: the connection is closed at once after it
};

template <typename T>
std::optional<Exchange> planBlockExchange(const T& task, TTaskType kind) {
    using namespace frame;
    const BlockKind block = BlockKindOf(kind);
    const int i = task.Index;
    if (block.readStart && i < 0)
        return Exchange{Exchange::Part::ReadStart, BuildRequest(kQpaReadStart, task.PassHash),
                        {.code = ReplyCode(kQpaReadStart), .headerFaultIsUnknown = true}};
    if (block.writeEnd && i >= block.blocks)
        return Exchange{Exchange::Part::WriteEnd, BuildRequest(kSettWriteEnd, task.PassHash),
                        {.code = kSettWriteEndReply}};
    if (i < 0 || i >= block.blocks)
        return std::nullopt; // cannot happen for tasks added through the adding operations
    const QByteArray address = BlockAddress(static_cast<std::uint32_t>((block.firstBlock + i) * kBlockSize));
    QByteArray payload = address;
    if constexpr (SavingTask<T>)
        payload.append(reinterpret_cast<const char*>(task.OutBuf.data()) + i * kBlockSize, kBlockSize);
    return Exchange{Exchange::Part::Block, BuildRequest(block.request, task.PassHash, payload),
                    {.code = ReplyCode(block.request),
                     .payloadLength = block.reading ? 3 + kBlockSize : 3,
                     .addressEcho = address}};
}

// The exchange that the task's next step makes.
template <typename T>
std::optional<Exchange> planExchange(const T& task, TTaskType kind) {
    using namespace frame;
    if constexpr (kHasProgress<T>) {
        return planBlockExchange(task, kind);
    } else if constexpr (std::is_same_v<T, TExtSaveTask>) {
        return Exchange{Exchange::Part::Whole,
                        BuildRequest(static_cast<std::uint8_t>(kExtSaveBase + task.No % 4), task.PassHash,
                                     QByteArray(reinterpret_cast<const char*>(task.OutBuf.data()), kXet16Size)),
                        {.code = kAck, .acknowledgement = true, .headerFaultIsUnknown = true}};
    } else if constexpr (std::is_same_v<T, TVersionTask>) {
        return Exchange{Exchange::Part::Whole, BuildRequest(kVersion, task.PassHash),
                        {.code = ReplyCode(kVersion), .payloadLength = kVersionSize}};
    } else if constexpr (std::is_same_v<T, TUpdateTask>) {
        return Exchange{Exchange::Part::Whole, BuildRequest(kRestart, task.PassHash), {}, true};
    } else {
        static_assert(std::is_same_v<T, THttpOnTask> || std::is_same_v<T, THttpOffTask>);
        const std::uint8_t code = std::is_same_v<T, THttpOnTask> ? kHttpOn : kHttpOff;
        return Exchange{Exchange::Part::Whole, BuildRequest(code, task.PassHash), {.code = ReplyCode(code)}};
    }
}

// What a successful exchange means for the task: its result, its next block and its progress.
template <typename T>
TStatus takeReply(T& task, TTaskType kind, const Exchange& x, const QByteArray& reply,
                  quint8& progres) {
    using Part = Exchange::Part;
    if constexpr (kHasProgress<T>) {
        const BlockKind block = BlockKindOf(kind);
        switch (x.part) {
        case Part::ReadStart: // blocks follow
            task.Index = 0;
            return statProgress;
        case Part::WriteEnd:
            progres = 100;
            return STATRESOK;
        default:
            break;
        }
        const int i = task.Index;
        if constexpr (ReadingTask<T>)
            std::memcpy(task.ResBuf.data() + i * frame::kBlockSize, reply.constData() + frame::kHeaderSize + 3,
                        frame::kBlockSize);
        task.Index = i + 1;
        progres = static_cast<quint8>((i + 1) * 100 / block.blocks);
        if (task.Index < block.blocks || block.writeEnd)
            return statProgress;
        progres = 100;
        return STATRESOK;
    } else {
        if constexpr (std::is_same_v<T, TVersionTask>)
            std::memcpy(task.ResBuf.data(), reply.constData() + frame::kHeaderSize, kVersionSize);
        return STATRESOK;
    }
}

} // namespace

TCommThread::TCommThread(const QString& Host, quint16 Port, bool Keep, quint32 ConnTimeout, quint32 ReadTimeout)
    : NodarixHost(Host), NodarixPort(Port), NodarixKeep(Keep), NodarixConnTimeout(ConnTimeout),
      NodarixReadTimeout(ReadTimeout), clientConnTimeout(ConnTimeout), clientReadTimeout(ReadTimeout) {
    StopWatch.start();
    thread = std::thread([this] { run(); });
}

TCommThread::~TCommThread() {
    Terminate();
    Join();
}

void TCommThread::Join() {
    if (thread.joinable())
        thread.join();
}

bool TCommThread::TestHostAndPort(const QString& Host, quint16 Port) const {
    return Host == NodarixHost && Port == NodarixPort;
}

void TCommThread::CloseThread() {
    std::lock_guard locker(Lock);
    NodarixTerm.store(true);
    clientConnTimeout.store(10);
    clientReadTimeout.store(10);
    wakeUp.notify_all();
}

void TCommThread::Terminate() {
    std::lock_guard locker(Lock);
    terminateRequested = true;
    wakeUp.notify_all();
}

void TCommThread::setConnTimeout(quint32 ms) {
    std::lock_guard locker(Lock);
    if (!NodarixTerm.load())
        clientConnTimeout.store(ms);
}

template <typename T, typename Fill>
void TCommThread::addTask(TTaskQueue<T>& queue, qint32 id, const QString& pass, Fill&& fill) {
    const std::uint32_t hash = frame::PasswordHash(pass);
    std::unique_lock locker(Lock);
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
        wakeUp.notify_all();
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

// The queues in ascending kind order: the order in which a cycle serves them and a status query
// searches them. Every walk over the queues goes through this one table.
constexpr auto TCommThread::queueTable() {
    return std::tuple{
        QueueRef<TConfQPASettReadTask>{taskConfQPASettRead, &TCommThread::ConfQPASettReadTasks},
        QueueRef<TConfQPASettSaveTask>{taskConfQPASettSave, &TCommThread::ConfQPASettSaveTasks},
        QueueRef<TConfQPATextReadTask>{taskConfQPATextRead, &TCommThread::ConfQPATextReadTasks},
        QueueRef<TConfQPATextSaveTask>{taskConfQPATextSave, &TCommThread::ConfQPATextSaveTasks},
        QueueRef<TConfQPBSettReadTask>{taskConfQPBSettRead, &TCommThread::ConfQPBSettReadTasks},
        QueueRef<TConfQPBSettSaveTask>{taskConfQPBSettSave, &TCommThread::ConfQPBSettSaveTasks},
        QueueRef<TConfQPBVarsReadTask>{taskConfQPBVarsRead, &TCommThread::ConfQPBVarsReadTasks},
        QueueRef<TConfQPBVarsSaveTask>{taskConfQPBVarsSave, &TCommThread::ConfQPBVarsSaveTasks},
        QueueRef<TFlashSaveTask>{taskFlashSave, &TCommThread::FlashSaveTasks},
        QueueRef<TExtSaveTask>{taskExtSave, &TCommThread::ExtSaveTasks},
        QueueRef<TVersionTask>{taskVersion, &TCommThread::VersionTasks},
        QueueRef<TUpdateTask>{taskUpdate, &TCommThread::UpdateTasks},
        QueueRef<THttpOnTask>{taskHttpOn, &TCommThread::HttpOnTasks},
        QueueRef<THttpOffTask>{taskHttpOff, &TCommThread::HttpOffTasks},
    };
}

// Visits the queues in table order until visit(kind, queue) returns true; returns whether one did.
template <typename Self, typename Visit>
bool TCommThread::anyQueue(Self& self, Visit&& visit) {
    return std::apply([&](const auto&... ref) { return (visit(ref.kind, self.*(ref.queue)) || ...); }, queueTable());
}

template <typename T>
bool TCommThread::statusIn(TTaskQueue<T>& queue, TTaskType kind, qint32 id, TTaskType* taskType, quint8* progres,
                           void* resBufor, std::size_t resBuforSize, TStatus& status) {
    std::unique_lock locker(Lock);
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
            if (status == STATRESOK && resBufor) {
                const bool fits = resBuforSize == kResBuforUnsized || resBuforSize == t.ResBuf.size();
                Q_ASSERT_X(fits, "TCommThread::GetTaskStatus", "the task's result does not fit the caller's buffer");
                if (fits)
                    std::memcpy(resBufor, t.ResBuf.data(), t.ResBuf.size());
            }
        }
        return true;
    }
    return false;
}

TStatus TCommThread::GetTaskStatus(qint32 Id, TTaskType* TaskType, quint8* Progres, void* ResBufor,
                                   std::size_t ResBuforSize) {
    if (Progres)
        *Progres = 0;
    TStatus status = statFree;
    anyQueue(*this, [&](TTaskType kind, auto& queue) {
        return statusIn(queue, kind, Id, TaskType, Progres, ResBufor, ResBuforSize, status);
    });
    return status;
}

int TCommThread::QueueSlots(TTaskType kind) const {
    std::unique_lock locker(Lock);
    int count = 0;
    anyQueue(*this, [&](TTaskType queueKind, const auto& queue) {
        if (queueKind == kind)
            count = static_cast<int>(queue.size());
        return queueKind == kind;
    });
    return count;
}

bool TCommThread::hasWork() const {
    return anyQueue(*this, [](TTaskType, const auto& queue) {
        for (const auto& t : queue)
            if (t.Status == statWait || t.Status == statProgress)
                return true;
        return false;
    });
}

void TCommThread::replaceClient() {
    IdTCPClient = std::make_unique<TcpClient>(NodarixHost, NodarixPort, clientConnTimeout, clientReadTimeout);
}

void TCommThread::run() {
    replaceClient();
    IdTCPClient->connectToController();
    for (;;) {
        {
            std::unique_lock locker(Lock);
            // An idle worker sleeps until a task or the terminate request wakes it. Woken for
            // termination it ends at once: it has no cycle to finish, and another cycle would only
            // make a fresh connection attempt.
            workerSleeping = true;
            wakeUp.wait(locker, [this] { return terminateRequested || hasWork(); });
            workerSleeping = false;
            if (terminateRequested)
                break;
        }
        runCycle();
        if (!NodarixKeep.load())
            endCycleWithoutKeep();
    }
    IdTCPClient->drop();
    IdTCPClient.reset();
}

void TCommThread::endCycleWithoutKeep() {
    setConnTimeout(100);
    IdTCPClient->drop();
    {
        std::unique_lock locker(Lock);
        // The pause before reconnecting ends early when the worker is closed or asked to end; a
        // connection made then would only be closed again unused.
        const auto stopping = [this] { return NodarixTerm.load() || terminateRequested; };
        if (wakeUp.wait_for(locker, std::chrono::milliseconds(500), stopping))
            return;
        clientConnTimeout.store(1000);
    }
    IdTCPClient->connectToController();
    setConnTimeout(NodarixConnTimeout);
}

void TCommThread::runCycle() {
    if (!NodarixTerm.load() && !IdTCPClient->isOpen())
        IdTCPClient->connectToController();
    anyQueue(*this, [this](TTaskType kind, auto& queue) {
        serveQueue(queue, kind);
        return false;
    });
}

template <typename T>
void TCommThread::serveQueue(TTaskQueue<T>& queue, TTaskType kind) {
    T* chosen = nullptr;
    {
        std::unique_lock locker(Lock);
        const int slot = ChooseNextSlot(queue, IsBlockKind(kind));
        if (slot < 0)
            return;
        chosen = &queue[static_cast<std::size_t>(slot)];
        chosen->Status = statProgress;
    }
    quint8 progres = 0;
    const TStatus result = stepTask(*chosen, kind, progres);
    std::unique_lock locker(Lock);
    if constexpr (kHasProgress<T>)
        chosen->Progres = progres;
    chosen->Status = result;
}

void TCommThread::dropConnection() {
    setConnTimeout(100);
    IdTCPClient->drop();
}

TStatus TCommThread::exchange(const QByteArray& request, const frame::ExpectedReply& expected, bool noReply,
                              QByteArray& reply) {
    if (!IdTCPClient->isOpen()) {
        dropConnection();
        return statResTimeOut;
    }
    const qint64 replyBytes = noReply ? 0 : frame::kHeaderSize + expected.payloadLength;
    const QDeadlineTimer deadline(clientReadTimeout.load() + kExchangeMsPerByte * (request.size() + replyBytes));
    if (!IdTCPClient->send(request, deadline)) {
        dropConnection();
        return statResTimeOut;
    }
    if (noReply) {
        IdTCPClient->drop();
        return STATRESOK;
    }
    QByteArray payload;
    if (!IdTCPClient->readExact(frame::kHeaderSize, reply, deadline)) {
        dropConnection();
        return statResTimeOut;
    }
    if (const int announced = frame::AnnouncedLength(reply); announced > 0) {
        if (!IdTCPClient->readExact(announced, payload, deadline)) {
            dropConnection();
            return statResTimeOut;
        }
        reply.append(payload);
    }
    const frame::Verdict verdict = frame::JudgeReply(reply, expected);
    if (!verdict.keepConnection)
        dropConnection();
    return verdict.status;
}

template <typename T>
TStatus TCommThread::stepTask(T& task, TTaskType kind, quint8& progres) {
    if constexpr (kHasProgress<T>)
        progres = task.Progres;
    if (NodarixTerm.load())
        return statResTimeOut;
    const std::optional<Exchange> x = planExchange(task, kind);
    if (!x)
        return statResErr;
    QByteArray reply;
    const TStatus status = exchange(x->request, x->expected, x->noReply, reply);
    if (status != STATRESOK)
        return status;
    return takeReply(task, kind, *x, reply, progres);
}
