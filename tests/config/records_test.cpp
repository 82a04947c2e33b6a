#include "config/Records.h"

#include <gtest/gtest.h>
#include <memory>

TEST(Records, ClearedStateHasOrLogicOnEveryDigitalCircuitAndZeroElsewhere) {
    auto qpb = std::make_unique<TNodarixQPBConfig>();
    auto vars = std::make_unique<TNodarixQPBVars>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::memset(qpb.get(), 0xAA, sizeof *qpb);
    std::memset(vars.get(), 0xAA, sizeof *vars);
    std::memset(&analog, 0xAA, sizeof analog);
    std::memset(&digital, 0xAA, sizeof digital);
    ClearConfiguration(*qpb, *vars, analog, digital);

    const auto* bytes = reinterpret_cast<const std::uint8_t*>(qpb.get());
    for (std::size_t i = 0; i < sizeof *qpb; ++i) {
        const bool inCirParam =
            i >= offsetof(TNodarixQPBConfig, D_CirParam) && i < offsetof(TNodarixQPBConfig, D_CirParam) + 256;
        ASSERT_EQ(bytes[i], inCirParam ? 1 : 0) << "offset " << i;
    }
    // Entries 0, 254 and 255 too, although no text line shows them.
    EXPECT_EQ(qpb->D_CirParam[0], 1);
    EXPECT_EQ(qpb->D_CirParam[255], 1);
    for (auto b : vars->Var_Text[63])
        ASSERT_EQ(b, 0);
    for (int k = 1; k <= 253; ++k) {
        ASSERT_FALSE(RemapUsed(analog.ACircuitConns, k));
        ASSERT_FALSE(RemapUsed(digital.DCircuitConns, k));
    }

    auto qpa = std::make_unique<TNodarixQPAConfig>();
    std::memset(qpa.get(), 0x55, sizeof *qpa);
    ClearRecord(*qpa);
    EXPECT_EQ(qpa->D_CirParam[254], 1);
    EXPECT_EQ(qpa->Alligment2[31], 0);
    EXPECT_EQ(qpa->CellType[39], 0);
}

TEST(Records, LittleEndianHelpersPlaceLowByteFirst) {
    std::uint8_t b[4] = {};
    le::PutS32(b, -2);
    EXPECT_EQ(b[0], 0xFE);
    EXPECT_EQ(b[3], 0xFF);
    EXPECT_EQ(le::GetS32(b), -2);
    le::PutU16(b, 7080);
    EXPECT_EQ(b[0], 0xA8);
    EXPECT_EQ(b[1], 0x1B);
    EXPECT_EQ(le::GetU16(b), 7080);

    TParam_Cell p{};
    SetParamTime(p, 15, 250);
    EXPECT_EQ(p.Time[15][0], 250);
    EXPECT_EQ(GetParamTime(p, 15), 250);
}

TEST(Records, RemapPairKIsAtBytes2kMinus2And2kMinus1) {
    TDCircuitRemap r{};
    RemapSet(r.DCircuitConns, 1, 0x12);
    RemapSet(r.DCircuitConns, 253, 0xFD);
    EXPECT_EQ(r.DCircuitConns[0], 1);
    EXPECT_EQ(r.DCircuitConns[1], 0x12);
    EXPECT_EQ(r.DCircuitConns[504], 1);
    EXPECT_EQ(r.DCircuitConns[505], 0xFD);
    EXPECT_TRUE(RemapUsed(r.DCircuitConns, 253));
    EXPECT_EQ(RemapLabel(r.DCircuitConns, 1), 0x12);
}
