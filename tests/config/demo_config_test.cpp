// The demonstration configurations shipped with the tool read cleanly, and what they read writes
// out and reads back to the same text.
#include "config/ConfigError.h"
#include "config/ConfigText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <memory>

namespace {

QString demoText(const char* name) {
    // The demos live in the source tree, two folders above this file.
    QFile f(QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../resources/demo/")) +
            QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

TEST(DemoConfig, QpbDemoReadsAndRoundTrips) {
    const QString text = demoText("demo-qpb.ndrx");
    ASSERT_FALSE(text.isEmpty());
    auto config = std::make_unique<TNodarixQPBConfig>();
    auto vars = std::make_unique<TNodarixQPBVars>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    ASSERT_TRUE(TextToConfigQPB(text, autoPlace, false, analog, digital, *vars, *config))
        << ConfigErrorText().toStdString();
    EXPECT_EQ(autoPlace, 0);
    const QString written = ConfigQPBToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config, true, *vars);
    ASSERT_TRUE(TextToConfigQPB(written, autoPlace, false, analog, digital, *vars, *config));
    EXPECT_EQ(ConfigQPBToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config, true, *vars), written);
    EXPECT_FALSE(written.contains(QStringLiteral("temp_"))) << "every circuit of the logic is named";
}

TEST(DemoConfig, QpaDemoReadsAndRoundTrips) {
    const QString text = demoText("demo-qpa.ndrx");
    ASSERT_FALSE(text.isEmpty());
    auto config = std::make_unique<TNodarixQPAConfig>();
    auto texts = std::make_unique<TNodarixQPAText>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    ASSERT_TRUE(TextToConfigQPA(text, autoPlace, false, analog, digital, *texts, *config))
        << ConfigErrorText().toStdString();
    const QString written =
        ConfigQPAToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config, true, *texts);
    ASSERT_TRUE(TextToConfigQPA(written, autoPlace, false, analog, digital, *texts, *config));
    EXPECT_EQ(ConfigQPAToText(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config, true, *texts), written);
    EXPECT_FALSE(written.contains(QStringLiteral("temp_")));
}

} // namespace
