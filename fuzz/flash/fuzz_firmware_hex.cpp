// The stored firmware and its Intel HEX records, however malformed. The first input byte chooses
// what the rest is (mode % 4):
//   0 stored lines (Base64 of enciphered records) decoded into the flash mirror;
//   1 deciphered record texts, one a line, applied to the mirror directly (ciphered lines that
//     decipher to a record are too rare for the fuzzer to find);
//   2 plain Intel HEX packed into the stored form, which must then unpack to the same records and
//     decode into the mirror without an error;
//   3 stored lines unpacked to plain Intel HEX.
// Run: fuzz_firmware_hex -max_total_time=300 WORKDIR fuzz/flash/corpus_firmware
#include "flash/FirmwareStore.h"
#include "flash/FlashMirror.h"
#include "flash/TextLines.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// The mirror is 1 MiB; one for the whole run keeps an execution cheap.
TFlashMirror& Mirror() {
    static TFlashMirror mirror;
    return mirror;
}

std::string_view TrimRight(std::string_view line) {
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
        line.remove_suffix(1);
    return line;
}

void CheckCounts(const TFirmwareDecodeReport& r, bool ok) {
    const int records = r.DataRecords + r.OutsideRecords + r.OtherRecords + r.NotRecords;
    // Every line read is counted once, except the one a failed decoding stopped at.
    const int uncounted = r.Lines - records;
    if (uncounted != 0 && (ok || uncounted != 1))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0] % 4;
    const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
    const QByteArrayView bytes(body.data(), static_cast<qsizetype>(body.size()));
    TFlashMirror& mirror = Mirror();

    if (mode == 0) {
        TFirmwareDecodeReport report;
        CheckCounts(report, mirror.DecodeStoredHex(bytes, &report));
    } else if (mode == 1) {
        TFirmwareDecodeReport report;
        std::uint32_t base = 0;
        flash::ForEachLine(body, [&](int, std::string_view line) {
            ++report.Lines;
            if (line.empty() || line[0] != ':') {
                ++report.NotRecords;
                return true;
            }
            return mirror.ApplyHexRecord(line, base, report);
        });
    } else if (mode == 2) {
        QByteArray stored;
        QString error;
        if (!flash::PackFirmwareHex(bytes, stored, error))
            return 0;
        QByteArray expected;
        flash::ForEachLine(body, [&](int, std::string_view line) {
            line = TrimRight(line);
            if (!line.empty())
                expected.append(line.data(), static_cast<qsizetype>(line.size())).append("\r\n");
            return true;
        });
        QByteArray plain;
        if (!flash::UnpackFirmwareHex(stored, plain, error) || plain != expected)
            __builtin_trap(); // what was packed must unpack unchanged
        TFirmwareDecodeReport report;
        const bool ok = mirror.DecodeStoredHex(stored, &report);
        if (!ok || report.NotRecords != 0)
            __builtin_trap(); // packed records are whole and checked: decoding them cannot fail
        CheckCounts(report, ok);
    } else {
        QByteArray plain;
        QString error;
        (void)flash::UnpackFirmwareHex(bytes, plain, error);
    }
    return 0;
}
