#pragma once
// Fields of an Intel HEX record text: ":" LL AAAA TT data... checksum, as pairs of hexadecimal digits.
#include <string_view>

namespace flash {

enum HexRecordType : int {
    kHexData = 0x00,
    kHexEndOfFile = 0x01,
    kHexExtendedLinearAddress = 0x04,
    kHexStartLinearAddress = 0x05,
};

// Value of each character as a hexadecimal digit, -1 for characters that are not one.
constexpr auto kHexDigitValues = [] {
    struct Table {
        signed char value[256];
    } table{};
    for (int c = 0; c < 256; ++c)
        table.value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                         : -1);
    return table;
}();

// The byte written by the two hexadecimal digits at text[pos], or -1 when they are missing or not
// hexadecimal.
inline int HexPair(std::string_view text, std::size_t pos) {
    if (pos + 1 >= text.size())
        return -1;
    const int high = kHexDigitValues.value[static_cast<unsigned char>(text[pos])];
    const int low = kHexDigitValues.value[static_cast<unsigned char>(text[pos + 1])];
    return (high | low) < 0 ? -1 : high * 16 + low;
}

struct HexRecordHead {
    int count = 0;   // LL
    int address = 0; // AAAA
    int type = 0;    // TT
};

// Reads LL, AAAA and TT of a record text that starts with ":". False when one of them is missing
// or not hexadecimal.
inline bool ReadHexRecordHead(std::string_view text, HexRecordHead& head) {
    const int count = HexPair(text, 1);
    const int addressHigh = HexPair(text, 3);
    const int addressLow = HexPair(text, 5);
    const int type = HexPair(text, 7);
    if (count < 0 || addressHigh < 0 || addressLow < 0 || type < 0)
        return false;
    head = {count, addressHigh * 256 + addressLow, type};
    return true;
}

} // namespace flash
