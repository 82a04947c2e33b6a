#pragma once
// The stored form of the firmware carried in the program: a text of lines, each the Base64 of one
// Intel HEX record enciphered with AES-256-ECB under a key of its own line. Everything that
// defines that form (pass phrase, key derivation, cipher) lives in FirmwareStore.cpp.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <openssl/types.h>
#include <string>
#include <string_view>
#include <vector>

namespace flash {

// Line numbers of the stored form are 16-bit: the pass phrase carries the line number and its complement.
constexpr int kMaxStoredLines = 0x10000;

// The pass phrase of stored line `line` (0 to 0xFFFF), 12 characters.
QByteArray FirmwarePassPhrase(int line);

// Deciphers (and, for packing, enciphers) lines of the stored form. The cipher and the digest are
// fetched once, when the object is made; every line only re-keys the one cipher context.
// Keep one object for many decodings: it keeps the keys it has derived.
class FirmwareLineCipher {
public:
    FirmwareLineCipher();
    ~FirmwareLineCipher();
    FirmwareLineCipher(const FirmwareLineCipher&) = delete;
    FirmwareLineCipher& operator=(const FirmwareLineCipher&) = delete;

    // False when OpenSSL could not provide the cipher or the digest.
    bool ready() const { return ready_; }

    // Deciphers stored line `line` into `text`. False (and `text` empty) when the line is not
    // Base64 of whole cipher blocks or does not decipher under its key.
    bool decipher(int line, std::string_view base64, std::string& text);

    // Enciphers `text` as stored line `line` and returns its Base64 (no line end).
    QByteArray encipher(int line, std::string_view text);

private:
    const unsigned char* key(int line);
    bool rekey(bool encrypt, const unsigned char* key);

    struct Free {
        void operator()(EVP_CIPHER* p) const;
        void operator()(EVP_MD* p) const;
        void operator()(EVP_CIPHER_CTX* p) const;
        void operator()(EVP_MD_CTX* p) const;
    };
    std::unique_ptr<EVP_CIPHER, Free> cipher_;
    std::unique_ptr<EVP_MD, Free> digest_;
    std::unique_ptr<EVP_CIPHER_CTX, Free> context_;
    std::unique_ptr<EVP_MD_CTX, Free> digestContext_;
    std::vector<std::array<unsigned char, 32>> keys_; // key of line i at i, derived on first use
    std::vector<unsigned char> buffer_;
    int direction_ = -1; // 1 encrypt, 0 decrypt: what the context was last set up for
    bool ready_ = false;
};

// Plain Intel HEX -> stored form. Every non-empty line (trailing blanks cut) must be a whole
// Intel HEX record with a correct checksum; it becomes one stored line, CR LF ended.
bool PackFirmwareHex(QByteArrayView plainHex, QByteArray& stored, QString& error);

// Stored form -> plain Intel HEX, CR LF ended. Fails on a line that does not decipher to a record.
bool UnpackFirmwareHex(QByteArrayView stored, QByteArray& plainHex, QString& error);

} // namespace flash
