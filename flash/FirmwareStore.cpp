#include "flash/FirmwareStore.h"

#include "flash/IntelHex.h"
#include "flash/TextLines.h"

#include <array>
#include <openssl/err.h>
#include <openssl/evp.h>

namespace flash {

namespace {

// The stored form, in one place. The pass phrase of line i is
//   kPhraseHead + i as 4 upper-case hex digits + kPhraseMiddle + (0xFFFF - i) as 4 upper-case hex digits,
// for example "Nx0001kVFFFE" for line 1. The key is the SHA-256 digest of the pass phrase, which is
// what OpenSSL's key generation EVP_BytesToKey gives for AES-256 with SHA-256, no salt and one round.
// The cipher is AES-256-ECB with PKCS#7 padding; the ciphertext is written as one Base64 line.
constexpr char kPhraseHead[] = "Nx";
constexpr char kPhraseMiddle[] = "kV";
constexpr int kPhraseBytes = 12;
constexpr char kCipherName[] = "AES-256-ECB";
constexpr char kDigestName[] = "SHA256";
constexpr int kKeyBytes = 32;
constexpr int kBlockBytes = 16;

// A whole Intel HEX record: head, LL data bytes, a checksum that makes all bytes sum to zero, nothing after.
bool CheckHexRecord(std::string_view text, QString& why) {
    HexRecordHead head;
    if (text.empty() || text[0] != ':' || !ReadHexRecordHead(text, head)) {
        why = QStringLiteral("not an Intel HEX record");
        return false;
    }
    const std::size_t length = 11 + 2 * static_cast<std::size_t>(head.count);
    if (text.size() != length) {
        why = QStringLiteral("record of %1 characters, its byte count wants %2").arg(text.size()).arg(length);
        return false;
    }
    int sum = 0;
    for (std::size_t pos = 1; pos < length; pos += 2) {
        const int byte = HexPair(text, pos);
        if (byte < 0) {
            why = QStringLiteral("character %1 is not hexadecimal").arg(pos + 1);
            return false;
        }
        sum += byte;
    }
    if (sum % 256 != 0) {
        why = QStringLiteral("checksum does not match");
        return false;
    }
    return true;
}

std::string_view TrimRight(std::string_view line) {
    while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
        line.remove_suffix(1);
    return line;
}

std::string_view View(QByteArrayView bytes) {
    return {bytes.data(), static_cast<std::size_t>(bytes.size())};
}

// Writes the 12 characters of the pass phrase of `line` (see kPhraseHead) to `out`.
void WritePassPhrase(int line, char* out) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto put4 = [&](unsigned value) {
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = kDigits[(value >> shift) & 0xF];
    };
    const unsigned number = static_cast<unsigned>(line) & 0xFFFF;
    *out++ = kPhraseHead[0];
    *out++ = kPhraseHead[1];
    put4(number);
    *out++ = kPhraseMiddle[0];
    *out++ = kPhraseMiddle[1];
    put4(0xFFFF - number);
}

} // namespace

QByteArray FirmwarePassPhrase(int line) {
    char phrase[kPhraseBytes];
    WritePassPhrase(line, phrase);
    return QByteArray(phrase, kPhraseBytes);
}

void FirmwareLineCipher::Free::operator()(EVP_CIPHER* p) const {
    EVP_CIPHER_free(p);
}
void FirmwareLineCipher::Free::operator()(EVP_MD* p) const {
    EVP_MD_free(p);
}
void FirmwareLineCipher::Free::operator()(EVP_CIPHER_CTX* p) const {
    EVP_CIPHER_CTX_free(p);
}
void FirmwareLineCipher::Free::operator()(EVP_MD_CTX* p) const {
    EVP_MD_CTX_free(p);
}

FirmwareLineCipher::FirmwareLineCipher()
    : cipher_(EVP_CIPHER_fetch(nullptr, kCipherName, nullptr)),
      digest_(EVP_MD_fetch(nullptr, kDigestName, nullptr)), context_(EVP_CIPHER_CTX_new()),
      digestContext_(EVP_MD_CTX_new()) {
    ready_ = cipher_ && digest_ && context_ && digestContext_ &&
             EVP_CIPHER_get_key_length(cipher_.get()) == kKeyBytes;
}

FirmwareLineCipher::~FirmwareLineCipher() = default;

// The key of a line depends on nothing but its number, so each is derived once and kept: a
// rebuild (the resources window rebuilds on every change) still deciphers and re-keys every line.
const unsigned char* FirmwareLineCipher::key(int line) {
    if (line < 0 || line >= kMaxStoredLines)
        return nullptr;
    while (keys_.size() <= static_cast<std::size_t>(line)) {
        char phrase[kPhraseBytes];
        WritePassPhrase(static_cast<int>(keys_.size()), phrase);
        std::array<unsigned char, kKeyBytes> key;
        unsigned int length = 0;
        if (EVP_DigestInit_ex2(digestContext_.get(), digest_.get(), nullptr) != 1 ||
            EVP_DigestUpdate(digestContext_.get(), phrase, kPhraseBytes) != 1 ||
            EVP_DigestFinal_ex(digestContext_.get(), key.data(), &length) != 1 || length != kKeyBytes)
            return nullptr;
        keys_.push_back(key);
    }
    return keys_[static_cast<std::size_t>(line)].data();
}

