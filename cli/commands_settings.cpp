// "backup" and "restore": the settings window's read and write chains from the command line, for
// scripted backups of a controller's whole configuration and for putting one back.
#include "cli/ChainRunner.h"
#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "cli/ControllerText.h"
#include "cli/SettingsBackup.h"
#include "config/ConfigTextFile.h"
#include "workflows/Recognition.h"
#include "workflows/SettingsChains.h"
#include "workflows/SettingsImages.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>
#include <memory>

namespace cli {
namespace {

const char kBackupHelp[] =
    "Usage: nodarix-cli [global options] backup -o FILE.ndrx [--all-cells] [--images DIR]\n"
    "       nodarix-cli [global options] backup --all [--wait MS] -o DIR [--all-cells]\n"
    "       nodarix-cli [global options] backup --hosts FILE -o DIR [--all-cells]\n"
    "\n"
    "Reads the controller's whole configuration as the settings window does (version, edition from\n"
    "its build text, settings image, texts (QPA) or variables (QPB)), writes it as configuration text\n"
    "(UTF-8, CR LF) and reads the text back. Prints \"Konfiguracja OK.\" or the reader's message.\n"
    "Progress and status texts go to stderr.\n"
    "\n"
    "  -o FILE        the text file to write (also written when the read-back fails)\n"
    "  --all-cells    write everything, also unconfigured circuits, texts and empty cells\n"
    "  --images DIR   also write the raw images as read: settings.bin and texts.bin (QPA)\n"
    "                 or settings.bin and vars.bin (QPB)\n"
    "\n"
    "Exit status: 0 done; 6 the text does not read back, or it cannot carry the whole configuration\n"
    "(a warning names what is missing; the file is written all the same); 1 a file cannot be written;\n"
    "2 usage error; 3, 4, 5 the controller did not answer, answered what was not understood, or\n"
    "refused (4 also for a controller of neither edition).\n"
    "\n"
    "Many controllers at once: --all backs up every controller that answers a discovery scan (as\n"
    "\"discover\" does, listening MS milliseconds, default 2000); --hosts FILE every controller of a\n"
    "list, one ADDRESS[:PORT] a line (an IPv4 address in full dotted form or a host name; the port\n"
    "defaults to --port; blank lines and lines starting with # are skipped; a bad or repeated line is\n"
    "refused with exit 2 before anything is sent, an unreadable list with exit 1). All are read in\n"
    "parallel into DIR/SERIAL.ndrx, with the raw images in DIR/SERIAL/ (SERIAL is the serial number\n"
    "of the controller's version record; characters other than letters, digits, - and _ become _,\n"
    "and a serial met twice gets -2, -3, ...). Status texts go to stderr, each line led by the\n"
    "controller's ADDRESS:PORT; stdout gets one line per controller as it ends:\n"
    "ADDRESS:PORT<TAB>SERIAL<TAB>EXIT<TAB>TEXT, and a summary. A controller that fails does not\n"
    "stop the others.\n"
    "Exit status: 0 when every controller was backed up; otherwise the highest exit status of any\n"
    "single controller (as above: 1, 3, 4, 5 or 6); 3 when --all finds no controller.\n";

const char kRestoreHelp[] =
    "Usage: nodarix-cli [global options] restore FILE.ndrx [--append] [--verify]\n"
    "       nodarix-cli [global options] restore --images DIR [--verify]\n"
    "\n"
    "Recognises the controller's edition, reads the text file as the settings window's \"Odczytaj\n"
    "konfigurację z pliku\" does and writes the configuration into the controller. Nothing is\n"
    "written when the text does not read. Progress and status texts go to stderr.\n"
    "\n"
    "  --append   read the controller's configuration first and add the file to it, as \"Dołącz\n"
    "             konfigurację z pliku\" does (the file's settings section is not read)\n"
    "  --verify   afterwards read both images back and compare them with what was written\n"
    "  --images DIR  write the raw images of DIR instead of a text, byte for byte: settings.bin with\n"
    "             texts.bin (QPA) or vars.bin (QPB), as backup --images and the update's backup\n"
    "             folder hold them; the controller's edition chooses which, and the sizes must match\n"
    "\n"
    "Text files may have CR LF, LF or mixed line ends and a byte-order mark; without one they are\n"
    "UTF-8, or Windows-1250 when they are not valid UTF-8.\n"
    "Exit status: 0 done; 6 the text does not read (nothing was written); 8 the controller holds other\n"
    "bytes than were written (names the image and the first differing offset); 1 the file cannot be\n"
    "read; 2 usage error or a file that breaks the encoding its byte-order mark names; 3, 4, 5 as for\n"
    "backup.\n";

int runBackup(const QStringList& args, const GlobalOptions& options) {
    const auto p = parse(QStringLiteral("backup"), args, {QStringLiteral("--all-cells"), QStringLiteral("--all")},
                         {QStringLiteral("-o"), QStringLiteral("--images"), QStringLiteral("--hosts"),
                          QStringLiteral("--wait")},
                         0);
    if (!p)
        return kExitUsage;
    if (p->flags.contains(QStringLiteral("--all")) || p->values.contains(QStringLiteral("--hosts")) ||
        p->values.contains(QStringLiteral("--wait")))
        return runFleetBackup(*p, options);
    const QString out = p->values.value(QStringLiteral("-o"));
    const QString imagesDir = p->values.value(QStringLiteral("--images"));
    if (out.isEmpty()) {
        printError(QStringLiteral("nodarix-cli backup: -o FILE is needed"));
        return kExitUsage;
    }
    if (!imagesDir.isEmpty() && !QDir().mkpath(imagesDir)) {
        printError(QStringLiteral("nodarix-cli backup: cannot create the folder %1").arg(imagesDir));
        return kExitFailure;
    }

    ChainTarget target(options);
    TNodarixVersion version{};
    auto images = std::make_unique<TSettingsImages>();
    ConfigurationRead reading(version, *images);
    const TChainEnd end = reading.run(target.link(), !p->flags.contains(QStringLiteral("--all-cells")));
    if (end != TChainEnd::Done && end != TChainEnd::Rejected)
        return exitCode(end);
    const BackupFiles written = writeBackup(reading, *images, out, imagesDir);
    if (!written.status.isEmpty())
        printOut(written.status + QLatin1Char('\n'));
    for (const QString& error : written.errors)
        printError(QStringLiteral("nodarix-cli backup: %1").arg(error));
    return written.exitCode;
}

// The raw images of a backup folder, checked before anything is sent; which pair is written is
// chosen by the controller's edition once it is known.
struct RawImagesOnDisk {
    QString settings, texts, vars; // paths of the files that exist

