// The simulator's boot after a flash upload: which images it accepts, and what it answers after.
#include "flash/FlashImage.h"
#include "sim/SimBoot.h"
#include "tests/sim/RawLink.h"
#include "tests/support/SimProcess.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <ostream>

using namespace rawlink;

namespace {

QByteArray versionRecordOf(const char* realization) {
    QByteArray record(38, '\0');
    record.replace(0, 6, QByteArray("V4.0.1"));
    record[7] = 'e';
    record.replace(8, int(qstrlen(realization)), realization);
    return record;
}

QByteArray builtImage(const QString& variant, bool withFirmware) {
    qint32 freeSpace = 0;
    TFlashImageBuilder builder;
    EXPECT_TRUE(builder.Build(variant, QStringLiteral("PL"), withFirmware, TResCfg{}, freeSpace));
    return QByteArray(reinterpret_cast<const char*>(builder.Image()), kFlashImageBytes);
}

struct BootCase {
    const char* name;
    const char* realization;
    const char* variant;
    bool withFirmware;
    int flipAt; // a byte of the image spoilt after the build, -1 for none
    sim::BootCheck::Kind expected;
};

void PrintTo(const BootCase& c, std::ostream* os) {
    *os << c.name;
}

class SimBootCheck : public ::testing::TestWithParam<BootCase> {};

TEST_P(SimBootCheck, AcceptsOnlyAnImageWhoseDirectoryAndCrcHold) {
    const BootCase& c = GetParam();
    QByteArray image = builtImage(QString::fromLatin1(c.variant), c.withFirmware);
    if (c.flipAt >= 0)
        image[c.flipAt] = char(image[c.flipAt] ^ 0x01);
    const QByteArray before = versionRecordOf(c.realization);
    QByteArray record = before;
    const sim::BootCheck check = sim::checkUploadedImage(image, record);
    EXPECT_EQ(check.kind, c.expected) << check.found.toStdString();

    const QString line = sim::bootUploadedImage(image, record);
    EXPECT_FALSE(line.isEmpty());
    if (c.expected == sim::BootCheck::Firmware) {
        EXPECT_EQ(record.left(6), QByteArray("V4.1.3"));
        EXPECT_EQ(record.mid(6), before.mid(6)) << "only the version text changes";
    } else {
        EXPECT_EQ(record, before);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, SimBootCheck,
    ::testing::Values(BootCase{"qpa_firmware", "QPA1", "F101", true, -1, sim::BootCheck::Firmware},
                      BootCase{"qpa_firmware_spoilt", "QPA1", "F101", true, 0x3000, sim::BootCheck::Bad},
                      BootCase{"qpa_directory_spoilt", "QPA1", "F101", true, 0x23, sim::BootCheck::Bad},
                      BootCase{"qpa_resources", "QPA1", "F101", false, -1, sim::BootCheck::ResourcesOnly},
                      BootCase{"qpb_firmware", "QPB1", "F405", true, -1, sim::BootCheck::Firmware},
                      BootCase{"qpb_firmware_spoilt", "QPB1", "F405", true, 0x5FFF0, sim::BootCheck::Bad},
                      BootCase{"qpb_resources", "QPB1", "F405", false, -1, sim::BootCheck::ResourcesOnly},
                      BootCase{"qpb_image_on_qpa", "QPA1", "F405", true, -1, sim::BootCheck::Bad}),
    [](const auto& info) { return std::string(info.param.name); });

// Uploads an image block by block over a raw link, restarts, and asks for the version once back.
QByteArray uploadRestartAndAskVersion(SimProcess& sim, const QByteArray& image) {
    Link link;
    EXPECT_TRUE(link.open(sim.port()));
    for (int at = 0; at < image.size(); at += 256) {
        const auto r = link.exchange(request(0xA1, address(std::uint32_t(at)) + image.mid(at, 256)));
        if (!r || code(*r) != 0xB1) {
            ADD_FAILURE() << "block at " << at << " not acknowledged";
            return {};
        }
    }
    link.send(request(0xAD));
    EXPECT_TRUE(link.closedByPeer());
    QElapsedTimer since;
    since.start();
    Link during;
    EXPECT_FALSE(during.open(sim.port(), 200)) << "connections are refused while the controller restarts";
    while (since.elapsed() < 10000) {
        Link after;
        if (after.open(sim.port(), 500))
            if (const auto r = after.exchange(request(0xAA)))
                return r->mid(16);
        QThread::msleep(50);
    }
    ADD_FAILURE() << "the simulator did not come back after its restart";
    return {};
}

TEST(SimBoot, RestartAfterAFirmwareUploadRunsTheNewFirmwareWithTheImagesConfiguration) {
    SimProcess sim({"--edition", "QPA", "--version-text", "V4.0.1", "--jumper", "--restart-ms", "700"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QByteArray record = uploadRestartAndAskVersion(sim, builtImage(QStringLiteral("F101"), true));
    ASSERT_EQ(record.size(), 38);
    EXPECT_EQ(record.left(6), QByteArray("V4.1.3"));
    EXPECT_EQ(record.at(7), 'e') << "the jumper stays fitted";
    EXPECT_EQ(record.mid(8, 4), QByteArray("QPA1"));
    EXPECT_TRUE(sim.log().contains("boot: F101 image")) << sim.log().toStdString();

    Link link;
    ASSERT_TRUE(link.open(sim.port()));
    const auto settings = link.exchange(request(0xA0, address(0x600)));
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->mid(19), QByteArray(256, '\0')) << "the image's zero configuration area";
}

TEST(SimBoot, ABadImageIsLoggedAndTheOldFirmwareKeepsRunning) {
    SimProcess sim({"--edition", "QPB", "--version-text", "V4.1.0", "--jumper", "--restart-ms", "300"});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    const QByteArray record = uploadRestartAndAskVersion(sim, pattern(kFlashImageBytes, 5));
    ASSERT_EQ(record.size(), 38);
    EXPECT_EQ(record.left(6), QByteArray("V4.1.0"));
    EXPECT_TRUE(sim.log().contains("boot: bad image")) << sim.log().toStdString();
}

} // namespace
