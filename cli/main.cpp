// nodarix-cli: headless access to Nodarix controllers and to their configuration, firmware and
// flash images, for scripting.
#include "cli/CliCommand.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace cli {

std::vector<Command>& commandRegistry() {
    static std::vector<Command> commands;
    return commands;
}

Registrar::Registrar(std::vector<Command> commands) {
    auto& all = commandRegistry();
    for (auto& c : commands)
        all.push_back(std::move(c));
}

void printError(const QString& message) {
    const QByteArray text = (message + QLatin1Char('\n')).toUtf8();
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

void printOut(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

namespace {

QString usage() {
    QString text;
    QTextStream out(&text);
    out << "Usage: nodarix-cli [global options] COMMAND [arguments]\n\n"
           "Global options (controller commands):\n"
           "  --host ADDRESS     controller address or name (default 192.168.0.177)\n"
           "  --port PORT        controller TCP port (default 7080)\n"
           "  --password TEXT    control password (default 8052)\n"
           "  --timeout MS       connect and read time-out in milliseconds (default 5000)\n"
           "  -h, --help         this help;  --version  the tool's version\n\nCommands:\n";
    auto commands = commandRegistry();
    std::sort(commands.begin(), commands.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    // A synopsis is "ARGUMENTS  description"; the descriptions are lined up in one column.
    static const QRegularExpression gap(QStringLiteral("\\s{2,}"));
    for (const auto& c : commands) {
        // A synopsis that starts with blanks has no arguments, only a description.
        const QString synopsis = c.synopsis.front().isSpace() ? QStringLiteral("  ") + c.synopsis.trimmed()
                                                               : c.synopsis.trimmed();
        const auto match = gap.match(synopsis);
        const QString usageText =
            (c.name + QLatin1Char(' ') + (match.hasMatch() ? synopsis.left(match.capturedStart()) : synopsis)).trimmed();
        const QString description = match.hasMatch() ? synopsis.mid(match.capturedEnd()) : QString();
        if (description.isEmpty())
            out << "  " << usageText << '\n';
        else if (usageText.size() <= 36)
            out << "  " << usageText.leftJustified(38) << description << '\n';
        else
            out << "  " << usageText << "\n" << QString(40, QLatin1Char(' ')) << description << '\n';
    }
    out << "\n\"nodarix-cli help COMMAND\" shows a command's own help.\n"
           "Exit status: 0 done, 1 local failure, 2 usage error or refused input, 3 controller does not answer,\n"
           "4 unrecognised reply, 5 wrong reply or refused, 6 configuration text error, 7 flash image build failed,\n"
           "8 the controller holds other bytes than were written (--verify), 9 the controller cannot be updated\n"
           "(version, programming jumper or edition).\n";
    return text;
}

const Command* findCommand(const QString& name) {
    for (const auto& c : commandRegistry())
        if (c.name == name)
            return &c;
    return nullptr;
}

bool parseNumber(const QString& text, quint64 max, quint64& value) {
    bool ok = false;
    value = text.toULongLong(&ok, 10);
    return ok && value <= max;
}

} // namespace
} // namespace cli

int main(int argc, char** argv) {
    using namespace cli;
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    GlobalOptions options;

    while (!args.isEmpty() && args.first().startsWith(QLatin1String("-"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("-h") || opt == QLatin1String("--help")) {
            printOut(usage());
            return kExitOk;
        }
        if (opt == QLatin1String("--version")) {
            printOut(QStringLiteral("nodarix-cli %1\n").arg(QLatin1String(NODARIX_TOOL_VERSION)));
            return kExitOk;
        }
        if (args.isEmpty()) {
            printError(QStringLiteral("nodarix-cli: option %1 needs a value").arg(opt));
            return kExitUsage;
        }
        const QString value = args.takeFirst();
        quint64 number = 0;
        if (opt == QLatin1String("--host")) {
            if (value.trimmed().isEmpty()) {
                printError(QStringLiteral("nodarix-cli: --host needs a non-empty address"));
                return kExitUsage;
            }
            options.host = value;
        } else if (opt == QLatin1String("--port")) {
            if (!parseNumber(value, 65535, number) || number == 0) {
                printError(QStringLiteral("nodarix-cli: bad port \"%1\" (1 to 65535)").arg(value));
                return kExitUsage;
            }
            options.port = static_cast<quint16>(number);
        } else if (opt == QLatin1String("--password")) {
            options.password = value;
        } else if (opt == QLatin1String("--timeout")) {
            if (!parseNumber(value, 600000, number) || number == 0) {
                printError(QStringLiteral("nodarix-cli: bad time-out \"%1\" (1 to 600000 ms)").arg(value));
                return kExitUsage;
            }
            options.timeoutMs = static_cast<quint32>(number);
        } else {
            printError(QStringLiteral("nodarix-cli: unknown option %1 (see nodarix-cli --help)").arg(opt));
            return kExitUsage;
        }
    }
    if (args.isEmpty()) {
        printError(usage());
        return kExitUsage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("help")) {
        if (args.isEmpty()) {
            printOut(usage());
            return kExitOk;
        }
        const Command* c = findCommand(args.first());
        if (!c) {
            printError(QStringLiteral("nodarix-cli: unknown command \"%1\"").arg(args.first()));
            return kExitUsage;
        }
        printOut(c->help);
        return kExitOk;
    }
    const Command* command = findCommand(name);
    if (!command) {
        printError(QStringLiteral("nodarix-cli: unknown command \"%1\" (see nodarix-cli --help)").arg(name));
        return kExitUsage;
    }
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        printOut(command->help);
        return kExitOk;
    }
    return command->run(args, options);
}
