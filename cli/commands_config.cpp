// "config": offline conversion and checking of configuration images and texts, with the same
// routines the windows use, so that installers can convert and check backups without a controller.
#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "cli/ConfigImport.h"
#include "cli/ConfigTools.h"
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/Records.h"

#include <QFile>
#include <cstdio>
#include <cstring>
#include <memory>

namespace cli {
namespace {

const char kHelp[] =
    "Usage:\n"
    "  nodarix-cli config to-text --edition qpa|qpb --version TEXT --pcb LETTER [--only-configured]\n"
    "                             --settings FILE --companion FILE [-o OUT]\n"
    "  nodarix-cli config from-text --edition qpa|qpb [--auto-place]\n"
    "                             [--keep-current --settings FILE --companion FILE] IN\n"
    "                             [--settings-out FILE] [--companion-out FILE] [--write-partial]\n"
    "  nodarix-cli config check --edition qpa|qpb IN\n"
    "  nodarix-cli config diff [--edition qpa|qpb] A B\n"
    "  nodarix-cli config graph [--edition qpa|qpb] IN -o OUT.svg|OUT.dot\n"
    "\n"
    "to-text    turns raw images into the configuration text (CR LF line ends), on stdout or into OUT.\n"
    "           QPA: settings 8192 bytes, companion (text variables) 32768 bytes;\n"
    "           QPB: settings 65536 bytes, companion (variables) 16640 bytes.\n"
    "from-text  reads a configuration text into images: from the cleared state, or with --keep-current\n"
    "           added to the given images (their circuits are numbered first by a round trip through\n"
    "           text, as the settings window does; --version/--pcb choose its numbering, default\n"
    "           V4.1.0 and C; refused with status 6 when that text would leave their logic out).\n"
    "           Writes the images asked for when the read succeeds; with --write-partial\n"
    "           also after a failed read (they then hold the part read before the failing line).\n"
    "check      the same read without output files.\n"
    "diff       reads both texts and lists what differs: settings, circuits (matched by name, so\n"
    "           renumbering alone is no difference), logic instances (by kind and instance, not by\n"
    "           cell number), texts and numbers. Exit 0 equal, 1 different, 6 a text is rejected.\n"
    "graph      draws the logic: instances as boxes, circuits as named nodes, wires from outputs to\n"
    "           circuits to inputs; SVG laid out, or the graph in DOT for further editing.\n"
    "Without --edition, diff and graph take the edition from the text's #version line.\n"
    "\n"
    "Text files may have CR LF, LF or mixed line ends and a byte-order mark; without one they are UTF-8,\n"
    "or Windows-1250 when they are not valid UTF-8.\n"
    "Prints \"Konfiguracja OK.\" or the reader's message; on failure also IN:LINE: message on stderr.\n"
    "Exit status: 0 read succeeded, 6 the reader failed, 2 usage error or refused input,\n"
    "1 a file could not be read or written. to-text warns on stderr about every value the text cannot\n"
    "carry and exits 6 when it leaves logic out (no macro numbering for --version and --pcb, or\n"
    "kind codes outside it).\n";

struct Options {
    QString sub;
    QString edition;
    QString version;
    QString pcb;
    bool onlyConfigured = false;
    bool autoPlace = false;
    bool keepCurrent = false;
    bool writePartial = false;
    QString settings;
    QString companion;
    QString out;
    QString settingsOut;
    QString companionOut;
    QString in;
};

// Parses the sub-command and its options; prints the reason and returns false on a usage error.
bool parseOptions(const QStringList& args, Options& o) {
    if (args.isEmpty()) {
        printError(
            QStringLiteral(
                "nodarix-cli config: a sub-command is needed: to-text, from-text, check, import, diff or graph"));
        return false;
    }
    o.sub = args.first();
    if (o.sub != QLatin1String("to-text") && o.sub != QLatin1String("from-text") &&
        o.sub != QLatin1String("check")) {
        printError(QStringLiteral("nodarix-cli config: unknown sub-command \"%1\"").arg(o.sub));
        return false;
    }
    const struct {
        const char* name;
        QString Options::*field;
    } valued[] = {{"--edition", &Options::edition},
                  {"--version", &Options::version},
                  {"--pcb", &Options::pcb},
                  {"--settings", &Options::settings},
                  {"--companion", &Options::companion},
                  {"-o", &Options::out},
                  {"--settings-out", &Options::settingsOut},
                  {"--companion-out", &Options::companionOut}};
    const struct {
        const char* name;
        bool Options::*field;
    } flags[] = {{"--only-configured", &Options::onlyConfigured},
                 {"--auto-place", &Options::autoPlace},
                 {"--keep-current", &Options::keepCurrent},
                 {"--write-partial", &Options::writePartial}};
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args.at(i);
        bool known = false;
        for (const auto& v : valued) {
            if (a == QLatin1String(v.name)) {
                if (i + 1 >= args.size()) {
                    printError(QStringLiteral("nodarix-cli config: option %1 needs a value").arg(a));
                    return false;
                }
                o.*(v.field) = args.at(++i);
                known = true;
            }
        }
        for (const auto& f : flags) {
            if (a == QLatin1String(f.name)) {
                o.*(f.field) = true;
                known = true;
            }
        }
        if (known)
            continue;
        if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            printError(QStringLiteral("nodarix-cli config: unknown option %1").arg(a));
            return false;
        }
        if (!o.in.isEmpty()) {
            printError(QStringLiteral("nodarix-cli config: more than one input file (%1, %2)").arg(o.in, a));
            return false;
        }
        o.in = a;
    }
    o.edition = o.edition.toLower();
    if (o.edition != QLatin1String("qpa") && o.edition != QLatin1String("qpb")) {
        printError(QStringLiteral("nodarix-cli config: --edition must be qpa or qpb"));
        return false;
    }
    if (!o.pcb.isEmpty() &&
        (o.pcb.size() != 1 || o.pcb.at(0).unicode() < 0x21 || o.pcb.at(0).unicode() > 0x7E)) {
        printError(QStringLiteral("nodarix-cli config: --pcb must be one letter"));
        return false;
    }
    for (QChar c : o.version) {
        if (c.unicode() < 0x20 || c.unicode() > 0x7E) {
            printError(QStringLiteral("nodarix-cli config: --version must be printable ASCII"));
            return false;
        }
    }
    if (o.sub == QLatin1String("to-text")) {
        if (o.version.isEmpty() || o.pcb.isEmpty() || o.settings.isEmpty() || o.companion.isEmpty() ||
            !o.in.isEmpty()) {
            printError(QStringLiteral("nodarix-cli config to-text: needs --version, --pcb, --settings and "
                                      "--companion, and no input text"));
            return false;
        }
    } else {
        if (o.in.isEmpty()) {
            printError(QStringLiteral("nodarix-cli config %1: the input text file is missing").arg(o.sub));
            return false;
        }
        if (o.keepCurrent != (!o.settings.isEmpty() || !o.companion.isEmpty()) ||
            (o.keepCurrent && (o.settings.isEmpty() || o.companion.isEmpty()))) {
            printError(QStringLiteral(
                           "nodarix-cli config %1: --keep-current goes with both --settings and --companion")
                           .arg(o.sub));
            return false;
        }
        if (o.sub == QLatin1String("check") &&
            (!o.settingsOut.isEmpty() || !o.companionOut.isEmpty() || o.writePartial)) {
            printError(QStringLiteral("nodarix-cli config check: writes no files; use from-text"));
            return false;
        }
    }
    return true;
}

