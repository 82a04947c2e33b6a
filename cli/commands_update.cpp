// Workflows of the resources and update windows from the command line: the same chains, their
// status texts and progress on stderr.
#include "cli/ChainRunner.h"
#include "cli/CliOptions.h"
#include "flash/ResCfg.h"
#include "workflows/Recognition.h"
#include "workflows/ResourcesUpload.h"
#include "workflows/Update.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <memory>

namespace cli {
namespace {

// A chain that did not start has reported its end already, or there was nothing to do.
TChainEnd runChainToEnd(TChain& chain, const std::function<bool()>& start) {
    std::optional<TChainEnd> reported;
    const QMetaObject::Connection seen =
        QObject::connect(&chain, &TChain::finished, [&](TChainEnd end) { reported = end; });
    const std::optional<TChainEnd> end = runChain(chain, start);
    QObject::disconnect(seen);
    return end ? *end : reported.value_or(TChainEnd::Failure);
}

int usageError(const QString& message) {
    printError(QStringLiteral("nodarix-cli: ") + message);
    return kExitUsage;
}

// --lang: "PL", "EN" or "IT" (any case); empty when not given. False after an error message.
bool languageOption(const Options& o, QString& language) {
    language = o.values.value(QStringLiteral("--lang")).toUpper();
    if (o.values.contains(QStringLiteral("--lang")) && !LanguageNames().contains(language)) {
        usageError(QStringLiteral("--lang must be PL, EN or IT"));
        return false;
    }
    return true;
}

// --res: a list file that must exist; empty when not given. False after an error message.
bool resOption(const Options& o, QString& file) {
    file = o.values.value(QStringLiteral("--res"));
    if (!file.isEmpty() && !QFile(file).open(QIODevice::ReadOnly)) {
        usageError(QStringLiteral("cannot open the resource list \"%1\"").arg(file));
        return false;
    }
    return true;
}

QString languageOf(const QString& given, const TNodarixVersion& version) {
    if (!given.isEmpty())
        return given;
    const int index = LanguageIndex(version);
    return index >= 0 ? LanguageNames().at(index) : QString();
}

int resourcesUpload(const QStringList& args, const GlobalOptions& g) {
    Options o;
    if (!parseOptions(args, {QStringLiteral("--res"), QStringLiteral("--lang")}, {}, o))
        return kExitUsage;
    if (!o.positional.isEmpty())
        return usageError(QStringLiteral("resources upload takes no arguments besides its options"));
    QString language, resFile;
    if (!languageOption(o, language) || !resOption(o, resFile))
        return kExitUsage;
    TResCfg resCfg;
    if (!resFile.isEmpty())
        LoadResCfg(resFile, resCfg);

    ChainTarget target(g);
    TNodarixVersion version{};
    TRecognitionChain recognition(version);
    int edition = kEditionNone;
    QObject::connect(&recognition, &TRecognitionChain::recognised, [&](int e) { edition = e; });
    const TChainEnd recognised = runChainToEnd(recognition, [&] {
        recognition.Start(target.link());
        return true;
    });
    if (recognised != TChainEnd::Done)
        return exitCode(recognised);

    auto texts = std::make_unique<TNodarixQPAText>();
    TResourcesUploadChain upload(*texts);
    const TChainEnd end = runChainToEnd(upload, [&] {
        return upload.Start(target.link(), edition, languageOf(language, version), resCfg, QString());
    });
    if (end == TChainEnd::Done || end == TChainEnd::TimeOut || end == TChainEnd::Unknown || end == TChainEnd::Error)
        std::printf("Free space: %d bytes (%s)\n", upload.FreeFlash, KibLabel(upload.FreeFlash).toUtf8().constData());
    return exitCode(end);
}

int update(const QStringList& args, const GlobalOptions& g) {
    Options o;
    if (!parseOptions(args,
                      {QStringLiteral("--lang"), QStringLiteral("--res"), QStringLiteral("--backup-dir"),
                       QStringLiteral("--restart-wait")},
                      {QStringLiteral("--no-convert")}, o))
        return kExitUsage;
    if (!o.positional.isEmpty())
        return usageError(QStringLiteral("update takes no arguments besides its options"));
    QString language, resFile;
    if (!languageOption(o, language) || !resOption(o, resFile))
        return kExitUsage;
    std::optional<int> restartWait;
    if (o.values.contains(QStringLiteral("--restart-wait"))) {
        bool ok = false;
        const int ms = o.values.value(QStringLiteral("--restart-wait")).toInt(&ok, 10);
        if (!ok || ms < 0 || ms > 600000)
            return usageError(QStringLiteral("--restart-wait must be a number of milliseconds from 0 to 600000"));
        restartWait = ms;
    }

    ChainTarget target(g);
    TNodarixVersion version{};
    TUpdateCheckChain check(version);
    int path = kPathNone;
    QObject::connect(&check, &TUpdateCheckChain::pathChosen, [&](int p) { path = p; });
    const TChainEnd checked = runChainToEnd(check, [&] {
        check.Start(target.link());
        return true;
    });
    if (checked != TChainEnd::Done)
        return exitCode(checked);

    TUpdateOptions options;
    options.Path = path;
    options.Convert = path == kPathQPA && !o.flags.contains(QStringLiteral("--no-convert"));
    options.Language = languageOf(language, version);
    options.ResCfgFile = resFile;
    options.BackupDirectory = o.values.value(QStringLiteral("--backup-dir"), QDir::currentPath());
    auto chain = std::make_unique<TUpdateChain>(version, [&target] { target.renew(); });
    if (restartWait)
        chain->SetRestartWaits(*restartWait, *restartWait);
    const TChainEnd end = runChainToEnd(*chain, [&] { return chain->Start(target.link(), options); });
    if (!chain->BackupFolder.isEmpty())
        printError(QStringLiteral("Kopia konfiguracji: %1").arg(chain->BackupFolder));
    return exitCode(end);
}

const Registrar registrar({
    {QStringLiteral("resources"),
     QStringLiteral("upload [--res RES.TXT] [--lang PL|EN|IT]  load the installer's pages and pictures"),
     QStringLiteral(
         "nodarix-cli resources upload [--res RES.TXT] [--lang PL|EN|IT]\n"
         "  Recognises the controller, builds the resources image of its edition (a QPA controller's texts\n"
         "  are read first and kept) and sends it, as the resources window does.\n"
         "  --res RES.TXT  the installer's pages and pictures, listed as in Res.txt; default: built-in ones\n"
         "  --lang         the pages' language; default: the controller's own\n"
         "  Prints the free space left in the image. Exit status 7 when the image cannot be built (nothing\n"
         "  is sent), 9 when the controller is of neither edition.\n"),
     [](const QStringList& args, const GlobalOptions& g) {
         if (args.value(0) != QLatin1String("upload"))
             return usageError(QStringLiteral("resources upload ... (see nodarix-cli help resources)"));
         return resourcesUpload(args.mid(1), g);
     }},
    {QStringLiteral("update"),
     QStringLiteral("[--lang L] [--no-convert] [--res F] [--backup-dir D] [--restart-wait MS]  firmware update"),
     QStringLiteral(
         "nodarix-cli update [--lang PL|EN|IT] [--no-convert] [--res RES.TXT] [--backup-dir DIR]\n"
         "                   [--restart-wait MS]\n"
         "  Checks the controller (version V4.0.1 to V4.1.3, programming jumper, edition) and updates it to\n"
         "  the firmware the tool carries, as the update window does. A QPA controller's configuration is\n"
         "  read, converted and backed up (into DIR, default the current directory) before it is cleared,\n"
         "  and written back after the restart; --no-convert clears it instead.\n"
         "  --restart-wait  wait this long after the restart command instead of 10 s (QPA) or 15 s (QPB)\n"
         "  Exit status 9 when the check refuses the controller, 6 when the conversion fails, 7 when an image\n"
         "  cannot be built (in these cases nothing was written), 3, 4 or 5 on a link failure (the backup's\n"
         "  folder is named on stderr once the configuration was cleared).\n"),
     [](const QStringList& args, const GlobalOptions& g) { return update(args, g); }},
});

} // namespace
} // namespace cli
