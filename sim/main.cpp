// nodarix-sim: a Nodarix controller of either edition on TCP, for tests, demos and rehearsals
// without hardware. Command-line options are read here; SimMemory keeps the images and the state
// file, SimServer speaks the protocol.
#include "sim/ExtRecordText.h"
#include "sim/SimDiscovery.h"
#include "sim/SimFaults.h"
#include "sim/SimMemory.h"
#include "sim/SimServer.h"
#include "sim/SimWire.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSaveFile>
#include <QSocketNotifier>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRuntime = 1; // cannot listen
constexpr int kExitUsage = 2;   // bad option, bad seed image, bad state file

void printErr(const QString& text) {
    const QByteArray bytes = (QStringLiteral("nodarix-sim: ") + text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void printOut(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// A fixed-width text field of the version record: Latin-1, NUL-filled, refused when too long.
bool putField(QByteArray& record, int offset, int width, const QString& text, const QString& option,
              QString* error) {
    const bool latin1 = std::all_of(text.begin(), text.end(), [](QChar ch) { return ch.unicode() <= 0xFF; });
    if (!latin1 || text.size() > width) {
        *error =
            QStringLiteral("--%1 \"%2\": at most %3 single-byte characters").arg(option, text).arg(width);
        return false;
    }
    const QByteArray bytes = text.toLatin1();
    record.replace(offset, int(bytes.size()), bytes);
    return true;
}

// Self-pipe: the signal handler only writes a byte; the event loop does the rest.
int g_signalFds[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalFds[0], &byte, 1);
}

struct Options {
    QHostAddress bind;
    quint16 port = 7080;
    QByteArray versionRecord;
    QString statePath;
    std::vector<std::pair<sim::SeedKind, QString>> seeds;
    sim::ServerConfig server;
    bool dumpExt = false;
    std::vector<std::pair<sim::SeedKind, QString>> exports;
    bool discovery = false;
    quint16 discoveryPort = sim::kDiscoveryPort;
    sim::DiscoveryIdentity identity;
};

QString helpIntro() {
    return QStringLiteral(
        "Plays a Nodarix controller of either edition over TCP, for tests, demos and rehearsals without "
        "hardware.\n"
        "It answers the version, block read/write (QPA flash area, QPB settings and variables), settings "
        "write end,\nrestart, extension module and HTTP on/off exchanges from its own memory.\n\n"
        "On start it prints one line on stdout: \"nodarix-sim listening on ADDRESS:PORT\".\n"
        "Exit status: 0 after SIGINT/SIGTERM (state saved), 1 when it cannot listen, 2 for bad options,\n"
        "a bad seed image or a bad state file.\n\n"
        "Faults (--fault, one per run; modifiers may be added in the same or further --fault options,\n"
        "comma-separated):\n"
        "  silent            never answer (the client runs into its read time-out); nothing is stored\n"
        "  close-after=N     close the connection right after the Nth reply on it\n"
        "  wrong-address     block replies echo the address of a neighbouring block\n"
        "  wrong-length      replies carry one extra payload byte (length field agrees)\n"
        "  wrong-code        replies carry a wrong code (write end: 0xBC instead of 0xBE)\n"
        "  ack=N             extension module acknowledgement with result N (0 refused, 2 meaningless);\n"
        "                    the record is stored only when the result is 1\n"
        "  refuse            replies carry a refusal: extension module result 0, any other reply 0xFF\n"
        "                    in its argument byte\n"
        "  power-cut=N       store and answer N flash write blocks, then drop the connection at the next\n"
        "                    one without storing it; once per run, so a second upload completes\n"
        "  fault-after=N     answer the first N exchanges correctly, fault every later one (counted since\n"
        "                    start, over all connections)\n"
        "  fault-code=HEX    fault (and count) only requests with this code, e.g. fault-code=0xA0\n\n"
        "Memory: the flash area (524288 bytes; QPA settings at 0x600, QPA texts at 0x2900, flash uploads\n"
        "land there too), QPB settings (65536) and variables (16640), one extension module record per\n"
        "module, the HTTP flag. Everything starts zero-filled. Block addresses must be multiples of 256 "
        "inside\n"
        "the area; any other address makes the simulator close the connection without a reply.\n\n"
        "Discovery (--discovery): answers every discovery request on UDP port 7080, on all IPv4 addresses,\n"
        "with a 98-byte answer sent back to the asker only: version text, the first 4 characters of the\n"
        "build text, edition, serial number and language from the version record, flags 0, --mac, the\n"
        "netmask of the interface the request arrived on (255.255.255.0 when not known), gateway 0.0.0.0,\n"
        "--name, the number 0, the TCP port it listens on, the advertised address, name server 0.0.0.0.\n"
        "The advertised address is --advertise if given, else the --bind address, or, with --bind 0.0.0.0,\n"
        "the address of the interface the request arrived on. Since the simulator then answers anyone on\n"
        "the network, --discovery also needs --allow-non-loopback; run it inside a private network\n"
        "namespace.");
}

// Parses the command line; on failure returns the message for exit status 2.
std::optional<QString> parseOptions(const QStringList& arguments, Options& o) {
    QCommandLineParser p;
    p.setApplicationDescription(helpIntro());
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("TCP port (default 7080; 0 picks a free port)."),
                                  QStringLiteral("PORT"), QStringLiteral("7080"));
    const QCommandLineOption bind(QStringLiteral("bind"),
                                  QStringLiteral("Listen address (default 127.0.0.1)."),
                                  QStringLiteral("ADDRESS"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption allowNonLoopback(
        QStringLiteral("allow-non-loopback"),
        QStringLiteral("Allow --bind to a non-loopback address (the simulator would pose as a controller "
                       "to anyone on that network)."));
    const QCommandLineOption edition(QStringLiteral("edition"),
                                     QStringLiteral("Controller edition QPA or QPB (default QPA)."),
                                     QStringLiteral("QPA|QPB"), QStringLiteral("QPA"));
    const QCommandLineOption versionText(
        QStringLiteral("version-text"),
        QStringLiteral("Firmware version text, at most 6 characters (default V4.1.3)."),
        QStringLiteral("TEXT"), QStringLiteral("V4.1.3"));
    const QCommandLineOption pcb(QStringLiteral("pcb"), QStringLiteral("Board version letter (default D)."),
                                 QStringLiteral("LETTER"), QStringLiteral("D"));
    const QCommandLineOption jumper(
        QStringLiteral("jumper"),
        QStringLiteral("Programming jumper fitted (Switch byte 'e'; otherwise 0)."));
    const QCommandLineOption realization(
        QStringLiteral("realization"),
        QStringLiteral("Build text, at most 8 characters (default QPA1 or QPB1 by edition)."),
        QStringLiteral("TEXT"));
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral("Serial number text, at most 8 characters (default 00012345)."),
        QStringLiteral("TEXT"), QStringLiteral("00012345"));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Controller language PL, EN or IT (default PL)."),
                                      QStringLiteral("PL|EN|IT"), QStringLiteral("PL"));
    const QCommandLineOption password(
        QStringLiteral("password"),
        QStringLiteral("Check the password hash of every request; requests with another hash are dropped "
                       "without a reply (the connection stays open). Without it every hash is accepted."),
        QStringLiteral("TEXT"));
    const QCommandLineOption state(
        QStringLiteral("state"),
        QStringLiteral("State file: loaded at start if it exists (a bad one is an error), created otherwise, "
                       "and saved atomically after changes."),
        QStringLiteral("FILE"));
    const QCommandLineOption seed(
        QStringLiteral("seed"),
        QStringLiteral(
            "Preload a raw image after loading the state (repeatable). KIND: qpa-settings (8192 bytes), "
            "qpa-texts (32768), qpb-settings (65536), qpb-vars (16640), flash (524288)."),
        QStringLiteral("KIND=FILE"));
    const QCommandLineOption fault(QStringLiteral("fault"), QStringLiteral("Inject a fault (see above)."),
                                   QStringLiteral("NAME[=N]"));
    const QCommandLineOption restartMs(
        QStringLiteral("restart-ms"),
        QStringLiteral("After a restart request, refuse connections for this long (default 3000)."),
        QStringLiteral("MS"), QStringLiteral("3000"));
    const QCommandLineOption log(
        QStringLiteral("log"),
        QStringLiteral("Print one line per exchange on stderr (code, address, outcome)."));
    const QCommandLineOption showExt(
        QStringLiteral("show-ext"),
        QStringLiteral("Print each extension module record on stderr as it arrives (and those already "
                       "stored, at start)."));
    const QCommandLineOption dumpExt(
        QStringLiteral("dump-ext"),
        QStringLiteral("Print the extension module records stored in --state on stdout and exit."));
    const QCommandLineOption exportImage(
        QStringLiteral("export"),
        QStringLiteral(
            "Write an image from --state to a raw file and exit (repeatable); KIND as for --seed."),
        QStringLiteral("KIND=FILE"));
    const QCommandLineOption discovery(
        QStringLiteral("discovery"),
        QStringLiteral("Answer discovery requests on UDP port 7080 (see above; needs --allow-non-loopback)."));
    const QCommandLineOption discoveryPort(
        QStringLiteral("discovery-port"),
        QStringLiteral("UDP port for --discovery (default 7080; 0 picks a free port, for tests)."),
        QStringLiteral("PORT"), QStringLiteral("7080"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("Controller name in discovery answers, at most 16 characters "
                                                 "(default nodarix-sim)."),
                                  QStringLiteral("TEXT"), QStringLiteral("nodarix-sim"));
    const QCommandLineOption mac(
        QStringLiteral("mac"),
        QStringLiteral("MAC address in discovery answers (default 02-00-00-00-00-01)."),
        QStringLiteral("XX-XX-XX-XX-XX-XX"), QStringLiteral("02-00-00-00-00-01"));
    const QCommandLineOption advertise(
        QStringLiteral("advertise"),
        QStringLiteral("IPv4 address that discovery answers give (default: see above)."),
        QStringLiteral("ADDRESS"));
    p.addOptions({help,   port,        bind,   allowNonLoopback, edition,  versionText, pcb,
                  jumper, realization, serial, language,         password, state,       seed,
                  fault,  restartMs,   log,    showExt,          dumpExt,  exportImage, discovery,
                  discoveryPort, name, mac, advertise});

    if (!p.parse(arguments))
        return p.errorText();
    if (p.isSet(help)) {
        printOut(p.helpText());
        std::exit(kExitOk);
    }
    if (!p.positionalArguments().isEmpty())
        return QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments().first());

    bool ok = false;
    const uint portValue = p.value(port).toUInt(&ok, 10);
    if (!ok || portValue > 65535)
        return QStringLiteral("--port \"%1\": expected a number from 0 to 65535").arg(p.value(port));
    o.port = quint16(portValue);

    QString bindText = p.value(bind);
    if (bindText == QLatin1String("localhost"))
        bindText = QStringLiteral("127.0.0.1");
    if (!o.bind.setAddress(bindText))
        return QStringLiteral("--bind \"%1\": not an IP address").arg(p.value(bind));
    if (!o.bind.isLoopback() && !p.isSet(allowNonLoopback))
        return QStringLiteral(
                   "--bind %1: not a loopback address. The simulator answers anyone who reaches it "
                   "and would pose as a controller on a shared network; add --allow-non-loopback "
                   "if that is really wanted.")
            .arg(bindText);

    const QString editionText = p.value(edition).toUpper();
    if (editionText != QLatin1String("QPA") && editionText != QLatin1String("QPB"))
        return QStringLiteral("--edition \"%1\": expected QPA or QPB").arg(p.value(edition));
    const QString languageText = p.value(language).toUpper();
    if (languageText != QLatin1String("PL") && languageText != QLatin1String("EN") &&
        languageText != QLatin1String("IT"))
        return QStringLiteral("--language \"%1\": expected PL, EN or IT").arg(p.value(language));
    if (p.value(pcb).size() != 1)
        return QStringLiteral("--pcb \"%1\": expected one letter").arg(p.value(pcb));

    // Version record: Version 6, PCB 1, Switch 1, Realization 8, Serial 8, Langue 2, FabSet 6, FabMac 6.
    QByteArray record(sim::kVersionRecordSize, '\0');
    QString error;
    const QString realizationText =
        p.isSet(realization) ? p.value(realization) : editionText + QLatin1Char('1');
    if (!putField(record, 0, 6, p.value(versionText), QStringLiteral("version-text"), &error) ||
        !putField(record, 6, 1, p.value(pcb), QStringLiteral("pcb"), &error) ||
        !putField(record, 8, 8, realizationText, QStringLiteral("realization"), &error) ||
        !putField(record, 16, 8, p.value(serial), QStringLiteral("serial"), &error) ||
        !putField(record, 24, 2, languageText, QStringLiteral("language"), &error))
        return error;
    if (p.isSet(jumper))
        record[7] = 'e';
    o.server.versionRecord = record;

    o.discovery = p.isSet(discovery);
    const uint discoveryPortValue = p.value(discoveryPort).toUInt(&ok, 10);
    if (!ok || discoveryPortValue > 65535)
        return QStringLiteral("--discovery-port \"%1\": expected a number from 0 to 65535")
            .arg(p.value(discoveryPort));
    o.discoveryPort = quint16(discoveryPortValue);
    if (o.discovery && !p.isSet(allowNonLoopback))
        return QStringLiteral("--discovery answers anyone on the network and would pose as a controller there; "
                              "add --allow-non-loopback if that is really wanted");
    // The answer repeats the version record's fields, so it agrees with what the version query says.
    o.identity.versionText = record.mid(0, 6);
    o.identity.realization = record.mid(8, 4);
    o.identity.edition = editionText.toLatin1();
    o.identity.serial = record.mid(16, 8);
    o.identity.language = record.mid(24, 2);
    QByteArray nameRecord(16, '\0');
    if (!putField(nameRecord, 0, 16, p.value(name), QStringLiteral("name"), &error))
        return error;
    o.identity.name = nameRecord;
    const auto macBytes = sim::parseMac(p.value(mac));
    if (!macBytes)
        return QStringLiteral("--mac \"%1\": expected six hexadecimal bytes such as 02-00-00-00-00-01")
            .arg(p.value(mac));
    o.identity.mac = *macBytes;
    if (p.isSet(advertise)) {
        const QHostAddress address(p.value(advertise));
        if (address.protocol() != QAbstractSocket::IPv4Protocol)
            return QStringLiteral("--advertise \"%1\": not an IPv4 address").arg(p.value(advertise));
        o.identity.advertised = address;
    }

    if (p.isSet(password))
        o.server.passwordHash = sim::passwordHash(p.value(password));

    for (const QString& f : p.values(fault)) {
        if (!o.server.faults.parse(f, &error))
            return QStringLiteral("--fault \"%1\": %2").arg(f, error);
    }
    if (o.server.faults.fault == sim::Fault::None &&
        (o.server.faults.after > 0 || o.server.faults.onlyCode >= 0))
        return QStringLiteral("--fault: fault-after and fault-code need a fault to go with them");

    const int restart = p.value(restartMs).toInt(&ok, 10);
    if (!ok || restart < 0 || restart > 600000)
        return QStringLiteral("--restart-ms \"%1\": expected a number of milliseconds from 0 to 600000")
            .arg(p.value(restartMs));
    o.server.restartMs = restart;

    const auto kindAndFile =
        [](const QString& option, const QString& text,
           std::vector<std::pair<sim::SeedKind, QString>>& into) -> std::optional<QString> {
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        const auto kind = eq > 0 ? sim::SimMemory::seedKindFromName(text.left(eq)) : std::nullopt;
        if (!kind || eq + 1 >= text.size())
            return QStringLiteral("--%1 \"%2\": expected KIND=FILE with KIND one of qpa-settings, qpa-texts, "
                                  "qpb-settings, qpb-vars, flash")
                .arg(option, text);
        into.emplace_back(*kind, text.mid(eq + 1));
        return std::nullopt;
    };
    for (const QString& s : p.values(seed)) {
        if (auto e = kindAndFile(QStringLiteral("seed"), s, o.seeds))
            return e;
    }
    for (const QString& s : p.values(exportImage)) {
        if (auto e = kindAndFile(QStringLiteral("export"), s, o.exports))
            return e;
    }

    o.statePath = p.value(state);
    o.server.statePath = o.statePath;
    o.server.logExchanges = p.isSet(log);
    o.server.showExt = p.isSet(showExt);
    o.dumpExt = p.isSet(dumpExt);
    if ((o.dumpExt || !o.exports.empty()) && o.statePath.isEmpty())
        return QStringLiteral("--dump-ext and --export need --state FILE");
    return std::nullopt;
}

// Loads the state file and the seed images; on failure returns the message for exit status 2.
std::optional<QString> prepareMemory(const Options& o, sim::SimMemory& memory, bool* changed) {
    *changed = false;
    QString error;
    if (!o.statePath.isEmpty()) {
        if (QFileInfo::exists(o.statePath)) {
            if (!memory.load(o.statePath, &error))
                return QStringLiteral("state file %1: %2").arg(o.statePath, error);
        } else {
            *changed = true;
        }
    }
    for (const auto& [kind, path] : o.seeds) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("seed %1: cannot open: %2").arg(path, file.errorString());
        // Never more than the largest image plus one byte, so a wrong file cannot eat the memory.
        const QByteArray image = file.read(sim::SimMemory::kFlashSize + 1);
        if (!memory.seed(kind, image, &error))
            return QStringLiteral("seed %1: %2").arg(path, error);
        *changed = true;
    }
    return std::nullopt;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nodarix-sim"));

    Options options;
    if (const auto error = parseOptions(QCoreApplication::arguments(), options)) {
        printErr(*error);
        printErr(QStringLiteral("try --help"));
        return kExitUsage;
    }

    sim::SimMemory memory;
    bool changed = false;
    if (const auto error = prepareMemory(options, memory, &changed)) {
        printErr(*error);
        return kExitUsage;
    }

    for (const auto& [kind, path] : options.exports) {
        QSaveFile file(path);
        const QByteArray image = memory.image(kind);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit()) {
            printErr(QStringLiteral("export %1: %2").arg(path, file.errorString()));
            return kExitRuntime;
        }
    }
    if (!options.exports.empty() && !options.dumpExt)
        return kExitOk;
    if (options.dumpExt) {
        for (int m = 0; m < sim::kModuleCount; ++m) {
            const auto& record = memory.extRecord(m);
            printOut(record ? sim::describeExtRecord(m, *record)
                            : QStringLiteral("extension module %1: no record received\n").arg(m));
        }
        return kExitOk;
    }

    if (changed && !options.statePath.isEmpty()) {
        QString error;
        if (!memory.save(options.statePath, &error)) {
            printErr(QStringLiteral("cannot write state file %1: %2").arg(options.statePath, error));
            return kExitUsage;
        }
    }
    if (options.server.showExt) {
        for (int m = 0; m < sim::kModuleCount; ++m) {
            if (const auto& record = memory.extRecord(m))
                printErr(QStringLiteral("stored record:\n") + sim::describeExtRecord(m, *record));
        }
    }

    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0) {
        printErr(QStringLiteral("cannot set up signal handling"));
        return kExitRuntime;
    }
    QSocketNotifier signalNotifier(g_signalFds[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sim::SimServer server(memory, options.server);
    QString error;
    if (!server.listen(options.bind, options.port, &error)) {
        printErr(QStringLiteral("cannot listen on %1 port %2: %3")
                     .arg(options.bind.toString())
                     .arg(options.port)
                     .arg(error));
        return kExitRuntime;
    }
    const QString host = options.bind.protocol() == QAbstractSocket::IPv6Protocol
                             ? QStringLiteral("[%1]").arg(options.bind.toString())
                             : options.bind.toString();
    printOut(QStringLiteral("nodarix-sim listening on %1:%2\n").arg(host).arg(server.port()));
    if (options.server.faults.fault != sim::Fault::None)
        printErr(QStringLiteral("fault: %1").arg(options.server.faults.describe()));
    std::optional<sim::SimDiscovery> discovery;
    if (options.discovery) {
        options.identity.tcpPort = server.port();
        discovery.emplace(options.identity, options.bind);
        if (!discovery->start(options.discoveryPort, &error)) {
            printErr(QStringLiteral("cannot answer discovery on UDP port %1: %2").arg(options.discoveryPort).arg(error));
            server.shutdown();
            return kExitRuntime;
        }
        printErr(QStringLiteral("answering discovery on UDP port %1").arg(discovery->port()));
    }

    const int status = QCoreApplication::exec();
    server.shutdown();
    return status;
}
