// Each injected fault, seen from the wire.
#include "tests/sim/RawLink.h"
#include "tests/support/SimProcess.h"

#include <functional>
#include <gtest/gtest.h>
#include <ostream>

using namespace rawlink;

namespace {

struct FaultCase {
    const char* name;
    QStringList args;
    std::function<void(Link&)> check;
};

// Parameterised cases show their name, not their bytes, in messages.
void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class InjectedFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(InjectedFault, SeenOnTheWire) {
    SimProcess sim(GetParam().args);
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    GetParam().check(link);
}

void expectCode(const std::optional<QByteArray>& r, std::uint8_t expected) {
    ASSERT_TRUE(r);
    EXPECT_EQ(code(*r), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sim, InjectedFault,
    ::testing::Values(FaultCase{"silent",
                                {"--fault", "silent"},
                                [](Link& link) {
                                    link.send(request(0xAA));
                                    EXPECT_TRUE(link.silentFor(1500));
                                }},
                      FaultCase{"close_after_2",
                                {"--fault", "close-after=2"},
                                [](Link& link) {
                                    expectCode(link.exchange(request(0xAA)), 0xBA);
                                    expectCode(link.exchange(request(0xAA)), 0xBA);
                                    EXPECT_TRUE(link.closedByPeer());
                                    Link next; // a fresh connection gets its two exchanges again
                                    ASSERT_TRUE(next.open(link.peerPort()));
                                    expectCode(next.exchange(request(0xAA)), 0xBA);
                                }},
                      FaultCase{"close_after_0_closes_on_first_request",
                                {"--fault", "close-after=0"},
                                [](Link& link) {
                                    link.send(request(0xAA));
                                    EXPECT_TRUE(link.closedByPeer());
                                }},
                      FaultCase{"wrong_address_echoes_previous_block",
                                {"--fault", "wrong-address"},
                                [](Link& link) {
                                    const auto r = link.exchange(request(0xA0, address(0x600)));
                                    ASSERT_TRUE(r);
                                    ASSERT_EQ(r->size(), 275);
                                    EXPECT_EQ(r->mid(16, 3), address(0x500));
                                    const auto w = link.exchange(request(0xA7, address(0) + pattern(256, 1)));
                                    ASSERT_TRUE(w);
                                    EXPECT_EQ(w->mid(16, 3), address(0x100));
                                    expectCode(link.exchange(request(0xAA)),
                                               0xBA); // no address: answered normally
                                }},
                      FaultCase{"wrong_length",
                                {"--fault", "wrong-length"},
                                [](Link& link) {
                                    const auto r = link.exchange(request(0xAA));
                                    ASSERT_TRUE(r);
                                    EXPECT_EQ(r->size(), 55);
                                    EXPECT_EQ(lengthField(*r), 39);
                                    const auto ack = link.exchange(request(0x20, QByteArray(166, '\0')));
                                    ASSERT_TRUE(ack);
                                    EXPECT_EQ(ack->size(), 17);
                                    EXPECT_EQ(argument(*ack), 1);
                                }},
                      FaultCase{"wrong_code",
                                {"--fault", "wrong-code"},
                                [](Link& link) {
                                    const auto r = link.exchange(request(0xAA));
                                    ASSERT_TRUE(r);
                                    EXPECT_NE(code(*r), 0xBA);
                                    EXPECT_EQ(r->size(), 54);
                                    expectCode(link.exchange(request(0xAC)), 0xBC);
                                }},
                      FaultCase{"ack_0",
                                {"--fault", "ack=0"},
                                [](Link& link) {
                                    const auto r = link.exchange(request(0x21, pattern(166, 1)));
                                    ASSERT_TRUE(r);
                                    EXPECT_EQ(code(*r), 0x08);
                                    EXPECT_EQ(argument(*r), 0);
                                    expectCode(link.exchange(request(0xAA)),
                                               0xBA); // the connection stays usable
                                }},
                      FaultCase{"ack_2",
                                {"--fault", "ack=2"},
                                [](Link& link) {
                                    const auto r = link.exchange(request(0x23, pattern(166, 1)));
                                    ASSERT_TRUE(r);
                                    EXPECT_EQ(argument(*r), 2);
                                }},
                      FaultCase{"tenth_block_fails",
                                {"--fault", "wrong-address,fault-after=9"},
                                [](Link& link) {
                                    for (std::uint32_t i = 0; i < 9; ++i) {
                                        const auto r = link.exchange(request(0xA6, address(i * 256)));
                                        ASSERT_TRUE(r);
                                        EXPECT_EQ(r->mid(16, 3), address(i * 256)) << "block " << i;
                                    }
                                    const auto r = link.exchange(request(0xA6, address(9 * 256)));
                                    ASSERT_TRUE(r);
                                    EXPECT_EQ(r->mid(16, 3), address(8 * 256));
                                }},
                      FaultCase{"fault_code_limits_the_fault",
                                {"--fault", "wrong-code", "--fault", "fault-code=0xA0"},
                                [](Link& link) {
                                    expectCode(link.exchange(request(0xAA)), 0xBA);
                                    expectCode(link.exchange(request(0xAF)), 0xBF);
                                    expectCode(link.exchange(request(0xA0, address(0x600))), 0xB1);
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
