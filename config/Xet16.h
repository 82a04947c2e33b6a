#pragma once
// The Xet16 extension module settings record and the one routine that builds it from the
// user's choices. The record travels byte for byte as the payload of the extension module
// request, so its layout is a wire format.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>

struct TXet16 {
    std::uint8_t A_PortMode[3];      // input mode of analog inputs 1 to 3 (list position)
    std::uint8_t DS18B20_Rom1[3][8]; // first DS18B20 ROM code of inputs 1 to 3
    std::uint8_t DS18B20_Rom2[3][8]; // second DS18B20 ROM code of inputs 1 to 3
    std::uint8_t D_PortMode[4];      // digital ports 3 to 6: 0 input/output, 1 PWM modulator
    std::uint8_t A_OutMap[8];        // source of analog outputs 1 to 8
    std::uint8_t S_PortMode;         // 0 controller port, 1 RS485, 2 DMX
    std::uint8_t S_Speed[2];         // baud, unsigned 16-bit little-endian (see Xet16Speed)
    std::uint8_t S_Bits;             // 0 = 7 bits, 1 = 8 bits
    std::uint8_t S_Parity;           // none, even, odd, mark, space
    std::uint8_t S_Stops;            // 0 = 1, 1 = 1.5, 2 = 2
    std::uint8_t I2CAddr;            // module number the module takes on, 0 to 3
    std::uint8_t Out_Config[16];
    std::uint8_t Out_Time[16];
    std::uint8_t Times[64];
};
static_assert(sizeof(TXet16) == 166);
static_assert(offsetof(TXet16, A_PortMode) == 0);
static_assert(offsetof(TXet16, DS18B20_Rom1) == 3);
static_assert(offsetof(TXet16, DS18B20_Rom2) == 27);
static_assert(offsetof(TXet16, D_PortMode) == 51);
static_assert(offsetof(TXet16, A_OutMap) == 55);
static_assert(offsetof(TXet16, S_PortMode) == 63);
static_assert(offsetof(TXet16, S_Speed) == 64);
static_assert(offsetof(TXet16, S_Bits) == 66);
static_assert(offsetof(TXet16, S_Parity) == 67);
static_assert(offsetof(TXet16, S_Stops) == 68);
static_assert(offsetof(TXet16, I2CAddr) == 69);
static_assert(offsetof(TXet16, Out_Config) == 70);
static_assert(offsetof(TXet16, Out_Time) == 86);
static_assert(offsetof(TXet16, Times) == 102);

std::uint16_t Xet16Speed(const TXet16& record);
void SetXet16Speed(TXet16& record, std::uint16_t speed);

// Sizes of the lists the user chooses from (the window's lists, the command line's names).
constexpr int kXet16Inputs = 3;
constexpr int kXet16Ports = 4;
constexpr int kXet16Outputs = 8;
constexpr int kXet16InputModes = 7;
constexpr int kXet16PortModes = 2;
constexpr int kXet16OutputSources = 21; // off, DMX channels 1 to 16, PWM ports 3 to 6
constexpr int kXet16SerialModes = 3;
constexpr int kXet16DataBits = 2;
constexpr int kXet16Parities = 5;
constexpr int kXet16StopBits = 3;
constexpr int kXet16Modules = 4;

constexpr std::uint16_t kXet16DefaultSpeed = 9600;
constexpr std::uint16_t kXet16DefaultPort = 7080;

// What the user chose, as the window holds it: list positions and the texts of the edit boxes.
// The defaults are the window's initial state.
struct TXet16Choices {
    std::array<int, kXet16Inputs> InputMode{};
    std::array<QString, kXet16Inputs> Rom1{QStringLiteral("0000000000000000"),
                                           QStringLiteral("0000000000000000"),
                                           QStringLiteral("0000000000000000")};
    std::array<QString, kXet16Inputs> Rom2{QStringLiteral("0000000000000000"),
                                           QStringLiteral("0000000000000000"),
                                           QStringLiteral("0000000000000000")};
    std::array<int, kXet16Ports> PortMode{};
    std::array<int, kXet16Outputs> OutputSource{};
    int SerialMode = 0;
    QString Speed = QStringLiteral("9600");
    int DataBits = 1;
    int Parity = 0;
    int StopBits = 0;
    int ProgramAs = 0; // "program as module number" list position, 0 to 3

    // Where to send it.
    QString Host = QStringLiteral("192.168.0.177");
    QString PortText = QStringLiteral("7080");
    QString Password = QStringLiteral("8052");
    int Module = 0; // module number the request addresses, 0 to 3
};

enum class TXet16Refusal {
    None,
    SpeedOutOfRange,  // a decimal speed outside 0 to 65535 would reach the module truncated
    ChoiceOutOfRange, // a list position outside its list
};

// The record and its destination, ready for the extension module settings task.
struct TXet16Request {
    TXet16Refusal Refusal = TXet16Refusal::None; // anything but None: nothing may be sent
    TXet16 Record{};
    QString Host;
    quint16 Port = kXet16DefaultPort;
    QString Password;
    quint8 No = 0;
    // Which lenient rules were applied; the window accepts them silently, scripts may refuse them.
    bool SpeedDefaulted = false; // the speed text was not a number and became 9600
    bool PortDefaulted = false;  // the port text was not a number and became 7080
    bool RomDefaulted = false;   // some ROM text held more than 16 characters or a non-hexadecimal pair
};

// Builds the record afresh (all bytes zero first) from the choices:
// - a ROM text is padded with '0' to 16 characters and read as eight hexadecimal pairs, left to
//   right; a pair that is not hexadecimal gives 0;
// - a speed that is not a decimal number becomes 9600; a decimal speed outside 0 to 65535 is
//   refused rather than sent truncated;
// - a port that is not a decimal number becomes 7080, otherwise its low 16 bits are used;
// - output sources 0 to 16 are sent as they are, 17 to 20 (PWM ports 3 to 6) as 252 to 255.
TXet16Request BuildXet16(const TXet16Choices& choices);

// The value sent for an output source list position.
std::uint8_t Xet16OutputSourceValue(int position);

// Eight ROM code bytes from an edit box text.
std::array<std::uint8_t, 8> Xet16RomCode(const QString& text);

// True when the text is at most 16 hexadecimal digits, so that no pair turns into 0 unasked.
bool Xet16RomTextExact(const QString& text);
