#include "sim/SimBoot.h"

#include "sim/SimWire.h"

#include <cstring>
#include <vector>

namespace sim {

namespace {

constexpr int kDirectoryEntries = 192;
constexpr int kDirectoryBytes = 8 * kDirectoryEntries;
constexpr std::uint32_t kImageLimit = 0x7FFFF;
constexpr int kVersionOffset = 0;
constexpr int kVersionWidth = 6;
constexpr int kRealizationOffset = 8;

// F101: the program area is directory entry 4, 0x1D800 bytes whose last word is the CRC word.
constexpr int kF101ProgramEntry = 4;
constexpr std::uint32_t kF101ProgramStart = 0x2900;
constexpr std::uint32_t kF101ProgramSize = 0x1D800;
// F405: a firmware image has no directory; its CRC word follows the 0x5FFFC bytes it covers.
constexpr std::uint32_t kF405CrcOffset = 0x5FFFC;

// The controller's CRC unit takes 32-bit little-endian words most significant bit first: the same
// as CRC-32/MPEG-2 over each word's bytes in reverse order.
std::uint32_t wordCrc(const QByteArray& flash, std::uint32_t start, std::uint32_t size, std::uint32_t zeroAt) {
    QByteArray swapped(qsizetype(size), '\0');
    for (std::uint32_t at = 0; at + 3 < size; at += 4)
        for (std::uint32_t k = 0; k < 4; ++k)
            if (start + at + k < zeroAt || start + at + k >= zeroAt + 4)
                swapped[qsizetype(at + 3 - k)] = flash[qsizetype(start + at + k)];
    return crc32Mpeg2(swapped);
}

std::uint32_t readLe32(const QByteArray& b, std::uint32_t at) {
    return std::uint32_t(readLe16(b, int(at))) | std::uint32_t(readLe16(b, int(at + 2))) << 16;
}

struct DirectoryEntry {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

// The used entries of an image's directory, or an empty list with `why` set when it is malformed:
// entries in order from 0x600 without gaps, nothing reaching 0x7FFFF, zero bytes where they belong.
std::vector<DirectoryEntry> readDirectory(const QByteArray& flash, QString& why) {
    std::vector<DirectoryEntry> entries;
    std::uint32_t expectedStart = kDirectoryBytes;
    for (int e = 0; e < kDirectoryEntries; ++e) {
        const int at = 8 * e;
        if (flash.mid(at, 8) == QByteArray(8, '\0'))
            break;
        const DirectoryEntry entry{readBe24(flash, at + 1), readBe24(flash, at + 5)};
        if (flash[at] != 0 || flash[at + 4] != 0 || entry.start != expectedStart ||
            entry.start + entry.length > kImageLimit) {
            why = QStringLiteral("directory entry %1 (start 0x%2, length %3) is out of place")
                      .arg(e)
                      .arg(entry.start, 0, 16)
                      .arg(entry.length);
            return {};
        }
        entries.push_back(entry);
        expectedStart = entry.start + entry.length;
    }
    if (entries.empty())
        why = QStringLiteral("no directory");
    return entries;
}

QString identification(const QByteArray& flash, std::uint32_t programStart) {
    const QByteArray text = flash.mid(qsizetype(programStart) + 0x200, 80);
    return QString::fromLatin1(text.left(text.indexOf('\0') < 0 ? text.size() : text.indexOf('\0')));
}

BootCheck checkF101(const QByteArray& flash) {
    QString why;
    const auto entries = readDirectory(flash, why);
    if (entries.empty())
        return {BootCheck::Bad, QStringLiteral("F101 image refused: ") + why};
    if (entries.size() <= kF101ProgramEntry || entries[kF101ProgramEntry].start != kF101ProgramStart ||
        entries[kF101ProgramEntry].length != kF101ProgramSize)
        return {BootCheck::Bad, QStringLiteral("F101 image refused: directory has no program area at 0x2900")};
    const std::uint32_t crcAt = kF101ProgramStart + kF101ProgramSize - 4;
    const std::uint32_t stored = readLe32(flash, crcAt);
    const std::uint32_t actual = wordCrc(flash, kF101ProgramStart, kF101ProgramSize, crcAt);
    const QString directory = QStringLiteral("F101 image, %1 directory entries").arg(entries.size());
    if (stored == actual)
        return {BootCheck::Firmware, directory + QStringLiteral(", firmware CRC 0x%1 ok (\"%2\")")
                                                     .arg(stored, 8, 16, QLatin1Char('0'))
                                                     .arg(identification(flash, kF101ProgramStart))};
    if (stored == 0)
        return {BootCheck::ResourcesOnly, directory + QStringLiteral(", no firmware in the program area")};
    return {BootCheck::Bad, directory + QStringLiteral(", firmware CRC word 0x%1 but the area gives 0x%2")
                                            .arg(stored, 8, 16, QLatin1Char('0'))
                                            .arg(actual, 8, 16, QLatin1Char('0'))};
}

BootCheck checkF405(const QByteArray& flash) {
    const std::uint32_t stored = readLe32(flash, kF405CrcOffset);
    const std::uint32_t actual = wordCrc(flash, 0, kF405CrcOffset, kF405CrcOffset);
    if (stored == actual && stored != 0)
        return {BootCheck::Firmware, QStringLiteral("F405 firmware image, CRC 0x%1 ok (\"%2\")")
                                         .arg(stored, 8, 16, QLatin1Char('0'))
                                         .arg(identification(flash, 0))};
    QString why;
    const auto entries = readDirectory(flash, why);
    if (!entries.empty())
        return {BootCheck::ResourcesOnly,
                QStringLiteral("F405 resources image, %1 directory entries").arg(entries.size())};
    return {BootCheck::Bad, QStringLiteral("F405 image refused: firmware CRC word 0x%1 but the image gives "
                                           "0x%2, and %3")
                                .arg(stored, 8, 16, QLatin1Char('0'))
                                .arg(actual, 8, 16, QLatin1Char('0'))
                                .arg(why)};
}

} // namespace

BootCheck checkUploadedImage(const QByteArray& flash, const QByteArray& versionRecord) {
    const bool f405 = versionRecord.mid(kRealizationOffset, 3) == "QPB";
    return f405 ? checkF405(flash) : checkF101(flash);
}

QString bootUploadedImage(const QByteArray& flash, QByteArray& versionRecord) {
    const BootCheck check = checkUploadedImage(flash, versionRecord);
    switch (check.kind) {
    case BootCheck::Firmware: {
        QByteArray version(kVersionWidth, '\0');
        std::memcpy(version.data(), kBootedFirmwareVersion, std::strlen(kBootedFirmwareVersion));
        versionRecord.replace(kVersionOffset, kVersionWidth, version);
        return QStringLiteral("boot: %1; now running firmware %2").arg(check.found, kBootedFirmwareVersion);
    }
    case BootCheck::ResourcesOnly:
        return QStringLiteral("boot: %1; firmware unchanged").arg(check.found);
    case BootCheck::Bad:
        break;
    }
    return QStringLiteral("boot: bad image, keeping the old firmware: %1").arg(check.found);
}

} // namespace sim
