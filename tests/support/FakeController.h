#pragma once
// A scripted controller on 127.0.0.1 for protocol tests: it reads request frames and answers
// each with whatever the test's handler returns, byte for byte, so faults can be shaped freely.
#include <QByteArray>
#include <QList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class FakeController {
public:
    struct Reply {
        QByteArray bytes;        // sent as is (may be empty)
        bool closeAfter = false; // close the connection after sending
        int byteIntervalMs = 0;  // > 0: the reply trickles out one byte at a time, this far apart
    };
    using Handler = std::function<Reply(const QByteArray& request)>;

    explicit FakeController(Handler handler);
    ~FakeController();

    quint16 port() const { return listenPort; }
    QList<QByteArray> requests() const;
    int requestCount() const;
    int connectionCount() const { return connections.load(); }
    // Waits until at least n requests arrived; false after timeoutMs.
    bool waitForRequests(int n, int timeoutMs = 5000) const;

    // Gate: when enabled, request k is answered only after allow() was called k+1 times.
    void enableGate();
    void allow(int count = 1);

    // A reply frame as a controller builds it.
    static QByteArray frame(quint8 code, quint8 argument, const QByteArray& payload);
    static QByteArray frameWithLength(quint8 code, quint8 argument, int lengthField, const QByteArray& payload);

private:
    void serve();

    Handler handler;
    quint16 listenPort = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> connections{0};
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    QList<QByteArray> received;
    bool gated = false;
    int allowed = 0;
    std::thread thread;
};

// Block-addressed memory answering the controller's block, version and service exchanges,
// as a handler for FakeController. failAt: 1-based request number to answer with failReply.
struct FakeMemory {
    QByteArray flash = QByteArray(1 << 19, '\0');
    QByteArray qpbSettings = QByteArray(65536, '\0');
    QByteArray qpbVars = QByteArray(16640, '\0');
    FakeController::Reply answer(const QByteArray& request);
};

// The request's code, payload and block address.
quint8 RequestCode(const QByteArray& request);
quint32 RequestAddress(const QByteArray& request);
