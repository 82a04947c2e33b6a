#pragma once
// What the simulated controller does when it restarts after a flash image was uploaded: it looks
// at the image as its bootloader would (directory and CRC words), and when the image carries a
// sound firmware it comes back running that firmware. The configuration area stays as the image
// left it; jumper, edition, serial number and language of the version record stay as they were.
#include <QByteArray>
#include <QString>

namespace sim {

// The firmware version the program's carried firmware images report once booted.
inline constexpr char kBootedFirmwareVersion[] = "V4.1.3";

struct BootCheck {
    enum Kind {
        Firmware,      // a firmware image whose CRC word matches: boot it
        ResourcesOnly, // a sound web resources image without firmware: the old firmware keeps running
        Bad,           // neither: the bootloader refuses it and the old firmware keeps running
    };
    Kind kind = Bad;
    QString found; // what the check found, for the log
};

// Examines the 524288-byte flash area as the image of the edition that the version record names
// (Realization "QPB..." reads it as an F405 image, anything else as F101).
BootCheck checkUploadedImage(const QByteArray& flash, const QByteArray& versionRecord);

// Boots the uploaded image: on a sound firmware sets the record's version text; returns the log line.
QString bootUploadedImage(const QByteArray& flash, QByteArray& versionRecord);

} // namespace sim
