// Stored firmware: pass phrase and key, line splitting, decoding into the flash mirror, CRC, pack/unpack.
#include "flash/FirmwareStore.h"
#include "flash/FlashMirror.h"
#include "flash/NamedResources.h"
#include "flash/TextLines.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// Enciphers each text as the stored line of its index, CR LF ended.
QByteArray Store(const std::vector<std::string>& texts) {
    flash::FirmwareLineCipher cipher;
    QByteArray stored;
    for (std::size_t i = 0; i < texts.size(); ++i)
        stored += cipher.encipher(static_cast<int>(i), texts[i]) + "\r\n";
    return stored;
}

// The CRC unit's computation, bit by bit, over little-endian words.
std::uint32_t ReferenceCrc(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; i += 4) {
        crc ^= std::uint32_t{bytes[i]} | std::uint32_t{bytes[i + 1]} << 8 |
               std::uint32_t{bytes[i + 2]} << 16 | std::uint32_t{bytes[i + 3]} << 24;
        for (int bit = 0; bit < 32; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

TEST(FirmwareCipher, PassPhraseCarriesTheLineAndItsComplement) {
    EXPECT_EQ(flash::FirmwarePassPhrase(0), QByteArray("Nx0000kVFFFF"));
    EXPECT_EQ(flash::FirmwarePassPhrase(0x1A2B), QByteArray("Nx1A2BkVE5D4"));
    EXPECT_EQ(flash::FirmwarePassPhrase(0xFFFF), QByteArray("NxFFFFkV0000"));
}

// A line enciphered here with OpenSSL's own key generation (EVP_BytesToKey, SHA-256, no salt, one
// round) and one-shot AES-256-ECB must decipher in the decoder.
TEST(FirmwareCipher, DeciphersWhatOpenSslKeyGenerationEnciphers) {
    const int line = 0x0123;
    const std::string record = ":10001000000102030405060708090A0B0C0D0E0F68";
    const QByteArray phrase = flash::FirmwarePassPhrase(line);
    unsigned char key[32];
    ASSERT_EQ(EVP_BytesToKey(EVP_aes_256_ecb(), EVP_sha256(), nullptr,
                             reinterpret_cast<const unsigned char*>(phrase.constData()),
                             static_cast<int>(phrase.size()), 1, key, nullptr),
              32);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    unsigned char sealed[64];
    int n = 0;
    int last = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_aes_256_ecb(), nullptr, key, nullptr), 1);
    ASSERT_EQ(EVP_EncryptUpdate(ctx, sealed, &n, reinterpret_cast<const unsigned char*>(record.data()),
                                static_cast<int>(record.size())),
              1);
    ASSERT_EQ(EVP_EncryptFinal_ex(ctx, sealed + n, &last), 1);
    EVP_CIPHER_CTX_free(ctx);
    const QByteArray base64 = QByteArray(reinterpret_cast<const char*>(sealed), n + last).toBase64();

    flash::FirmwareLineCipher cipher;
    std::string text;
    ASSERT_TRUE(cipher.decipher(line, base64.toStdString(), text));
    EXPECT_EQ(text, record);
    EXPECT_FALSE(cipher.decipher(line + 1, base64.toStdString(), text)) << "another line's key";
    EXPECT_FALSE(cipher.decipher(line, "not base64!", text));
    EXPECT_FALSE(cipher.decipher(line, base64.left(20).toStdString(), text)) << "not whole blocks";
}

TEST(TextLines, SplitsAtCrLfCrAndLf) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\n", {""}},
        {"", {}},
    };
    for (const auto& [text, expected] : cases) {
        std::vector<std::string> lines;
        flash::ForEachLine(text, [&](int, std::string_view line) {
            lines.emplace_back(line);
            return true;
        });
        EXPECT_EQ(lines, expected) << text;
    }
}

struct DecodeCase {
    const char* name;
    std::vector<std::string> lines; // deciphered texts, one per stored line
    std::vector<std::pair<std::uint32_t, std::string>>
        bytes; // mirror offset -> expected bytes; all else zero
};

class Decode : public testing::TestWithParam<DecodeCase> {};

