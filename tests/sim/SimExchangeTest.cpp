// The simulator's answers, checked byte by byte over a real socket.
#include "tests/sim/RawLink.h"
#include "tests/support/SimProcess.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <ostream>
#include <random>

using namespace rawlink;

namespace {

QString fieldText(const QByteArray& record, int offset, int width) {
    QByteArray field = record.mid(offset, width);
    const qsizetype nul = field.indexOf('\0');
    if (nul >= 0)
        field.truncate(nul);
    return QString::fromLatin1(field);
}

struct VersionCase {
    const char* name;
    QStringList args;
    QString version, pcb, realization, serial, language;
    char switchByte;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.name;
}

class VersionRecord : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionRecord, FieldsComeFromOptions) {
    const VersionCase& c = GetParam();
    SimProcess sim(c.args);
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const auto r = link.exchange(request(0xAA));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 54);
    EXPECT_EQ(r->left(3), QByteArray("\xD5\x80\x0D", 3));
    EXPECT_EQ(code(*r), 0xBA);
    EXPECT_EQ(argument(*r), 0);
    EXPECT_EQ(lengthField(*r), 38);
    const QByteArray rec = r->mid(16);
    EXPECT_EQ(fieldText(rec, 0, 6), c.version);
    EXPECT_EQ(fieldText(rec, 6, 1), c.pcb);
    EXPECT_EQ(rec.at(7), c.switchByte);
    EXPECT_EQ(fieldText(rec, 8, 8), c.realization);
    EXPECT_EQ(fieldText(rec, 16, 8), c.serial);
    EXPECT_EQ(fieldText(rec, 24, 2), c.language);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, VersionRecord,
    ::testing::Values(VersionCase{"defaults", {}, "V4.1.3", "D", "QPA1", "00012345", "PL", '\0'},
                      VersionCase{"qpb_all_options",
                                  {"--edition", "qpb", "--version-text", "V5.0.1", "--pcb", "F", "--jumper",
                                   "--serial", "98765432", "--language", "it"},
                                  "V5.0.1",
                                  "F",
                                  "QPB1",
                                  "98765432",
                                  "IT",
                                  'e'},
                      VersionCase{"realization_override",
                                  {"--edition", "QPB", "--realization", "QPBX2"},
                                  "V4.1.3",
                                  "D",
                                  "QPBX2",
                                  "00012345",
                                  "PL",
                                  '\0'}),
    [](const auto& info) { return std::string(info.param.name); });

struct SimpleCase {
    const char* name;
    std::uint8_t request, reply;
    int payload;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const SimpleCase& c, std::ostream* os) {
    *os << c.name;
}

class SimpleExchange : public ::testing::TestWithParam<SimpleCase> {};

TEST_P(SimpleExchange, AnsweredWithItsReplyCode) {
    const SimpleCase& c = GetParam();
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const auto r = link.exchange(request(c.request));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size(), 16 + c.payload);
    EXPECT_EQ(code(*r), c.reply);
    EXPECT_EQ(argument(*r), 0);
    EXPECT_EQ(lengthField(*r), c.payload);
}

