// The resources window: its slots and Res.txt, the free space and its warning, and the QPA and QPB
// uploads against the simulator. The application object comes from xetv3set_test.cpp.
#include "flash/FlashImage.h"
#include "tests/windows/ResourcesWindowFixture.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

TEST_F(ResourcesWindow, StartsWithItsSlotsAndLooksRight) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Zasoby Nodarix-a"));
    EXPECT_EQ(window->Button1->text(), QStringLiteral("Załaduj zasoby"));
    EXPECT_FALSE(window->Button1->isEnabled());
    EXPECT_FALSE(window->Panel->ComboBox2->isEnabled());
    EXPECT_EQ(window->Label37->text(), QStringLiteral("-"));
    EXPECT_EQ(bar()->maximum(), 557056);
    for (const QTimer* t : {window->Timer1, window->Timer2, window->Timer3, window->Timer7}) {
        EXPECT_FALSE(t->isActive());
        EXPECT_EQ(t->interval(), 100);
    }
    EXPECT_TRUE(window->Timer4->isActive());
    EXPECT_EQ(window->Timer4->interval(), 100);
    for (int k = 0; k < TfmWindows_Resources::kSlots; ++k) {
        EXPECT_EQ(window->HtmlLabel[std::size_t(k)]->text(), QStringLiteral("-"));
        EXPECT_EQ(window->GifLabel[std::size_t(k)]->text(), QStringLiteral("-"));
    }
    const auto captions = window->findChildren<QLabel*>();
    const auto hasCaption = [&](const QString& text) {
        return std::any_of(captions.begin(), captions.end(), [&](const QLabel* l) { return l->text() == text; });
    };
    EXPECT_TRUE(hasCaption(QStringLiteral("Strona \"u1.cgi\"")) && hasCaption(QStringLiteral("Strona \"u8.cgi\"")));
    EXPECT_TRUE(hasCaption(QStringLiteral("Grafika \"s1.gif\"")) && hasCaption(QStringLiteral("Grafika \"s8.gif\"")));
    window->Panel->ComboEdit1->setEditText(QStringLiteral("192.168.0.177")); // shown only; nothing is sent
    window->SetPageSlot(1, [&] {
        const QString page = dir.filePath(QStringLiteral("strona.html"));
        writeBytes(page, QByteArray(1500, 'x'));
        return page;
    }());
    SaveScreenshot(*window, QStringLiteral("resources.png"));
    EXPECT_GT(ExpectNothingClippedOrOverlapping(*window), 60u);
}

TEST_F(ResourcesWindow, SlotsComeFromResTxtAndGoBackOnClose) {
    const QString page = dir.filePath(QStringLiteral("strona.html"));
    ASSERT_TRUE(writeBytes(page, QByteArray(1500, 'x')));
    window.reset();
    ASSERT_TRUE(writeBytes(dir.filePath(QStringLiteral("Res.txt")), "u2=" + page.toLocal8Bit() + "\r\ns9=/x.gif\r\n"));
    open();
    EXPECT_EQ(window->HtmlLabel[1]->text(), QStringLiteral("2kBi strona.html"));
    EXPECT_EQ(window->ResCfg.U_Cgi[1], page);
    EXPECT_EQ(window->Label37->text(), QStringLiteral("-")) << "showing the window computes no free space";

    chosen = dir.filePath(QStringLiteral("brak.gif"));
    BoxAnswerer answerer;
    QTest::mouseClick(window->OpenGif[7], Qt::LeftButton);
    ASSERT_TRUE(answerer.waitForBoxes(1));
    EXPECT_EQ(asked, std::vector<bool>{true});
    EXPECT_EQ(window->ResCfg.S_Gif[7], chosen) << "a missing file keeps its path";
    EXPECT_EQ(window->GifLabel[7]->text(), QStringLiteral("-"));
    window->close();
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("Res.txt"))),
              "u1=\r\nu2=" + page.toLocal8Bit() + "\r\nu3=\r\nu4=\r\nu5=\r\nu6=\r\nu7=\r\nu8=\r\n"
              "s1=\r\ns2=\r\ns3=\r\ns4=\r\ns5=\r\ns6=\r\ns7=\r\ns8=" + chosen.toLocal8Bit() + "\r\n");
}

