// The firmware the program carries: stand-in images of our own with the layout and the record
// counts of the controller's real ones, so that building and decoding them costs what the real
// ones cost. A vendor's real firmware replaces them through "nodarix-cli firmware pack".
#include "flash/FirmwareStore.h"
#include "resources/generator/Generator.h"

#include <cstdint>
#include <vector>

namespace resgen {

namespace {

// A deterministic byte source (xorshift32), one seed per image, so every build makes the same bytes.
class Bytes {
public:
    explicit Bytes(std::uint32_t seed) : state_(seed) {}
    std::uint8_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return static_cast<std::uint8_t>(state_ >> 11);
    }

private:
    std::uint32_t state_;
};

void PutLe32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    for (int k = 0; k < 4; ++k)
        image[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

// An ARM Cortex-M image: vector table (stack top, reset handler and 14 more handlers), then
// code-like bytes with an identification text at 0x200.
std::vector<std::uint8_t> MakeImage(std::size_t size, std::uint32_t base, std::uint32_t stackTop,
                                    std::uint32_t seed, const QByteArray& identification) {
    std::vector<std::uint8_t> image(size);
    Bytes bytes(seed);
    for (auto& b : image)
        b = bytes.next();
    PutLe32(image, 0, stackTop);
    for (std::size_t vector = 1; vector < 16; ++vector)
        PutLe32(image, 4 * vector, base + 0x100 + 8 * static_cast<std::uint32_t>(vector) + 1);
    std::copy(identification.begin(), identification.end(), image.begin() + 0x200);
    image[0x200 + static_cast<std::size_t>(identification.size())] = 0;
    return image;
}

class HexWriter {
public:
    void record(int type, std::uint16_t address, const std::uint8_t* data, int count) {
        int sum = count + (address >> 8) + (address & 0xFF) + type;
        QByteArray line = ":" + hex(count) + hex(address >> 8) + hex(address & 0xFF) + hex(type);
        for (int k = 0; k < count; ++k) {
            line += hex(data[k]);
            sum += data[k];
        }
        line += hex((256 - sum % 256) % 256);
        lines_ += line + "\r\n";
        ++count_;
    }
    // Data from `address` on in records of `recordBytes`, with an extended linear address record
    // whenever the upper 16 bits change, as linkers write them.
    void data(std::uint32_t address, const std::uint8_t* bytes, std::size_t size, int recordBytes) {
        for (std::size_t done = 0; done < size;) {
            const std::uint32_t at = address + static_cast<std::uint32_t>(done);
            if (!segmentSet_ || at >> 16 != segment_) {
                segment_ = at >> 16;
                segmentSet_ = true;
                const std::uint8_t upper[2] = {static_cast<std::uint8_t>(segment_ >> 8),
                                               static_cast<std::uint8_t>(segment_)};
                record(0x04, 0, upper, 2);
            }
            const std::size_t toSegmentEnd = 0x10000 - (at & 0xFFFF);
            const int count =
                static_cast<int>(std::min({size - done, std::size_t(recordBytes), toSegmentEnd}));
            record(0x00, static_cast<std::uint16_t>(at & 0xFFFF), bytes + done, count);
            done += static_cast<std::size_t>(count);
        }
    }
    void finish(std::uint32_t entry) {
        const std::uint8_t start[4] = {
            static_cast<std::uint8_t>(entry >> 24), static_cast<std::uint8_t>(entry >> 16),
            static_cast<std::uint8_t>(entry >> 8), static_cast<std::uint8_t>(entry)};
        record(0x05, 0, start, 4);
        record(0x01, 0, nullptr, 0);
    }
    const QByteArray& text() const { return lines_; }
    int count() const { return count_; }

private:
    static QByteArray hex(int byte) { return QByteArray::number(byte, 16).toUpper().rightJustified(2, '0'); }
    QByteArray lines_;
    int count_ = 0;
    std::uint32_t segment_ = 0;
    bool segmentSet_ = false;
};

QByteArray Pack(const HexWriter& hex, int expectedLines, const char* what) {
    if (hex.count() != expectedLines)
        throw Error(QStringLiteral("%1: %2 records, the layout wants %3")
                        .arg(what)
                        .arg(hex.count())
                        .arg(expectedLines)
                        .toStdString());
    QByteArray stored;
    QString error;
    if (!flash::PackFirmwareHex(hex.text(), stored, error))
        throw Error(QStringLiteral("%1: %2").arg(what, error).toStdString());
    return stored;
}

} // namespace

QStringList GenerateFirmware(const QDir& out) {
    // F101 (QPA): firmware from 0x08000000 below the CRC word at 0x0801D7FC, 8102 records: 7000
    // records of 16 bytes of code and a table of 1098 words written one word per record.
    {
        constexpr std::uint32_t base = 0x08000000;
        constexpr std::size_t codeBytes = 7000 * 16;
        constexpr std::size_t tableBytes = 1098 * 4;
        const auto image = MakeImage(codeBytes + tableBytes, base, 0x20004000, 0x101A,
                                     "Nodarix QPA F101 firmware 2.1.4 (stand-in image of nodarix-tool)");
        HexWriter hex;
        hex.data(base, image.data(), codeBytes, 16);
        hex.data(base + codeBytes, image.data() + codeBytes, tableBytes, 4);
        hex.finish(base + 0x101);
        WriteFile(out, QStringLiteral("ip_kiv_101_hex"), Pack(hex, 8102, "ip_kiv_101_hex"));
    }
    // F405 (QPB) bootloader: 0x08000000, 501 records of 16 bytes, 504 records in all.
    {
        constexpr std::uint32_t base = 0x08000000;
        const auto image = MakeImage(501 * 16, base, 0x20020000, 0x405B,
                                     "Nodarix F405 bootloader 1.3 (stand-in image of nodarix-tool)");
        HexWriter hex;
        hex.data(base, image.data(), image.size(), 16);
        hex.finish(base + 0x101);
        WriteFile(out, QStringLiteral("ip_kiv_bootloader_405_hex"),
                  Pack(hex, 504, "ip_kiv_bootloader_405_hex"));
    }
    // F405 (QPB) firmware: from 0x08020000, 22068 records of 16 bytes over six 64 KB segments, 22076 in all.
    {
        constexpr std::uint32_t base = 0x08020000;
        const auto image = MakeImage(22068 * 16, base, 0x20020000, 0x405F,
                                     "Nodarix QPB F405 firmware 3.0.2 (stand-in image of nodarix-tool)");
        HexWriter hex;
        hex.data(base, image.data(), image.size(), 16);
        hex.finish(base + 0x101);
        WriteFile(out, QStringLiteral("ip_kiv_405_hex"), Pack(hex, 22076, "ip_kiv_405_hex"));
    }
    // F101 bootloader: 2048 plain bytes, placed at 0x0801D800.
    {
        constexpr std::uint32_t base = 0x0801D800;
        const auto image = MakeImage(2048, base, 0x20004000, 0x101B,
                                     "Nodarix F101 bootloader 2.1.4 (stand-in image of nodarix-tool)");
        WriteFile(
            out, QStringLiteral("bootloader_2_1_4_bin"),
            QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size())));
    }
    return {QStringLiteral("bootloader_2_1_4_bin"), QStringLiteral("ip_kiv_101_hex"),
            QStringLiteral("ip_kiv_405_hex"), QStringLiteral("ip_kiv_bootloader_405_hex")};
}

} // namespace resgen
