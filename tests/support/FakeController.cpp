#include "tests/support/FakeController.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

#include <chrono>

FakeController::FakeController(Handler h) : handler(std::move(h)) {
    std::mutex readyMutex;
    std::condition_variable ready;
    bool listening = false;
    thread = std::thread([&] {
        QTcpServer server;
        server.setProxy(QNetworkProxy::NoProxy);
        server.listen(QHostAddress::LocalHost, 0);
        {
            // Notified under the lock: the constructor cannot return (and destroy `ready`) before.
            std::lock_guard lock(readyMutex);
            listenPort = server.serverPort();
            listening = true;
            ready.notify_all();
        }
        while (!stopping.load()) {
            if (!server.waitForNewConnection(20))
                continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            connections.fetch_add(1);
            QByteArray buffer;
            bool open = true;
            while (open && !stopping.load()) {
                if (socket->state() != QAbstractSocket::ConnectedState)
                    break;
                if (!socket->waitForReadyRead(20)) {
                    if (socket->state() != QAbstractSocket::ConnectedState)
                        break;
                    continue;
                }
                buffer.append(socket->readAll());
                while (buffer.size() >= 16) {
                    const int length = (quint8(buffer[14]) << 8) | quint8(buffer[15]);
                    if (buffer.size() < 16 + length)
                        break;
                    const QByteArray request = buffer.left(16 + length);
                    buffer.remove(0, 16 + length);
                    int index;
                    {
                        std::unique_lock lock(mutex);
                        index = static_cast<int>(received.size());
                        received.append(request);
                        changed.notify_all();
                        changed.wait(lock, [&] { return !gated || allowed > index || stopping.load(); });
                    }
                    const Reply reply = handler(request);
                    if (reply.byteIntervalMs > 0) {
                        for (qsizetype i = 0; i < reply.bytes.size() && !stopping.load(); ++i) {
                            socket->write(reply.bytes.mid(i, 1));
                            socket->waitForBytesWritten(1000);
                            std::this_thread::sleep_for(std::chrono::milliseconds(reply.byteIntervalMs));
                        }
                    } else if (!reply.bytes.isEmpty()) {
                        socket->write(reply.bytes);
                        socket->waitForBytesWritten(1000);
                    }
                    if (reply.closeAfter) {
                        socket->disconnectFromHost();
                        open = false;
                        break;
                    }
                }
            }
            socket->abort();
        }
    });
    std::unique_lock lock(readyMutex);
    ready.wait(lock, [&] { return listening; });
}

FakeController::~FakeController() {
    {
        std::lock_guard lock(mutex);
        stopping.store(true);
        changed.notify_all();
    }
    thread.join();
}

QList<QByteArray> FakeController::requests() const {
    std::lock_guard lock(mutex);
    // A list of its own rather than a shared copy: the serving thread appends to the list it keeps,
    // and an implicitly shared list would be moved from under the reader.
    QList<QByteArray> copy;
    copy.reserve(received.size());
    for (const QByteArray& r : received)
        copy.append(r);
    return copy;
}

int FakeController::requestCount() const {
    std::lock_guard lock(mutex);
    return static_cast<int>(received.size());
}

bool FakeController::waitForRequests(int n, int timeoutMs) const {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return received.size() >= n; });
}

void FakeController::enableGate() {
    std::lock_guard lock(mutex);
    gated = true;
}

void FakeController::allow(int count) {
    std::lock_guard lock(mutex);
    allowed += count;
    changed.notify_all();
}

QByteArray FakeController::frameWithLength(quint8 code, quint8 argument, int lengthField, const QByteArray& payload) {
    QByteArray out;
    out.append(char(0xD5)).append(char(0x80)).append(char(0x0D));
    out.append(4, '\0');
    out.append(char(0xF0)).append(4, char(0xFF));
    out.append(char(code)).append(char(argument));
    out.append(char((lengthField >> 8) & 0xFF)).append(char(lengthField & 0xFF));
    out.append(payload);
    return out;
}

QByteArray FakeController::frame(quint8 code, quint8 argument, const QByteArray& payload) {
    return frameWithLength(code, argument, static_cast<int>(payload.size()), payload);
}

quint8 RequestCode(const QByteArray& request) { return request.size() > 12 ? quint8(request[12]) : 0; }

quint32 RequestAddress(const QByteArray& request) {
    if (request.size() < 19)
        return 0xFFFFFFFF;
    return (quint32(quint8(request[16])) << 16) | (quint32(quint8(request[17])) << 8) | quint8(request[18]);
}

FakeController::Reply FakeMemory::answer(const QByteArray& request) {
    const quint8 code = RequestCode(request);
    const QByteArray address = request.mid(16, 3);
    const qsizetype at = RequestAddress(request);
    const auto blockRead = [&](const QByteArray& memory) -> FakeController::Reply {
        if (at + 256 > memory.size())
            return {{}, true};
        return {FakeController::frame(code + 0x10, 0, address + memory.mid(at, 256)), false};
    };
    const auto blockWrite = [&](QByteArray& memory) -> FakeController::Reply {
        if (at + 256 > memory.size() || request.size() != 16 + 259)
            return {{}, true};
        memory.replace(at, 256, request.mid(19, 256));
        return {FakeController::frame(code + 0x10, 0, address), false};
    };
    switch (code) {
    case 0xAA: {
        QByteArray version(38, '\0');
        version.replace(0, 6, "V4.1.3");
        version[6] = 'D';
        version.replace(8, 4, "QPB1");
        version.replace(16, 6, "123456");
        version.replace(24, 2, "PL");
        return {FakeController::frame(0xBA, 0, version), false};
    }
    case 0xAF:
        return {FakeController::frame(0xBF, 0, {}), false};
    case 0xA0:
        return blockRead(flash);
    case 0xA1:
        return blockWrite(flash);
    case 0xA6:
        return blockRead(qpbSettings);
    case 0xA7:
        return blockWrite(qpbSettings);
    case 0xA8:
        return blockRead(qpbVars);
    case 0xA9:
        return blockWrite(qpbVars);
    case 0xAC:
        return {FakeController::frame(0xBE, 0, {}), false};
    case 0xAD:
        return {{}, true};
    case 0xE0:
    case 0xE1:
        return {FakeController::frame(code + 0x10, 0, {}), false};
    default:
        if (code >= 0x20 && code <= 0x23)
            return {FakeController::frame(0x08, 1, {}), false};
        return {{}, true};
    }
}
