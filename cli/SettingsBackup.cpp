#include "cli/SettingsBackup.h"

#include "cli/ChainRunner.h"
#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "config/ConfigTextFile.h"
#include "workflows/Recognition.h"

#include <QDir>

namespace cli {

RawImages rawImages(const TSettingsImages& images, int edition) {
    auto bytes = [](const auto& record) {
        return QByteArray(reinterpret_cast<const char*>(&record), static_cast<qsizetype>(sizeof record));
    };
    if (edition == kEditionQPB)
        return {bytes(images.NodarixQPBConfig), bytes(images.NodarixQPBVars), QStringLiteral("vars")};
    return {bytes(images.NodarixQPAConfig), bytes(images.NodarixQPAText), QStringLiteral("texts")};
}

ConfigurationRead::ConfigurationRead(TNodarixVersion& version, TSettingsImages& images) : chain(version, images) {
    QObject::connect(&chain, &TSettingsReadChain::textReady,
                     [this, &images] { asRead = rawImages(images, chain.Edition()); });
}

TChainEnd ConfigurationRead::run(const TLinkTarget& target, bool onlyConfigured) {
    return *runChain(chain, [&] {
        chain.Start(target, onlyConfigured);
        return true;
    });
}

std::optional<Parsed> parse(const QString& command, const QStringList& args, const QStringList& flags,
                            const QStringList& valued, int positional) {
    Parsed p;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (flags.contains(a)) {
            p.flags << a;
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size()) {
                printError(QStringLiteral("nodarix-cli %1: option %2 needs a value").arg(command, a));
                return std::nullopt;
            }
            p.values[a] = args.at(++i);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            printError(QStringLiteral("nodarix-cli %1: unknown option %2").arg(command, a));
            return std::nullopt;
        } else if (p.positional.size() < positional) {
            p.positional << a;
        } else {
            printError(QStringLiteral("nodarix-cli %1: unexpected argument %2").arg(command, a));
            return std::nullopt;
        }
    }
    return p;
}

BackupFiles writeBackup(const ConfigurationRead& reading, const TSettingsImages& images, const QString& out,
                        const QString& imagesDir) {
    BackupFiles result;
    QString error;
    if (!SaveConfigTextFile(out, ConfigTextLines(images.Settings), error)) {
        result.errors << QStringLiteral("cannot write %1").arg(error);
        result.exitCode = kExitFailure;
        return result;
    }
    if (!imagesDir.isEmpty()) {
        const QDir dir(imagesDir);
        const RawImages& asRead = reading.asRead;
        if (!dir.mkpath(QStringLiteral(".")) ||
            !writeFile(dir.filePath(QStringLiteral("settings.bin")), asRead.settings) ||
            !writeFile(dir.filePath(asRead.companionName + QStringLiteral(".bin")), asRead.companion)) {
            result.errors << QStringLiteral("cannot write the raw images into %1").arg(imagesDir);
            result.exitCode = kExitFailure;
            return result;
        }
    }
    const TSettingsReadChain& chain = reading.chain;
    result.status = chain.ReadBack().Status;
    if (!chain.ReadBack().Ok) {
        result.errors << QStringLiteral("%1:%2: %3").arg(out).arg(chain.ReadBack().FailedLine).arg(result.status);
        result.exitCode = kExitConfig;
    } else if (!chain.Losses().isEmpty()) {
        for (const QString& loss : chain.Losses())
            result.errors << QStringLiteral("warning: %1").arg(loss);
        result.errors << QStringLiteral("%1 does not hold the whole configuration; keep the raw images%2 as well")
                             .arg(out, imagesDir.isEmpty() ? QStringLiteral(" (--images)") : QString());
        result.exitCode = kExitConfig;
    }
    return result;
}

} // namespace cli
