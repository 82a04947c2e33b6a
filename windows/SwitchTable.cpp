#include "windows/SwitchTable.h"

#include "windows/Analizer.h"
#include "windows/NodarixSet.h"
#include "windows/Resources.h"
#include "windows/Update.h"
#include "windows/Xetv3Set.h"

#include <QDir>

std::vector<SwitchRow> ToolSwitchTable() {
    // The windows are made at start-up, so the working directory is the start-up directory.
    return {
        {QStringLiteral("-u"), QStringLiteral("Aktualizacja NodaRix-a do wersji %1").arg(QLatin1String(kUpdateVersion)),
         [] { return std::make_unique<TfmWindows_Update>(QDir::currentPath()); }},
        {QStringLiteral("-r"), QStringLiteral("Zasoby Nodarix-a"),
         [] { return std::make_unique<TfmWindows_Resources>(QDir::currentPath()); }},
        {QStringLiteral("-b"), QStringLiteral("Ustawienia nodarix-a"),
         [] { return std::make_unique<TfmWindows_Nodarix_Set>(); }},
        {QStringLiteral("-x"), QStringLiteral("Ustawienia modułu rozszerzeń Xet16"),
         [] { return std::make_unique<TfmWindows_Xetv3_Set>(); }},
        {QStringLiteral("-a"), TfmWindows_Analizer::kCaption, [] { return std::make_unique<TfmWindows_Analizer>(); }},
    };
}
