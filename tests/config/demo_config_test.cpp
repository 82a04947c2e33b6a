// The demonstration configurations shipped with the tool read cleanly, and what they read writes
// out and reads back to the same text.
#include "config/ConfigError.h"
#include "config/ConfigText.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString demoText(const char* name) {
    QFile f(QStringLiteral(NODARIX_SOURCE_DIR "/resources/demo/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

// Each edition's reader and writer, so that one round trip serves both demos.
struct Qpb {
    using Config = TNodarixQPBConfig;
    using Companion = TNodarixQPBVars;
    static constexpr const char* kFile = "demo-qpb.ndrx";
    static bool read(const QString& t, std::uint8_t& a, TACircuitRemap& an, TDCircuitRemap& d, Companion& c,
                     Config& cfg) {
        return TextToConfigQPB(t, a, false, an, d, c, cfg);
    }
    static QString write(const Config& cfg, const Companion& c) {
        return ConfigQPBToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), cfg, true, c);
    }
    static QStringList losses(const QString& version, QChar pcb, const Config& cfg) {
        return ConfigQPBTextLosses(version, pcb, cfg);
    }
    static constexpr const char* kVersionWithoutNumbering = "V4.0.9";
    static constexpr char kBoardWithoutNumbering = 'C';
};

struct Qpa {
    using Config = TNodarixQPAConfig;
    using Companion = TNodarixQPAText;
    static constexpr const char* kFile = "demo-qpa.ndrx";
    static bool read(const QString& t, std::uint8_t& a, TACircuitRemap& an, TDCircuitRemap& d, Companion& c,
                     Config& cfg) {
        return TextToConfigQPA(t, a, false, an, d, c, cfg);
    }
    static QString write(const Config& cfg, const Companion& c) {
        return ConfigQPAToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), cfg, true, c);
    }
    static QStringList losses(const QString& version, QChar pcb, const Config& cfg) {
        return ConfigQPATextLosses(version, pcb, cfg);
    }
    static constexpr const char* kVersionWithoutNumbering = "V4.1.0";
    static constexpr char kBoardWithoutNumbering = 'X';
};

template <class Edition> class DemoConfig : public ::testing::Test {};
using Editions = ::testing::Types<Qpb, Qpa>;
TYPED_TEST_SUITE(DemoConfig, Editions);

TYPED_TEST(DemoConfig, ReadsAndRoundTrips) {
    const QString text = demoText(TypeParam::kFile);
    ASSERT_FALSE(text.isEmpty());
    auto config = std::make_unique<typename TypeParam::Config>();
    auto companion = std::make_unique<typename TypeParam::Companion>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    ASSERT_TRUE(TypeParam::read(text, autoPlace, analog, digital, *companion, *config))
        << ConfigErrorText().toStdString();
    EXPECT_EQ(autoPlace, 0);
    const QString written = TypeParam::write(*config, *companion);
    ASSERT_TRUE(TypeParam::read(written, autoPlace, analog, digital, *companion, *config));
    EXPECT_EQ(TypeParam::write(*config, *companion), written);
    EXPECT_FALSE(written.contains(QStringLiteral("temp_"))) << "every circuit of the logic is named";
}

// The demo's text for its own version carries everything; for a version and board without a macro
// numbering the loss report says that the logic would be left out.
TYPED_TEST(DemoConfig, LossesAreReportedOnlyWhereTheTextDropsLogic) {
    auto config = std::make_unique<typename TypeParam::Config>();
    auto companion = std::make_unique<typename TypeParam::Companion>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    ASSERT_TRUE(TypeParam::read(demoText(TypeParam::kFile), autoPlace, analog, digital, *companion, *config));
    EXPECT_TRUE(TypeParam::losses(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config).isEmpty());
    const QStringList losses = TypeParam::losses(QLatin1String(TypeParam::kVersionWithoutNumbering),
                                                 QLatin1Char(TypeParam::kBoardWithoutNumbering), *config);
    ASSERT_EQ(losses.size(), 1);
    EXPECT_TRUE(losses.first().startsWith(QStringLiteral("Logika nie trafi do tekstu")))
        << losses.first().toStdString();
}

} // namespace
