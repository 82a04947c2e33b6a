#pragma once
// The controller's configuration records of both editions, byte for byte as the controller keeps
// them, the circuit remap tables held beside them, and their cleared state.
//
// Every field is an array of bytes: multi-byte numbers are little-endian and are read and written
// through the helpers in namespace le, never by casting to a wider type.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace le {

inline std::uint16_t GetU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline std::uint32_t GetU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void PutU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}
inline std::int32_t GetS32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(GetU32(p));
}
inline void PutS32(std::uint8_t* p, std::int32_t v) {
    PutU32(p, static_cast<std::uint32_t>(v));
}

} // namespace le

#pragma pack(push, 1)

// One 64-byte macro cell: eight blocks of eight slots.
struct TMacroCell {
    std::uint8_t InOptions[8];   // pin options byte of the digital input in slot s
    std::uint8_t InCircuits[8];  // circuit number of the input (digital or analog) in slot s
    std::uint8_t InTimes[8];     // time pair (two Param_Cell nibbles) of the digital input in slot s
    std::uint8_t OutOptions[8];  // pin options byte of the digital output in slot s
    std::uint8_t OutCircuits[8]; // circuit number of the output (digital or analog) in slot s
    std::uint8_t OutTimes[8];    // time pair of the digital output in slot s
    std::uint8_t Params[16];     // parameter bytes: bank b position p at Params[8 * b + p]
};

// Time parameters shared by all pins of all cells: 16 s32 in hundredths; entry 0 is never used.
struct TParam_Cell {
    std::uint8_t Time[16][4];
};

// Beside each held configuration: pair k (1..253) at bytes 2k-2 (nonzero = in use) and 2k-1 (label).
struct TDCircuitRemap {
    std::uint8_t DCircuitConns[506];
};
struct TACircuitRemap {
    std::uint8_t ACircuitConns[506];
};

struct TNodarixQPAConfig {
    static constexpr int kCellCount = 40;
    static constexpr int kTextCount = 64;
    static constexpr int kTextWidth = 32;
    static constexpr int kNumerCount = 64;
    static constexpr int kDCircuitCount = 253;
    static constexpr int kACircuitCount = 31;

    std::uint8_t IP[5][4]; // address, mask, gateway, DNS 1, DNS 2
    std::uint8_t MAC[6];
    std::uint8_t NETNAME[16];
    std::uint8_t Text16[4][16]; // control, setup, POP3, SMTP passwords
    std::uint8_t Text32[5][32]; // SNTP server, POP3 server, POP3 account, SMTP server, SMTP account
    std::uint8_t Numer16[7][2]; // u16
    std::uint8_t Numer8[3];
    std::uint8_t Bits;
    std::uint8_t TimeStamp[4]; // u32, the controller's own
    std::uint8_t CrcConf[4];   // u32, the controller's own
    std::uint8_t Alligment0[28];
    TMacroCell Set_Macro[40];
    std::uint8_t CellType[40];
    std::uint8_t Alligment1[24];
    TParam_Cell Param_Cell;
    std::uint8_t Set_Text[64][32];
    std::uint8_t Set_Numer[64][4]; // s32
    std::uint8_t D_CirName[256][8];
    std::uint8_t D_CirParam[256]; // low nibble logic, high nibble X code
    std::uint8_t D_CirAlias[256]; // 1-based Set_Text entry, 0 = none
    std::uint8_t A_CirName[32][8];
    std::uint8_t A_CirAlias[32];
    std::uint8_t Alligment2[32];
};

struct TNodarixQPBConfig {
    static constexpr int kCellCount = 64;
    static constexpr int kTextCount = 128;
    static constexpr int kTextWidth = 256;
    static constexpr int kNumerCount = 128;
    static constexpr int kDCircuitCount = 253;
    static constexpr int kACircuitCount = 253;

