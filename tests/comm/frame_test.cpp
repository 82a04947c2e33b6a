// Frames, the password hash and the judging of replies.
#include "comm/Frame.h"
#include "tests/support/FakeController.h"

#include <gtest/gtest.h>

using namespace frame;

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(text); }

// Independent bytewise CRC-32/MPEG-2 over the buffer with each 4-byte group reversed.
std::uint32_t referenceHash(QByteArray bytes) {
    bytes = bytes.left(16);
    bytes.append(QByteArray(16 - bytes.size(), '\0'));
    std::uint32_t crc = 0xFFFFFFFF;
    for (int group = 0; group < 4; ++group)
        for (int j = 3; j >= 0; --j) {
            crc ^= std::uint32_t(quint8(bytes[group * 4 + j])) << 24;
            for (int b = 0; b < 8; ++b)
                crc = (crc & 0x80000000) ? (crc << 1) ^ 0x04C11DB7 : crc << 1;
        }
    return crc;
}

} // namespace

TEST(PasswordHash, CheckValueAndEdgeCases) {
    EXPECT_EQ(PasswordHash(QStringLiteral("abc")), 0xC8B56C30u);
    EXPECT_EQ(PasswordHash(QString()), referenceHash(QByteArray(16, '\0')));
    EXPECT_EQ(PasswordHash(QStringLiteral("12345678901234567890")), PasswordHash(QStringLiteral("1234567890123456")));
    EXPECT_NE(PasswordHash(QStringLiteral("123456789012345")), PasswordHash(QStringLiteral("1234567890123456")));
    // Only the low 8 bits of a code unit count: ł (0x0142) is the byte 0x42, the letter B.
    EXPECT_EQ(PasswordHash(QStringLiteral("ł")), PasswordHash(QStringLiteral("B")));
    EXPECT_EQ(PasswordHash(QStringLiteral("8052")), referenceHash("8052"));
}

TEST(BuildRequest, VersionQueryBytes) {
    EXPECT_EQ(BuildRequest(kVersion, 0xC8B56C30u), hex("D5800DC8B56C30F0FFFFFFFFAA000000"));
}

TEST(BuildRequest, BlockWriteCarriesAddressAndLength) {
    const QByteArray payload = BlockAddress(0x7FF00) + QByteArray(256, 'x');
    const QByteArray request = BuildRequest(kBlockWrite, 1, payload);
    ASSERT_EQ(request.size(), 16 + 259);
    EXPECT_EQ(request.mid(12, 4), hex("A1000103"));
    EXPECT_EQ(request.mid(16, 3), hex("07FF00"));
}

struct JudgeCase {
    const char* name;
    QByteArray reply;
    ExpectedReply expected;
    TStatus status;
    bool keep;
};

class JudgeReplyTable : public ::testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeReplyTable, GivesStatusAndConnectionFate) {
    const auto& c = GetParam();
    const Verdict v = JudgeReply(c.reply, c.expected);
    EXPECT_EQ(v.status, c.status);
    EXPECT_EQ(v.keepConnection, c.keep);
}

namespace {
const QByteArray kVersionPayload(38, 'v');
const QByteArray kAddr = hex("000600");
const ExpectedReply kVersionReply{.code = 0xBA, .payloadLength = 38};
const ExpectedReply kBlockReply{.code = 0xB0, .payloadLength = 259, .addressEcho = kAddr};
const ExpectedReply kReadStart{.code = 0xBF, .headerFaultIsUnknown = true};
const ExpectedReply kAckReply{.code = 0x08, .acknowledgement = true, .headerFaultIsUnknown = true};
const ExpectedReply kHttpReply{.code = 0xF1};
QByteArray F(quint8 code, quint8 arg, const QByteArray& p) { return FakeController::frame(code, arg, p); }
QByteArray withByte(QByteArray b, int at, char v) {
    b[at] = v;
    return b;
}
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Outcomes, JudgeReplyTable,
    ::testing::Values(
        JudgeCase{"VersionOk", F(0xBA, 0, kVersionPayload), kVersionReply, STATRESOK, true},
        // Length field 40 with 40 bytes: judged by total length first.
        JudgeCase{"VersionLength40", F(0xBA, 0, QByteArray(40, 'v')), kVersionReply, statResUnkn, false},
        JudgeCase{"VersionBadSignature", withByte(F(0xBA, 0, kVersionPayload), 1, 0), kVersionReply, statResErr, false},
        JudgeCase{"VersionWrongCode", F(0xBB, 0, kVersionPayload), kVersionReply, statResErr, false},
        JudgeCase{"VersionNonZeroArgument", F(0xBA, 1, kVersionPayload), kVersionReply, statResErr, false},
        JudgeCase{"HashAndFixedBytesIgnored", withByte(withByte(F(0xBA, 0, kVersionPayload), 4, 9), 8, 0),
                  kVersionReply, STATRESOK, true},
        JudgeCase{"BlockOk", F(0xB0, 0, kAddr + QByteArray(256, 'd')), kBlockReply, STATRESOK, true},
        JudgeCase{"BlockEchoOfOtherBlock", F(0xB0, 0, hex("000500") + QByteArray(256, 'd')), kBlockReply, statResErr,
                  false},
        JudgeCase{"BlockShort", F(0xB0, 0, kAddr + QByteArray(255, 'd')), kBlockReply, statResUnkn, false},
        JudgeCase{"ReadStartWrongCodeIsUnknown", F(0xB0, 0, {}), kReadStart, statResUnkn, false},
        JudgeCase{"ReadStartOk", F(0xBF, 0, {}), kReadStart, STATRESOK, true},
        JudgeCase{"AckDone", F(0x08, 1, {}), kAckReply, STATRESOK, true},
        JudgeCase{"AckRefusedKeepsConnection", F(0x08, 0, {}), kAckReply, statResErr, true},
        JudgeCase{"AckResult2KeepsConnection", F(0x08, 2, {}), kAckReply, statResUnkn, true},
        JudgeCase{"AckWithPayloadDrops", F(0x08, 1, hex("00")), kAckReply, statResUnkn, false},
        JudgeCase{"AckWrongCodeIsUnknown", F(0x09, 1, {}), kAckReply, statResUnkn, false},
        JudgeCase{"HttpOk", F(0xF1, 0, {}), kHttpReply, STATRESOK, true},
        JudgeCase{"HttpWrongCode", F(0xF0, 0, {}), kHttpReply, statResErr, false},
        JudgeCase{"EmptyReply", QByteArray(), kHttpReply, statResUnkn, false},
        JudgeCase{"LengthFieldLiesAboutPayload", FakeController::frameWithLength(0xF1, 0, 5, {}), kHttpReply,
                  statResErr, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FieldText, StopsAtFirstZeroOrFieldEnd) {
    const char field[6] = {'V', '4', '.', '1', '\0', 'x'};
    EXPECT_EQ(FieldText(field, 6), QStringLiteral("V4.1"));
    const char full[2] = {'P', 'L'};
    EXPECT_EQ(FieldText(full, 2), QStringLiteral("PL"));
}
