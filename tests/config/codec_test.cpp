#include "config/TextCodec.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(const char* s, std::size_t n) {
    return {s, s + n};
}

struct EncodeCase {
    const char* name;
    std::vector<std::uint8_t> field;
    const char* text;
};

class EncodeFieldTest : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeFieldTest, EncodesAndDecodesBackToTheSameBytes) {
    const auto& c = GetParam();
    const int width = static_cast<int>(c.field.size());
    const QString text = EncodeField(c.field.data(), width);
    EXPECT_EQ(text, QString::fromLatin1(c.text));

    std::vector<std::uint8_t> back(c.field.size(), 0xEE);
    DecodeField(text, back.data(), width);
    for (int i = 0; i < width; ++i) {
        if (c.field[i] == 0) {
            EXPECT_EQ(back[i], 0) << "the NUL that ends the field at " << i;
            break;
        }
        ASSERT_EQ(back[i], c.field[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codec, EncodeFieldTest,
    ::testing::Values(EncodeCase{"plain", bytesOf("Pump\0xyz", 8), "Pump"},
                      EncodeCase{"backslash doubled", bytesOf("a\\b", 3), "a\\\\b"},
                      EncodeCase{"grave accent", bytesOf("a`b", 3), "a\\60b"},
                      EncodeCase{"high bytes upper-case hex", bytesOf("\x80\xE9\xFF", 3), "\\80\\E9\\FF"},
                      EncodeCase{"full width without NUL", bytesOf("ABCDEFGH", 8), "ABCDEFGH"},
                      EncodeCase{"delimiters other than the grave stay", bytesOf("\"'!=", 4), "\"'!="},
                      // Control bytes would break the line structure: escaped like high bytes.
                      EncodeCase{"control bytes", bytesOf("a\r\n\tb\x01\x1F", 7), "a\\0D\\0A\\09b\\01\\1F"},
                      EncodeCase{"empty", bytesOf("\0", 1), ""}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(Codec, EncodeFieldEscapesTheCallersDelimiters) {
    const std::uint8_t name[] = "a\"b'c!d`e";
    EXPECT_EQ(EncodeField(name, 9, u"\"'!`"), QStringLiteral("a\\22b\\27c\\21d\\60e"));
    EXPECT_EQ(EncodeField(name, 0), QString());
}

struct DecodeCase {
    const char* name;
    QString text;
    int width;
    std::vector<std::uint8_t> expected; // the destination after decoding (started as 0xEE)
};

class DecodeFieldTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFieldTest, FillsTheDestination) {
    const auto& c = GetParam();
    std::vector<std::uint8_t> dest(c.expected.size(), 0xEE);
    DecodeField(c.text, dest.data(), c.width);
    EXPECT_EQ(dest, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, DecodeFieldTest,
    ::testing::Values(DecodeCase{"NUL after the text, rest untouched", "ab", 4, {'a', 'b', 0, 0xEE}},
                      DecodeCase{"longer than width: cut, no NUL", "abcdef", 4, {'a', 'b', 'c', 'd', 0xEE}},
                      DecodeCase{"lower-case hex accepted", "\\e9\\0a", 3, {0xE9, 0x0A, 0}},
                      DecodeCase{"trailing lone backslash gives 0", "a\\", 3, {'a', 0, 0}},
                      DecodeCase{"bad hex gives 0 and consumes both", "\\zzQ", 3, {0, 'Q', 0}},
                      DecodeCase{"one hex digit at the end", "\\4", 2, {4, 0}},
                      DecodeCase{
                          "character above 255 keeps its low 8 bits", QString(QChar(0x0141)), 2, {0x41, 0}},
                      DecodeCase{"empty text stores a NUL", "", 2, {0, 0xEE}},
                      DecodeCase{"width 0 writes nothing", "abc", 0, {0xEE}}),
    [](const auto& info) {
        std::string n = info.param.name;
        for (auto& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(Codec, TakeLineAndDropLineSplitOnlyAtCrLf) {
    QString text = QStringLiteral("one\ntwo\rthree\r\nfour");
    EXPECT_EQ(TakeLine(text), QStringLiteral("one\ntwo\rthree"));
    DropLine(text);
    EXPECT_EQ(text, QStringLiteral("four"));
    EXPECT_EQ(TakeLine(text), QStringLiteral("four"));
    DropLine(text);
    EXPECT_TRUE(text.isEmpty());
    QString blank = QStringLiteral("\r\nx");
    EXPECT_EQ(TakeLine(blank), QString());
    DropLine(blank);
    EXPECT_EQ(blank, QStringLiteral("x"));
}

struct ScanCase {
    const char* name;
    bool hex;
    const char* text;
    int digits;
    std::int64_t max;
    std::int64_t min;
    bool lenient;
    bool ok;
    std::int32_t value;
    const char* rest; // text afterwards (consume on)
};

class ScanTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanTest, ScansTheFront) {
    const auto& c = GetParam();
    QString text = QString::fromLatin1(c.text);
    std::int32_t value = 12345;
    const bool ok = c.hex ? ScanHex(text, value, c.digits, c.max, c.min, c.lenient, true)
                          : ScanDecimal(text, value, c.digits, c.max, c.min, c.lenient, true);
    EXPECT_EQ(ok, c.ok);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(text, QString::fromLatin1(c.rest));
}

INSTANTIATE_TEST_SUITE_P(
    Codec, ScanTest,
    ::testing::Values(
        ScanCase{"strict_shorter_text_all_digits", false, "80", 5, 65535, 0, false, true, 80, ""},
        ScanCase{"strict_fails_on_trailing_space", false, "80 ", 5, 65535, 0, false, false, 0, "80 "},
        ScanCase{"strict_exact_count_leaves_rest", false, "1234", 3, 999, 0, false, true, 123, "4"},
        ScanCase{"lenient_stops_at_other", false, "12.5", 3, 255, 0, true, true, 12, ".5"},
        ScanCase{"lenient_needs_one_digit", false, ".5", 3, 255, 0, true, false, 0, ".5"},
        ScanCase{"above_maximum", false, "256", 3, 255, 0, true, false, 0, "256"},
        ScanCase{"below_minimum", false, "0", 2, 253, 1, true, false, 0, "0"},
        ScanCase{"empty_text", false, "", 3, 255, 0, true, false, 0, ""},
        ScanCase{"too_big_for_32_bits", false, "99999999999", 20, INT64_MAX, 0, true, false, 0,
                 "99999999999"},
        ScanCase{"hex_mixed_case", true, "fD=", 2, 253, 1, true, true, 253, "="},
        ScanCase{"hex_strict_one_digit_then_other", true, "A-", 2, 255, 0, false, false, 0, "A-"},
        ScanCase{"hex_lenient_one_digit", true, "7=", 2, 127, 0, true, true, 7, "="}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Codec, ScanWithoutConsumeLeavesTheText) {
    QString text = QStringLiteral("42x");
    std::int32_t v = 0;
    EXPECT_TRUE(ScanDecimal(text, v, 3, 255, 0, true, false));
    EXPECT_EQ(v, 42);
    EXPECT_EQ(text, QStringLiteral("42x"));
}

TEST(Codec, ExpectCharFindsTheFirstOccurrence) {
    QString text = QStringLiteral("a=b=");
    EXPECT_FALSE(ExpectChar(text, QLatin1Char('='), 1));
    EXPECT_EQ(text, QStringLiteral("a=b="));
    EXPECT_TRUE(ExpectChar(text, QLatin1Char('='), 2));
    EXPECT_EQ(text, QStringLiteral("ab="));
    EXPECT_TRUE(ExpectChar(text, QLatin1Char('='), 0));
    EXPECT_EQ(text, QStringLiteral("ab"));
    EXPECT_FALSE(ExpectChar(text, QLatin1Char('='), 0));
}

TEST(Codec, IpMacAndBits) {
    std::uint8_t ip[4] = {};
    EXPECT_TRUE(ParseIP(QStringLiteral("192.168.0.177 and more"), ip));
    EXPECT_EQ(FormatIP(ip), QStringLiteral("192.168.0.177"));
    EXPECT_FALSE(ParseIP(QStringLiteral("192.168.0"), ip));
    EXPECT_FALSE(ParseIP(QStringLiteral("192.168.0.256"), ip));
    EXPECT_FALSE(ParseIP(QStringLiteral("192 .168.0.1"), ip));

    std::uint8_t mac[6] = {};
    EXPECT_TRUE(ParseMAC(QStringLiteral("00-1a-2B-3c-4D-ff"), mac));
    EXPECT_EQ(FormatMAC(mac), QStringLiteral("00-1A-2B-3C-4D-FF"));
    EXPECT_FALSE(ParseMAC(QStringLiteral("00-1A-2B-3C-4-FF"), mac)) << "strict pairs";
    // A strict scan at the end of the text takes what is left.
    EXPECT_TRUE(ParseMAC(QStringLiteral("00-1A-2B-3C-4D-F"), mac));
    EXPECT_EQ(mac[5], 0x0F);
    EXPECT_FALSE(ParseMAC(QStringLiteral("00:1A:2B:3C:4D:FF"), mac));

    std::uint8_t bits = 0x11;
    EXPECT_EQ(FormatBits(0x85), QStringLiteral("720"));
    EXPECT_EQ(FormatBits(0), QString());
    EXPECT_TRUE(ParseBits(QStringLiteral("0277"), bits));
    EXPECT_EQ(bits, 0x85);
    EXPECT_FALSE(ParseBits(QStringLiteral("8"), bits));
    EXPECT_EQ(bits, 0x85) << "a failed parse leaves the destination";
    EXPECT_TRUE(ParseBits(QString(), bits));
    EXPECT_EQ(bits, 0);
}

struct FormatCase {
    std::int32_t value;
    int kind;
    bool plus;
    const char* text;
};

class FormatValueTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatValueTest, Formats) {
    const auto& c = GetParam();
    EXPECT_EQ(FormatValue(c.value, c.kind, QLatin1Char('.'), c.plus), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Codec, FormatValueTest,
    ::testing::Values(FormatCase{150, 2, false, "1.5"}, FormatCase{100, 2, false, "1"},
                      FormatCase{5, 2, false, "0.05"}, FormatCase{20075, 2, false, "200.75"},
                      FormatCase{-1235, 2, false, "-12.35"}, FormatCase{10005, 3, false, "1.0005"},
                      FormatCase{100005, 3, false, "10.0005"}, FormatCase{42, 1, true, "+42"},
                      FormatCase{0, 1, true, "0"}, FormatCase{INT32_MIN, 1, false, "-2147483648"},
                      FormatCase{27000, 0, false, "07:30:00"}, FormatCase{-27000, 0, false, "-07:30:00"},
                      FormatCase{359999, 0, false, "99:59:59"},
                      // No room in hh: written with all its hour digits, which the reader takes back.
                      FormatCase{360000, 0, false, "100:00:00"},
                      FormatCase{INT32_MIN, 0, false, "-596523:14:08"}, FormatCase{7, 4, false, ""}));

struct ParseCase {
    const char* text;
    int kind;
    bool ok;
    std::int32_t value;
};

class ParseValueTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseValueTest, Parses) {
    const auto& c = GetParam();
    std::int32_t v = 99;
    EXPECT_EQ(ParseValue(QString::fromLatin1(c.text), c.kind, v, QLatin1Char('.')), c.ok);
    if (c.ok) {
        EXPECT_EQ(v, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codec, ParseValueTest,
    ::testing::Values(
        ParseCase{"07:30:00", 0, true, 27000}, ParseCase{"24:00:00", 0, true, 86400},
        ParseCase{"29:59:59", 0, true, 107999}, ParseCase{"30:00:00", 0, true, 108000},
        ParseCase{"99:59:59", 0, true, 359999}, ParseCase{"100:00:00", 0, true, 360000},
        ParseCase{"-01:00:00", 0, true, -3600}, ParseCase{"+01:00:00", 0, true, 3600},
        ParseCase{"596523:14:07", 0, true, INT32_MAX}, ParseCase{"-596523:14:08", 0, true, INT32_MIN},
        ParseCase{"596523:14:08", 0, false, 0}, ParseCase{"99999999999999999999:00:00", 0, false, 0},
        ParseCase{"7:30:00", 0, false, 0}, ParseCase{"-7:30:00", 0, false, 0},
        ParseCase{"07:60:00", 0, false, 0}, ParseCase{"07:30:0", 0, false, 0},
        ParseCase{"07:30:00 ", 0, false, 0}, ParseCase{"0x:30:00", 0, false, 0},
        ParseCase{"--01:00:00", 0, false, 0}, ParseCase{"07:3000", 0, false, 0}, ParseCase{"2.5", 1, true, 2},
        ParseCase{"3.5", 1, true, 4}, ParseCase{"-2.5", 1, true, -2}, ParseCase{"2.5000001", 1, true, 3},
        ParseCase{"2.675", 2, true, 268}, ParseCase{"0.125", 2, true, 12}, ParseCase{"1.5", 2, true, 150},
        ParseCase{"-12.35", 2, true, -1235}, ParseCase{"1.0005", 3, true, 10005},
        ParseCase{"1e3", 2, true, 100000}, ParseCase{"+7", 1, true, 7}, ParseCase{".5", 2, true, 50},
        ParseCase{"2147483647", 1, true, INT32_MAX}, ParseCase{"-2147483648", 1, true, INT32_MIN},
        ParseCase{"2147483648", 1, false, 0}, ParseCase{"21474837", 2, false, 0},
        ParseCase{"1e999999999", 1, false, 0}, ParseCase{"1e-999999999", 1, true, 0},
        ParseCase{"", 1, false, 0}, ParseCase{"1,5", 2, false, 0}, ParseCase{"1.5 ", 2, false, 0},
        ParseCase{"1.2.3", 2, false, 0}, ParseCase{"e5", 1, false, 0}, ParseCase{"x", 9, true, 0}));

TEST(Codec, ParseValueTakesTheLocaleSeparatorBesideThePoint) {
    std::int32_t v = 0;
    EXPECT_TRUE(ParseValue(u"1,25", kValueHundredths, v, QLatin1Char(',')));
    EXPECT_EQ(v, 125);
    EXPECT_TRUE(ParseValue(u"1.25", kValueHundredths, v, QLatin1Char(',')));
    EXPECT_EQ(v, 125);
    EXPECT_FALSE(ParseValue(u"1.2,5", kValueHundredths, v, QLatin1Char(',')));
}

} // namespace
