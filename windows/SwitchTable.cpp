#include "windows/SwitchTable.h"

#include "windows/Analizer.h"
#include "windows/NodarixSet.h"
#include "windows/Xetv3Set.h"

namespace {

// Windows whose workflows are not in this build yet open with their caption and frame.
std::unique_ptr<QWidget> shellWindow(const QString& caption, int width, int height) {
    auto window = std::make_unique<QWidget>();
    ApplyWindowFrame(*window, caption, width, height);
    return window;
}

} // namespace

std::vector<SwitchRow> ToolSwitchTable() {
    const QString update = QStringLiteral("Aktualizacja NodaRix-a do wersji %1").arg(QLatin1String(NODARIX_TOOL_VERSION));
    return {
        {QStringLiteral("-u"), update, [update] { return shellWindow(update, 520, 300); }},
        {QStringLiteral("-r"), QStringLiteral("Zasoby Nodarix-a"),
         [] { return shellWindow(QStringLiteral("Zasoby Nodarix-a"), 640, 480); }},
        {QStringLiteral("-b"), QStringLiteral("Ustawienia nodarix-a"),
         [] { return std::make_unique<TfmWindows_Nodarix_Set>(); }},
        {QStringLiteral("-x"), QStringLiteral("Ustawienia modułu rozszerzeń Xet16"),
         [] { return std::make_unique<TfmWindows_Xetv3_Set>(); }},
        {QStringLiteral("-a"), TfmWindows_Analizer::kCaption, [] { return std::make_unique<TfmWindows_Analizer>(); }},
    };
}
