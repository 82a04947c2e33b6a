// "backup --all" and "backup --hosts FILE": the settings read chain run against many controllers at
// once, one chain object per controller on the one event loop, their tasks through one task pool
// (which keeps one worker per controller), each controller's files written as soon as it ends.
#include "cli/ChainRunner.h"
#include "cli/CliCommand.h"
#include "cli/SettingsBackup.h"
#include "comm/CommUdp.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <memory>
#include <vector>

namespace cli {
namespace {

constexpr int kDefaultWaitMs = 2000;
constexpr int kMaxWaitMs = 600000;

struct Controller {
    QString host;
    quint16 port = 0;
    QString label() const { return QStringLiteral("%1:%2").arg(host).arg(port); }
};

void usageError(const QString& message) {
    printError(QStringLiteral("nodarix-cli backup: %1").arg(message));
}

bool isHostName(const QString& text) {
    static const QRegularExpression name(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?(\\.[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?)*$"));
    return text.size() <= 253 && name.match(text).hasMatch();
}

// One line of a hosts file: ADDRESS or ADDRESS:PORT; nothing when it is neither.
std::optional<Controller> controllerOf(const QString& line, quint16 defaultPort) {
    QString host = line;
    quint16 port = defaultPort;
    if (const qsizetype colon = line.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        host = line.left(colon);
        bool ok = false;
        const uint number = line.mid(colon + 1).toUInt(&ok, 10);
        if (!ok || number < 1 || number > 65535 || !line.at(colon + 1).isDigit())
            return std::nullopt;
        port = static_cast<quint16>(number);
    }
    // Digits and dots are an IPv4 address in full dotted form ("127.0.1" is a typing error, not a
    // short form); anything else must be a host name.
    const bool numeric = !host.isEmpty() && host.count(QRegularExpression(QStringLiteral("[0-9.]"))) == host.size();
    QHostAddress address;
    const bool ipv4 = numeric && host.count(QLatin1Char('.')) == 3 && address.setAddress(host) &&
                      address.protocol() == QAbstractSocket::IPv4Protocol;
    if (numeric ? !ipv4 : !isHostName(host))
        return std::nullopt;
    return Controller{ipv4 ? address.toString() : host.toLower(), port};
}

// The controllers of a hosts file; on a bad line or an unreadable file prints why and sets exitCode.
std::optional<std::vector<Controller>> readHosts(const QString& path, quint16 defaultPort, int& exitCode) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        usageError(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        exitCode = kExitFailure;
        return std::nullopt;
    }
    std::vector<Controller> controllers;
    QSet<QString> seen;
    int number = 0;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        ++number;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto controller = controllerOf(line, defaultPort);
        const QString why = !controller                         ? QStringLiteral("not ADDRESS[:PORT]")
                            : seen.contains(controller->label()) ? QStringLiteral("listed twice")
                                                                 : QString();
        if (!why.isEmpty()) {
            usageError(QStringLiteral("%1:%2: %3: \"%4\"").arg(path).arg(number).arg(why, line.left(80)));
            exitCode = kExitUsage;
            return std::nullopt;
        }
        seen.insert(controller->label());
        controllers.push_back(*controller);
    }
    if (controllers.empty()) {
        usageError(QStringLiteral("%1 lists no controller").arg(path));
        exitCode = kExitUsage;
        return std::nullopt;
    }
    return controllers;
}

// The controllers that answer a discovery scan within waitMs, each address and port once.
std::vector<Controller> discover(int waitMs, quint16 defaultPort) {
    TCommUdp udp;
    QEventLoop loop;
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    udp.ScanNodarixs();
    loop.exec();
    std::vector<Controller> controllers;
    QSet<QString> seen;
    for (qint32 i = 0; i < udp.ScanCount(); ++i) {
        bool ok = false;
        const uint port = udp.GetScanParam(i, 11).toUInt(&ok, 10);
        const Controller c{udp.GetScanParam(i, 12), ok && port >= 1 && port <= 65535 ? quint16(port) : defaultPort};
        if (!c.host.isEmpty() && !seen.contains(c.label())) {
            seen.insert(c.label());
            controllers.push_back(c);
        }
    }
    return controllers;
}

// A serial number as a file name: whatever bytes the controller sent, nothing that leaves DIR.
QString fileNameOf(const QString& serial) {
    QString name = serial.trimmed();
    for (QChar& c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("no-serial") : name;
}

// One controller of the fleet: its read chain, the images it fills, and how it ended.
struct Member {
    explicit Member(const Controller& where)
        : where(where), images(std::make_unique<TSettingsImages>()), reading(version, *images) {}

    Controller where;
    TNodarixVersion version{};
    std::unique_ptr<TSettingsImages> images;
    ConfigurationRead reading;
    QString lastStatus;
    int lastQuarter = 0;
    int maximum = 100;
};

class Fleet {
public:
    Fleet(const GlobalOptions& options, QString dir, bool onlyConfigured)
        : pool(options.timeoutMs, options.timeoutMs), password(options.password), dir(std::move(dir)),
          onlyConfigured(onlyConfigured) {}

    int run(const std::vector<Controller>& controllers) {
        for (const Controller& c : controllers)
            members.push_back(std::make_unique<Member>(c));
        remaining = members.size();
        for (auto& m : members)
            start(*m);
        if (remaining > 0)
            loop.exec();
        printOut(QStringLiteral("backed up %1 of %2 controllers%3\n")
                     .arg(members.size() - failed.size())
                     .arg(members.size())
                     .arg(failed.isEmpty() ? QString() : QStringLiteral("; failed: ") + failed.join(QStringLiteral(", "))));
        return worst;
    }

private:
    void start(Member& m) {
        TSettingsReadChain& chain = m.reading.chain;
        const QString label = m.where.label();
        QObject::connect(&chain, &TChain::status, &context, [&m, label](const QString& text) {
            m.lastStatus = text;
            printError(QStringLiteral("%1  %2").arg(label, text));
        });
        QObject::connect(&chain, &TChain::progressMaximum, &context, [&m](int maximum) {
            m.maximum = maximum > 0 ? maximum : 100;
        });
        QObject::connect(&chain, &TChain::progressPosition, &context, [&m, label](int position) {
            const int quarter = static_cast<int>(qint64(position) * 4 / m.maximum);
            if (quarter > m.lastQuarter && quarter <= 4) {
                m.lastQuarter = quarter;
                printError(QStringLiteral("%1  %2%").arg(label).arg(quarter * 25));
            }
        });
        QObject::connect(&chain, &TChain::finished, &context, [this, &m](TChainEnd end) { ended(m, end); });
        chain.Start(TLinkTarget{[this]() -> TCommTask& { return pool; }, m.where.host, m.where.port, password},
                    onlyConfigured);
    }

    // The serial of a controller's version record as a file name not yet taken in this run.
    QString freeName(const Member& m) {
        const QString base = fileNameOf(FieldText(m.version.Serial, sizeof m.version.Serial));
        QString name = base;
        for (int n = 2; taken.contains(name); ++n)
            name = QStringLiteral("%1-%2").arg(base).arg(n);
        taken.insert(name);
        return name;
    }

    void ended(Member& m, TChainEnd end) {
        QString serial = QStringLiteral("-");
        QString text = m.lastStatus;
        int code = exitCode(end);
        if (end == TChainEnd::Done || end == TChainEnd::Rejected) {
            serial = freeName(m);
            const QDir folder(dir);
            const BackupFiles written = writeBackup(m.reading, *m.images, folder.filePath(serial + QStringLiteral(".ndrx")),
                                                    folder.filePath(serial));
            for (const QString& error : written.errors)
                printError(QStringLiteral("%1  %2").arg(m.where.label(), error));
            code = written.exitCode;
            text = written.status.isEmpty() ? written.errors.value(0) : written.status;
        }
        printOut(QStringLiteral("%1\t%2\t%3\t%4\n").arg(m.where.label(), serial).arg(code).arg(text));
        if (code != kExitOk) {
            failed << QStringLiteral("%1 (exit %2)").arg(m.where.label()).arg(code);
            worst = std::max(worst, code);
        }
        if (--remaining == 0)
            loop.quit();
    }

    TCommTask pool; // before the members: their steps poll it until they are gone
    const QString password;
    const QString dir;
    const bool onlyConfigured;
    QEventLoop loop;
    QObject context;
    std::vector<std::unique_ptr<Member>> members;
    std::size_t remaining = 0;
    QSet<QString> taken;
    QStringList failed;
    int worst = kExitOk;
};

} // namespace

int runFleetBackup(const Parsed& p, const GlobalOptions& options) {
    const bool all = p.flags.contains(QStringLiteral("--all"));
    const QString hosts = p.values.value(QStringLiteral("--hosts"));
    const QString dir = p.values.value(QStringLiteral("-o"));
    if (all == p.values.contains(QStringLiteral("--hosts"))) {
        usageError(QStringLiteral("give either --all or --hosts FILE"));
        return kExitUsage;
    }
    if (p.values.contains(QStringLiteral("--images"))) {
        usageError(QStringLiteral("--images does not go with --all or --hosts: the images go into DIR/SERIAL/"));
        return kExitUsage;
    }
    if (dir.isEmpty()) {
        usageError(QStringLiteral("-o DIR is needed"));
        return kExitUsage;
    }
    int waitMs = kDefaultWaitMs;
    if (p.values.contains(QStringLiteral("--wait"))) {
        bool ok = false;
        waitMs = p.values.value(QStringLiteral("--wait")).toInt(&ok, 10);
        if (!all || !ok || waitMs < 1 || waitMs > kMaxWaitMs) {
            usageError(QStringLiteral("--wait goes with --all, 1 to %1 ms").arg(kMaxWaitMs));
            return kExitUsage;
        }
    }

    std::vector<Controller> controllers;
    if (!all) {
        int failure = kExitOk;
        const auto listed = readHosts(hosts, options.port, failure);
        if (!listed)
            return failure;
        controllers = *listed;
    }
    if (!QDir().mkpath(dir)) {
        usageError(QStringLiteral("cannot create the folder %1").arg(dir));
        return kExitFailure;
    }
    if (all) {
        controllers = discover(waitMs, options.port);
        if (controllers.empty()) {
            usageError(QStringLiteral("no controller answered the discovery scan"));
            return kExitTimeOut;
        }
    }
    Fleet fleet(options, dir, !p.flags.contains(QStringLiteral("--all-cells")));
    return fleet.run(controllers);
}

} // namespace cli
