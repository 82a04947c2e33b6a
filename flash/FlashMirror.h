#pragma once
// A model of the controller's 1 MiB internal flash (addresses 0x08000000 to 0x080FFFFF), into
// which the carried firmware is decoded before a flash image is built from it.
#include "flash/FirmwareStore.h"

#include <QByteArrayView>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

constexpr std::uint32_t kFlashMirrorBase = 0x08000000;
constexpr std::uint32_t kFlashMirrorSize = 0x100000;
constexpr std::uint32_t kFlashMirrorLast = kFlashMirrorBase + kFlashMirrorSize - 1;

// What one decoding did, so that nothing is skipped without a word.
struct TFirmwareDecodeReport {
    int Lines = 0;          // stored lines read
    int DataRecords = 0;    // data records stored in the mirror
    int OutsideRecords = 0; // data records outside the mirror's addresses
    int OtherRecords = 0; // records without effect: end of file, start address, empty data, odd type 04, ...
    int NotRecords = 0;   // lines that did not decipher to a text starting with ":"
    int FailedLine = -1;  // first line (from 0) whose record has a field that is not hexadecimal
    QString Error;        // why the decoding failed
};

class TFlashMirror {
public:
    // All zero, as when the program starts.
    TFlashMirror();
    ~TFlashMirror();

    // Deciphers every line of the stored firmware resource `name` and applies its records.
    // False when the resource cannot be loaded or a record has a field that is not hexadecimal.
    // The carried firmware never changes, so what a successful decoding wrote (and its report) is
    // kept: decoding the same resource again writes the same bytes in the same order, without
    // deciphering it again.
    bool DecodeFirmwareHex(const QString& name, TFirmwareDecodeReport* report = nullptr);
    // The same for stored lines given directly.
    bool DecodeStoredHex(QByteArrayView stored, TFirmwareDecodeReport* report = nullptr);

    // Applies one deciphered record text; `base` is the extended linear address in force.
    // False when a field that the record needs is not hexadecimal.
    bool ApplyHexRecord(std::string_view text, std::uint32_t& base, TFirmwareDecodeReport& report);

    // Copies every byte of resource `name` from `address` on; false when it cannot be loaded.
    bool PlaceRawResource(const QString& name, std::uint32_t address);
    // Copies bytes from `address` on; bytes outside the mirror are dropped.
    void Place(QByteArrayView bytes, std::uint32_t address);
    // Sets `count` bytes from `address` on, only when they all lie below the mirror's last byte.
    void FillFlash(std::uint32_t address, std::uint32_t count, std::uint8_t value);
    // CRC of the STM32 CRC unit (polynomial 0x04C11DB7, start 0xFFFFFFFF, no final inversion) over
    // little-endian words from `first` up to, not including, `end`.
    std::uint32_t FlashCrc32(std::uint32_t first, std::uint32_t end) const;

    // The mirror byte at `address`, which must lie inside the mirror.
    std::uint8_t* At(std::uint32_t address) { return bytes_.data() + (address - kFlashMirrorBase); }
    const std::uint8_t* At(std::uint32_t address) const {
        return bytes_.data() + (address - kFlashMirrorBase);
    }

private:
    // Bytes a decoding wrote from `address` on, in the order it wrote them.
    struct WrittenSpan {
        std::uint32_t address;
        std::vector<std::uint8_t> bytes;
    };
    struct DecodedFirmware {
        TFirmwareDecodeReport report;
        std::vector<WrittenSpan> spans;
    };

    std::vector<std::uint8_t> bytes_;
    std::map<QString, DecodedFirmware> decoded_; // by resource name, successful decodings only
    std::vector<WrittenSpan>* written_ = nullptr; // where ApplyHexRecord notes its writes while decoding
    std::unique_ptr<flash::FirmwareLineCipher> cipher_; // fetched on the first decoding, kept for the next
};
