// "discover": the controllers that answer a discovery scan on the local networks, one line each.
#include "cli/CliCommand.h"
#include "comm/CommUdp.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

namespace cli {
namespace {

const char kHelp[] =
    "Usage: nodarix-cli discover [--wait MS] [--raw]\n"
    "\n"
    "Broadcasts one discovery request from UDP port 7080 of each own IPv4 address and listens on UDP\n"
    "port 7080 for MS milliseconds (default 2000). Prints one line per answer in order of arrival:\n"
    "ADDRESS<TAB>PORT<TAB>NAME<TAB>MAC (control characters of a name shown as \"?\"); with --raw each\n"
    "answer's whole entry instead, its fourteen fields joined by \";\", one byte per character.\n"
    "The global options --host, --port, --password and --timeout do not apply.\n"
    "Exit status: 0 at least one controller answered, 3 none did, 2 usage error.\n";

constexpr int kDefaultWaitMs = 2000;
constexpr int kMaxWaitMs = 600000;

void writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// A name is whatever bytes the controller sends; a tab or line end in it must not break the line.
QString printable(QString text) {
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char('?');
    return text;
}

void printAnswer(const TCommUdp& udp, qint32 index, bool raw) {
    if (raw) {
        // The entry's characters are the answer's byte values; written back as those bytes.
        writeOut(udp.Entries().at(index).toLatin1() + '\n');
        return;
    }
    const QString line = QStringList{udp.GetScanParam(index, 12), udp.GetScanParam(index, 11),
                                     printable(udp.GetScanParam(index, 9)), udp.GetScanParam(index, 6)}
                             .join(QLatin1Char('\t'));
    printOut(line + QLatin1Char('\n'));
}

int runDiscover(const QStringList& args, const GlobalOptions&) {
    int waitMs = kDefaultWaitMs;
    bool raw = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--raw")) {
            raw = true;
        } else if (a == QLatin1String("--wait") && i + 1 < args.size()) {
            bool ok = false;
            waitMs = args.at(++i).toInt(&ok, 10);
            if (!ok || waitMs < 1 || waitMs > kMaxWaitMs) {
                printError(QStringLiteral("nodarix-cli discover: bad wait \"%1\" (1 to %2 ms)")
                               .arg(args.at(i))
                               .arg(kMaxWaitMs));
                return kExitUsage;
            }
        } else {
            printError(QStringLiteral("nodarix-cli discover: unknown argument %1 (see nodarix-cli help discover)")
                           .arg(a));
            return kExitUsage;
        }
    }

    TCommUdp udp;
    QObject::connect(&udp, &TCommUdp::answerReceived, &udp,
                     [&udp, raw](qint32 index) { printAnswer(udp, index, raw); });
    QTimer::singleShot(waitMs, &udp, [] { QCoreApplication::quit(); });
    udp.ScanNodarixs();
    QCoreApplication::exec();
    return udp.ScanCount() > 0 ? kExitOk : kExitTimeOut;
}

const Registrar registrar({Command{
    QStringLiteral("discover"),
    QStringLiteral("[--wait MS] [--raw]  list the controllers that answer a discovery scan"),
    QString::fromUtf8(kHelp),
    runDiscover,
}});

} // namespace
} // namespace cli
