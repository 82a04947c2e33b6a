#include "sim/SimServer.h"

#include "sim/ExtRecordText.h"
#include "sim/SimBoot.h"
#include "sim/SimWire.h"

#include <QTcpSocket>
#include <cstdio>
#include <vector>

namespace sim {

namespace {

constexpr int kSaveDelayMs = 200;
// The largest request frame: a header and a 65535-byte payload.
constexpr qint64 kMaxRequestSize = kHeaderSize + 65535;
// A connection takes no further request while more reply bytes than this wait to be sent.
constexpr qint64 kMaxUnsentReplyBytes = 64 * 1024;
constexpr int kRelistenRetryMs = 100;

bool isBlockReply(std::uint8_t code) {
    switch (code) {
    case kRepFlashRead:
    case kRepFlashWrite:
    case kRepQpbSettRead:
    case kRepQpbSettWrite:
    case kRepQpbVarsRead:
    case kRepQpbVarsWrite:
        return true;
    default:
        return false;
    }
}

} // namespace

SimServer::SimServer(SimMemory& memory, ServerConfig config) : m_memory(memory), m_config(std::move(config)) {
    m_server.setMaxPendingConnections(16);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] { acceptPending(); });
    m_restartTimer.setSingleShot(true);
    QObject::connect(&m_restartTimer, &QTimer::timeout, [this] { relisten(); });
    m_saveTimer.setSingleShot(true);
    QObject::connect(&m_saveTimer, &QTimer::timeout, [this] { saveNow(); });
}

SimServer::~SimServer() {
    shutdown();
}

bool SimServer::listen(const QHostAddress& address, quint16 port, QString* error) {
    if (!m_server.listen(address, port)) {
        if (error)
            *error = m_server.errorString();
        return false;
    }
    m_address = address;
    m_port = m_server.serverPort();
    return true;
}

void SimServer::log(const QString& line) const {
    const QByteArray bytes = (QStringLiteral("nodarix-sim: ") + line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void SimServer::logExchange(const Connection& c, const QString& line) const {
    if (m_config.logExchanges)
        log(QStringLiteral("[conn %1] %2").arg(c.id).arg(line));
}

void SimServer::acceptPending() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_restarting) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Input waits in the system's buffers rather than in ours until a request is taken.
        socket->setReadBufferSize(kMaxRequestSize);
        auto c = std::make_unique<Connection>();
        c->id = m_nextId++;
        c->socket = socket;
        const quint64 id = c->id;
        m_connections[id] = std::move(c);
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, id] { onReadyRead(id); });
        // Replies sent make room for the requests that wait.
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, id] { onReadyRead(id); });
        // Queued: the socket may report its end from inside a call that is still using it.
        QObject::connect(
            socket, &QTcpSocket::disconnected, socket, [this, id] { onDisconnected(id); },
            Qt::QueuedConnection);
        logExchange(*m_connections[id], QStringLiteral("connected from %1:%2")
                                            .arg(socket->peerAddress().toString())
                                            .arg(socket->peerPort()));
        if (socket->bytesAvailable() > 0)
            onReadyRead(id);
    }
}

void SimServer::onDisconnected(quint64 id) {
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    logExchange(*it->second, QStringLiteral("disconnected"));
    it->second->socket->deleteLater();
    m_connections.erase(it);
    if (m_dirty)
        saveNow();
}

void SimServer::onReadyRead(quint64 id) {
    const auto it = m_connections.find(id);
    if (it == m_connections.end())
        return;
    Connection& c = *it->second;
    if (c.closing) {
        c.socket->readAll();
        return;
    }
    processBuffer(c);
}

void SimServer::closeConnection(Connection& c) {
    if (c.closing)
        return;
    c.closing = true;
    c.buffer.clear();
    c.socket->disconnectFromHost();
}

