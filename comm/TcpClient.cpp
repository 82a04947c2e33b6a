#include "comm/TcpClient.h"

#include <QTcpSocket>

TcpClient::TcpClient(const QString& host, quint16 port, const std::atomic<quint32>& connTimeout,
                     const std::atomic<quint32>& readTimeout)
    : host(host), port(port), connTimeout(connTimeout), readTimeout(readTimeout),
      socket(std::make_unique<QTcpSocket>()) {
    // Small request/reply exchanges would otherwise stall on delayed acknowledgements.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

TcpClient::~TcpClient() { drop(); }

bool TcpClient::connectToController() {
    if (socket->state() == QAbstractSocket::ConnectedState)
        return true;
    socket->abort();
    socket->connectToHost(host, port);
    if (!socket->waitForConnected(static_cast<int>(connTimeout.load()))) {
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

bool TcpClient::send(const QByteArray& data) {
    if (socket->state() != QAbstractSocket::ConnectedState)
        return false;
    // Whatever is still unread belongs to no request of ours.
    socket->readAll();
    if (socket->write(data) != data.size())
        return false;
    while (socket->bytesToWrite() > 0)
        if (!socket->waitForBytesWritten(static_cast<int>(readTimeout.load())))
            return false;
    return true;
}

bool TcpClient::readExact(int n, QByteArray& out) {
    out.clear();
    while (out.size() < n) {
        if (socket->bytesAvailable() == 0 && !socket->waitForReadyRead(static_cast<int>(readTimeout.load())))
            return false;
        out.append(socket->read(n - out.size()));
    }
    return true;
}