INSTANTIATE_TEST_SUITE_P(Sim, SimpleExchange,
                         ::testing::Values(SimpleCase{"version", 0xAA, 0xBA, 38},
                                           SimpleCase{"qpa_read_start", 0xAF, 0xBF, 0},
                                           SimpleCase{"write_end_is_BE_not_BC", 0xAC, 0xBE, 0},
                                           SimpleCase{"http_on", 0xE1, 0xF1, 0},
                                           SimpleCase{"http_off", 0xE0, 0xF0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BlockCase {
    const char* name;
    std::uint8_t write, writeReply, read, readReply;
    std::uint32_t address;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const BlockCase& c, std::ostream* os) {
    *os << c.name;
}

class BlockRoundTrip : public ::testing::TestWithParam<BlockCase> {};

TEST_P(BlockRoundTrip, WrittenBlockReadsBackWithAddressEcho) {
    const BlockCase& c = GetParam();
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const QByteArray data = pattern(256, int(c.address >> 8));

    const auto w = link.exchange(request(c.write, address(c.address) + data));
    ASSERT_TRUE(w);
    ASSERT_EQ(w->size(), 19);
    EXPECT_EQ(code(*w), c.writeReply);
    EXPECT_EQ(argument(*w), 0);
    EXPECT_EQ(lengthField(*w), 3);
    EXPECT_EQ(w->mid(16), address(c.address));

    const auto r = link.exchange(request(c.read, address(c.address)));
    ASSERT_TRUE(r);
    ASSERT_EQ(r->size(), 275);
    EXPECT_EQ(code(*r), c.readReply);
    EXPECT_EQ(lengthField(*r), 259);
    EXPECT_EQ(r->mid(16, 3), address(c.address));
    EXPECT_EQ(r->mid(19), data);

    // The neighbouring blocks are untouched (still zero).
    for (std::uint32_t other : {c.address - 256, c.address + 256}) {
        if (c.address == 0 && other > c.address)
            continue;
        const auto n = link.exchange(request(c.read, address(other)));
        if (n && n->size() == 275)
            EXPECT_EQ(n->mid(19), QByteArray(256, '\0')) << "block " << other;
        else
            break; // past the end of the area: the simulator closed the connection
    }
}

INSTANTIATE_TEST_SUITE_P(Sim, BlockRoundTrip,
                         ::testing::Values(BlockCase{"qpa_settings_first", 0xA1, 0xB1, 0xA0, 0xB0, 0x000600},
                                           BlockCase{"qpa_settings_last", 0xA1, 0xB1, 0xA0, 0xB0, 0x002500},
                                           BlockCase{"qpa_texts_first", 0xA1, 0xB1, 0xA0, 0xB0, 0x002900},
                                           BlockCase{"qpa_texts_last", 0xA1, 0xB1, 0xA0, 0xB0, 0x00A800},
                                           BlockCase{"flash_last", 0xA1, 0xB1, 0xA0, 0xB0, 0x07FF00},
                                           BlockCase{"qpb_settings_first", 0xA7, 0xB7, 0xA6, 0xB6, 0x000000},
                                           BlockCase{"qpb_settings_last", 0xA7, 0xB7, 0xA6, 0xB6, 0x00FF00},
                                           BlockCase{"qpb_vars_last", 0xA9, 0xB9, 0xA8, 0xB8, 0x004000}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimAreas, QpbAreasAreSeparateFromTheFlashArea) {
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    ASSERT_TRUE(link.exchange(request(0xA7, address(0x600) + pattern(256, 1))));
    ASSERT_TRUE(link.exchange(request(0xA9, address(0x600) + pattern(256, 2))));
    const auto flash = link.exchange(request(0xA0, address(0x600)));
    const auto settings = link.exchange(request(0xA6, address(0x600)));
    const auto vars = link.exchange(request(0xA8, address(0x600)));
    ASSERT_TRUE(flash && settings && vars);
    EXPECT_EQ(flash->mid(19), QByteArray(256, '\0'));
    EXPECT_EQ(settings->mid(19), pattern(256, 1));
    EXPECT_EQ(vars->mid(19), pattern(256, 2));
}

struct BadAddressCase {
    const char* name;
    std::uint8_t code;
    std::uint32_t address;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const BadAddressCase& c, std::ostream* os) {
    *os << c.name;
}

class BadAddress : public ::testing::TestWithParam<BadAddressCase> {};

TEST_P(BadAddress, ClosesWithoutReplyAndKeepsServing) {
    const BadAddressCase& c = GetParam();
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const bool isWrite = c.code == 0xA1 || c.code == 0xA7 || c.code == 0xA9;
    link.send(request(c.code, address(c.address) + (isWrite ? pattern(256, 3) : QByteArray())));
    EXPECT_TRUE(link.closedByPeer());
    Link again;
    ASSERT_TRUE(again.open(sim.port()));
    EXPECT_TRUE(again.exchange(request(0xAA)));
}

INSTANTIATE_TEST_SUITE_P(Sim, BadAddress,
                         ::testing::Values(BadAddressCase{"flash_read_past_end", 0xA0, 0x080000},
                                           BadAddressCase{"flash_write_past_end", 0xA1, 0xFFFF00},
                                           BadAddressCase{"qpb_settings_past_end", 0xA6, 0x010000},
                                           BadAddressCase{"qpb_vars_past_end", 0xA8, 0x004100},
                                           BadAddressCase{"qpb_vars_write_past_end", 0xA9, 0x004100},
                                           BadAddressCase{"unaligned_read", 0xA0, 0x000601},
                                           BadAddressCase{"unaligned_write", 0xA7, 0x000080}),
                         [](const auto& info) { return std::string(info.param.name); });

struct BadFrameCase {
    const char* name;
    QByteArray bytes;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const BadFrameCase& c, std::ostream* os) {
    *os << c.name;
}

QByteArray withByte(QByteArray frame, int at, char value) {
    frame[at] = value;
    return frame;
}

class BadFrame : public ::testing::TestWithParam<BadFrameCase> {};

TEST_P(BadFrame, ClosesTheConnectionAndLogsIt) {
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    link.send(GetParam().bytes);
    EXPECT_TRUE(link.closedByPeer());
    EXPECT_TRUE(sim.log().contains("bad frame")) << sim.log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Sim, BadFrame,
    ::testing::Values(BadFrameCase{"bad_signature", withByte(request(0xAA), 1, char(0x81))},
                      BadFrameCase{"bad_fixed_byte", withByte(request(0xAA), 9, 0)},
                      BadFrameCase{"unknown_code", request(0x55)},
                      BadFrameCase{"reply_code_as_request", request(0xBA)},
                      BadFrameCase{"nonzero_argument", request(0xAA, {}, 0, 1)},
                      BadFrameCase{"version_with_payload", request(0xAA, QByteArray(1, 'x'))},
                      BadFrameCase{"block_read_short_payload", request(0xA0, QByteArray(2, '\0'))},
                      // Announces 65535 bytes: refused on the header, not buffered.
                      BadFrameCase{"huge_length",
                                   withByte(withByte(request(0xA1), 14, char(0xFF)), 15, char(0xFF))},
                      BadFrameCase{"ext_record_too_short", request(0x21, QByteArray(165, '\0'))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SimStream, RequestsSplitAndJoinedAnyWayAreAllAnswered) {
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    // Three requests in one write.
    link.send(request(0xAA) + request(0xA7, address(0x100) + pattern(256, 9)) +
              request(0xA6, address(0x100)));
    const auto r1 = link.reply(), r2 = link.reply(), r3 = link.reply();
    ASSERT_TRUE(r1 && r2 && r3);
    EXPECT_EQ(code(*r1), 0xBA);
    EXPECT_EQ(code(*r2), 0xB7);
    EXPECT_EQ(code(*r3), 0xB6);
    EXPECT_EQ(r3->mid(19), pattern(256, 9));

    // One request trickled in byte by byte, with pauses inside the header and the payload.
    const QByteArray req = request(0xA9, address(0x200) + pattern(256, 4));
    for (int i = 0; i < req.size(); ++i) {
        link.send(req.mid(i, 1));
        if (i == 7 || i == 20)
            QThread::msleep(50);
    }
    const auto w = link.reply();
    ASSERT_TRUE(w);
    EXPECT_EQ(code(*w), 0xB9);
    EXPECT_EQ(w->mid(16), address(0x200));
}

TEST(SimStream, SurvivesRandomBytes) {
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    std::mt19937 random(12345);
    for (int round = 0; round < 40; ++round) {
        Link link;
        ASSERT_TRUE(link.open(sim.port()));
        QByteArray junk(int(random() % 600), '\0');
        for (auto& ch : junk)
            ch = char(random() & 0xFF);
        // Half the rounds start with a valid header prefix so that the later checks are reached.
        if (round % 2 == 0)
            junk.prepend(request(0xA0 + std::uint8_t(random() % 16)).left(int(random() % 16)));
        link.send(junk);
    }
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const auto r = link.exchange(request(0xAA));
    ASSERT_TRUE(r);
    EXPECT_EQ(code(*r), 0xBA);
    EXPECT_TRUE(sim.running());
}

TEST(SimExtension, AcknowledgesWithResultOneForEachModule) {
    SimProcess sim({"--show-ext"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    for (std::uint8_t module = 0; module < 4; ++module) {
        const auto r = link.exchange(request(0x20 + module, pattern(166, module)));
        ASSERT_TRUE(r);
        EXPECT_EQ(r->size(), 16);
        EXPECT_EQ(code(*r), 0x08);
        EXPECT_EQ(argument(*r), 1);
        EXPECT_EQ(lengthField(*r), 0);
    }
    // The person rehearsing sees what module 3 would get.
    EXPECT_TRUE(sim.log().contains("extension module 3 (request code 0x23)")) << sim.log().toStdString();
}

TEST(SimPassword, WrongHashIsDroppedSilentlyAndTheConnectionServesOn) {
    SimProcess sim({"--password", "abc"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    link.send(request(0xAA, {}, hashOf(QStringLiteral("abd"))));
    EXPECT_TRUE(link.silentFor(700));
    link.send(request(0xAA, {}, 0xC8B56C30u)); // the check value for "abc"
    const auto r = link.reply();
    ASSERT_TRUE(r);
    EXPECT_EQ(code(*r), 0xBA);
}

struct HashCase {
    const char* name;
    QString configured, sent;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const HashCase& c, std::ostream* os) {
    *os << c.name;
}

class PasswordHash : public ::testing::TestWithParam<HashCase> {};

TEST_P(PasswordHash, AcceptedHashes) {
    SimProcess sim({"--password", GetParam().configured});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const auto r = link.exchange(request(0xAA, {}, hashOf(GetParam().sent)));
    ASSERT_TRUE(r) << "no reply: the simulator's hash differs";
    EXPECT_EQ(code(*r), 0xBA);
}

INSTANTIATE_TEST_SUITE_P(Sim, PasswordHash,
                         ::testing::Values(HashCase{"plain", "8052", "8052"},
                                           HashCase{"only_first_16_count", "0123456789abcdefXYZ",
                                                    "0123456789abcdefQQ"},
                                           HashCase{"low_byte_of_unicode", QString::fromUtf8("ł"), "B"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimPassword, WithoutThePasswordOptionEveryHashIsAccepted) {
    SimProcess sim;
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    for (std::uint32_t hash : {0u, 0xC8B56C30u, 0xFFFFFFFFu})
        EXPECT_TRUE(link.exchange(request(0xAA, {}, hash)));
}

TEST(SimRestart, RefusesConnectionsThenRecovers) {
    SimProcess sim({"--restart-ms", "2000"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    link.send(request(0xAD));
    EXPECT_TRUE(link.closedByPeer());
    QElapsedTimer since;
    since.start();

    Link during;
    EXPECT_FALSE(during.open(sim.port(), 500));
    EXPECT_EQ(during.error(), QAbstractSocket::ConnectionRefusedError);

    bool back = false;
    while (!back && since.elapsed() < 10000) {
        Link after;
        back = after.open(sim.port(), 500) && after.exchange(request(0xAA)).has_value();
        if (!back)
            QThread::msleep(100);
    }
    EXPECT_TRUE(back) << "the simulator did not come back after its restart";
    EXPECT_GE(since.elapsed(), 1000) << "connections were accepted again long before --restart-ms";
}

} // namespace
