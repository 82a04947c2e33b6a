#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "cli/ConfigImport.h"
#include "config/RawImport.h"
#include "config/Records.h"

#include <memory>

namespace cli {

const char kConfigImportHelp[] =
    "  nodarix-cli config import [--ndc FILE] [--ndt FILE] [--only-configured] -o OUT\n"
    "\n"
    "import     applies a raw NDC file (QPA settings, exactly 8192 bytes) and then a raw NDT file (QPA\n"
    "           texts, exactly 32768 bytes) to a cleared QPA configuration and writes its text (version\n"
    "           V4.0.1, board C, CR LF line ends) into OUT. At least one of --ndc and --ndt is needed.\n"
    "           A file of another size prints \"Błąd: niewłaściwy rozmiar pliku.\" and exits 2; a file\n"
    "           that cannot be opened prints why and exits 1. OUT is written only when both imports\n"
    "           succeeded.\n";

namespace {

struct ImportOptions {
    QString ndc;
    QString ndt;
    QString out;
    bool onlyConfigured = false;
};

bool parseImportOptions(const QStringList& args, ImportOptions& o) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--only-configured")) {
            o.onlyConfigured = true;
            continue;
        }
        QString* valued = a == QLatin1String("--ndc")   ? &o.ndc
                          : a == QLatin1String("--ndt") ? &o.ndt
                          : a == QLatin1String("-o")    ? &o.out
                                                        : nullptr;
        if (!valued) {
            printError(QStringLiteral("nodarix-cli config import: unknown argument %1").arg(a));
            return false;
        }
        if (i + 1 >= args.size() || args.at(i + 1).isEmpty()) {
            printError(QStringLiteral("nodarix-cli config import: option %1 needs a file").arg(a));
            return false;
        }
        *valued = args.at(++i);
    }
    if (o.out.isEmpty() || (o.ndc.isEmpty() && o.ndt.isEmpty())) {
        printError(QStringLiteral("nodarix-cli config import: needs -o OUT and at least one of --ndc and --ndt"));
        return false;
    }
    return true;
}

// The status text of a failed import on stdout (as the window's status line shows it), the file on stderr.
int importFailed(const QString& path, const QString& status) {
    printOut(status + QLatin1Char('\n'));
    printError(QStringLiteral("nodarix-cli config import: %1 not imported").arg(path));
    return status == RawImportSizeError() ? kExitUsage : kExitFailure;
}

} // namespace

int runConfigImport(const QStringList& args) {
    ImportOptions o;
    if (!parseImportOptions(args, o))
        return kExitUsage;
    auto config = std::make_unique<TNodarixQPAConfig>();
    auto texts = std::make_unique<TNodarixQPAText>();
    ClearRecord(*config);
    ClearRecord(*texts);
    if (!o.ndc.isEmpty()) {
        if (const QString status = ImportNdcFile(o.ndc, *config); !status.isEmpty())
            return importFailed(o.ndc, status);
    }
    if (!o.ndt.isEmpty()) {
        if (const QString status = ImportNdtFile(o.ndt, *texts); !status.isEmpty())
            return importFailed(o.ndt, status);
    }
    return writeFile(o.out, ImportedQPAText(*config, o.onlyConfigured, *texts).toUtf8()) ? kExitOk : kExitFailure;
}

} // namespace cli
