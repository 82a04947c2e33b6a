// Start-up: the switch table, the warning for a missing switch, the shared style and the
// analyser's placeholder window.
#include "shell/DataModule.h"
#include "shell/Startup.h"
#include "tests/support/ApplicationEnvironment.h"
#include "windows/Analizer.h"
#include "windows/SwitchTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <memory>
#include <vector>

#include <gtest/gtest.h>

namespace {

[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment<QApplication>);

struct SwitchCase {
    const char* name;
    QStringList parameters;
    int row; // -1: the warning
};

class SwitchTable : public ::testing::TestWithParam<SwitchCase> {};

} // namespace

// Each row goes the way of the process's own command line: argv as the system hands it over, read
// by StartupParameters (which start-up calls before the application object can strip options).
TEST_P(SwitchTable, FirstParameterMatchesExactly) {
    const auto& c = GetParam();
    std::vector<QByteArray> words{"nodarix-tool"};
    for (const QString& p : c.parameters)
        words.push_back(p.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    EXPECT_EQ(FindSwitchRow(ToolSwitchTable(), StartupParameters(int(words.size()), argv.data())), c.row);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SwitchTable,
    ::testing::Values(SwitchCase{"NoParameter", {}, -1}, SwitchCase{"Update", {"-u"}, 0},
                      SwitchCase{"Resources", {"-r"}, 1}, SwitchCase{"Settings", {"-b"}, 2},
                      SwitchCase{"Extension", {"-x"}, 3}, SwitchCase{"Analyser", {"-a"}, 4},
                      SwitchCase{"OnlyFirstCounts", {"-b", "-x"}, 2}, SwitchCase{"Capitals", {"-X"}, -1},
                      SwitchCase{"Slash", {"/x"}, -1}, SwitchCase{"TrailingBlank", {"-x "}, -1},
                      SwitchCase{"NoHyphen", {"x"}, -1}, SwitchCase{"SecondOnly", {"", "-a"}, -1},
                      // Options of the windowing toolkit are parameters like any other.
                      SwitchCase{"ToolkitOptionFirst", {"-reverse", "-b"}, -1},
                      SwitchCase{"ToolkitOptionWithValueFirst", {"-style", "fusion", "-x"}, -1},
                      SwitchCase{"ToolkitOptionSecond", {"-u", "-platform", "offscreen"}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SwitchTable, CaptionsInOrder) {
    const auto table = ToolSwitchTable();
    ASSERT_EQ(table.size(), 5u);
    EXPECT_TRUE(table[0].Caption.startsWith(QStringLiteral("Aktualizacja NodaRix-a do wersji")));
    EXPECT_EQ(table[1].Caption, QStringLiteral("Zasoby Nodarix-a"));
    EXPECT_EQ(table[2].Caption, QStringLiteral("Ustawienia nodarix-a"));
    EXPECT_EQ(table[3].Caption, QStringLiteral("Ustawienia modułu rozszerzeń Xet16"));
    EXPECT_EQ(table[4].Caption, QStringLiteral("Analizator nodarix-a"));
    for (const auto& row : table)
        EXPECT_EQ(row.Create()->windowTitle(), row.Caption);
}

TEST(Startup, NoSwitchShowsTheWarningAndCreatesNoWindow) {
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        icon = box->icon();
        buttons = static_cast<int>(box->buttons().size());
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_EQ(CreateMainWindow(ToolSwitchTable(), {QStringLiteral("-X")}), nullptr);
    EXPECT_EQ(text, QStringLiteral("Błąd: uruchomienie programu możliwe tylko z parametrem.\nSzczegóły w instrukcji obsługi."));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(buttons, 1);
    EXPECT_EQ(kNoSwitchWarning.count(QLatin1Char('\r')), 1);
}

TEST(Startup, AnalyserPlaceholderAndSharedStyle) {
    TfmWindows_Analizer window;
    TDataModule1 dataModule;
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Analizator nodarix-a"));
    EXPECT_EQ(window.size(), QSize(640, 480));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()); // fixed border
    const auto labels = window.findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0]->text(), QStringLiteral("Opcja będzie dostępna wkrótce"));
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(labels[0]->geometry().center(), window.rect().center());
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), TDataModule1::DarkPalette().color(QPalette::Window));
    EXPECT_FALSE(dataModule.ImageList1(QStringLiteral("Menu")).isNull());
    // A look at the window: NODARIX_SCREENSHOT_DIR=DIR build/tests/shell/shell_tests
    if (const QByteArray dir = qgetenv("NODARIX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/analizer.png")));
    }
}
