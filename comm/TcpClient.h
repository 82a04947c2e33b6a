#pragma once
// The worker's blocking TCP connection: connect and read time-outs in milliseconds, exact reads,
// graceful close with unread input discarded. Created and used inside the worker thread only.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <atomic>
#include <memory>

class QHostAddress;
class QTcpSocket;
struct HostLookup;

class TcpClient {
public:
    // The time-outs are read at every wait, so the owner may lower them from another thread.
    TcpClient(const QString& host, quint16 port, const std::atomic<quint32>& connTimeout,
              const std::atomic<quint32>& readTimeout);
    ~TcpClient();

    // Connects within the connect time-out, the look-up of a host name included.
    bool connectToController();
    // Whether the connection is open; notices a close by the peer that has not been seen yet.
    bool isOpen();
    // Clears unread input, closes gracefully and disconnects; never fails.
    void drop();
    // Sends the whole request in one write. Every wait is bounded by the read time-out and by the
    // exchange's deadline.
    bool send(const QByteArray& data, const QDeadlineTimer& deadline);
    // Reads exactly n bytes; every wait is bounded by the read time-out and by the exchange's deadline.
    bool readExact(int n, QByteArray& out, const QDeadlineTimer& deadline);

private:
    bool resolve(QHostAddress& address);
    int waitMs(const QDeadlineTimer& deadline) const;

    const QString host;
    const quint16 port;
    const std::atomic<quint32>& connTimeout;
    const std::atomic<quint32>& readTimeout;
    std::unique_ptr<QTcpSocket> socket;
    std::shared_ptr<HostLookup> lookup; // the latest look-up of the host name, possibly still running
};
