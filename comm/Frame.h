#pragma once
// Request/reply frames of the controller protocol, the password hash they carry,
// and the rules by which a reply is judged.
#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

enum TStatus : std::uint8_t {
    statFree = 0,
    statWait = 1,
    statProgress = 2,
    statResTimeOut = 3,
    statResUnkn = 4,
    statResErr = 5,
    STATRESOK = 6,
};

// True for the four end states.
constexpr bool IsEndStatus(TStatus s) { return s >= statResTimeOut && s <= STATRESOK; }

// The Polish text a window or the command-line tool shows for an end state.
QString StatusText(TStatus s);

#pragma pack(push, 1)
// The 38-byte version record a controller answers to the version query.
struct TNodarixVersion {
    char Version[6];
    char PCB;
    char Switch;
    char Realization[8];
    char Serial[8];
    char Langue[2];
    std::uint8_t FabSet[6];
    std::uint8_t FabMac[6];
};
#pragma pack(pop)
static_assert(sizeof(TNodarixVersion) == 38);
static_assert(offsetof(TNodarixVersion, Realization) == 8);
static_assert(offsetof(TNodarixVersion, Langue) == 24);
static_assert(offsetof(TNodarixVersion, FabMac) == 32);

// A fixed-width controller text up to its first zero byte, each byte one character (Latin-1).
QString FieldText(const char* field, std::size_t size);

namespace frame {

constexpr int kHeaderSize = 16;
constexpr int kBlockSize = 256;
constexpr int kMaxPayload = 65535;
constexpr std::array<std::uint8_t, 3> kSignature{0xD5, 0x80, 0x0D};

// Request codes.
constexpr std::uint8_t kVersion = 0xAA;
constexpr std::uint8_t kQpaReadStart = 0xAF;
constexpr std::uint8_t kQpaBlockRead = 0xA0;
constexpr std::uint8_t kBlockWrite = 0xA1;
constexpr std::uint8_t kQpbSettRead = 0xA6;
constexpr std::uint8_t kQpbSettWrite = 0xA7;
constexpr std::uint8_t kQpbVarsRead = 0xA8;
constexpr std::uint8_t kQpbVarsWrite = 0xA9;
constexpr std::uint8_t kSettWriteEnd = 0xAC;
constexpr std::uint8_t kRestart = 0xAD;
constexpr std::uint8_t kExtSaveBase = 0x20;
constexpr std::uint8_t kHttpOn = 0xE1;
constexpr std::uint8_t kHttpOff = 0xE0;

// Reply codes that are not request code + 0x10.
constexpr std::uint8_t kSettWriteEndReply = 0xBE;
constexpr std::uint8_t kAck = 0x08;

constexpr std::uint8_t ReplyCode(std::uint8_t request) { return static_cast<std::uint8_t>(request + 0x10); }

// The password's 32-bit hash (CRC-32/MPEG-2 over its first 16 bytes taken as four little-endian words).
std::uint32_t PasswordHash(const QString& password);

// A complete request frame: header with hash, code, argument 0 and length, then the payload.
QByteArray BuildRequest(std::uint8_t code, std::uint32_t passHash, const QByteArray& payload = {});

// The 3-byte big-endian block address.
QByteArray BlockAddress(std::uint32_t address);

// What the reply to one request must look like.
struct ExpectedReply {
    std::uint8_t code = 0;
    int payloadLength = 0;
    std::optional<QByteArray> addressEcho = std::nullopt; // the first three payload bytes
    bool acknowledgement = false;          // argument byte carries the result code
    bool headerFaultIsUnknown = false;     // header mismatch gives statResUnkn instead of statResErr
};

struct Verdict {
    TStatus status = statResUnkn; // STATRESOK when the exchange succeeded
    bool keepConnection = false;
};

// Judges a complete reply (header plus the payload its length field announced).
Verdict JudgeReply(const QByteArray& reply, const ExpectedReply& expected);

// The payload length announced by a 16-byte header.
int AnnouncedLength(const QByteArray& header);

} // namespace frame