// The cipher is set on the context once per direction; after that a line only sets its key.
bool FirmwareLineCipher::rekey(bool encrypt, const unsigned char* key) {
    const int direction = encrypt ? 1 : 0;
    const EVP_CIPHER* cipher = direction == direction_ ? nullptr : cipher_.get();
    if (EVP_CipherInit_ex2(context_.get(), cipher, key, nullptr, direction, nullptr) != 1) {
        direction_ = -1;
        return false;
    }
    direction_ = direction;
    return true;
}

bool FirmwareLineCipher::decipher(int line, std::string_view base64, std::string& text) {
    text.clear();
    while (!base64.empty() && static_cast<unsigned char>(base64.back()) <= ' ')
        base64.remove_suffix(1);
    if (!ready_ || base64.empty() || base64.size() % 4 != 0 || base64.size() > 0x7FFFFFF0)
        return false;
    buffer_.resize(base64.size() / 4 * 3);
    int decoded = EVP_DecodeBlock(buffer_.data(), reinterpret_cast<const unsigned char*>(base64.data()),
                                  static_cast<int>(base64.size()));
    // EVP_DecodeBlock counts the bytes that the padding "=" stands for.
    if (decoded < 0)
        return false;
    decoded -= base64.ends_with("==") ? 2 : base64.ends_with('=') ? 1 : 0;
    if (decoded < kBlockBytes || decoded % kBlockBytes != 0)
        return false;

    const unsigned char* lineKey = key(line);
    if (!lineKey || !rekey(false, lineKey))
        return false;
    text.resize(static_cast<std::size_t>(decoded) + kBlockBytes);
    auto* out = reinterpret_cast<unsigned char*>(text.data());
    int length = 0;
    int last = 0;
    if (EVP_DecryptUpdate(context_.get(), out, &length, buffer_.data(), decoded) != 1 ||
        EVP_DecryptFinal_ex(context_.get(), out + length, &last) != 1) {
        // A line under another key fails its padding check; that is an answer, not an error to keep.
        ERR_clear_error();
        text.clear();
        return false;
    }
    text.resize(static_cast<std::size_t>(length + last));
    return true;
}

QByteArray FirmwareLineCipher::encipher(int line, std::string_view text) {
    const unsigned char* lineKey = ready_ ? key(line) : nullptr;
    if (!lineKey || !rekey(true, lineKey))
        return {};
    std::vector<unsigned char> sealed(text.size() + kBlockBytes);
    int length = 0;
    int last = 0;
    if (EVP_EncryptUpdate(context_.get(), sealed.data(), &length,
                          reinterpret_cast<const unsigned char*>(text.data()),
                          static_cast<int>(text.size())) != 1 ||
        EVP_EncryptFinal_ex(context_.get(), sealed.data() + length, &last) != 1)
        return {};
    QByteArray base64(4 * ((length + last + 2) / 3), Qt::Uninitialized);
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(base64.data()), sealed.data(), length + last);
    return base64;
}

bool PackFirmwareHex(QByteArrayView plainHex, QByteArray& stored, QString& error) {
    FirmwareLineCipher cipher;
    if (!cipher.ready()) {
        error = QStringLiteral("OpenSSL does not provide %1 and %2").arg(kCipherName, kDigestName);
        return false;
    }
    QByteArray out;
    int storedLine = 0;
    const bool ok = ForEachLine(View(plainHex), [&](int index, std::string_view line) {
        line = TrimRight(line);
        if (line.empty())
            return true;
        QString why;
        if (!CheckHexRecord(line, why)) {
            error = QStringLiteral("line %1: %2").arg(index + 1).arg(why);
            return false;
        }
        if (storedLine >= kMaxStoredLines) {
            error = QStringLiteral("more than %1 records").arg(kMaxStoredLines);
            return false;
        }
        out += cipher.encipher(storedLine++, line);
        out += "\r\n";
        return true;
    });
    if (ok)
        stored = out;
    return ok;
}

bool UnpackFirmwareHex(QByteArrayView stored, QByteArray& plainHex, QString& error) {
    FirmwareLineCipher cipher;
    if (!cipher.ready()) {
        error = QStringLiteral("OpenSSL does not provide %1 and %2").arg(kCipherName, kDigestName);
        return false;
    }
    QByteArray out;
    std::string text;
    const bool ok = ForEachLine(View(stored), [&](int index, std::string_view line) {
        if (index >= kMaxStoredLines) {
            error = QStringLiteral("more than %1 lines").arg(kMaxStoredLines);
            return false;
        }
        if (!cipher.decipher(index, line, text) || text.empty() || text[0] != ':') {
            error = QStringLiteral("line %1 does not decipher to an Intel HEX record").arg(index + 1);
            return false;
        }
        out.append(text.data(), static_cast<qsizetype>(text.size()));
        out += "\r\n";
        return true;
    });
    if (ok)
        plainHex = out;
    return ok;
}

} // namespace flash