    bool fill(TSettingsImages& images, int edition, const QString& dir) const {
        const bool qpb = edition == kEditionQPB;
        const QString& companion = qpb ? vars : texts;
        if (companion.isEmpty()) {
            printError(QStringLiteral("nodarix-cli restore: the controller is %1, but %2 holds no %3")
                           .arg(qpb ? QStringLiteral("QPB") : QStringLiteral("QPA"), dir,
                                qpb ? QStringLiteral("vars.bin") : QStringLiteral("texts.bin")));
            return false;
        }
        QByteArray s, c;
        auto into = [](const QByteArray& bytes, auto& record) { std::memcpy(&record, bytes.constData(), sizeof record); };
        if (qpb) {
            if (!readExactFile(settings, sizeof images.NodarixQPBConfig, s) ||
                !readExactFile(companion, sizeof images.NodarixQPBVars, c))
                return false;
            into(s, images.NodarixQPBConfig);
            into(c, images.NodarixQPBVars);
        } else {
            if (!readExactFile(settings, sizeof images.NodarixQPAConfig, s) ||
                !readExactFile(companion, sizeof images.NodarixQPAText, c))
                return false;
            into(s, images.NodarixQPAConfig);
            into(c, images.NodarixQPAText);
        }
        return true;
    }
};

std::optional<RawImagesOnDisk> rawImagesOnDisk(const QString& dirPath) {
    const QDir dir(dirPath);
    RawImagesOnDisk raw;
    auto existing = [&dir](const char* name) {
        const QString path = dir.filePath(QLatin1String(name));
        return QFileInfo(path).isFile() ? path : QString();
    };
    raw.settings = existing("settings.bin");
    raw.texts = existing("texts.bin");
    raw.vars = existing("vars.bin");
    if (raw.settings.isEmpty() || (raw.texts.isEmpty() && raw.vars.isEmpty())) {
        printError(QStringLiteral("nodarix-cli restore: %1 must hold settings.bin and texts.bin or vars.bin")
                       .arg(dirPath));
        return std::nullopt;
    }
    return raw;
}

// The first offset where two images differ, or -1.
qsizetype firstDifference(const QByteArray& a, const QByteArray& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i)
        if (a.at(i) != b.at(i))
            return i;
    return a.size() == b.size() ? -1 : n;
}

int runRestore(const QStringList& args, const GlobalOptions& options) {
    const auto p = parse(QStringLiteral("restore"), args, {QStringLiteral("--append"), QStringLiteral("--verify")},
                         {QStringLiteral("--images")}, 1);
    if (!p)
        return kExitUsage;
    const QString imagesDir = p->values.value(QStringLiteral("--images"));
    const bool append = p->flags.contains(QStringLiteral("--append"));
    if (imagesDir.isEmpty() == p->positional.isEmpty() || (!imagesDir.isEmpty() && append)) {
        printError(QStringLiteral("nodarix-cli restore: give either a text file (with --append if wanted) or "
                                  "--images DIR"));
        return kExitUsage;
    }
    const QString in = imagesDir.isEmpty() ? p->positional.first() : imagesDir;
    std::optional<QString> text;
    std::optional<RawImagesOnDisk> raw;
    if (imagesDir.isEmpty()) {
        const TConfigTextLoad load = LoadConfigTextFile(in);
        if (!load.Text) {
            printError(QStringLiteral("nodarix-cli restore: cannot read %1").arg(load.Error));
            return load.CannotOpen ? kExitFailure : kExitUsage;
        }
        text = load.Text;
    } else if (!(raw = rawImagesOnDisk(imagesDir))) {
        return kExitUsage;
    }

    ChainTarget target(options);
    TNodarixVersion version{};
    TRecognitionChain recognition(version);
    if (const auto end = runChain(recognition, [&] {
            recognition.Start(target.link());
            return true;
        });
        *end != TChainEnd::Done)
        return exitCode(*end);
    const int edition = EditionOf(version);

    auto images = std::make_unique<TSettingsImages>();
    if (append) {
        ConfigurationRead reading(version, *images);
        if (const TChainEnd end = reading.run(target.link(), true); end != TChainEnd::Done)
            return exitCode(end);
    }
    if (raw) {
        if (!raw->fill(*images, edition, in))
            return kExitUsage;
    } else {
        const TTextRead read = TextToImages(*images, edition, *text, append);
        printOut(read.Status + QLatin1Char('\n'));
        if (!read.Ok) {
            printError(QStringLiteral("%1:%2: %3").arg(in).arg(read.FailedLine).arg(read.Status));
            return kExitConfig;
        }
    }

    const RawImages sent = rawImages(*images, edition);
    TSettingsWriteChain write(*images);
    if (const auto end = runChain(write, [&] { return write.Start(target.link(), edition); });
        !end || *end != TChainEnd::Done)
        return end ? exitCode(*end) : kExitFailure;
    if (!p->flags.contains(QStringLiteral("--verify")))
        return kExitOk;

    auto check = std::make_unique<TSettingsImages>();
    ConfigurationRead reading(version, *check);
    if (const TChainEnd end = reading.run(target.link(), true); end != TChainEnd::Done && end != TChainEnd::Rejected)
        return exitCode(end);
    const RawImages& held = reading.asRead;
    const struct {
        const char* name;
        const QByteArray& written;
        const QByteArray& read;
    } compared[] = {{"settings", sent.settings, held.settings},
                    {sent.companionName == QLatin1String("vars") ? "variables" : "texts", sent.companion,
                     held.companion}};
    for (const auto& c : compared) {
        if (const qsizetype at = firstDifference(c.written, c.read); at >= 0) {
            printError(QStringLiteral("nodarix-cli restore: verify failed: the %1 image differs from what was "
                                      "written at offset %2 (0x%3)")
                           .arg(QLatin1String(c.name))
                           .arg(at)
                           .arg(at, 0, 16));
            return kExitVerify;
        }
    }
    printError(QStringLiteral("nodarix-cli restore: verified, the controller holds what was written"));
    return kExitOk;
}

} // namespace

std::optional<QString> readControllerText(const GlobalOptions& options, int& status) {
    ChainTarget target(options);
    TNodarixVersion version{};
    auto images = std::make_unique<TSettingsImages>();
    ConfigurationRead reading(version, *images);
    const TChainEnd end = reading.run(target.link(), true);
    if (end != TChainEnd::Done && end != TChainEnd::Rejected) {
        status = exitCode(end);
        return std::nullopt;
    }
    for (const QString& loss : reading.chain.Losses())
        printError(QStringLiteral("nodarix-cli: warning: the controller's text leaves out: %1").arg(loss));
    return images->Settings;
}

namespace {

const Registrar registrar({
    Command{QStringLiteral("backup"),
            QStringLiteral("-o FILE.ndrx [--all-cells] [--images DIR] | --all|--hosts FILE -o DIR  read the whole "
                           "configuration into a text file"),
            QString::fromUtf8(kBackupHelp), runBackup},
    Command{QStringLiteral("restore"),
            QStringLiteral("FILE.ndrx [--append] [--verify]  write a configuration text file into the controller"),
            QString::fromUtf8(kRestoreHelp), runRestore},
});

} // namespace
} // namespace cli