// Reads a raw image of exactly the record's size into it.
template <class Record> int loadImage(const QString& path, Record& record, const char* what) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("nodarix-cli config: cannot read %1: %2").arg(path, f.errorString()));
        return kExitFailure;
    }
    const QByteArray bytes = f.read(static_cast<qint64>(sizeof(Record)) + 1);
    if (bytes.size() != static_cast<qsizetype>(sizeof(Record))) {
        printError(QStringLiteral("nodarix-cli config: %1 holds %2 bytes; a %3 image has exactly %4")
                       .arg(path)
                       .arg(f.size())
                       .arg(QLatin1String(what))
                       .arg(sizeof(Record)));
        return kExitUsage;
    }
    std::memcpy(&record, bytes.constData(), sizeof(Record));
    return kExitOk;
}

template <class Record> bool saveImage(const QString& path, const Record& record) {
    return path.isEmpty() || writeFile(path, QByteArray(reinterpret_cast<const char*>(&record),
                                                        static_cast<qsizetype>(sizeof record)));
}

struct Qpa {
    using Config = TNodarixQPAConfig;
    using Companion = TNodarixQPAText;
    static constexpr const char* kConfigName = "QPA settings";
    static constexpr const char* kCompanionName = "QPA text";
    static QString toText(const QString& v, QChar pcb, const Config& c, bool only, const Companion& t) {
        return ConfigQPAToText(v, pcb, c, only, t);
    }
    static ConfigTextLossReport losses(const QString& v, QChar pcb, const Config& c) {
        return ConfigQPATextLossReport(v, pcb, c);
    }
    static bool read(QString& text, std::uint8_t& autoPlace, bool keep, TACircuitRemap& a, TDCircuitRemap& d,
                     Companion& t, Config& c) {
        return ReadConfigTextQPA(text, autoPlace, keep, a, d, t, c);
    }
};

struct Qpb {
    using Config = TNodarixQPBConfig;
    using Companion = TNodarixQPBVars;
    static constexpr const char* kConfigName = "QPB settings";
    static constexpr const char* kCompanionName = "QPB variables";
    static QString toText(const QString& v, QChar pcb, const Config& c, bool only, const Companion& t) {
        return ConfigQPBToText(v, pcb, c, only, t);
    }
    static ConfigTextLossReport losses(const QString& v, QChar pcb, const Config& c) {
        return ConfigQPBTextLossReport(v, pcb, c);
    }
    static bool read(QString& text, std::uint8_t& autoPlace, bool keep, TACircuitRemap& a, TDCircuitRemap& d,
                     Companion& t, Config& c) {
        return ReadConfigTextQPB(text, autoPlace, keep, a, d, t, c);
    }
};

