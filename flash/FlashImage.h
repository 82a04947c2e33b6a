#pragma once
// The 512 KB flash image that a firmware or resources update sends whole: a directory of 192
// entries of 8 bytes (start and length, 24-bit big-endian) followed by their data.
#include "config/Records.h"
#include "flash/FlashMirror.h"
#include "flash/ResCfg.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

constexpr int kFlashImageBytes = 0x80000;
constexpr int kFlashDirectoryEntries = 192;
constexpr std::uint32_t kFlashDirectoryBytes = 8 * kFlashDirectoryEntries;
constexpr std::uint32_t kFlashImageLimit = 0x7FFFF; // no entry's data may reach this offset

enum class TFlashBuildError {
    None,
    FirmwareNotLoaded, // a stored firmware image or the bootloader cannot be loaded or decoded
    ResourceNotLoaded, // the program carries no resource of that name
    ResourceEmpty,     // a built-in resource is empty
    FileNotOpened,     // a user file cannot be opened or read
    FileEmpty,         // a user file is empty
    DoesNotFit,        // the data would reach offset 0x7FFFF
    EntryNotFree,      // the directory entry is out of range or already written
};

// Why a build failed: the entry it was adding and the resource or file behind it.
struct TFlashBuildFailure {
    TFlashBuildError Error = TFlashBuildError::None;
    int Entry = -1; // directory entry, -1 before the directory (firmware decoding)
    QString Source; // resource name (language appended) or user file path
    QString Reason; // one English sentence for the command line and logs
};

// Builds flash images into its own image buffer from its own flash mirror.
class TFlashImageBuilder {
public:
    TFlashImageBuilder();

    // Variant "F101" or "F405" (any other text builds nothing and succeeds), language "PL", "EN"
    // or "IT". WithFirmware: firmware update image, else resources image. Texts: the QPA texts
    // that an F101 resources image carries at the start of entry 4. FreeSpace is set after every
    // entry attempted (0 once an entry fails); an F405 firmware image leaves it untouched.
    bool Build(const QString& Variant, const QString& Language, bool WithFirmware, const TResCfg& ResCfg,
               qint32& FreeSpace, const TNodarixQPAText* Texts = nullptr);

    const TFlashBuildFailure& Failure() const { return failure_; }
    const std::uint8_t* Image() const { return image_.data(); }
    TFlashMirror& Mirror() { return mirror_; }

    struct Entry; // one directory entry to add: a fill, a copy, a built-in resource or a user file

private:
    bool BuildF101(const QString& language, bool withFirmware, const TResCfg& resCfg, qint32& freeSpace,
                   const TNodarixQPAText* texts);
    bool BuildF405(const QString& language, bool withFirmware, const TResCfg& resCfg, qint32& freeSpace);
    bool Decode(const QString& name);
    bool AddEntries(const std::vector<Entry>& entries, qint32& freeSpace);
    bool AddEntry(int e, const Entry& entry, qint32& freeSpace);
    bool Fail(TFlashBuildError error, int entry, const QString& source, const QString& reason);

    TFlashMirror mirror_;
    std::vector<std::uint8_t> image_;
    TFlashBuildFailure failure_;
};

// HTML compaction of a page: content that begins (case ignored) with "<!doctype html" becomes one
// long line of trimmed lines, each comment block on lines of its own; other content is unchanged.
QByteArray CompactHtml(const QByteArray& content);

// The program's one flash mirror and image, which live as long as the program.
TFlashImageBuilder& SharedFlashBuilder();
// Builds into the shared image (see TFlashImageBuilder::Build); `failure` receives the reason.
bool BuildFlashImage(const QString& Variant, const QString& Language, bool WithFirmware,
                     const TResCfg& ResCfg, qint32& FreeSpace, const TNodarixQPAText* Texts = nullptr,
                     TFlashBuildFailure* failure = nullptr);
// The shared image, kFlashImageBytes bytes, as the flash-save task sends it.
const std::uint8_t* FlashImage();
