#pragma once
// The worker's blocking TCP connection: connect and read time-outs in milliseconds, exact reads,
// graceful close with unread input discarded. Created and used inside the worker thread only.
#include <QByteArray>
#include <QString>

#include <atomic>
#include <memory>

class QTcpSocket;

class TcpClient {
public:
    // The time-outs are read at every wait, so the owner may lower them from another thread.
    TcpClient(const QString& host, quint16 port, const std::atomic<quint32>& connTimeout,
              const std::atomic<quint32>& readTimeout);
    ~TcpClient();

    bool connectToController();
    // Whether the connection is open; notices a close by the peer that has not been seen yet.
    bool isOpen();
    // Clears unread input, closes gracefully and disconnects; never fails.
    void drop();
    // Sends the whole request in one write.
    bool send(const QByteArray& data);
    // Reads exactly n bytes; every wait for data is bounded by the read time-out.
    bool readExact(int n, QByteArray& out);

private:
    const QString host;
    const quint16 port;
    const std::atomic<quint32>& connTimeout;
    const std::atomic<quint32>& readTimeout;
    std::unique_ptr<QTcpSocket> socket;
};