void SimServer::processBuffer(Connection& c) {
    // A controller answers one request at a time. While replies wait unsent above a small limit, no
    // further request is read: a client that sends without reading meets back-pressure from the
    // connection instead of growing this process by every reply it does not collect.
    while (!c.closing && c.socket->bytesToWrite() <= kMaxUnsentReplyBytes) {
        c.buffer.append(c.socket->read(kMaxRequestSize - c.buffer.size()));
        RequestCut cut = cutRequest(c.buffer);
        if (cut.kind == RequestCut::NeedMore)
            return;
        if (cut.kind == RequestCut::Bad) {
            // Anomalies are always reported, with or without --log.
            log(QStringLiteral("[conn %1] bad frame: %2; closing the connection").arg(c.id).arg(cut.bad));
            closeConnection(c);
            return;
        }
        const std::uint8_t code = cut.code;
        const std::uint32_t hash = cut.hash;
        const QByteArray payload = std::move(cut.payload);
        c.buffer.remove(0, cut.size);

        if (m_config.passwordHash && hash != *m_config.passwordHash) {
            logExchange(c, QStringLiteral("%1 %2 -> dropped: password hash %3 does not match")
                               .arg(hex2(code), requestName(code))
                               .arg(hash, 8, 16, QLatin1Char('0')));
            continue;
        }

        ++c.exchanges;
        const bool faulty = faultApplies(code);
        std::optional<Result> instead = faulty ? faultInsteadOfRequest(c) : std::nullopt;
        Result r = instead ? *instead : handleRequest(code, payload);
        if (faulty && !instead)
            faultReply(c, code, r);
        const bool storeExt = isExtRequest(code) && r.reply && r.reply->argument == 1;
        if (storeExt)
            storeExtRecord(code - kReqExtFirst, payload);

        if (r.reply)
            c.socket->write(replyFrame(r.reply->code, r.reply->argument, r.reply->payload));

        QString line = QStringLiteral("[conn %1] %2 %3").arg(c.id).arg(hex2(code), requestName(code));
        if (payload.size() >= kAddressSize && !isExtRequest(code))
            line += QStringLiteral(" addr %1").arg(hex6(readBe24(payload, 0)));
        line += QStringLiteral(" -> ") + r.outcome;
        // A refused request points at a fault in the client: reported with or without --log.
        if (m_config.logExchanges || r.refused)
            log(line);
        if (storeExt && m_config.showExt)
            showExtRecord(code - kReqExtFirst, payload);

        if (r.restart) {
            beginRestart();
            return;
        }
        if (r.close) {
            closeConnection(c);
            return;
        }
    }
}

// A block address outside the area (or not on a block boundary) closes the connection unanswered.
SimServer::Result SimServer::refusedAddress(Area area, std::uint32_t address) const {
    Result r;
    r.outcome = QStringLiteral("refused: address %1 is not a block inside the %2-byte area; connection closed")
                    .arg(hex6(address))
                    .arg(m_memory.area(area).size());
    r.close = true;
    r.refused = true;
    return r;
}

SimServer::Result SimServer::handleBlockRead(Area area, std::uint8_t replyCode, const QByteArray& payload) {
    Result r;
    const std::uint32_t address = readBe24(payload, 0);
    const auto block = (address % kBlockSize == 0) ? m_memory.readBlock(area, address) : std::nullopt;
    if (!block)
        return refusedAddress(area, address);
    r.reply = Reply{replyCode, 0, payload.left(kAddressSize) + *block};
    r.outcome = QStringLiteral("%1 ok").arg(hex2(replyCode));
    return r;
}

SimServer::Result SimServer::handleBlockWrite(Area area, std::uint8_t replyCode, const QByteArray& payload) {
    Result r;
    const std::uint32_t address = readBe24(payload, 0);
    if (address % kBlockSize != 0 || !m_memory.writeBlock(area, address, payload.mid(kAddressSize)))
        return refusedAddress(area, address);
    // Block 0 is where every flash image begins; settings and texts lie further up.
    if (area == Area::Flash && address == 0)
        m_imageUploaded = true;
    markChanged(false);
    r.reply = Reply{replyCode, 0, payload.left(kAddressSize)};
    r.outcome = QStringLiteral("%1 ok, stored").arg(hex2(replyCode));
    return r;
}

