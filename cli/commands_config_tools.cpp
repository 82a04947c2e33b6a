// "config diff" and "config graph" over configuration text files.
#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "cli/ConfigGraph.h"
#include "cli/ConfigTools.h"
#include "config/ConfigDiff.h"


namespace cli {
namespace {

struct ToolOptions {
    QString edition; // "", "qpa" or "qpb"
    QString out;
    QStringList files;
};

bool parseToolOptions(const QString& sub, const QStringList& args, bool takesOut, ToolOptions& o) {
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--edition") || (takesOut && a == QLatin1String("-o"))) {
            if (i + 1 >= args.size()) {
                printError(QStringLiteral("nodarix-cli config %1: option %2 needs a value").arg(sub, a));
                return false;
            }
            (a == QLatin1String("-o") ? o.out : o.edition) = args.at(++i);
        } else if (a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            printError(QStringLiteral("nodarix-cli config %1: unknown option %2").arg(sub, a));
            return false;
        } else {
            o.files << a;
        }
    }
    o.edition = o.edition.toLower();
    if (!o.edition.isEmpty() && o.edition != QLatin1String("qpa") && o.edition != QLatin1String("qpb")) {
        printError(QStringLiteral("nodarix-cli config %1: --edition must be qpa or qpb").arg(sub));
        return false;
    }
    return true;
}

struct LoadedText {
    QString path;
    QString text;
    LogicEdition edition = LogicEdition::QPA;
};

// Reads a text file and settles its edition: the option's, else the one its version line names.
int loadText(const QString& path, const QString& editionOption, LoadedText& loaded) {
    int rc = kExitOk;
    const auto text = readConfigTextFile(path, rc);
    if (!text)
        return kExitUsage; // 1 means "different" to diff, so an unreadable file is a usage error here
    loaded.path = path;
    loaded.text = *text;
    if (!editionOption.isEmpty()) {
        loaded.edition = editionOption == QLatin1String("qpa") ? LogicEdition::QPA : LogicEdition::QPB;
        return kExitOk;
    }
    const auto named = EditionFromText(loaded.text);
    if (!named) {
        printError(QStringLiteral("nodarix-cli config: %1 names no edition in a #version line; give --edition "
                                  "qpa or qpb")
                       .arg(path));
        return kExitUsage;
    }
    loaded.edition = *named;
    return kExitOk;
}

int readModel(const LoadedText& loaded, ConfigModel& model) {
    QString error;
    int line = 0;
    if (ReadConfigModel(loaded.text, loaded.edition, model, error, line))
        return kExitOk;
    printError(QStringLiteral("%1:%2: %3").arg(loaded.path).arg(line).arg(error));
    return kExitConfig;
}

QString editionName(LogicEdition e) {
    return e == LogicEdition::QPA ? QStringLiteral("QPA") : QStringLiteral("QPB");
}

} // namespace

int runConfigDiff(const QStringList& args) {
    ToolOptions o;
    if (!parseToolOptions(QStringLiteral("diff"), args, false, o))
        return kExitUsage;
    if (o.files.size() != 2) {
        printError(QStringLiteral("nodarix-cli config diff: needs exactly two text files, A and B"));
        return kExitUsage;
    }
    LoadedText a, b;
    for (auto [path, loaded] : {std::pair{o.files.at(0), &a}, std::pair{o.files.at(1), &b}})
        if (int rc = loadText(path, o.edition, *loaded); rc != kExitOk)
            return rc;
    if (a.edition != b.edition) {
        printError(QStringLiteral("nodarix-cli config diff: %1 is a %2 text and %3 a %4 text; they cannot be "
                                  "compared")
                       .arg(a.path, editionName(a.edition), b.path, editionName(b.edition)));
        return kExitUsage;
    }
    ConfigModel before, after;
    for (auto [loaded, model] : {std::pair{&a, &before}, std::pair{&b, &after}})
        if (int rc = readModel(*loaded, *model); rc != kExitOk)
            return rc;
    const QStringList differences = DiffConfigs(before, after);
    if (!differences.isEmpty())
        printOut(differences.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return differences.isEmpty() ? kExitOk : kExitFailure;
}

int runConfigGraph(const QStringList& args) {
    ToolOptions o;
    if (!parseToolOptions(QStringLiteral("graph"), args, true, o))
        return kExitUsage;
    if (o.files.size() != 1 || o.out.isEmpty()) {
        printError(QStringLiteral("nodarix-cli config graph: needs one text file and -o OUT.svg or OUT.dot"));
        return kExitUsage;
    }
    GraphFormat format;
    if (o.out.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        format = GraphFormat::Svg;
    } else if (o.out.endsWith(QLatin1String(".dot"), Qt::CaseInsensitive) ||
               o.out.endsWith(QLatin1String(".gv"), Qt::CaseInsensitive)) {
        format = GraphFormat::Dot;
    } else {
        printError(QStringLiteral("nodarix-cli config graph: %1: the output must end in .svg or .dot").arg(o.out));
        return kExitUsage;
    }
    LoadedText loaded;
    if (int rc = loadText(o.files.first(), o.edition, loaded); rc != kExitOk)
        return rc;
    ConfigModel model;
    if (int rc = readModel(loaded, model); rc != kExitOk)
        return rc;
    QByteArray picture;
    QString error;
    if (!renderLogicGraph(model, format, picture, error)) {
        printError(QStringLiteral("nodarix-cli config graph: %1").arg(error));
        return kExitFailure;
    }
    return writeFile(o.out, picture) ? kExitOk : kExitFailure;
}

} // namespace cli
