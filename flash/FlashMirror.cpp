#include "flash/FlashMirror.h"

#include "flash/IntelHex.h"
#include "flash/NamedResources.h"
#include "flash/TextLines.h"

#include <QScopeGuard>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// The CRC unit shifts a whole word through the register; as that is linear, the shift of the
// register equals the XOR of the shifts of its four bytes, taken from four tables of 256 words
// (table k: byte value v placed at bits 8k to 8k+7, shifted 32 times).
constexpr std::array<std::array<std::uint32_t, 256>, 4> MakeCrcTables() {
    std::array<std::array<std::uint32_t, 256>, 4> tables{};
    for (int k = 0; k < 4; ++k)
        for (std::uint32_t v = 0; v < 256; ++v) {
            std::uint32_t crc = v << (8 * k);
            for (int bit = 0; bit < 32; ++bit)
                crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
            tables[static_cast<std::size_t>(k)][v] = crc;
        }
    return tables;
}
constexpr auto kCrcTables = MakeCrcTables();

bool InMirror(std::uint64_t address) {
    return address >= kFlashMirrorBase && address <= kFlashMirrorLast;
}

} // namespace

TFlashMirror::TFlashMirror() : bytes_(kFlashMirrorSize, 0) {}
TFlashMirror::~TFlashMirror() = default;

bool TFlashMirror::DecodeFirmwareHex(const QString& name, TFirmwareDecodeReport* report) {
    const QString key = name.toLower(); // resource names are looked up without regard to case
    if (const auto known = decoded_.find(key); known != decoded_.end()) {
        for (const WrittenSpan& span : known->second.spans)
            std::memcpy(At(span.address), span.bytes.data(), span.bytes.size());
        if (report)
            *report = known->second.report;
        return true;
    }
    const auto stored = flash::LoadNamedResource(name);
    if (!stored) {
        if (report)
            report->Error = QStringLiteral("the program carries no firmware resource \"%1\"").arg(name);
        return false;
    }
    DecodedFirmware decoded;
    written_ = &decoded.spans;
    const auto stopNoting = qScopeGuard([this] { written_ = nullptr; });
    const bool ok = DecodeStoredHex(*stored, &decoded.report);
    if (report)
        *report = decoded.report;
    if (ok)
        decoded_.emplace(key, std::move(decoded));
    return ok;
}

bool TFlashMirror::DecodeStoredHex(QByteArrayView stored, TFirmwareDecodeReport* report) {
    TFirmwareDecodeReport local;
    TFirmwareDecodeReport& r = report ? *report : local;
    r = {};
    if (!cipher_)
        cipher_ = std::make_unique<flash::FirmwareLineCipher>();
    if (!cipher_->ready()) {
        r.Error = QStringLiteral("OpenSSL does not provide the firmware cipher");
        return false;
    }
    std::uint32_t base = 0;
    std::string text;
    return flash::ForEachLine(
        {stored.data(), static_cast<std::size_t>(stored.size())}, [&](int line, std::string_view base64) {
            if (line >= flash::kMaxStoredLines) {
                r.FailedLine = line;
                r.Error = QStringLiteral("more than %1 lines").arg(flash::kMaxStoredLines);
                return false;
            }
            ++r.Lines;
            if (!cipher_->decipher(line, base64, text) || text.empty() || text[0] != ':') {
                ++r.NotRecords;
                return true;
            }
            if (ApplyHexRecord(text, base, r))
                return true;
            r.FailedLine = line;
            r.Error = QStringLiteral("line %1: a record field is not hexadecimal").arg(line + 1);
            return false;
        });
}

bool TFlashMirror::ApplyHexRecord(std::string_view text, std::uint32_t& base, TFirmwareDecodeReport& report) {
    flash::HexRecordHead head;
    if (!flash::ReadHexRecordHead(text, head))
        return false;
    if (head.type == flash::kHexData && head.count > 0) {
        const std::uint32_t address = base + static_cast<std::uint32_t>(head.address);
        if (!InMirror(address)) {
            ++report.OutsideRecords;
            return true;
        }
        const auto count = static_cast<std::size_t>(head.count);
        if (text.size() < 9 + 2 * count)
            return false;
        const std::size_t kept = std::min<std::size_t>(count, kFlashMirrorLast - address + 1);
        std::uint8_t* out = At(address);
        int invalid = 0;
        for (std::size_t j = 0; j < count; ++j) {
            const int high = flash::kHexDigitValues.value[static_cast<unsigned char>(text[9 + 2 * j])];
            const int low = flash::kHexDigitValues.value[static_cast<unsigned char>(text[10 + 2 * j])];
            invalid |= high | low;
            if (j < kept)
                out[j] = static_cast<std::uint8_t>(high * 16 + low);
        }
        if (invalid < 0)
            return false;
        if (written_) {
            if (written_->empty() || written_->back().address + written_->back().bytes.size() != address)
                written_->push_back({address, {}});
            written_->back().bytes.insert(written_->back().bytes.end(), out, out + kept);
        }
        ++report.DataRecords;
        return true;
    }
    if (head.type == flash::kHexExtendedLinearAddress && head.count == 2) {
        const int high = flash::HexPair(text, 9);
        const int low = flash::HexPair(text, 11);
        if (high < 0 || low < 0)
            return false;
        base = static_cast<std::uint32_t>(high * 256 + low) << 16;
        ++report.OtherRecords;
        return true;
    }
    ++report.OtherRecords;
    return true;
}

bool TFlashMirror::PlaceRawResource(const QString& name, std::uint32_t address) {
    const auto bytes = flash::LoadNamedResource(name);
    if (!bytes)
        return false;
    Place(*bytes, address);
    return true;
}

void TFlashMirror::Place(QByteArrayView bytes, std::uint32_t address) {
    if (!InMirror(address))
        return;
    const auto room = static_cast<qsizetype>(kFlashMirrorLast - address + 1);
    std::memcpy(At(address), bytes.data(), static_cast<std::size_t>(std::min(bytes.size(), room)));
}

void TFlashMirror::FillFlash(std::uint32_t address, std::uint32_t count, std::uint8_t value) {
    if (count == 0 || !InMirror(address) || std::uint64_t{address} + count > kFlashMirrorLast)
        return;
    std::memset(At(address), value, count);
}

std::uint32_t TFlashMirror::FlashCrc32(std::uint32_t first, std::uint32_t end) const {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint64_t a = first; a < end; a += 4) {
        std::uint32_t word = 0;
        if (InMirror(a) && InMirror(a + 3)) {
            const std::uint8_t* p = At(static_cast<std::uint32_t>(a));
            word = std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
                   std::uint32_t{p[3]} << 24;
        } else {
            for (int k = 0; k < 4; ++k)
                if (InMirror(a + k))
                    word |= std::uint32_t{*At(static_cast<std::uint32_t>(a + k))} << (8 * k);
        }
        crc ^= word;
        crc = kCrcTables[0][crc & 0xFF] ^ kCrcTables[1][(crc >> 8) & 0xFF] ^
              kCrcTables[2][(crc >> 16) & 0xFF] ^ kCrcTables[3][crc >> 24];
    }
    return crc;
}
