// A controller that loses power in the middle of a flash upload: the upload through the command line
// fails with the link's failure text and keeps only the blocks that arrived; a second upload to the
// same controller completes and leaves the whole image.
#include "tests/support/ApplicationEnvironment.h"
#include "tests/support/CliProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QCoreApplication>);

constexpr int kFlashSize = 524288;
constexpr int kBlocksBeforeCut = 100;

// The flash area as the simulator's state file holds it (saved when a connection ends).
QByteArray flashOf(const QTemporaryDir& dir, const QString& state) {
    const QString out = dir.filePath(QStringLiteral("flash-export.bin"));
    QFile::remove(out);
    const auto run = SimProcess::run({"--state", state, "--export", "flash=" + out});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    return readFile(out);
}

TEST(PowerCut, TheUploadFailsKeepsTheBlocksReceivedAndASecondUploadCompletes) {
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state"));
    SimProcess sim({"--state", state, "--fault", QStringLiteral("power-cut=%1").arg(kBlocksBeforeCut)});
    ASSERT_TRUE(sim.started()) << sim.failure().toStdString();
    QByteArray image(kFlashSize, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 7 + i / 256 + 1) & 0xFF);
    const QString file = put(dir, QStringLiteral("image.bin"), image);
    const QStringList upload{"--host", sim.host(), "--port", QString::number(sim.port()), "--timeout", "1000",
                             "flash-upload", file};

    const CliRun cut = RunCli(upload);
    EXPECT_EQ(cut.exitCode, 3) << cut.err.toStdString();
    EXPECT_TRUE(cut.err.contains(QStringLiteral("Błąd: nodarix nie odpowiada."))) << cut.err.toStdString();
    const QByteArray kept = flashOf(dir, state);
    ASSERT_EQ(kept.size(), kFlashSize);
    const qsizetype received = qsizetype(kBlocksBeforeCut) * 256;
    EXPECT_EQ(kept.left(received), image.left(received));
    EXPECT_EQ(kept.mid(received), QByteArray(kFlashSize - received, '\0'));

    const CliRun again = RunCli(upload);
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(flashOf(dir, state) == image);
}

} // namespace
