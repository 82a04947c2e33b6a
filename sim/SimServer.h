#pragma once
// The simulated controller on TCP: accepts connections, cuts the byte stream into request frames,
// answers them from SimMemory, injects the configured fault, and keeps the state file current.
#include "sim/SimFaults.h"
#include "sim/SimMemory.h"

#include <QByteArray>
#include <QHostAddress>
#include <QTcpServer>
#include <QTimer>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

class QTcpSocket;

namespace sim {

struct ServerConfig {
    QByteArray versionRecord;                  // the 38-byte answer to the version query
    std::optional<std::uint32_t> passwordHash; // requests with another hash are dropped unanswered
    FaultPlan faults;
    int restartMs = 3000;      // how long connections are refused after a restart
    bool logExchanges = false; // one stderr line per exchange
    bool showExt = false;      // print each extension module record as it arrives
    QString statePath;         // empty: memory lives only as long as the process
};

class SimServer {
public:
    SimServer(SimMemory& memory, ServerConfig config);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    bool listen(const QHostAddress& address, quint16 port, QString* error);
    quint16 port() const { return m_port; }

    // Saves pending changes now; false (and a message on stderr) when the state file cannot be written.
    bool saveNow();
    // Closes every connection and the listening socket, then saves.
    void shutdown();

private:
    struct Connection {
        quint64 id = 0;
        QTcpSocket* socket = nullptr;
        QByteArray buffer;
        int exchanges = 0;
        bool closing = false;
    };
    struct Reply {
        std::uint8_t code = 0;
        std::uint8_t argument = 0;
        QByteArray payload;
    };
    // What one accepted request led to.
    struct Result {
        std::optional<Reply> reply;
        QString outcome;
        bool close = false; // close the connection (after sending the reply, if any)
        bool restart = false;
        bool refused = false; // the request itself was wrong (address outside the area)
    };

    void acceptPending();
    void onReadyRead(quint64 id);
    void onDisconnected(quint64 id);
    void processBuffer(Connection& c);
    Result handleRequest(std::uint8_t code, const QByteArray& payload);
    Result handleBlockRead(Area area, std::uint8_t replyCode, const QByteArray& payload);
    Result handleBlockWrite(Area area, std::uint8_t replyCode, const QByteArray& payload);
    Result refusedAddress(Area area, std::uint32_t address) const;
    void storeExtRecord(int module, const QByteArray& record);
    void showExtRecord(int module, const QByteArray& record) const;
    // Counts the exchange against the fault plan; true when the fault hits it.
    bool faultApplies(std::uint8_t requestCode);
    // Faults that replace the handling of the request altogether (nothing is stored).
    std::optional<Result> faultInsteadOfRequest(const Connection& c) const;
    // Faults that spoil the reply of a request that was handled.
    void faultReply(const Connection& c, std::uint8_t requestCode, Result& r) const;
    void closeConnection(Connection& c);
    void beginRestart();
    void relisten();
    void markChanged(bool saveAtOnce);
    void log(const QString& line) const;
    void logExchange(const Connection& c, const QString& line) const;

    SimMemory& m_memory;
    ServerConfig m_config;
    QTcpServer m_server;
    QHostAddress m_address;
    quint16 m_port = 0;
    std::map<quint64, std::unique_ptr<Connection>> m_connections;
    quint64 m_nextId = 1;
    quint64 m_faultCounter = 0; // exchanges that the fault plan's code filter matched, since start
    bool m_powerCut = false;    // the power-cut fault has happened (it happens once per run)
    QTimer m_restartTimer;
    QTimer m_saveTimer;
    bool m_dirty = false;
    bool m_restarting = false;
    bool m_imageUploaded = false; // a flash image was written since the last restart
};

} // namespace sim
