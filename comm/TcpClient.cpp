#include "comm/TcpClient.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <netdb.h>
#include <sys/socket.h>

// A look-up of a host name by the system resolver on a thread of its own. The resolver cannot be
// interrupted and may wait far longer than any time-out (a name server that never answers), and a
// synchronous look-up inside the connect would hold the worker, and a closing window, all that
// time. The worker waits for the answer no longer than its connect time-out; a look-up it gave up
// on ends on its own whenever the resolver does, touching nothing but this shared record.
struct HostLookup {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool found = false;
    sockaddr_storage address{};

    static std::shared_ptr<HostLookup> start(const QByteArray& name) {
        auto lookup = std::make_shared<HostLookup>();
        std::thread([lookup, name] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* list = nullptr;
            const bool ok = getaddrinfo(name.constData(), nullptr, &hints, &list) == 0;
            std::lock_guard locker(lookup->mutex);
            // Controllers speak IPv4; an IPv6 address is taken only when there is no other.
            for (const addrinfo* a = ok ? list : nullptr; a; a = a->ai_next) {
                if (a->ai_addrlen > sizeof(lookup->address) || (lookup->found && a->ai_family != AF_INET))
                    continue;
                std::memcpy(&lookup->address, a->ai_addr, a->ai_addrlen);
                lookup->found = true;
                if (a->ai_family == AF_INET)
                    break;
            }
            if (list)
                freeaddrinfo(list);
            lookup->finished = true;
            lookup->done.notify_all();
        }).detach();
        return lookup;
    }
};

TcpClient::TcpClient(const QString& host, quint16 port, const std::atomic<quint32>& connTimeout,
                     const std::atomic<quint32>& readTimeout)
    : host(host), port(port), connTimeout(connTimeout), readTimeout(readTimeout),
      socket(std::make_unique<QTcpSocket>()) {
    // Controllers are reached directly; a system proxy look-up could even query the network.
    socket->setProxy(QNetworkProxy::NoProxy);
    // Small request/reply exchanges would otherwise stall on delayed acknowledgements.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

TcpClient::~TcpClient() { drop(); }

bool TcpClient::resolve(QHostAddress& address) {
    if (address.setAddress(host))
        return true;
    const QByteArray name = QUrl::toAce(host);
    if (name.isEmpty())
        return false;
    // A look-up still running from an earlier attempt is waited for rather than doubled.
    bool running = false;
    if (lookup) {
        std::lock_guard locker(lookup->mutex);
        running = !lookup->finished;
    }
    if (!running)
        lookup = HostLookup::start(name);
    std::unique_lock locker(lookup->mutex);
    lookup->done.wait_for(locker, std::chrono::milliseconds(connTimeout.load()), [this] { return lookup->finished; });
    if (!lookup->found)
        return false;
    address = QHostAddress(reinterpret_cast<const sockaddr*>(&lookup->address));
    return true;
}

bool TcpClient::connectToController() {
    if (socket->state() == QAbstractSocket::ConnectedState)
        return true;
    socket->abort();
    QDeadlineTimer deadline(connTimeout.load());
    QHostAddress address;
    if (!resolve(address))
        return false;
    socket->connectToHost(address, port);
    if (!socket->waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        socket->abort();
        return false;
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    return true;
}

bool TcpClient::isOpen() {
    if (socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Lets the socket notice a close by the peer since the last exchange.
    socket->waitForReadyRead(0);
    return socket->state() == QAbstractSocket::ConnectedState;
}

void TcpClient::drop() {
    if (socket->state() == QAbstractSocket::UnconnectedState)
        return;
    socket->readAll();
    socket->disconnectFromHost();
    if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
}

int TcpClient::waitMs(const QDeadlineTimer& deadline) const {
    return static_cast<int>(std::min<qint64>(readTimeout.load(), deadline.remainingTime()));
}

bool TcpClient::send(const QByteArray& data, const QDeadlineTimer& deadline) {
    if (socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Bytes still unread here belong to no request of ours: the rest of a reply that came after its
    // exchange had given up, or anything a controller sent unasked. Read later, they would be taken
    // for the header of this request's reply, so they are discarded before every request.
    socket->readAll();
    if (socket->write(data) != data.size())
        return false;
    while (socket->bytesToWrite() > 0)
        if (deadline.hasExpired() || !socket->waitForBytesWritten(waitMs(deadline)))
            return false;
    return true;
}

bool TcpClient::readExact(int n, QByteArray& out, const QDeadlineTimer& deadline) {
    out.clear();
    while (out.size() < n) {
        if (socket->bytesAvailable() == 0 &&
            (deadline.hasExpired() || !socket->waitForReadyRead(waitMs(deadline))))
            return false;
        out.append(socket->read(n - out.size()));
    }
    return true;
}
