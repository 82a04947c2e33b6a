// Flash image builder: directory, layouts, CRC words, compaction, user files and failures.
#include "flash/FlashImage.h"
#include "flash/NamedResources.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct DirEntry {
    std::uint32_t start;
    std::uint32_t length;
};

DirEntry EntryOf(const std::uint8_t* image, int e) {
    const std::uint8_t* p = image + 8 * e;
    return {std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3],
            std::uint32_t{p[5]} << 16 | std::uint32_t{p[6]} << 8 | p[7]};
}

bool EntryIsFree(const std::uint8_t* image, int e) {
    return std::all_of(image + 8 * e, image + 8 * e + 8, [](std::uint8_t b) { return b == 0; });
}

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}

// The CRC unit's computation, bit by bit, with the word at `zeroAt` (if inside) taken as zero.
std::uint32_t ReferenceCrc(const std::uint8_t* bytes, std::size_t size, std::size_t zeroAt = SIZE_MAX) {
    std::uint32_t crc = 0xFFFFFFFF;
    for (std::size_t i = 0; i < size; i += 4) {
        crc ^= i == zeroAt ? 0 : Le32(bytes + i);
        for (int bit = 0; bit < 32; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

QByteArray Bytes(const std::uint8_t* p, std::uint32_t n) {
    return QByteArray(reinterpret_cast<const char*>(p), static_cast<qsizetype>(n));
}

class Builder : public testing::Test {
protected:
    bool build(const char* variant, bool withFirmware, const TNodarixQPAText* texts = nullptr,
               const char* language = "PL") {
        return builder->Build(QString::fromLatin1(variant), QString::fromLatin1(language), withFirmware,
                              resCfg, freeSpace, texts);
    }
    QString userFile(const QString& name, const QByteArray& content) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        return path;
    }
    const std::uint8_t* image() const { return builder->Image(); }

    std::unique_ptr<TFlashImageBuilder> builder = std::make_unique<TFlashImageBuilder>();
    TResCfg resCfg;
    qint32 freeSpace = -1;
    QTemporaryDir dir;
};

TEST_F(Builder, F101StartsWithTheConfigurationAndProgramAreas) {
    for (const bool withFirmware : {true, false}) {
        ASSERT_TRUE(build("F101", withFirmware)) << builder->Failure().Reason.toStdString();
        const DirEntry expected[] = {
            {0x600, 8192}, {0x2600, 256}, {0x2700, 256}, {0x2800, 256}, {0x2900, 0x1D800}};
        for (int e = 0; e < 5; ++e) {
            EXPECT_EQ(EntryOf(image(), e).start, expected[e].start) << "entry " << e;
            EXPECT_EQ(EntryOf(image(), e).length, expected[e].length) << "entry " << e;
        }
        EXPECT_EQ(EntryOf(image(), 5).start, 0x20100u);
        EXPECT_TRUE(std::all_of(image() + 0x600, image() + 0x2900, [](std::uint8_t b) { return b == 0; }));
    }
}

struct Layout {
    const char* variant;
    const char* language;
    int entries;
};

class ResourcesImage : public Builder, public testing::WithParamInterface<Layout> {};

// Every entry follows the one before it without a gap, the rest of the directory and of the
// image stays zero, and the free space is what the last entry leaves.
TEST_P(ResourcesImage, EntriesAreContiguousAndFreeSpaceIsWhatIsLeft) {
    const Layout& l = GetParam();
    ASSERT_TRUE(build(l.variant, false, nullptr, l.language)) << builder->Failure().Reason.toStdString();
    std::uint32_t end = kFlashDirectoryBytes;
    for (int e = 0; e < l.entries; ++e) {
        const DirEntry entry = EntryOf(image(), e);
        ASSERT_EQ(entry.start, end) << "entry " << e;
        ASSERT_GT(entry.length, 0u) << "entry " << e;
        end += entry.length;
    }
    for (int e = l.entries; e < kFlashDirectoryEntries; ++e)
        EXPECT_TRUE(EntryIsFree(image(), e)) << "entry " << e;
    EXPECT_TRUE(
        std::all_of(image() + end, image() + kFlashImageBytes, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(freeSpace, static_cast<qint32>(kFlashImageBytes - end));
    // The built-in resources leave most of the image to the installer's own files.
    const std::uint32_t firstWebEntry = EntryOf(image(), l.entries == 150 ? 5 : 0).start;
    EXPECT_GT(freeSpace, static_cast<qint32>((kFlashImageBytes - firstWebEntry) * 3 / 4));
    RecordProperty("free_space", freeSpace);
}

INSTANTIATE_TEST_SUITE_P(Flash, ResourcesImage,
                         testing::Values(Layout{"F101", "PL", 150}, Layout{"F101", "EN", 150},
                                         Layout{"F101", "IT", 150}, Layout{"F405", "PL", 168},
                                         Layout{"F405", "EN", 168}, Layout{"F405", "IT", 168}),
                         [](const testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.variant) + info.param.language;
                         });

TEST_F(Builder, EntriesHoldTheNamedResources) {
    ASSERT_TRUE(build("F405", false, nullptr, "EN"));
    const struct {
        int entry;
        const char* name;
    } cases[] = {{0, "n00_html_EN"},  {2, "n02_405_html_EN"}, {13, "00_css"},     {15, "00_gif"},
                 {99, "84_405_gif"},  {117, "03_405_txt_EN"}, {114, "00_txt_EN"}, {144, "30_405_txt_EN"},
                 {152, "u1_html_EN"}, {167, "s8_gif"}};
    for (const auto& c : cases) {
        const auto resource = flash::LoadNamedResource(QString::fromLatin1(c.name));
        ASSERT_TRUE(resource) << c.name;
        const DirEntry entry = EntryOf(image(), c.entry);
        EXPECT_EQ(Bytes(image() + entry.start, entry.length), CompactHtml(*resource)) << c.name;
    }
    ASSERT_TRUE(build("F101", false, nullptr, "IT"));
    EXPECT_EQ(Bytes(image() + EntryOf(image(), 107).start, EntryOf(image(), 107).length),
              *flash::LoadNamedResource(QStringLiteral("03_101_txt_it")));
}

TEST_F(Builder, F101FirmwareImageCarriesFirmwareAndCrcButNotTheBootloader) {
    ASSERT_TRUE(build("F101", true));
    const std::uint8_t* program = image() + 0x2900;
    const std::uint32_t crcAt = 0x1D800 - 4;
    EXPECT_EQ(Le32(program + crcAt), ReferenceCrc(program, 0x1D800, crcAt));
    EXPECT_EQ(Bytes(program, 0x1D800), Bytes(builder->Mirror().At(kFlashMirrorBase), 0x1D800));
    EXPECT_TRUE(Bytes(program + 0x200, 64).startsWith("Nodarix QPA F101 firmware"));
    EXPECT_EQ(Bytes(builder->Mirror().At(0x0801D800), 2048),
              *flash::LoadNamedResource(QStringLiteral("bootloader_2_1_4_bin")));
}

TEST_F(Builder, F405FirmwareImageHasNoDirectoryAndEndsWithItsCrc) {
    ASSERT_TRUE(build("F405", true));
    EXPECT_EQ(freeSpace, -1) << "an F405 firmware image reports no free space";
    EXPECT_EQ(Le32(image() + 0x5FFFC), ReferenceCrc(image(), 0x5FFFC));
    EXPECT_TRUE(Bytes(image() + 0x200, 64).startsWith("Nodarix QPB F405 firmware"));
    EXPECT_TRUE(
        std::all_of(image() + 0x60000, image() + kFlashImageBytes, [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(*builder->Mirror().At(0x08004000), 0xFF);
    EXPECT_EQ(*builder->Mirror().At(0x0800FFFF), 0xFF);
}

TEST_F(Builder, PreservedTextsOpenTheF101ProgramArea) {
    auto texts = std::make_unique<TNodarixQPAText>();
    auto* bytes = reinterpret_cast<std::uint8_t*>(texts.get());
    for (std::size_t i = 0; i < sizeof(TNodarixQPAText); ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    ASSERT_TRUE(build("F101", false, texts.get()));
    EXPECT_EQ(Bytes(image() + 0x2900, 32768), Bytes(bytes, 32768));
    EXPECT_TRUE(
        std::all_of(image() + 0x2900 + 32768, image() + 0x20100, [](std::uint8_t b) { return b == 0; }));
}

TEST_F(Builder, UnknownVariantBuildsNothingAndSucceeds) {
    ASSERT_TRUE(build("F101", false));
    const QByteArray before = Bytes(image(), kFlashImageBytes);
    freeSpace = 12345;
    EXPECT_TRUE(build("F102", true));
    EXPECT_TRUE(build("f101", false));
    EXPECT_EQ(freeSpace, 12345);
    EXPECT_EQ(Bytes(image(), kFlashImageBytes), before);
}

TEST_F(Builder, UnknownLanguageFailsAtTheFirstPage) {
    EXPECT_FALSE(build("F101", false, nullptr, "DE"));
    EXPECT_EQ(builder->Failure().Error, TFlashBuildError::ResourceNotLoaded);
    EXPECT_EQ(builder->Failure().Entry, 5);
    EXPECT_EQ(builder->Failure().Source, QStringLiteral("n00_html_DE"));
    EXPECT_EQ(freeSpace, 0);
    EXPECT_TRUE(EntryIsFree(image(), 5));
}

TEST_F(Builder, UserFilesAreStoredAndPagesCompacted) {
    resCfg.U_Cgi[2] =
        userFile(QStringLiteral("page.html"), "<!DOCTYPE html>\n  <p>Hello</p>\n<p>there</p>\n");
    resCfg.S_Gif[7] = userFile(QStringLiteral("pic.gif"), "GIF89a\n  raw\n");
    ASSERT_TRUE(build("F405", false));
    const DirEntry page = EntryOf(image(), 152 + 2);
    const DirEntry picture = EntryOf(image(), 160 + 7);
    EXPECT_EQ(Bytes(image() + page.start, page.length),
              QByteArray("<!DOCTYPE html><p>Hello</p><p>there</p>"));
    EXPECT_EQ(Bytes(image() + picture.start, picture.length), QByteArray("GIF89a\n  raw\n"));
}

TEST_F(Builder, UserFilesThatDoNotFitFailWithNoFreeSpace) {
    for (auto& path : resCfg.U_Cgi)
        path = userFile(QStringLiteral("big.bin"), QByteArray(60000, 'x'));
    EXPECT_FALSE(build("F101", false));
    EXPECT_EQ(freeSpace, 0);
    EXPECT_EQ(builder->Failure().Error, TFlashBuildError::DoesNotFit);
    const int failed = builder->Failure().Entry;
    EXPECT_GT(failed, 134);
    EXPECT_LE(failed, 141);
    EXPECT_TRUE(EntryIsFree(image(), failed));
    EXPECT_FALSE(EntryIsFree(image(), failed - 1));
}

// A huge file is refused from its size, before anything of it is read: a page (which compaction
// could shrink) as well as a picture.
TEST_F(Builder, HugeUserFileIsRefusedBeforeItIsRead) {
    for (const char* name : {"huge.html", "huge.gif"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("<!DOCTYPE html>") == 15 &&
                    file.resize(qint64{4} << 30));
        file.close();
        resCfg = {};
        (QString::fromLatin1(name).endsWith(QLatin1String("html")) ? resCfg.U_Cgi[0] : resCfg.S_Gif[0]) =
            path;
        EXPECT_FALSE(build("F405", false)) << name;
        EXPECT_EQ(builder->Failure().Error, TFlashBuildError::DoesNotFit) << name;
        EXPECT_TRUE(builder->Failure().Reason.contains(QLatin1String("4294967296"))) << name;
        EXPECT_EQ(freeSpace, 0);
        QFile::remove(path);
    }
}

TEST_F(Builder, EmptyUserFileWritesItsEntryWithLengthZeroAndFails) {
    resCfg.S_Gif[0] = userFile(QStringLiteral("empty.gif"), {});
    EXPECT_FALSE(build("F101", false));
    EXPECT_EQ(builder->Failure().Error, TFlashBuildError::FileEmpty);
    EXPECT_EQ(builder->Failure().Entry, 142);
    const DirEntry previous = EntryOf(image(), 141);
    const DirEntry empty = EntryOf(image(), 142);
    EXPECT_EQ(empty.start, previous.start + previous.length);
    EXPECT_EQ(empty.length, 0u);
    EXPECT_EQ(freeSpace, static_cast<qint32>(kFlashImageBytes - empty.start));
    EXPECT_TRUE(EntryIsFree(image(), 143));
}

TEST_F(Builder, MissingUserFileFailsWithoutAnEntry) {
    resCfg.U_Cgi[0] = dir.filePath(QStringLiteral("gone.html"));
    EXPECT_FALSE(build("F101", false));
    EXPECT_EQ(builder->Failure().Error, TFlashBuildError::FileNotOpened);
    EXPECT_EQ(builder->Failure().Entry, 134);
    EXPECT_TRUE(builder->Failure().Reason.contains(QLatin1String("gone.html")));
    EXPECT_TRUE(EntryIsFree(image(), 134));
    EXPECT_EQ(freeSpace, 0);
}

struct CompactionCase {
    const char* name;
    QByteArray in;
    QByteArray out;
};

class Compaction : public testing::TestWithParam<CompactionCase> {};

TEST_P(Compaction, Compacts) {
    EXPECT_EQ(CompactHtml(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Html, Compaction,
    testing::Values(
        CompactionCase{"UpperCaseDoctype", "<!DOCTYPE HTML>\r\n<p>a</p>\r\n  \t<b>b</b>  \n\n",
                       "<!DOCTYPE HTML><p>a</p><b>b</b>"},
        CompactionCase{"LineEndsCrLfCrLf", "<!doctype html>\r<p>\n1\r\n2</p>", "<!doctype html><p>12</p>"},
        CompactionCase{"LeadingSpaceLeftAlone", " <!doctype html>\n<p>a</p>\n",
                       " <!doctype html>\n<p>a</p>\n"},
        CompactionCase{"ByteOrderMarkLeftAlone", "\xEF\xBB\xBF<!doctype html>\n<p>\n",
                       "\xEF\xBB\xBF<!doctype html>\n<p>\n"},
        CompactionCase{"NotHtmlLeftAlone", "<p>a</p>\n  <p>b</p>\n", "<p>a</p>\n  <p>b</p>\n"},
        CompactionCase{"CommentOnOneLine", "<!doctype html>\n<p>x</p>\n  <!-- c -->  \n<p>y</p>\n",
                       "<!doctype html><p>x</p>\r\n<!-- c -->\r\n<p>y</p>"},
        CompactionCase{"MultiLineComment", "<!doctype html>\n<!-- a\n   b\nc -->\n<p>y</p>\n",
                       "<!doctype html>\r\n<!-- a\r\nb\r\nc -->\r\n<p>y</p>"},
        CompactionCase{"EightBitBytesKept",
                       "<!doctype html>\n<p>\xC5\x81\xC3\xB3"
                       "d\xC5\xBA</p>\n",
                       "<!doctype html><p>\xC5\x81\xC3\xB3"
                       "d\xC5\xBA</p>"}),
    [](const testing::TestParamInfo<CompactionCase>& info) { return std::string(info.param.name); });

struct ResCfgCase {
    const char* name;
    QByteArray file;
    int slot; // page slot (0 to 7) or picture slot (8 to 15) expected to be set, -1 none
    QString path;
};

class ResourceList : public testing::TestWithParam<ResCfgCase> {};

TEST_P(ResourceList, ReadsOnlyWellFormedLines) {
    const ResCfgCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Res.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(c.file) == c.file.size());
    file.close();
    TResCfg resCfg;
    resCfg.U_Cgi[0] = QStringLiteral("stale");
    LoadResCfg(path, resCfg);
    for (int k = 0; k < 16; ++k) {
        const QString& value =
            k < 8 ? resCfg.U_Cgi[static_cast<std::size_t>(k)] : resCfg.S_Gif[static_cast<std::size_t>(k - 8)];
        EXPECT_EQ(value, k == c.slot ? c.path : QString()) << "slot " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(
    ResTxt, ResourceList,
    testing::Values(ResCfgCase{"PageSlot", "u3=/home/i/strona.html\r\n", 2,
                               QStringLiteral("/home/i/strona.html")},
                    ResCfgCase{"PictureSlot", "s8=C:\\x.gif", 15, QStringLiteral("C:\\x.gif")},
                    ResCfgCase{"UpperCaseIgnored", "U3=/a.html\n", -1, {}},
                    ResCfgCase{"SlotNineIgnored", "u9=/a.html\nu0=/b.html\n", -1, {}},
                    ResCfgCase{"ColonIgnored", "u3:/a.html\n", -1, {}},
                    ResCfgCase{"LaterLineWins", "s1=/a.gif\ns1=/b.gif\n", 8, QStringLiteral("/b.gif")},
                    ResCfgCase{"EmptyPath", "u1=\n", -1, {}}),
    [](const testing::TestParamInfo<ResCfgCase>& info) { return std::string(info.param.name); });

TEST(ResourceList, SavesAllSixteenLines) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Res.txt"));
    TResCfg resCfg;
    resCfg.U_Cgi[1] = QStringLiteral("/p/2.html");
    resCfg.S_Gif[0] = QStringLiteral("/p/1.gif");
    ASSERT_TRUE(SaveResCfg(path, resCfg));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("u1=\r\nu2=/p/2.html\r\nu3=\r\nu4=\r\nu5=\r\nu6=\r\nu7=\r\nu8=\r\n"
                                         "s1=/p/1.gif\r\ns2=\r\ns3=\r\ns4=\r\ns5=\r\ns6=\r\ns7=\r\ns8=\r\n"));
    TResCfg back;
    LoadResCfg(path, back);
    EXPECT_EQ(back.U_Cgi, resCfg.U_Cgi);
    EXPECT_EQ(back.S_Gif, resCfg.S_Gif);
    LoadResCfg(dir.filePath(QStringLiteral("missing.txt")), back);
    EXPECT_TRUE(back.U_Cgi[1].isEmpty() && back.S_Gif[0].isEmpty());
}

struct ResaveCase {
    const char* name;
    const char* before; // the file's content before the save; nullptr: no file
    bool untouched;     // the file is left as it was (same lines)
};

class ResourceListResave : public ::testing::TestWithParam<ResaveCase> {};

// A save over a file that holds exactly the same lines leaves it alone; any other content is replaced.
TEST_P(ResourceListResave, ReplacesAnyOtherContent) {
    const ResaveCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Res.txt"));
    TResCfg resCfg;
    resCfg.S_Gif[0] = QStringLiteral("/p/1.gif");
    const QByteArray expected("u1=\r\nu2=\r\nu3=\r\nu4=\r\nu5=\r\nu6=\r\nu7=\r\nu8=\r\n"
                              "s1=/p/1.gif\r\ns2=\r\ns3=\r\ns4=\r\ns5=\r\ns6=\r\ns7=\r\ns8=\r\n");
    const QDateTime past = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC); // whole seconds: kept exactly
    if (c.before) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(c.before), qint64(std::strlen(c.before)));
        ASSERT_TRUE(file.flush()); // a write on closing would set the time again
        ASSERT_TRUE(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
    ASSERT_TRUE(SaveResCfg(path, resCfg));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);
    EXPECT_EQ(file.fileTime(QFileDevice::FileModificationTime) == past, c.untouched);
}

INSTANTIATE_TEST_SUITE_P(
    Flash, ResourceListResave,
    ::testing::Values(ResaveCase{"NoFile", nullptr, false},
                      ResaveCase{"SameLines",
                                 "u1=\r\nu2=\r\nu3=\r\nu4=\r\nu5=\r\nu6=\r\nu7=\r\nu8=\r\n"
                                 "s1=/p/1.gif\r\ns2=\r\ns3=\r\ns4=\r\ns5=\r\ns6=\r\ns7=\r\ns8=\r\n",
                                 true},
                      ResaveCase{"OtherPath",
                                 "u1=\r\nu2=\r\nu3=\r\nu4=\r\nu5=\r\nu6=\r\nu7=\r\nu8=\r\n"
                                 "s1=/p/2.gif\r\ns2=\r\ns3=\r\ns4=\r\ns5=\r\ns6=\r\ns7=\r\ns8=\r\n",
                                 false},
                      ResaveCase{"SameLinesAndMore",
                                 "u1=\r\nu2=\r\nu3=\r\nu4=\r\nu5=\r\nu6=\r\nu7=\r\nu8=\r\n"
                                 "s1=/p/1.gif\r\ns2=\r\ns3=\r\ns4=\r\ns5=\r\ns6=\r\ns7=\r\ns8=\r\nu1=/x.html\r\n",
                                 false},
                      ResaveCase{"Empty", "", false}),
    [](const testing::TestParamInfo<ResaveCase>& info) { return std::string(info.param.name); });

} // namespace