template <class E> struct Held {
    std::unique_ptr<typename E::Config> config = std::make_unique<typename E::Config>();
    std::unique_ptr<typename E::Companion> companion = std::make_unique<typename E::Companion>();
    TACircuitRemap analog{};
    TDCircuitRemap digital{};
    Held() { ClearConfiguration(*config, *companion, analog, digital); }
};

template <class E> int loadImages(const Options& o, Held<E>& held) {
    if (int rc = loadImage(o.settings, *held.config, E::kConfigName); rc != kExitOk)
        return rc;
    return loadImage(o.companion, *held.companion, E::kCompanionName);
}

template <class E> int toText(const Options& o) {
    Held<E> held;
    if (int rc = loadImages(o, held); rc != kExitOk)
        return rc;
    const QString text = E::toText(o.version, o.pcb.at(0), *held.config, o.onlyConfigured, *held.companion);
    // The text is still written, but a text that leaves logic out must not pass for a backup.
    const ConfigTextLossReport losses = E::losses(o.version, o.pcb.at(0), *held.config);
    for (const QString& loss : losses.all())
        printError(QStringLiteral("warning: ") + loss);
    const int rc = losses.logic.isEmpty() ? kExitOk : kExitConfig;
    const QByteArray bytes = text.toUtf8();
    if (o.out.isEmpty()) {
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
        std::fflush(stdout);
        return rc;
    }
    return writeFile(o.out, bytes) ? rc : kExitFailure;
}

template <class E> int fromText(const Options& o) {
    int rc = kExitOk;
    const std::optional<QString> text = readConfigTextFile(o.in, rc);
    if (!text)
        return rc;
    Held<E> held;
    std::uint8_t autoPlace = o.autoPlace ? 1 : 0;
    if (o.keepCurrent) {
        if ((rc = loadImages(o, held)) != kExitOk)
            return rc;
        // The remap tables of loaded images are not kept anywhere: rebuild them, as the settings
        // window does after a controller read, by a round trip through text. Only configured
        // content, so that no empty-cell line switches the logic to automatic placement and
        // every cell keeps its number.
        const QString version = o.version.isEmpty() ? QStringLiteral("V4.1.0") : o.version;
        const QChar pcb = o.pcb.isEmpty() ? QLatin1Char('C') : o.pcb.at(0);
        // A round trip that leaves logic out would hand back images without it.
        const ConfigTextLossReport losses = E::losses(version, pcb, *held.config);
        if (!losses.logic.isEmpty()) {
            for (const QString& loss : losses.logic)
                printError(QStringLiteral("%1: %2").arg(o.settings, loss));
            return kExitConfig;
        }
        QString base = E::toText(version, pcb, *held.config, true, *held.companion);
        std::uint8_t baseAutoPlace = 0;
        if (!E::read(base, baseAutoPlace, false, held.analog, held.digital, *held.companion, *held.config)) {
            const QString message = ConfigErrorText();
            printOut(message + QLatin1Char('\n'));
            printError(QStringLiteral("%1: the given images do not read back: %2").arg(o.settings, message));
            return kExitConfig;
        }
    }
    QString rest = *text;
    const bool ok =
        E::read(rest, autoPlace, o.keepCurrent, held.analog, held.digital, *held.companion, *held.config);
    if (ok) {
        printOut(QStringLiteral("Konfiguracja OK.\n"));
    } else {
        const QString message = ConfigErrorText();
        printOut(message + QLatin1Char('\n'));
        printError(
            QStringLiteral("%1:%2: %3").arg(o.in).arg(FailedLineNumber(*text, rest.size())).arg(message));
    }
    if (ok || o.writePartial) {
        if (!saveImage(o.settingsOut, *held.config) || !saveImage(o.companionOut, *held.companion))
            return kExitFailure;
    }
    return ok ? kExitOk : kExitConfig;
}

int runConfig(const QStringList& args, const GlobalOptions&) {
    if (!args.isEmpty() && args.first() == QLatin1String("import"))
        return runConfigImport(args.mid(1));
    if (!args.isEmpty() && args.first() == QLatin1String("diff"))
        return runConfigDiff(args.mid(1));
    if (!args.isEmpty() && args.first() == QLatin1String("graph"))
        return runConfigGraph(args.mid(1));
    Options o;
    if (!parseOptions(args, o))
        return kExitUsage;
    const bool qpa = o.edition == QLatin1String("qpa");
    if (o.sub == QLatin1String("to-text"))
        return qpa ? toText<Qpa>(o) : toText<Qpb>(o);
    return qpa ? fromText<Qpa>(o) : fromText<Qpb>(o);
}

const Registrar registrar({Command{
    QStringLiteral("config"),
    QStringLiteral("to-text|from-text|check|import|diff|graph ...  convert, compare and draw configurations offline"),
    QString::fromUtf8(kHelp) + QStringLiteral("\n") + QString::fromUtf8(kConfigImportHelp),
    runConfig,
}});

} // namespace
} // namespace cli
