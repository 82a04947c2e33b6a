#pragma once
// The pieces of "backup" that the single-controller command and the fleet backup share: the
// read chain with the images as read, the command's option parser and the files a backup writes.
#include "workflows/SettingsChains.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace cli {

struct GlobalOptions;

// The raw bytes of an edition's two images as held, with their file names.
struct RawImages {
    QByteArray settings;
    QByteArray companion;
    QString companionName; // "texts" or "vars"
};

RawImages rawImages(const TSettingsImages& images, int edition);

// The controller's configuration read with the window's read chain; asRead holds the images as they
// came from the controller, before the read-back.
class ConfigurationRead {
public:
    ConfigurationRead(TNodarixVersion& version, TSettingsImages& images);
    // Runs the chain to its end in a local event loop.
    TChainEnd run(const TLinkTarget& target, bool onlyConfigured);

    TSettingsReadChain chain;
    RawImages asRead;
};

// Every option of a command: flags, valued options, and at most `positional` plain arguments.
struct Parsed {
    QStringList flags;
    QMap<QString, QString> values;
    QStringList positional;
};

std::optional<Parsed> parse(const QString& command, const QStringList& args, const QStringList& flags,
                            const QStringList& valued, int positional);

// What writing a read configuration out came to.
struct BackupFiles {
    int exitCode = 0;
    QString status;      // the read-back's status text ("" when the text file could not be written)
    QStringList errors;  // one line each, without the command's prefix
};

// Writes the configuration text to `out` and, unless imagesDir is empty, the images as read into
// that folder (settings.bin and texts.bin or vars.bin), then judges the read-back: exit 6 when the
// text does not read back or cannot carry everything (the files are written all the same).
BackupFiles writeBackup(const ConfigurationRead& reading, const TSettingsImages& images, const QString& out,
                        const QString& imagesDir);

// "backup --all" and "backup --hosts FILE": every controller of the network or of a list at once.
int runFleetBackup(const Parsed& parsed, const GlobalOptions& options);

} // namespace cli
