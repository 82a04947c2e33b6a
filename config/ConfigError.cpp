#include "config/ConfigError.h"

std::int32_t LastConfigError = 0;
QString LastConfigLine;

QString ConfigErrorMessage(std::int32_t code) {
    static const char* const kMessages[] = {
        "brak ustawień",
        "nieznane ustawienie",
        "brak dostępnego obwodu cyfrowego",
        "brak dostępnego obwodu analogowego",
        "błąd parametrów czasowych wejścia-wyjścia makroceli",
        "brak zasobów na parametr czasowy makroceli",
        "nieznana opcja makroceli",
        "parametr tekstowy poza zakresem",
        "brak zasowów tekstowych",
        "nieznana lokalizacja tekstu",
        "parametr bitowy poza zakresem",
        "wartość bitu poza zakresem",
        "parametr numeryczny poz zakresem",
        "brak zasobów numerycznych",
        "nieznana lokalizacja numeru",
        "parametr bajtowy poza zakresem",
        "wartość bajtu poza zakresem",
        "nierozpoznany parametr makroceli",
        "brak zasobów nodarixa",
        "dedykowany zasób jest już zajęty",
        "nieznana logika obwodu cyfrowego",
        "numer obwodu cyfrowego poza zakresem nodarix-a",
        "numer obwodu analogowego poza zakresem nodarix-a",
        "numer tekstu poza zakresem nodarix-a",
        "zmienna numeryczna poza zakresem nodarix-a",
        "uszkodzona wartość numeryczna",
        "uszkodzony parametr alokacji makroceli",
    };
    constexpr std::int32_t count = static_cast<std::int32_t>(sizeof kMessages / sizeof kMessages[0]);
    static_assert(count == 27);
    if (code >= 0 || code < -count)
        return {};
    return QString::fromUtf8(kMessages[-code - 1]);
}

QString ConfigErrorText() {
    if (LastConfigError == 0)
        return {};
    QString line = LastConfigLine;
    line.remove(QLatin1Char('\t'));
    return QStringLiteral("Błąd konfiguracji: ") + ConfigErrorMessage(LastConfigError) +
           QStringLiteral(" \"") + line + QStringLiteral("\".");
}
