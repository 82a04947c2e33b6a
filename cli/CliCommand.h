#pragma once
// One sub-command of nodarix-cli. Each area of the tool (link, config, flash, extension module)
// contributes its commands, so that main() stays a dispatcher.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace cli {

// Process exit codes shared by every command.
enum ExitCode : int {
    kExitOk = 0,
    kExitFailure = 1,    // local failure (file cannot be written, ...)
    kExitUsage = 2,      // bad option, unknown command, refused input; nothing was sent
    kExitTimeOut = 3,    // statResTimeOut
    kExitUnknown = 4,    // statResUnkn
    kExitError = 5,      // statResErr
    kExitConfig = 6,     // configuration reader failed
    kExitFlashBuild = 7, // flash image could not be built
    kExitVerify = 8,     // what the controller holds differs from what was written
    kExitRefused = 9,    // the controller cannot be worked on (version, jumper or edition)
};

// Options that precede the command name and apply to every controller command.
struct GlobalOptions {
    QString host = QStringLiteral("192.168.0.177");
    quint16 port = 7080;
    QString password = QStringLiteral("8052");
    quint32 timeoutMs = 5000;
};

struct Command {
    QString name;     // "version", "config", ...
    QString synopsis; // one line for the command list, after the name
    QString help;     // full help text shown by "nodarix-cli help NAME" and "NAME --help"
    // args: everything after the command name. Returns an ExitCode.
    std::function<int(const QStringList& args, const GlobalOptions& options)> run;
};

// Every commands_*.cpp file registers its commands with a static Registrar, so adding an area
// of commands touches no other file.
std::vector<Command>& commandRegistry();
struct Registrar {
    explicit Registrar(std::vector<Command> commands);
};

// Prints a message on stderr (UTF-8, one line).
void printError(const QString& message);
// Prints text on stdout (UTF-8, as it stands) and flushes it.
void printOut(const QString& text);

} // namespace cli
