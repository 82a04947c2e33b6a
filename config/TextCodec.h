#pragma once
// Text routines of the configuration text: the field codec that turns fixed-width 8-bit controller
// fields into printable text and back without losing a byte, line splitting on CR LF, and the
// scanners the section grammars are made of. Scanners take the text by reference and remove from
// its front what they consumed (QString drops a prefix without copying the rest).
#include <QChar>
#include <QString>
#include <QStringView>
#include <cstdint>

// The escaped text of a field: bytes up to the first NUL (or all `width` bytes). The backslash is
// doubled; the grave accent, bytes below 0x20 (CR, LF, TAB...) and bytes 0x80 to 0xFF are written
// as a backslash and two upper-case hexadecimal digits, so a field never breaks a line. Characters
// listed in `alsoEscape` (the delimiters of the caller's line) are escaped the same way.
QString EncodeField(const std::uint8_t* bytes, int width, QStringView alsoEscape = {});
QString EncodeField(const char* bytes, int width, QStringView alsoEscape = {});

// Fills `destination` from an escaped text: at most `width` bytes, then a NUL if room is left.
// A character above 255 is stored as the low 8 bits of its code; a bad escape stores 0.
void DecodeField(QStringView text, std::uint8_t* destination, int width);
void DecodeField(QStringView text, char* destination, int width);

// The first line of the text without its CR LF (the whole text when there is no CR LF).
QString TakeLine(const QString& text);
// Removes the first line and its CR LF (empties the text when there is no CR LF).
void DropLine(QString& text);

bool IsDecDigit(QChar c);
bool IsHexDigit(QChar c);
// Appends a byte as two upper-case hexadecimal digits.
void AppendHex2(QString& out, unsigned byte);
// The value of a hexadecimal digit (either case), or -1.
int HexDigitValue(QChar c);

// Reads a number of up to `maxDigits` digits (1..255) from the front of the text. Strict: exactly
// `maxDigits` digits or, when the text is shorter, all of it. Lenient: 1 to `maxDigits` digits,
// stopping at the first other character. The text changes only on success and when `consume`.
bool ScanDecimal(QString& text, std::int32_t& value, int maxDigits, std::int64_t maximum,
                 std::int64_t minimum, bool lenient, bool consume);
bool ScanHex(QString& text, std::int32_t& value, int maxDigits, std::int64_t maximum, std::int64_t minimum,
             bool lenient, bool consume);

// Removes the first occurrence of `ch`; with `position` > 0 only when it is the character at that
// 1-based position.
bool ExpectChar(QString& text, QChar ch, int position);

QString FormatIP(const std::uint8_t* b);
bool ParseIP(QString text, std::uint8_t* b);
QString FormatMAC(const std::uint8_t* b);
bool ParseMAC(QString text, std::uint8_t* b);
// Set bit numbers from 7 down to 0 ("720" for 0x85).
QString FormatBits(std::uint8_t x);
// Each character 0 to 7 sets that bit; any other character fails and leaves `x` unchanged.
bool ParseBits(QStringView text, std::uint8_t& x);

// Number kinds of FormatValue and ParseValue.
enum ValueKind : int {
    kValueTime = 0,    // time of day hh:mm:ss from seconds
    kValueInteger = 1, // scale 1
    kValueHundredths = 2,
    kValueTenThousandths = 3,
};

// Kind 0: hh:mm:ss, "-" first for a negative time; a time of 100 hours or more is written with all
// its hour digits (e.g. "100:00:00").
// Kinds 1 to 3: fixed point with scale 1, 100, 10000; trailing fraction zeros dropped.
QString FormatValue(std::int32_t v, int kind, QChar sep, bool plus);

// Kind 0: "hh:mm:ss" with an optional sign and two or more hour digits, minutes and seconds up to
// 59, refused when it does not fit 32 bits. Kinds 1 to 3: a decimal number with "." or the
// locale's separator, optional sign and exponent, times the scale, rounded to the nearest integer
// with ties to even; computed exactly in decimal, and refused when it does not fit 32 bits.
bool ParseValue(QStringView text, int kind, std::int32_t& v);
// The same with an explicit locale separator (the one above uses the system locale's).
bool ParseValue(QStringView text, int kind, std::int32_t& v, QChar localeSeparator);

// The text between the first and the second `mark`: empty without a first mark, running to the
// end when there is no second one.
QStringView TextBetween(QStringView text, QChar mark);