TEST_P(Decode, AppliesExactlyTheRecordsThatCount) {
    const DecodeCase& c = GetParam();
    auto mirror = std::make_unique<TFlashMirror>();
    TFirmwareDecodeReport report;
    ASSERT_TRUE(mirror->DecodeStoredHex(Store(c.lines), &report)) << report.Error.toStdString();
    EXPECT_EQ(report.Lines, static_cast<int>(c.lines.size()));
    std::vector<std::uint8_t> expected(kFlashMirrorSize, 0);
    for (const auto& [offset, text] : c.bytes)
        std::copy(text.begin(), text.end(), expected.begin() + offset);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), mirror->At(kFlashMirrorBase)));
    for (const auto& [offset, text] : c.bytes)
        EXPECT_EQ(
            std::string(reinterpret_cast<const char*>(mirror->At(kFlashMirrorBase + offset)), text.size()),
            text);
}

// Data record "ABCD" (41 42 43 44) at address field 0x0010, checksum not checked.
const std::string kData16 = ":0400100041424344FF";

INSTANTIATE_TEST_SUITE_P(
    Firmware, Decode,
    testing::Values(
        DecodeCase{"ExtendedAddressPlacesData", {":020000040800F2", kData16}, {{16, "ABCD"}}},
        DecodeCase{"NoExtendedAddressIsOutsideTheMirror", {kData16}, {}},
        DecodeCase{"StartAddressLeavesBaseAlone",
                   {":020000040800F2", ":0400000508000101ED", kData16},
                   {{16, "ABCD"}}},
        DecodeCase{"EndOfFileDoesNotStop", {":020000040800F2", ":00000001FF", kData16}, {{16, "ABCD"}}},
        DecodeCase{"LineNotStartingWithColonIgnored",
                   {":020000040800F2", "0400100041424344FF", kData16},
                   {{16, "ABCD"}}},
        DecodeCase{"AboveTheMirrorIgnored", {":020000040810E2", kData16}, {}},
        DecodeCase{"BytesPastTheMirrorDropped",
                   {":02000004080FE3", ":08FFFC0041424344454647489C"},
                   {{0xFFFFC, "ABCD"}}},
        DecodeCase{"OddExtendedAndEmptyDataIgnored",
                   {":020000040800F2", ":0400000408100000E0", ":00002000E0", kData16},
                   {{16, "ABCD"}}},
        DecodeCase{"LaterRecordWins", {":020000040800F2", kData16, ":0200110058597C"}, {{16, "AXYD"}}},
        DecodeCase{"LowerCaseHexAccepted", {":020000040800f2", ":02001000616a00"}, {{16, "aj"}}}),
    [](const testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(Decode, LineUnderAnotherKeyIsIgnored) {
    flash::FirmwareLineCipher cipher;
    const QByteArray stored =
        cipher.encipher(0, ":020000040800F2") + "\r\n" + cipher.encipher(7, kData16) + "\r\n";
    auto mirror = std::make_unique<TFlashMirror>();
    TFirmwareDecodeReport report;
    ASSERT_TRUE(mirror->DecodeStoredHex(stored, &report));
    EXPECT_EQ(report.NotRecords, 1);
    EXPECT_EQ(*mirror->At(kFlashMirrorBase + 16), 0);
}

TEST(Decode, FieldThatIsNotHexadecimalFails) {
    const std::vector<std::vector<std::string>> cases = {
        {":020000040800F2", ":0X00100041424344FF"}, // byte count
        {":020000040800F2", ":040010004142434GFF"}, // data byte
        {":020000040800F2", ":04001000414243"},     // data cut short
        {":02000004080"},                           // extended address value cut short
    };
    for (const auto& lines : cases) {
        auto mirror = std::make_unique<TFlashMirror>();
        TFirmwareDecodeReport report;
        EXPECT_FALSE(mirror->DecodeStoredHex(Store(lines), &report)) << lines.back();
        EXPECT_EQ(report.FailedLine, static_cast<int>(lines.size()) - 1);
    }
}

TEST(Decode, BuiltInFirmwareByNameWithoutRegardToCase) {
    const struct {
        const char* name;
        int lines;
    } images[] = {{"IP_KIV_101_HEX", 8102}, {"ip_kiv_405_hex", 22076}, {"Ip_Kiv_Bootloader_405_Hex", 504}};
    for (const auto& image : images) {
        auto mirror = std::make_unique<TFlashMirror>();
        TFirmwareDecodeReport report;
        ASSERT_TRUE(mirror->DecodeFirmwareHex(QString::fromLatin1(image.name), &report)) << image.name;
        EXPECT_EQ(report.Lines, image.lines) << image.name;
        EXPECT_EQ(report.NotRecords + report.OutsideRecords, 0) << image.name;
    }
    TFlashMirror mirror;
    EXPECT_FALSE(mirror.DecodeFirmwareHex(QStringLiteral("ip_kiv_999_hex")));
}

// A carried firmware decoded again, as every image build does, writes exactly what its first decoding
// wrote, in the same order, over whatever the mirror held in between, and reports the same.
class DecodeAgain : public ::testing::TestWithParam<std::vector<const char*>> {
protected:
    static void scribble(TFlashMirror& mirror) { mirror.FillFlash(kFlashMirrorBase, kFlashMirrorSize - 1, 0xA5); }
    static std::vector<TFirmwareDecodeReport> decodeAll(TFlashMirror& mirror, bool upperCase) {
        std::vector<TFirmwareDecodeReport> reports(GetParam().size());
        for (std::size_t i = 0; i < reports.size(); ++i) {
            const QString name = QString::fromLatin1(GetParam()[i]);
            EXPECT_TRUE(mirror.DecodeFirmwareHex(upperCase ? name.toUpper() : name, &reports[i])) << GetParam()[i];
        }
        return reports;
    }
};

TEST_P(DecodeAgain, WritesAndReportsWhatTheFirstDecodingDid) {
    auto first = std::make_unique<TFlashMirror>();
    scribble(*first);
    const auto firstReports = decodeAll(*first, false);

    auto again = std::make_unique<TFlashMirror>();
    decodeAll(*again, false);
    scribble(*again);
    const auto againReports = decodeAll(*again, true);

    EXPECT_EQ(std::memcmp(first->At(kFlashMirrorBase), again->At(kFlashMirrorBase), kFlashMirrorSize), 0);
    for (std::size_t i = 0; i < firstReports.size(); ++i) {
        const TFirmwareDecodeReport& a = firstReports[i];
        const TFirmwareDecodeReport& b = againReports[i];
        EXPECT_GT(b.DataRecords, 0) << GetParam()[i];
        EXPECT_EQ(std::tie(a.Lines, a.DataRecords, a.OutsideRecords, a.OtherRecords, a.NotRecords, a.FailedLine),
                  std::tie(b.Lines, b.DataRecords, b.OutsideRecords, b.OtherRecords, b.NotRecords, b.FailedLine))
            << GetParam()[i];
        EXPECT_EQ(a.Error, b.Error) << GetParam()[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Firmware, DecodeAgain,
                         ::testing::Values(std::vector<const char*>{"ip_kiv_101_hex"},
                                           std::vector<const char*>{"ip_kiv_bootloader_405_hex", "ip_kiv_405_hex"}),
                         [](const auto& info) { return info.index == 0 ? std::string("F101") : std::string("F405"); });

TEST(FlashMirror, PlaceFillAndTheirLimits) {
    auto mirror = std::make_unique<TFlashMirror>();
    ASSERT_TRUE(mirror->PlaceRawResource(QStringLiteral("Bootloader_2_1_4_bin"), 0x0801D800));
    const auto bootloader = flash::LoadNamedResource(QStringLiteral("bootloader_2_1_4_bin"));
    ASSERT_TRUE(bootloader && bootloader->size() == 2048);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(mirror->At(0x0801D800)), 2048), *bootloader);
    EXPECT_FALSE(mirror->PlaceRawResource(QStringLiteral("no_such_bin"), 0x08000000));

    mirror->Place("ABCDEF", kFlashMirrorLast - 1);
    EXPECT_EQ(*mirror->At(kFlashMirrorLast - 1), 'A');
    EXPECT_EQ(*mirror->At(kFlashMirrorLast), 'B');

    mirror->FillFlash(0x08004000, 0x4000, 0xFF);
    EXPECT_EQ(*mirror->At(0x08004000), 0xFF);
    EXPECT_EQ(*mirror->At(0x08007FFF), 0xFF);
    EXPECT_EQ(*mirror->At(0x08008000), 0x00);
    mirror->FillFlash(kFlashMirrorLast - 3, 4, 0x55); // would reach the last byte: nothing
    EXPECT_EQ(*mirror->At(kFlashMirrorLast - 3), 0x00);
    mirror->FillFlash(kFlashMirrorLast - 4, 4, 0x55);
    EXPECT_EQ(*mirror->At(kFlashMirrorLast - 4), 0x55);
    mirror->FillFlash(0x07FFFFFF, 2, 0x55);
    EXPECT_EQ(*mirror->At(kFlashMirrorBase), 0x00);
}

TEST(FlashMirror, CrcMatchesTheCrcUnit) {
    auto mirror = std::make_unique<TFlashMirror>();
    // The CRC unit's documented answer for the single word 0x12345678.
    mirror->Place(QByteArray("\x78\x56\x34\x12", 4), kFlashMirrorBase);
    EXPECT_EQ(mirror->FlashCrc32(kFlashMirrorBase, kFlashMirrorBase + 4), 0xDF8A8A2Bu);

    std::mt19937 random(7);
    QByteArray bytes(0x20000, Qt::Uninitialized);
    for (char& b : bytes)
        b = static_cast<char>(random());
    mirror->Place(bytes, 0x08010000);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    EXPECT_EQ(mirror->FlashCrc32(0x08010000, 0x08030000), ReferenceCrc(data, 0x20000));
    EXPECT_EQ(mirror->FlashCrc32(0x08010004, 0x0801000C), ReferenceCrc(data + 4, 8));
    EXPECT_EQ(mirror->FlashCrc32(0x08010000, 0x08010000), 0xFFFFFFFFu);
}

TEST(FirmwareStore, PackAndUnpackRoundTrip) {
    const QByteArray plain =
        ":020000040800F2\r\n:0400100041424344E2\r\n:0400000508000101ED\r\n:00000001FF\r\n";
    QByteArray stored;
    QByteArray back;
    QString error;
    ASSERT_TRUE(flash::PackFirmwareHex(QByteArray(plain).replace("\r\n", "\n") + "\n\n", stored, error))
        << error.toStdString();
    EXPECT_EQ(stored.count("\r\n"), 4) << "blank lines are not records";
    ASSERT_TRUE(flash::UnpackFirmwareHex(stored, back, error)) << error.toStdString();
    EXPECT_EQ(back, plain);
}

TEST(FirmwareStore, BuiltInImagesUnpackAndPackBackUnchanged) {
    for (const char* name : {"ip_kiv_bootloader_405_hex", "ip_kiv_101_hex"}) {
        const auto stored = flash::LoadNamedResource(QString::fromLatin1(name));
        ASSERT_TRUE(stored) << name;
        QByteArray plain;
        QByteArray again;
        QString error;
        ASSERT_TRUE(flash::UnpackFirmwareHex(*stored, plain, error)) << error.toStdString();
        ASSERT_TRUE(flash::PackFirmwareHex(plain, again, error)) << error.toStdString();
        EXPECT_EQ(again, *stored) << name;
    }
}

TEST(FirmwareStore, PackRefusesWhatIsNotARecord) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {":0400100041424344E3", "checksum"},
        {":0400100041424344", "byte count"},
        {":04001000414243G4E2", "hexadecimal"},
        {"0400100041424344E2", "record"},
    };
    for (const auto& [line, why] : cases) {
        QByteArray stored;
        QString error;
        EXPECT_FALSE(flash::PackFirmwareHex(QByteArray(":00000001FF\n") + line, stored, error)) << line;
        EXPECT_TRUE(error.startsWith(QStringLiteral("line 2:")) && error.contains(QLatin1String(why)))
            << error.toStdString();
    }
    QByteArray plain;
    QString error;
    EXPECT_FALSE(flash::UnpackFirmwareHex("bm90IGEgcmVjb3Jk\r\n", plain, error));
    EXPECT_TRUE(error.contains(QLatin1String("line 1"))) << error.toStdString();
}

} // namespace
