// Any text, however malformed, read as a configuration of either edition: the readers must stay
// inside the records (each record is its own heap block, so AddressSanitizer sees any overrun) and
// a configuration they accepted must write out again.
// The first input byte chooses: bit 0 QPB, bit 1 an appending read onto a small configuration,
// bit 2 automatic placement, bit 3 UTF-8 instead of one character per byte.
// Run: fuzz_config_text -dict=fuzz/config/config.dict -max_total_time=600 WORKDIR fuzz/config/corpus
#include "config/ConfigText.h"
#include "config/Records.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

// A small configuration that the appending reads add to, so that they meet circuits and
// constants already in use.
const char kBase[] = "#settings\r\n\tip_0=10.0.0.2\r\n#logic\r\n"
                     "\tM00:PORTN*8-1(I \"d01\" '#^1.5;0~')[O \"d02\"]BITS00`20`TXT10C`Lamp`\r\n"
                     "\tM01:AINP*5-1<O \"a01\">\r\n"
                     "\tM02:AND2*4-1(I1 \"d03\",I2 \"d=1\")[O \"d04\",O]\r\n"
                     "#dcircuit\r\n\tdcirc_01=\"In\" `Lamp` 'OR' !X2!\r\n#acircuit\r\n\tacirc_01=\"T\"\r\n"
                     "#text\r\n\ttext_00=hello\r\n";

template <class Config, class Companion, class Read, class Write>
void run(const QString& text, bool keepCurrent, std::uint8_t autoPlace, Read read, Write write) {
    auto config = std::make_unique<Config>();
    auto companion = std::make_unique<Companion>();
    auto analog = std::make_unique<TACircuitRemap>();
    auto digital = std::make_unique<TDCircuitRemap>();
    ClearConfiguration(*config, *companion, *analog, *digital);
    if (keepCurrent) {
        std::uint8_t basePlace = 0;
        read(QString::fromLatin1(kBase), basePlace, false, *analog, *digital, *companion, *config);
    }
    // Writing is slow next to a failed read; the images of successful reads are the ones a user
    // would write out.
    if (read(text, autoPlace, keepCurrent, *analog, *digital, *companion, *config))
        (void)write(QStringLiteral("V4.1.0"), QLatin1Char('C'), *config, (autoPlace & 1) != 0, *companion);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    const char* body = reinterpret_cast<const char*>(data + 1);
    const auto length = static_cast<qsizetype>(size - 1);
    // Latin-1 gives every byte one character; UTF-8 also reaches characters above 255.
    const QString text = (mode & 8) ? QString::fromUtf8(body, length) : QString::fromLatin1(body, length);
    const bool keepCurrent = (mode & 2) != 0;
    const std::uint8_t autoPlace = (mode & 4) ? 1 : 0;
    if (mode & 1)
        run<TNodarixQPBConfig, TNodarixQPBVars>(text, keepCurrent, autoPlace, TextToConfigQPB,
                                                ConfigQPBToText);
    else
        run<TNodarixQPAConfig, TNodarixQPAText>(text, keepCurrent, autoPlace, TextToConfigQPA,
                                                ConfigQPAToText);
    return 0;
}
