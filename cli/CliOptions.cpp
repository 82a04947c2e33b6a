#include "cli/CliOptions.h"

#include "cli/CliCommand.h"

namespace cli {

bool parseOptions(const QStringList& args, const QStringList& valued, const QStringList& flagNames, Options& out) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (valued.contains(a)) {
            if (i + 1 >= args.size()) {
                printError(QStringLiteral("nodarix-cli: option %1 needs a value").arg(a));
                return false;
            }
            out.values.insert(a, args[++i]);
        } else if (flagNames.contains(a)) {
            out.flags += a;
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            printError(QStringLiteral("nodarix-cli: unknown option %1").arg(a));
            return false;
        } else {
            out.positional += a;
        }
    }
    return true;
}

} // namespace cli
