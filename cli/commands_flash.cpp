// Commands of the flash area: building flash images, and packing and unpacking stored firmware.
#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "cli/CliOptions.h"
#include "flash/FirmwareStore.h"
#include "flash/FlashImage.h"
#include "flash/NamedResources.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace cli {

namespace {

// Firmware texts larger than this are not stored firmware or Intel HEX of a controller.
constexpr qint64 kMaxFirmwareFile = 64 * 1024 * 1024;

void printLine(const QString& text) {
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

std::optional<QByteArray> readFile(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("nodarix-cli: cannot open \"%1\": %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    if (!file.isSequential() && file.size() > maxBytes) {
        printError(QStringLiteral("nodarix-cli: \"%1\" is larger than %2 bytes").arg(path).arg(maxBytes));
        return std::nullopt;
    }
    QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > maxBytes) {
        printError(QStringLiteral("nodarix-cli: cannot read \"%1\" whole").arg(path));
        return std::nullopt;
    }
    return bytes;
}

int flashBuild(const QStringList& args) {
    Options o;
    if (!parseOptions(args,
                      {QStringLiteral("--variant"), QStringLiteral("--lang"), QStringLiteral("--res"),
                       QStringLiteral("--texts"), QStringLiteral("-o")},
                      {QStringLiteral("--firmware")}, o))
        return kExitUsage;
    const QString variant = o.values.value(QStringLiteral("--variant")).toUpper();
    const QString language = o.values.value(QStringLiteral("--lang")).toUpper();
    const QString output = o.values.value(QStringLiteral("-o"));
    const bool withFirmware = o.flags.contains(QStringLiteral("--firmware"));
    if (!o.positional.isEmpty() || output.isEmpty()) {
        printError(QStringLiteral("nodarix-cli: flash build needs -o IMAGE and takes no other arguments"));
        return kExitUsage;
    }
    if (variant != QLatin1String("F101") && variant != QLatin1String("F405")) {
        printError(QStringLiteral("nodarix-cli: --variant must be F101 or F405"));
        return kExitUsage;
    }
    if (language != QLatin1String("PL") && language != QLatin1String("EN") &&
        language != QLatin1String("IT")) {
        printError(QStringLiteral("nodarix-cli: --lang must be PL, EN or IT"));
        return kExitUsage;
    }

    TResCfg resCfg;
    if (o.values.contains(QStringLiteral("--res"))) {
        const QString path = o.values.value(QStringLiteral("--res"));
        if (!QFile(path).open(QIODevice::ReadOnly)) {
            printError(QStringLiteral("nodarix-cli: cannot open the resource list \"%1\"").arg(path));
            return kExitUsage;
        }
        LoadResCfg(path, resCfg);
    }

    std::unique_ptr<TNodarixQPAText> texts;
    if (o.values.contains(QStringLiteral("--texts"))) {
        if (variant != QLatin1String("F101") || withFirmware) {
            printError(
                QStringLiteral("nodarix-cli: --texts belongs to an F101 resources image (no --firmware)"));
            return kExitUsage;
        }
        const QString path = o.values.value(QStringLiteral("--texts"));
        const auto bytes = readFile(path, sizeof(TNodarixQPAText));
        if (!bytes)
            return kExitUsage;
        if (bytes->size() != static_cast<qsizetype>(sizeof(TNodarixQPAText))) {
            printError(QStringLiteral("nodarix-cli: \"%1\" has %2 bytes; a QPA text record has %3")
                           .arg(path)
                           .arg(bytes->size())
                           .arg(sizeof(TNodarixQPAText)));
            return kExitUsage;
        }
        texts = std::make_unique<TNodarixQPAText>();
        std::memcpy(static_cast<void*>(texts.get()), bytes->constData(), sizeof(TNodarixQPAText));
    }

    qint32 freeSpace = -1;
    TFlashBuildFailure failure;
    if (!BuildFlashImage(variant, language, withFirmware, resCfg, freeSpace, texts.get(), &failure)) {
        printError(QStringLiteral("nodarix-cli: the flash image cannot be built: %1").arg(failure.Reason));
        return kExitFlashBuild;
    }
    if (!writeFile(output, QByteArrayView(FlashImage(), kFlashImageBytes)))
        return kExitFailure;
    // An F405 firmware image has no directory, so the builder reports no free space for it.
    printLine(freeSpace < 0 ? QStringLiteral("none") : QString::number(freeSpace));
    return kExitOk;
}

int firmwarePackOrUnpack(const QStringList& args) {
    Options o;
    if (!parseOptions(args, {QStringLiteral("-o")}, {}, o))
        return kExitUsage;
    const QString output = o.values.value(QStringLiteral("-o"));
    if (o.positional.size() != 2 || output.isEmpty() ||
        (o.positional[0] != QLatin1String("pack") && o.positional[0] != QLatin1String("unpack"))) {
        printError(QStringLiteral(
            "nodarix-cli: firmware pack IN.hex -o OUT | firmware unpack NAME|FILE -o OUT.hex"));
        return kExitUsage;
    }
    const QString input = o.positional[1];
    const bool pack = o.positional[0] == QLatin1String("pack");

    std::optional<QByteArray> in;
    if (pack || QFileInfo(input).isFile()) {
        in = readFile(input, kMaxFirmwareFile);
        if (!in)
            return kExitUsage;
    } else if (!(in = flash::LoadNamedResource(input))) {
        printError(QStringLiteral("nodarix-cli: no file and no built-in firmware named \"%1\"").arg(input));
        return kExitUsage;
    }
    QByteArray out;
    QString error;
    if (!(pack ? flash::PackFirmwareHex(*in, out, error) : flash::UnpackFirmwareHex(*in, out, error))) {
        printError(QStringLiteral("nodarix-cli: \"%1\": %2").arg(input, error));
        return kExitUsage;
    }
    return writeFile(output, out) ? kExitOk : kExitFailure;
}

const Registrar registrar({
    {QStringLiteral("flash"),
     QStringLiteral(
         "build --variant F101|F405 --lang PL|EN|IT [--firmware] [--res RES.TXT] [--texts FILE] -o IMAGE  "
         "build a 524288-byte flash image"),
     QStringLiteral(
         "nodarix-cli flash build --variant F101|F405 --lang PL|EN|IT [--firmware] [--res RES.TXT] [--texts "
         "FILE] -o IMAGE\n"
         "  Builds the 524288-byte flash image that a firmware update (--firmware) or a resources update "
         "sends,\n"
         "  from the firmware and web resources carried in the program.\n"
         "  --res RES.TXT  the installer's pages and pictures, listed as in Res.txt (u1= to u8=, s1= to "
         "s8=)\n"
         "  --texts FILE   the controller's 32768-byte QPA text record, kept at the start of the program "
         "area\n"
         "                 of an F101 resources image\n"
         "  Prints the free space left in the image in bytes (\"none\" for an F405 firmware image, which "
         "has\n"
         "  no directory). Exit status 7 when the image cannot be built, with the reason on stderr.\n"),
     [](const QStringList& args, const GlobalOptions&) {
         if (args.value(0) != QLatin1String("build")) {
             printError(QStringLiteral("nodarix-cli: flash build ... (see nodarix-cli help flash)"));
             return int(kExitUsage);
         }
         return flashBuild(args.mid(1));
     }},
    {QStringLiteral("firmware"), QStringLiteral("pack IN.hex -o OUT | unpack NAME|FILE -o OUT.hex  plain Intel HEX to the stored form and back"),
     QStringLiteral(
         "nodarix-cli firmware pack IN.hex -o OUT\n"
         "  Turns a plain Intel HEX file into the stored form the program carries (one enciphered\n"
         "  Base64 line per record). Every record must be whole and its checksum right.\n"
         "nodarix-cli firmware unpack NAME|FILE -o OUT.hex\n"
         "  Turns a stored firmware file, or the built-in one of that name (ip_kiv_101_hex,\n"
         "  ip_kiv_405_hex, ip_kiv_bootloader_405_hex), back into plain Intel HEX.\n"),
     [](const QStringList& args, const GlobalOptions&) { return firmwarePackOrUnpack(args); }},
});

} // namespace
} // namespace cli