TEST_F(ResourcesWindow, ChangingASlotBeforeRecognitionWarnsAndShowsNoFreeSpace) {
    BoxAnswerer answerer;
    QTest::mouseClick(window->DeleteHtml[3], Qt::LeftButton);
    ASSERT_TRUE(answerer.waitForBoxes(1));
    EXPECT_EQ(answerer.boxes[0].text, QStringLiteral("Błąd: nie można pobrać zasobów programu."));
    EXPECT_EQ(answerer.boxes[0].icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(window->Label37->text(), QStringLiteral("-"));
}

struct UploadCase {
    const char* name;
    const char* edition;
    const char* variant;
    int maximum;
    QStringList statuses;
};

void PrintTo(const UploadCase& c, std::ostream* os) {
    *os << c.name;
}

class ResourcesUpload : public ResourcesWindow, public ::testing::WithParamInterface<UploadCase> {};

TEST_P(ResourcesUpload, SendsTheImageOfTheEditionWithTheChosenFiles) {
    const UploadCase& c = GetParam();
    const auto sim = startSim({"--edition", c.edition, "--language", "EN"});
    run(window->Panel->Button8);
    EXPECT_EQ(window->Panel->ComboBox1->currentText(), QLatin1String(c.edition));
    EXPECT_EQ(window->Panel->ComboBox2->currentText(), QStringLiteral("EN"));
    EXPECT_TRUE(window->Panel->ComboBox2->isEnabled());
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_NE(window->Label37->text(), QStringLiteral("-"));

    const QString picture = dir.filePath(QStringLiteral("logo.gif"));
    ASSERT_TRUE(writeBytes(picture, QByteArray(4096, 'g')));
    chosen = picture;
    QTest::mouseClick(window->OpenGif[2], Qt::LeftButton);
    EXPECT_EQ(window->GifLabel[2]->text(), QStringLiteral("4kBi logo.gif"));
    const QString freeBefore = window->Label37->text();

    run(window->Button1);
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(bar()->maximum(), c.maximum);
    EXPECT_EQ(bar()->value(), c.maximum);
    EXPECT_FALSE(window->Panel->ComboBox2->isEnabled()) << "the language box waits for the next recognition";
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_EQ(KibLabel(window->FreeFlash), freeBefore);
    EXPECT_TRUE(readFile(dir.filePath(QStringLiteral("Res.txt"))).contains("s3=" + picture.toLocal8Bit()));

    TResCfg resCfg;
    resCfg.S_Gif[2] = picture;
    qint32 freeSpace = 0;
    TFlashImageBuilder builder;
    const TNodarixQPAText texts{};
    ASSERT_TRUE(builder.Build(QLatin1String(c.variant), QStringLiteral("EN"), false, resCfg, freeSpace,
                              QLatin1String(c.variant) == QLatin1String("F101") ? &texts : nullptr));
    sim->stop();
    EXPECT_EQ(exportedFlash(), QByteArray(reinterpret_cast<const char*>(builder.Image()), kFlashImageBytes));
}

INSTANTIATE_TEST_SUITE_P(
    Resources, ResourcesUpload,
    ::testing::Values(UploadCase{"qpa", "QPA", "F101", 557056,
                                 QStringList{"Odczyt tekstów nodarix-a ...", "Teksty odczytane.", "Zasoby OK.",
                                             "Ładowanie zasobów nodarix-a ...", "Zasoby załadowane OK."}},
                      UploadCase{"qpb", "QPB", "F405", 524288,
                                 QStringList{"Zasoby OK.", "Ładowanie zasobów nodarix-a ...", "Zasoby załadowane OK."}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ResourcesWindow, FilesThatDoNotFitAreRefusedAndNothingIsSent) {
    const auto sim = startSim({"--edition", "QPB", "--log"});
    run(window->Panel->Button8);
    const QString page = dir.filePath(QStringLiteral("big.html"));
    ASSERT_TRUE(writeBytes(page, QByteArray(600000, 'x')));
    window->ResCfg.U_Cgi[0] = page;
    statuses.clear();
    QTest::mouseClick(window->Button1, Qt::LeftButton);
    EXPECT_EQ(status(), QStringLiteral("Błąd: nie można pobrać zasobów programu."));
    EXPECT_TRUE(window->Button1->isEnabled());
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("Res.txt")))) << "Res.txt is not written by this attempt";
    QTest::qWait(300);
    EXPECT_FALSE(sim->log().contains(" 0xA1 ")) << sim->log().toStdString();
}