SimServer::Result SimServer::handleRequest(std::uint8_t code, const QByteArray& payload) {
    Result r;
    switch (code) {
    case kReqVersion:
        r.reply = Reply{kRepVersion, 0, m_config.versionRecord};
        r.outcome = QStringLiteral("0xBA ok");
        return r;
    case kReqQpaReadStart:
        r.reply = Reply{kRepQpaReadStart, 0, {}};
        r.outcome = QStringLiteral("0xBF ok");
        return r;
    case kReqFlashRead:
        return handleBlockRead(Area::Flash, kRepFlashRead, payload);
    case kReqFlashWrite:
        return handleBlockWrite(Area::Flash, kRepFlashWrite, payload);
    case kReqQpbSettRead:
        return handleBlockRead(Area::QpbSettings, kRepQpbSettRead, payload);
    case kReqQpbSettWrite:
        return handleBlockWrite(Area::QpbSettings, kRepQpbSettWrite, payload);
    case kReqQpbVarsRead:
        return handleBlockRead(Area::QpbVars, kRepQpbVarsRead, payload);
    case kReqQpbVarsWrite:
        return handleBlockWrite(Area::QpbVars, kRepQpbVarsWrite, payload);
    case kReqWriteEnd:
        markChanged(true);
        r.reply = Reply{kRepWriteEnd, 0, {}};
        r.outcome = QStringLiteral("0xBE ok, settings written");
        return r;
    case kReqRestart:
        r.restart = true;
        r.outcome = QStringLiteral("restarting, refusing connections for %1 ms").arg(m_config.restartMs);
        return r;
    case kReqHttpOn:
    case kReqHttpOff: {
        const bool on = code == kReqHttpOn;
        m_memory.setHttpOn(on);
        markChanged(true);
        r.reply = Reply{std::uint8_t(on ? kRepHttpOn : kRepHttpOff), 0, {}};
        r.outcome = QStringLiteral("%1 ok, HTTP server %2").arg(hex2(r.reply->code), on ? "on" : "off");
        return r;
    }
    default:
        break;
    }
    // Only extension module requests remain: processBuffer() lets no other code through. The record
    // is stored by the caller once the answer is known, so that a refused record is never kept.
    r.reply = Reply{kRepAck, 1, {}};
    r.outcome = QStringLiteral("0x08 ack 1, record stored");
    return r;
}

void SimServer::storeExtRecord(int module, const QByteArray& record) {
    m_memory.setExtRecord(module, record);
    markChanged(true);
}

void SimServer::showExtRecord(int module, const QByteArray& record) const {
    const QByteArray text = describeExtRecord(module, record).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stderr);
    std::fflush(stderr);
}

bool SimServer::faultApplies(std::uint8_t requestCode) {
    const FaultPlan& plan = m_config.faults;
    if (plan.fault == Fault::None || (plan.onlyCode >= 0 && plan.onlyCode != requestCode))
        return false;
    if (plan.fault == Fault::PowerCut) {
        // Counts flash write blocks only; the cut comes once, so that the next upload completes.
        if (requestCode != kReqFlashWrite || m_powerCut || ++m_faultCounter <= quint64(plan.after) + quint64(plan.value))
            return false;
        m_powerCut = true;
        return true;
    }
    ++m_faultCounter;
    return m_faultCounter > quint64(plan.after);
}

std::optional<SimServer::Result> SimServer::faultInsteadOfRequest(const Connection& c) const {
    const FaultPlan& plan = m_config.faults;
    Result r;
    if (plan.fault == Fault::Silent) {
        r.outcome = QStringLiteral("fault silent: request ignored, no reply");
        return r;
    }
    if (plan.fault == Fault::PowerCut) {
        r.outcome = QStringLiteral("fault power-cut=%1: block not stored, connection dropped").arg(plan.value);
        r.close = true;
        return r;
    }
    if (plan.fault == Fault::CloseAfter && c.exchanges > plan.value) {
        r.outcome =
            QStringLiteral("fault close-after=%1: request ignored, connection closed").arg(plan.value);
        r.close = true;
        return r;
    }
    return std::nullopt;
}

