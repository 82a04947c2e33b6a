// Write, read, write: what the writer puts into a configuration text comes back byte for byte, and
// whatever it cannot carry is reported before anyone relies on the read-back.
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/MacroCatalogue.h"
#include "tests/config/held_config.h"
#include "tests/config/relabel.h"

#include <QElapsedTimer>
#include <cstring>
#include <gtest/gtest.h>
#include <random>

namespace {

using testcfg::HeldQPA;
using testcfg::HeldQPB;

// The fields a case sets, whatever the edition.
struct Fields {
    TMacroCell* cells;
    std::uint8_t* cellType;
    TParam_Cell* times;
    std::uint8_t (*numer)[4];
    std::uint8_t (*dName)[8];
    std::uint8_t* dParam;
    std::uint8_t (*aName)[8];
    Numbering numbering;
};

template <class Config> Fields fieldsOf(Config& c, Numbering numbering) {
    return {c.Set_Macro, c.CellType,   &c.Param_Cell, c.Set_Numer,
            c.D_CirName, c.D_CirParam, c.A_CirName,   numbering};
}

void setKind(Fields& f, int cell, const char* kind) {
    f.cellType[cell] = static_cast<std::uint8_t>(kindNamed(QLatin1String(kind)).code(f.numbering));
}
void setName(std::uint8_t* field, const char* name) {
    std::memset(field, 0, 8);
    std::memcpy(field, name, std::min<std::size_t>(8, std::strlen(name)));
}

// The offset of the first byte in which two records differ, or -1.
template <class T> long firstDifference(const T& a, const T& b) {
    const auto* x = reinterpret_cast<const std::uint8_t*>(&a);
    const auto* y = reinterpret_cast<const std::uint8_t*>(&b);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        if (x[i] != y[i])
            return long(i);
    return -1;
}

// A read names each wired circuit "temp_D.."/"temp_A.." before its line gives the real name, so
// bytes after the NUL of a shorter name keep the rest of that placeholder: they are not part of the
// name, nor of the text.
template <class Config> void clearAfterNames(Config& c) {
    auto clear = [](std::uint8_t* name) {
        const std::size_t length = qstrnlen(reinterpret_cast<const char*>(name), 8);
        std::memset(name + length, 0, 8 - length);
    };
    for (auto& name : c.D_CirName)
        clear(name);
    for (auto& name : c.A_CirName)
        clear(name);
}

enum class Outcome {
    RoundTrips,       // the text reads back into the very same image and writes the same text again
    LogicLost,        // the text leaves logic out, and the loss report says so
    CircuitValueLost, // a wired circuit's value has no text form, and the loss report says so
};

struct Case {
    const char* name;
    bool qpb;
    const char* version;
    char pcb;
    void (*setup)(Fields&);
    Outcome outcome;
    void (*check)(const Fields& back); // on the read-back, may be null
};

// A buffer on circuit 1 feeding circuit 2, both named: the smallest logic with two wired circuits.
void buffer(Fields& f) {
    setKind(f, 0, "BUF");
    f.cells[0].InCircuits[0] = 1;
    f.cells[0].OutCircuits[0] = 2;
    setName(f.dName[1], "In");
    setName(f.dName[2], "Out");
}

// A clock on circuit 1 whose two time-of-day constants (format 0) are `on` and `off` seconds.
void clock(Fields& f, std::int32_t on, std::int32_t off) {
    setKind(f, 0, "CLOCK");
    f.cells[0].OutCircuits[0] = 1;
    setName(f.dName[1], "Clock");
    f.cells[0].Params[0] = 1;
    f.cells[0].Params[8] = 2;
    le::PutS32(f.numer[0], on);
    le::PutS32(f.numer[1], off);
}

const Case kCases[] = {
    // Fault 1: no numbering for the version and board, or a kind code outside the numbering.
    {"qpb_below_V4_1_0_drops_logic", true, "V4.0.9", 'C', buffer, Outcome::LogicLost,
     [](const Fields& back) { EXPECT_EQ(back.cellType[0], 0) << "the read-back has no cells"; }},
    {"qpa_board_X_drops_logic", false, "V4.1.0", 'X', buffer, Outcome::LogicLost, nullptr},
    {"kind_code_outside_the_numbering_drops_its_cell", false, "V4.1.0", 'C',
     [](Fields& f) {
         buffer(f);
         f.cellType[1] = 200;
     },
     Outcome::LogicLost, nullptr},
    // Fault 2: negative pulse times.
    {"negative_pulse_times", true, "V4.1.0", 'C',
     [](Fields& f) {
         buffer(f);
         f.cells[0].InOptions[0] = 0x10; // one impulse
         f.cells[0].InTimes[0] = 0x12;
         SetParamTime(*f.times, 1, -150);
         SetParamTime(*f.times, 2, INT32_MIN);
         f.cells[0].OutOptions[0] = 0xD1; // monoflop, inverting
         f.cells[0].OutTimes[0] = 0x30;
         SetParamTime(*f.times, 3, -1);
     },
     Outcome::RoundTrips, nullptr},
    // Fault 3: time constants of 30 hours and more, and negative ones.
    {"time_constants_of_30_and_100_hours", true, "V4.1.0", 'C',
     [](Fields& f) { clock(f, 30 * 3600, 400000); }, Outcome::RoundTrips, nullptr},
    {"negative_time_constants", false, "V4.1.0", 'D', [](Fields& f) { clock(f, -3600, INT32_MIN); },
     Outcome::RoundTrips, nullptr},
    // Fault 4: logic and X-code nibbles without a text form.
    {"logic_nibble_3", false, "V4.1.0", 'C',
     [](Fields& f) {
         buffer(f);
         f.dParam[1] = 0x03;
     },
     Outcome::CircuitValueLost, [](const Fields& back) { EXPECT_EQ(back.dParam[1], 0x01); }},
    {"logic_nibble_15_with_X2", true, "V4.1.0", 'C',
     [](Fields& f) {
         buffer(f);
         f.dParam[2] = 0x1F;
     },
     Outcome::CircuitValueLost, [](const Fields& back) { EXPECT_EQ(back.dParam[2], 0x11); }},
    {"x_code_nibble_9", true, "V4.1.0", 'C',
     [](Fields& f) {
         buffer(f);
         f.dParam[1] = 0x92;
     },
     Outcome::CircuitValueLost, [](const Fields& back) { EXPECT_EQ(back.dParam[1], 0x02); }},
    {"every_logic_and_x_code_with_a_text_form", true, "V4.1.0", 'C',
     [](Fields& f) {
         setKind(f, 0, "BUF");
         for (int s = 0; s < 8; ++s) {
             f.cells[0].InCircuits[s] = std::uint8_t(2 * s + 1);
             f.cells[0].OutCircuits[s] = std::uint8_t(2 * s + 2);
         }
         for (int k = 1; k <= 16; ++k) {
             setName(f.dName[k], "c");
             f.dParam[k] = std::uint8_t((k % 7) << 4 | (k % 3));
         }
     },
     Outcome::RoundTrips, nullptr},
    // Fault 5: QPB analog circuits beyond 31 (four cells of analog buffers wire 64 circuits).
    {"qpb_64_analog_circuits", true, "V4.1.0", 'C',
     [](Fields& f) {
         for (int c = 0; c < 4; ++c) {
             setKind(f, c, "ABUFOR");
             for (int s = 0; s < 8; ++s) {
                 const int in = 1 + 16 * c + 2 * s;
                 f.cells[c].InCircuits[s] = std::uint8_t(in);
                 f.cells[c].OutCircuits[s] = std::uint8_t(in + 1);
                 setName(f.aName[in], "ain");
                 setName(f.aName[in + 1], "aout");
             }
         }
     },
     Outcome::RoundTrips, nullptr},
    // Outputs wired to the constants: written "dFE" and "dFF", read back as the constants.
    {"outputs_wired_to_constants", true, "V4.1.0", 'C',
     [](Fields& f) {
         setKind(f, 0, "OR2");
         f.cells[0].InCircuits[0] = 254;
         f.cells[0].InCircuits[1] = 255;
         f.cells[0].OutCircuits[0] = 254;
         f.cells[0].OutCircuits[1] = 255;
     },
     Outcome::RoundTrips, nullptr},
};

class RoundTripCase : public ::testing::TestWithParam<Case> {};

template <class H> void runCase(const Case& c) {
    H held;
    Fields f = fieldsOf(*held.config, c.qpb ? Numbering::QPB : Numbering::NewQPA);
    c.setup(f);
    const QString version = QString::fromLatin1(c.version);
    const QChar pcb = QLatin1Char(c.pcb);
    const ConfigTextLossReport losses = testcfg::losses(held, version, pcb);
    const QString text = testcfg::write(held, true, version, pcb);

    H back;
    ASSERT_TRUE(testcfg::read(back, text)) << ConfigErrorText().toStdString();
    if (c.check)
        c.check(fieldsOf(*back.config, f.numbering));
    switch (c.outcome) {
    case Outcome::RoundTrips:
        EXPECT_TRUE(losses.all().isEmpty()) << losses.all().join(u'\n').toStdString();
        clearAfterNames(*back.config);
        EXPECT_EQ(firstDifference(*back.config, *held.config), -1);
        EXPECT_EQ(testcfg::write(back, true, version, pcb), text);
        for (int k = 1; k <= 253; ++k)
            EXPECT_TRUE(!RemapUsed(back.digital.DCircuitConns, k) ||
                        RemapLabel(back.digital.DCircuitConns, k) == k)
                << "constants take no circuit";
        break;
    case Outcome::LogicLost:
        EXPECT_FALSE(losses.logic.isEmpty());
        EXPECT_NE(std::memcmp(back.config->CellType, held.config->CellType, sizeof held.config->CellType), 0);
        break;
    case Outcome::CircuitValueLost:
        EXPECT_TRUE(losses.logic.isEmpty());
        ASSERT_EQ(losses.circuits.size(), 1);
        EXPECT_TRUE(losses.circuits.first().startsWith(QStringLiteral("Obwód cyfrowy 0")));
        EXPECT_NE(std::memcmp(back.config->D_CirParam, held.config->D_CirParam, 256), 0);
        break;
    }
}

TEST_P(RoundTripCase, ReadsBackOrReportsTheLoss) {
    const Case& c = GetParam();
    if (c.qpb)
        runCase<HeldQPB>(c);
    else
        runCase<HeldQPA>(c);
}

INSTANTIATE_TEST_SUITE_P(ConfigText, RoundTripCase, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ConfigTextLosses, NameTheVersionBoardAndCircuitInPolish) {
    HeldQPB h;
    Fields f = fieldsOf(*h.config, Numbering::QPB);
    buffer(f);
    f.dParam[2] = 0x07;
    f.dParam[1] = 0xA1;
    EXPECT_EQ(
        ConfigQPBTextLosses(QStringLiteral("V4.0.9"), QLatin1Char('C'), *h.config),
        QStringList{QStringLiteral("Logika nie trafi do tekstu: dla wersji \"V4.0.9\" i płyty \"C\" brak "
                                   "numeracji makr QPB (komórki z makrami: 1).")})
        << "without a numbering no circuit is wired in the text";
    EXPECT_EQ(
        ConfigQPBTextLosses(QStringLiteral("V4.1.0"), QLatin1Char('X'), *h.config),
        (QStringList{QStringLiteral("Obwód cyfrowy 01 (\"In\"): kodu X o wartości 10 nie da się zapisać w "
                                    "tekście; po odczycie nie będzie kodu X."),
                     QStringLiteral("Obwód cyfrowy 02 (\"Out\"): logiki o wartości 7 nie da się zapisać w "
                                    "tekście; po odczycie będzie OR.")}));
    EXPECT_EQ(
        ConfigQPBTextLosses(QStringLiteral("V%1"), QLatin1Char('C'), *h.config).value(0),
        QStringLiteral("Logika nie trafi do tekstu: dla wersji \"V%1\" i płyty \"C\" brak numeracji makr "
                       "QPB (komórki z makrami: 1)."))
        << "a version text is shown as it is";
    h.config->CellType[0] = 0;
    EXPECT_TRUE(ConfigQPBTextLosses(QStringLiteral("V4.0.9"), QLatin1Char('C'), *h.config).isEmpty())
        << "no cells, nothing lost; circuits the logic does not wire are not the text's to carry";
}

// With OnlyConfigured an unnamed circuit has no line; one the logic wires keeps its line when its
// alias, logic or X code is not the cleared one, so that the read does not turn it back to OR.
TEST(ConfigText, OnlyConfiguredKeepsTheLogicOfUnnamedWiredCircuits) {
    HeldQPA h;
    Fields f = fieldsOf(*h.config, Numbering::NewQPA);
    buffer(f);
    std::memset(h.config->D_CirName[1], 0, 8);
    h.config->D_CirParam[1] = 0x20;
    h.config->D_CirParam[3] = 0x02; // not wired: still left out
    const QString text = testcfg::write(h, true);
    EXPECT_TRUE(text.contains(
        QStringLiteral("\r\n#dcircuit\r\n\tdcirc_01=\"\" 'AND' !X4!\r\n\tdcirc_02=\"Out\" 'OR'\r\n"
                       "#acircuit")))
        << text.toStdString();
    HeldQPA back;
    ASSERT_TRUE(testcfg::read(back, text)) << ConfigErrorText().toStdString();
    EXPECT_EQ(back.config->D_CirParam[1], 0x20);
}

// ---------------------------------------------------------------------------------------------
// Property: random images of both editions in all three numberings.

struct Numbered {
    Numbering numbering;
    const char* version;
    char pcb;
};

template <class Config> class ImageGenerator {
public:
    ImageGenerator(std::mt19937& rng, Numbering numbering) : rng_(rng), numbering_(numbering) {
        for (const MacroKind& k : macroCatalogue())
            if (!k.oldKind && k.code(numbering) != 0)
                kinds_.push_back(&k);
    }

    // Fills a cleared image. OnlyConfigured false writes a "\t---" line for each empty cell, which
    // switches the reader to automatic placement: then the used cells come first.
    void fill(Config& c, bool onlyConfigured) {
        fillSettings(c);
        const int used = pick(0, Config::kCellCount);
        for (int n = 0; n < used; ++n) {
            const int cell = onlyConfigured ? pick(0, Config::kCellCount - 1) : n;
            fillCell(c, cell, *kinds_[std::size_t(pick(0, int(kinds_.size()) - 1))]);
        }
        for (int e = 0; e < 16; ++e)
            SetParamTime(c.Param_Cell, e, someValue());
        for (auto& n : c.Set_Numer)
            le::PutS32(n, someValue());
        for (auto& t : c.Set_Text)
            fillText(t, Config::kTextWidth);
        // In one image of four, now and then a logic or X-code nibble without a text form.
        const bool oddNibbles = pick(0, 3) == 0;
        for (int k = 1; k <= 253; ++k) {
            fillText(c.D_CirName[k], 8);
            c.D_CirAlias[k] = std::uint8_t(pick(0, 3) ? 0 : pick(1, Config::kTextCount));
            c.D_CirParam[k] = oddNibbles && pick(0, 30) == 0 ? std::uint8_t(pick(0, 255))
                                                             : std::uint8_t(pick(0, 6) << 4 | pick(0, 2));
        }
        for (int k = 1; k <= Config::kACircuitCount; ++k) {
            fillText(c.A_CirName[k], 8);
            c.A_CirAlias[k] = std::uint8_t(pick(0, 3) ? 0 : pick(1, Config::kTextCount));
        }
    }

    template <class Companion> void fillCompanion(Companion& t) {
        for (auto& v : t.Var_Text)
            if (pick(0, 2))
                fillText(v, 256);
        if constexpr (requires { t.Var_Numer; })
            for (auto& n : t.Var_Numer)
                le::PutS32(n, pick(0, 1) ? someValue() : 0);
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    // Values at the edges as often as ordinary ones: zero is left out, the tables hold no zeros
    // that a reference could name (a reference to zero reads back as "none").
    std::int32_t someValue() {
        static constexpr std::int32_t kEdges[] = {1,      -1,    100,       -150,     108000,
                                                  360000, -3600, INT32_MAX, INT32_MIN};
        std::int32_t v = 0;
        while (v == 0)
            v = pick(0, 1) ? kEdges[pick(0, int(std::size(kEdges)) - 1)]
                           : std::int32_t(std::uniform_int_distribution<std::uint32_t>()(rng_));
        return v;
    }

    // A field of any bytes, sometimes filling the whole width; non-empty unless asked.
    void fillText(std::uint8_t* field, int width, bool empty = false) {
        const int length = empty ? 0 : pick(0, 3) ? pick(1, std::min(width, 12)) : width;
        std::memset(field, 0, std::size_t(width));
        for (int i = 0; i < length; ++i)
            field[i] = std::uint8_t(pick(1, 255));
    }

    // Any numbers; text fields of any bytes up to their NUL (the text ends a field there).
    void fillSettings(Config& c) {
        auto* bytes = reinterpret_cast<std::uint8_t*>(&c);
        for (std::size_t i = 0; i < offsetof(Config, TimeStamp); ++i)
            bytes[i] = std::uint8_t(pick(0, 255));
        fillText(c.NETNAME, 16, pick(0, 4) == 0);
        for (auto& t : c.Text16)
            fillText(t, 16, pick(0, 4) == 0);
        for (auto& t : c.Text32)
            fillText(t, 32, pick(0, 4) == 0);
    }

    // A digital circuit: mostly a few busy ones, sometimes any, sometimes a constant.
    std::uint8_t digital() {
        const int r = pick(0, 9);
        return std::uint8_t(r < 2 ? 0 : r < 6 ? pick(1, 12) : r < 8 ? pick(1, 253) : pick(254, 255));
    }
    std::uint8_t analog() { return std::uint8_t(pick(0, 4) ? pick(1, Config::kACircuitCount) : 0); }

    void fillCell(Config& c, int cell, const MacroKind& kind) {
        c.CellType[cell] = std::uint8_t(kind.code(numbering_));
        auto* bytes = reinterpret_cast<std::uint8_t*>(&c.Set_Macro[cell]);
        for (int i = 0; i < kMacroCellSize; ++i)
            bytes[i] = std::uint8_t(pick(0, 255));
        for (int r = 0; r < kind.instances; ++r) {
            int in = r * kind.pinStride, out = in;
            auto wire = [&](PinGroup g, int& pos, int block, bool isDigital) {
                for (int p = 0; p < kind.pinCount(g); ++p, ++pos)
                    bytes[block + pos] = isDigital ? digital() : analog();
            };
            wire(PinGroup::AnalogIn, in, kCellInputCircuits, false);
            wire(PinGroup::DigitalIn, in, kCellInputCircuits, true);
            wire(PinGroup::AnalogOut, out, kCellOutputCircuits, false);
            wire(PinGroup::DigitalOut, out, kCellOutputCircuits, true);
        }
    }

    std::mt19937& rng_;
    Numbering numbering_;
    std::vector<const MacroKind*> kinds_;
};

// One image: written, read, written again. Without a reported loss the read-back describes the same
// image (up to circuit numbers), and a second round gives exactly the same text; with logic
// reported lost the read-back holds fewer cells.
template <class H> void checkImage(std::mt19937& rng, const Numbered& n, int& images, int& lossy) {
    H held;
    using Config = std::remove_reference_t<decltype(*held.config)>;
    const bool onlyConfigured = std::uniform_int_distribution<int>(0, 2)(rng) != 0;
    ImageGenerator<Config> generator(rng, n.numbering);
    generator.fill(*held.config, onlyConfigured);
    generator.fillCompanion(*held.companion);
    const QString version = QString::fromLatin1(n.version);
    const QChar pcb = QLatin1Char(n.pcb);
    const ConfigTextLossReport losses = testcfg::losses(held, version, pcb);
    const QString first = testcfg::write(held, onlyConfigured, version, pcb);

    H back;
    ASSERT_TRUE(testcfg::read(back, first)) << ConfigErrorText().toStdString();
    ++images;
    const QString second = testcfg::write(back, onlyConfigured);
    const int cellsBefore =
        int(std::count_if(std::begin(held.config->CellType), std::end(held.config->CellType),
                          [](std::uint8_t k) { return k != 0; }));
    const int cellsAfter =
        int(std::count_if(std::begin(back.config->CellType), std::end(back.config->CellType),
                          [](std::uint8_t k) { return k != 0; }));
    if (!losses.all().isEmpty())
        ++lossy;
    EXPECT_EQ(cellsAfter < cellsBefore, !losses.logic.isEmpty()) << losses.logic.join(u'\n').toStdString();
    if (losses.all().isEmpty()) {
        const QStringList want = testcfg::relabelByFirstMention(first).split(u'\n');
        const QStringList got = testcfg::relabelByFirstMention(second).split(u'\n');
        for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i)
            ASSERT_EQ(got.value(i).toStdString(), want.value(i).toStdString())
                << "line " << i + 1 << ", version " << n.version << n.pcb << ", only configured "
                << onlyConfigured;
        EXPECT_EQ(std::memcmp(back.config.get(), held.config.get(), offsetof(Config, TimeStamp)), 0);
    }

    H again;
    ASSERT_TRUE(testcfg::read(again, second)) << ConfigErrorText().toStdString();
    EXPECT_EQ(testcfg::write(again, onlyConfigured), second);
}

TEST(ConfigTextProperty, RandomImagesReadBackOrReportTheirLosses) {
    std::mt19937 rng(20261210);
    const Numbered qpa[] = {{Numbering::NewQPA, "V4.1.0", 'C'},
                            {Numbering::NewQPA, "V4.2.1", 'D'},
                            {Numbering::OldQPA, "V4.0.1", 'C'},
                            {Numbering::NewQPA, "V4.1.0", 'X'}};
    const Numbered qpb[] = {
        {Numbering::QPB, "V4.1.0", 'C'}, {Numbering::QPB, "V4.1.0", 'X'}, {Numbering::QPB, "V4.0.9", 'C'}};
    QElapsedTimer timer;
    timer.start();
    int images = 0, lossy = 0;
    for (int round = 0; round < 40 && !HasFatalFailure(); ++round) {
        for (const Numbered& n : qpa)
            checkImage<HeldQPA>(rng, n, images, lossy);
        for (const Numbered& n : qpb)
            checkImage<HeldQPB>(rng, n, images, lossy);
    }
    RecordProperty("images", images);
    RecordProperty("images_with_losses", lossy);
    std::printf("%d images, %d with reported losses, %lld ms\n", images, lossy, timer.elapsed());
}

} // namespace
