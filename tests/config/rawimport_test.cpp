// Raw NDC/NDT import: exact sizes, records untouched on refusal, the text of what was imported,
// and the "config import" command built on it.
#include "config/ConfigText.h"
#include "config/RawImport.h"
#include "tests/support/CliProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace {

template <class T> QByteArray bytesOf(const T& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

class RawImportFiles : public ::testing::Test {
protected:
    QTemporaryDir dir;
    std::unique_ptr<TNodarixQPAConfig> config = std::make_unique<TNodarixQPAConfig>();
    std::unique_ptr<TNodarixQPAText> texts = std::make_unique<TNodarixQPAText>();

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ClearRecord(*config);
        ClearRecord(*texts);
    }

    QString put(const char* name, const QByteArray& bytes) const {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    // An NDC image with a few settings a text shows, and an NDT image with two texts.
    static QByteArray ndc() {
        auto c = std::make_unique<TNodarixQPAConfig>();
        ClearRecord(*c);
        const std::uint8_t ip[4] = {10, 1, 2, 3};
        std::memcpy(c->IP[0], ip, 4);
        std::memcpy(c->NETNAME, "Dom", 3);
        return bytesOf(*c);
    }
    static QByteArray ndt() {
        auto t = std::make_unique<TNodarixQPAText>();
        ClearRecord(*t);
        std::memcpy(t->Var_Text[0], "Witaj", 5);
        std::memcpy(t->Var_Text[126], "Koniec", 6); // 7F is never written in a text
        return bytesOf(*t);
    }
};

struct SizeCase {
    const char* name;
    bool ndt;
    qsizetype size;
    bool accepted;
};

class RawImportSize : public RawImportFiles, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(RawImportSize, OnlyTheExactSizeIsImported) {
    const SizeCase& c = GetParam();
    QByteArray bytes(c.size, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    const QString path = put("file", bytes);
    const QByteArray configBefore = bytesOf(*config);
    const QByteArray textsBefore = bytesOf(*texts);

    const QString status = c.ndt ? ImportNdtFile(path, *texts) : ImportNdcFile(path, *config);

    if (c.accepted) {
        EXPECT_EQ(status, QString());
        EXPECT_EQ(c.ndt ? bytesOf(*texts) : bytesOf(*config), bytes);
        EXPECT_EQ(c.ndt ? bytesOf(*config) : bytesOf(*texts), c.ndt ? configBefore : textsBefore);
    } else {
        EXPECT_EQ(status, QStringLiteral("Błąd: niewłaściwy rozmiar pliku."));
        EXPECT_EQ(bytesOf(*config), configBefore);
        EXPECT_EQ(bytesOf(*texts), textsBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RawImportSize,
                         ::testing::Values(SizeCase{"Ndc8191", false, 8191, false},
                                           SizeCase{"Ndc8192", false, 8192, true},
                                           SizeCase{"Ndc8193", false, 8193, false},
                                           SizeCase{"NdcEmpty", false, 0, false},
                                           SizeCase{"NdcGivenAnNdt", false, 32768, false},
                                           SizeCase{"Ndt32767", true, 32767, false},
                                           SizeCase{"Ndt32768", true, 32768, true},
                                           SizeCase{"Ndt32769", true, 32769, false},
                                           SizeCase{"NdtGivenAnNdc", true, 8192, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Read back, the text must give the very records it was written from: nothing is lost in the text.
void expectTextCarries(const QString& text, const QByteArray& config, const QByteArray& texts) {
    auto readConfig = std::make_unique<TNodarixQPAConfig>();
    auto readTexts = std::make_unique<TNodarixQPAText>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    ASSERT_TRUE(TextToConfigQPA(text, autoPlace, false, analog, digital, *readTexts, *readConfig));
    EXPECT_EQ(bytesOf(*readConfig), config);
    EXPECT_EQ(bytesOf(*readTexts), texts);
}

TEST_F(RawImportFiles, NdtAloneShowsTheTextsWithTheClearedConfiguration) {
    ASSERT_EQ(ImportNdtFile(put("t.ndt", ndt()), *texts), QString());
    const QString text = ImportedQPAText(*config, true, *texts);
    EXPECT_TRUE(text.startsWith(QStringLiteral("#version=V4.0.1QPAC\r\n"))) << text.left(40).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\ttext_00=Witaj\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\ttext_7E=Koniec\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\tnetname=\r\n")));
    expectTextCarries(text, bytesOf(*config), ndt());
}

TEST_F(RawImportFiles, NdcThenNdtShowBothFilesTogether) {
    ASSERT_EQ(ImportNdcFile(put("c.ndc", ndc()), *config), QString());
    ASSERT_EQ(ImportNdtFile(put("t.ndt", ndt()), *texts), QString());
    const QString text = ImportedQPAText(*config, false, *texts);
    EXPECT_TRUE(text.contains(QStringLiteral("\tip_0=10.1.2.3\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\tnetname=Dom\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\ttext_00=Witaj\r\n")));
    expectTextCarries(text, ndc(), ndt());
}

TEST_F(RawImportFiles, AFileThatCannotBeOpenedIsNamedWithTheReason) {
    const QByteArray before = bytesOf(*config);
    const QString missing = ImportNdcFile(dir.filePath(QStringLiteral("brak.ndc")), *config);
    EXPECT_TRUE(missing.contains(QStringLiteral("brak.ndc"))) << missing.toStdString();
    EXPECT_TRUE(missing.contains(QStringLiteral("nie istnieje"))) << missing.toStdString();
    EXPECT_EQ(bytesOf(*config), before);

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("katalog.ndt")));
    const QString folder = ImportNdtFile(dir.filePath(QStringLiteral("katalog.ndt")), *texts);
    EXPECT_TRUE(folder.contains(QStringLiteral("katalog.ndt"))) << folder.toStdString();
    EXPECT_NE(folder, QStringLiteral("Błąd: niewłaściwy rozmiar pliku."));
}

class ConfigImportCli : public RawImportFiles {
protected:
    CliRun import(const QStringList& args) const {
        return RunCli(QStringList{QStringLiteral("config"), QStringLiteral("import")} + args);
    }
    QString out() const { return dir.filePath(QStringLiteral("out.ndrx")); }
};

TEST_F(ConfigImportCli, WritesTheTextOfBothImports) {
    const CliRun r = import({"--ndc", put("c.ndc", ndc()), "--ndt", put("t.ndt", ndt()), "-o", out()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QFile f(out());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_EQ(text, ImportedQPAText(*reinterpret_cast<const TNodarixQPAConfig*>(ndc().constData()), false,
                                    *reinterpret_cast<const TNodarixQPAText*>(ndt().constData())));
}

TEST_F(ConfigImportCli, RefusesAWrongSizeAndWritesNothing) {
    const CliRun r =
        import({"--ndc", put("c.ndc", ndc()), "--ndt", put("t.ndt", ndt().left(32767)), "-o", out()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.out, QStringLiteral("Błąd: niewłaściwy rozmiar pliku.\n"));
    EXPECT_FALSE(QFile::exists(out()));
}

TEST_F(ConfigImportCli, MissingFileAndMissingOptions) {
    const CliRun missing = import({"--ndc", dir.filePath(QStringLiteral("brak.ndc")), "-o", out()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.out.contains(QStringLiteral("brak.ndc")));
    EXPECT_FALSE(QFile::exists(out()));
    EXPECT_EQ(import({"-o", out()}).exitCode, 2);
    EXPECT_EQ(import({"--ndc", put("c.ndc", ndc())}).exitCode, 2);
}

} // namespace