void SimServer::faultReply(const Connection& c, std::uint8_t requestCode, Result& r) const {
    const FaultPlan& plan = m_config.faults;
    const bool isExt = isExtRequest(requestCode);
    switch (plan.fault) {
    case Fault::None:
    case Fault::Silent:
    case Fault::PowerCut:
        break;
    case Fault::CloseAfter:
        if (c.exchanges == plan.value) {
            r.outcome += QStringLiteral("; fault close-after=%1: connection closed").arg(plan.value);
            r.close = true;
        }
        break;
    case Fault::WrongAddress:
        if (r.reply && isBlockReply(r.reply->code) && r.reply->payload.size() >= kAddressSize) {
            const std::uint32_t address = readBe24(r.reply->payload, 0);
            const std::uint32_t other = address >= kBlockSize ? address - kBlockSize : address + kBlockSize;
            QByteArray echo;
            appendBe24(echo, other);
            r.reply->payload.replace(0, kAddressSize, echo);
            r.outcome += QStringLiteral("; fault wrong-address: echo %1").arg(hex6(other));
        }
        break;
    case Fault::WrongLength:
        if (r.reply) {
            r.reply->payload.append('\0');
            r.outcome +=
                QStringLiteral("; fault wrong-length: %1 payload bytes").arg(r.reply->payload.size());
        }
        break;
    case Fault::WrongCode:
        if (r.reply) {
            // The write end gets the code a naive client would expect (request + 0x10).
            r.reply->code = r.reply->code == kRepWriteEnd ? std::uint8_t(kReqWriteEnd + 0x10)
                                                          : std::uint8_t(r.reply->code ^ 0x01);
            r.outcome += QStringLiteral("; fault wrong-code: %1").arg(hex2(r.reply->code));
        }
        break;
    case Fault::Refuse:
        if (r.reply) {
            r.reply->argument = isExt ? 0 : 0xFF;
            r.outcome += QStringLiteral("; fault refuse: argument %1").arg(r.reply->argument);
        }
        break;
    case Fault::Ack:
        if (isExt && r.reply) {
            r.reply->argument = std::uint8_t(plan.value);
            r.outcome = QStringLiteral("0x08 ack %1 (fault)").arg(plan.value);
        }
        break;
    }
}

void SimServer::beginRestart() {
    log(QStringLiteral("restart requested: dropping connections and refusing new ones for %1 ms")
            .arg(m_config.restartMs));
    m_restarting = true;
    // Stop listening before dropping anyone: a client that sees its connection end must not get
    // through again before the restart has begun.
    m_server.close();
    std::vector<QTcpSocket*> sockets;
    for (auto& [id, c] : m_connections) {
        c->closing = true;
        sockets.push_back(c->socket);
    }
    for (QTcpSocket* s : sockets)
        s->abort();
    if (m_imageUploaded) {
        m_imageUploaded = false;
        log(bootUploadedImage(m_memory.area(Area::Flash), m_config.versionRecord));
    }
    saveNow();
    m_restartTimer.start(m_config.restartMs);
}

void SimServer::relisten() {
    if (m_server.listen(m_address, m_port)) {
        m_restarting = false;
        log(QStringLiteral("restart done: accepting connections again on port %1").arg(m_port));
        return;
    }
    log(QStringLiteral("restart: cannot listen on port %1 again (%2); retrying")
            .arg(m_port)
            .arg(m_server.errorString()));
    m_restartTimer.start(kRelistenRetryMs);
}

void SimServer::markChanged(bool saveAtOnce) {
    if (m_config.statePath.isEmpty())
        return;
    m_dirty = true;
    if (saveAtOnce)
        saveNow();
    else if (!m_saveTimer.isActive())
        m_saveTimer.start(kSaveDelayMs);
}

bool SimServer::saveNow() {
    m_saveTimer.stop();
    if (!m_dirty || m_config.statePath.isEmpty())
        return true;
    QString error;
    if (!m_memory.save(m_config.statePath, &error)) {
        log(QStringLiteral("cannot save state file %1: %2").arg(m_config.statePath, error));
        return false;
    }
    m_dirty = false;
    return true;
}

void SimServer::shutdown() {
    m_restartTimer.stop();
    for (auto& [id, c] : m_connections) {
        QObject::disconnect(c->socket, nullptr, nullptr, nullptr);
        c->socket->abort();
    }
    m_connections.clear();
    m_server.close();
    saveNow();
}

} // namespace sim