    std::uint8_t IP[5][4];
    std::uint8_t MAC[6];
    std::uint8_t NETNAME[16];
    std::uint8_t Text16[4][16];
    std::uint8_t Text32[5][32];
    std::uint8_t Numer16[7][2];
    std::uint8_t Numer8[3];
    std::uint8_t Bits;
    std::uint8_t TimeStamp[4];
    std::uint8_t CrcConf[4];
    TMacroCell Set_Macro[64];
    std::uint8_t CellType[64];
    TParam_Cell Param_Cell;
    std::uint8_t Set_Text[128][256];
    std::uint8_t Set_Numer[128][4];
    std::uint8_t D_CirName[256][8];
    std::uint8_t D_CirParam[256];
    std::uint8_t D_CirAlias[256];
    std::uint8_t A_CirName[256][8];
    std::uint8_t A_CirAlias[256];
    std::uint8_t Alligment[22876];
};

// Text variables of a QPA controller.
struct TNodarixQPAText {
    static constexpr int kTextCount = 128;
    std::uint8_t Var_Text[128][256];
};

// Numeric and text variables of a QPB controller.
struct TNodarixQPBVars {
    static constexpr int kNumerCount = 64;
    static constexpr int kTextCount = 64;
    std::uint8_t Var_Numer[64][4]; // s32
    std::uint8_t Var_Text[64][256];
};

#pragma pack(pop)

static_assert(sizeof(TMacroCell) == 64);
static_assert(offsetof(TMacroCell, InCircuits) == 8 && offsetof(TMacroCell, InTimes) == 16);
static_assert(offsetof(TMacroCell, OutOptions) == 24 && offsetof(TMacroCell, OutCircuits) == 32);
static_assert(offsetof(TMacroCell, OutTimes) == 40 && offsetof(TMacroCell, Params) == 48);
static_assert(sizeof(TParam_Cell) == 64);
static_assert(sizeof(TDCircuitRemap) == 506 && sizeof(TACircuitRemap) == 506);

static_assert(sizeof(TNodarixQPAConfig) == 8192);
static_assert(offsetof(TNodarixQPAConfig, IP) == 0);
static_assert(offsetof(TNodarixQPAConfig, MAC) == 20);
static_assert(offsetof(TNodarixQPAConfig, NETNAME) == 26);
static_assert(offsetof(TNodarixQPAConfig, Text16) == 42);
static_assert(offsetof(TNodarixQPAConfig, Text32) == 106);
static_assert(offsetof(TNodarixQPAConfig, Numer16) == 266);
static_assert(offsetof(TNodarixQPAConfig, Numer8) == 280);
static_assert(offsetof(TNodarixQPAConfig, Bits) == 283);
static_assert(offsetof(TNodarixQPAConfig, TimeStamp) == 284);
static_assert(offsetof(TNodarixQPAConfig, CrcConf) == 288);
static_assert(offsetof(TNodarixQPAConfig, Alligment0) == 292);
static_assert(offsetof(TNodarixQPAConfig, Set_Macro) == 320);
static_assert(offsetof(TNodarixQPAConfig, CellType) == 2880);
static_assert(offsetof(TNodarixQPAConfig, Alligment1) == 2920);
static_assert(offsetof(TNodarixQPAConfig, Param_Cell) == 2944);
static_assert(offsetof(TNodarixQPAConfig, Set_Text) == 3008);
static_assert(offsetof(TNodarixQPAConfig, Set_Numer) == 5056);
static_assert(offsetof(TNodarixQPAConfig, D_CirName) == 5312);
static_assert(offsetof(TNodarixQPAConfig, D_CirParam) == 7360);
static_assert(offsetof(TNodarixQPAConfig, D_CirAlias) == 7616);
static_assert(offsetof(TNodarixQPAConfig, A_CirName) == 7872);
static_assert(offsetof(TNodarixQPAConfig, A_CirAlias) == 8128);
static_assert(offsetof(TNodarixQPAConfig, Alligment2) == 8160);

