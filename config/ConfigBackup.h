#pragma once
// The copy of a QPA controller's configuration that a firmware update writes before it clears the
// controller's settings: whatever goes wrong after that, the installer keeps the configuration.
//
// One folder per update, DIRECTORY/SERIAL_yyyyMMdd-HHmmss (a suffix -2, -3, ... when it exists):
//   controller.ndrx  the text of the images as read, every cell included
//   converted.ndrx   the converted text the update writes back (absent without conversion)
//   settings.bin     the settings image as read (8192 bytes)
//   texts.bin        the text record as read (32768 bytes)
// Both texts and both images can be written back by the settings window or the command line.
#include "config/Records.h"

#include <QDateTime>
#include <QString>

struct TQPABackup {
    QString Serial;  // the controller's serial number, names the folder
    QString Version; // the controller's version text and board letter, for the text form
    QChar PCB;
    const TNodarixQPAConfig* Config = nullptr; // as read from the controller
    const TNodarixQPAText* Texts = nullptr;    // as read from the controller
    QString Converted;                         // the converted text; empty: not written
};

inline constexpr char kBackupTextFile[] = "controller.ndrx";
inline constexpr char kBackupConvertedFile[] = "converted.ndrx";
inline constexpr char kBackupSettingsFile[] = "settings.bin";
inline constexpr char kBackupTextsFile[] = "texts.bin";

// Writes the backup into a new folder inside `directory` (created when missing). Returns the
// folder's path, or an empty text with `error` saying why (nothing half-written is left behind).
QString WriteQPABackup(const QString& directory, const TQPABackup& backup, const QDateTime& time,
                       QString& error);

// A serial number as a folder name: characters other than letters, digits, '-' and '_' become '_';
// an empty serial number gives "nodarix".
QString BackupFolderStem(const QString& serial);