static_assert(sizeof(TNodarixQPBConfig) == 65536);
static_assert(offsetof(TNodarixQPBConfig, IP) == 0);
static_assert(offsetof(TNodarixQPBConfig, MAC) == 20);
static_assert(offsetof(TNodarixQPBConfig, NETNAME) == 26);
static_assert(offsetof(TNodarixQPBConfig, Text16) == 42);
static_assert(offsetof(TNodarixQPBConfig, Text32) == 106);
static_assert(offsetof(TNodarixQPBConfig, Numer16) == 266);
static_assert(offsetof(TNodarixQPBConfig, Numer8) == 280);
static_assert(offsetof(TNodarixQPBConfig, Bits) == 283);
static_assert(offsetof(TNodarixQPBConfig, TimeStamp) == 284);
static_assert(offsetof(TNodarixQPBConfig, CrcConf) == 288);
static_assert(offsetof(TNodarixQPBConfig, Set_Macro) == 292);
static_assert(offsetof(TNodarixQPBConfig, CellType) == 4388);
static_assert(offsetof(TNodarixQPBConfig, Param_Cell) == 4452);
static_assert(offsetof(TNodarixQPBConfig, Set_Text) == 4516);
static_assert(offsetof(TNodarixQPBConfig, Set_Numer) == 37284);
static_assert(offsetof(TNodarixQPBConfig, D_CirName) == 37796);
static_assert(offsetof(TNodarixQPBConfig, D_CirParam) == 39844);
static_assert(offsetof(TNodarixQPBConfig, D_CirAlias) == 40100);
static_assert(offsetof(TNodarixQPBConfig, A_CirName) == 40356);
static_assert(offsetof(TNodarixQPBConfig, A_CirAlias) == 42404);
static_assert(offsetof(TNodarixQPBConfig, Alligment) == 42660);

static_assert(sizeof(TNodarixQPAText) == 32768);
static_assert(sizeof(TNodarixQPBVars) == 16640);
static_assert(offsetof(TNodarixQPBVars, Var_Text) == 256);

// Time parameter entry i (0..15) of a TParam_Cell.
inline std::int32_t GetParamTime(const TParam_Cell& p, int i) {
    return le::GetS32(p.Time[i]);
}
inline void SetParamTime(TParam_Cell& p, int i, std::int32_t v) {
    le::PutS32(p.Time[i], v);
}

// Pair k (1..253) of a remap table: whether circuit k is in use, and its label in the text.
inline bool RemapUsed(const std::uint8_t* conns, int k) {
    return conns[2 * k - 2] != 0;
}
inline std::uint8_t RemapLabel(const std::uint8_t* conns, int k) {
    return conns[2 * k - 1];
}
inline void RemapSet(std::uint8_t* conns, int k, std::uint8_t label) {
    conns[2 * k - 2] = 1;
    conns[2 * k - 1] = label;
}

// The cleared state: every byte zero except D_CirParam, which is all 1 (logic OR, no X code).
inline void ClearRecord(TNodarixQPAConfig& c) {
    std::memset(&c, 0, sizeof c);
    std::memset(c.D_CirParam, 1, sizeof c.D_CirParam);
}
inline void ClearRecord(TNodarixQPBConfig& c) {
    std::memset(&c, 0, sizeof c);
    std::memset(c.D_CirParam, 1, sizeof c.D_CirParam);
}
inline void ClearRecord(TNodarixQPAText& t) {
    std::memset(&t, 0, sizeof t);
}
inline void ClearRecord(TNodarixQPBVars& v) {
    std::memset(&v, 0, sizeof v);
}
inline void ClearRecord(TDCircuitRemap& r) {
    std::memset(&r, 0, sizeof r);
}
inline void ClearRecord(TACircuitRemap& r) {
    std::memset(&r, 0, sizeof r);
}

// Clears an image, its companion record and both remap tables together.
template <class Config, class Companion>
void ClearConfiguration(Config& config, Companion& companion, TACircuitRemap& analog,
                        TDCircuitRemap& digital) {
    ClearRecord(config);
    ClearRecord(companion);
    ClearRecord(analog);
    ClearRecord(digital);
}
