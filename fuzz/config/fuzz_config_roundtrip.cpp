// Any image of either edition, written as text and read back: the read either succeeds or fails
// with a message, and what it read writes out, reads and writes again to the same text (up to the
// numbering of circuits by first mention, which a read after a conversion may change).
// The first input byte chooses: bit 0 QPB, bit 1 OnlyConfigured, bits 2-3 one of four versions and
// boards (between them the new, old QPA and QPB numberings and none). The rest fills the image's fields in
// the order of their weight for the logic (kind codes, cells, times, numbers, circuit logic and aliases,
// texts, names), so that short inputs already reach the logic.
// Run: fuzz_config_roundtrip -max_total_time=600 -max_len=8000 WORKDIR fuzz/config/roundtrip_corpus
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/Records.h"
#include "tests/config/relabel.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

struct Versions {
    const char* version;
    char pcb;
};
constexpr Versions kVersions[4] = {{"V4.1.0", 'C'}, {"V4.0.1", 'C'}, {"V4.1.0", 'X'}, {"V4.0.9", 'D'}};

template <class Config, class Companion, class Read, class Write>
void roundTrip(const std::uint8_t* data, std::size_t size, std::uint8_t mode, Read read, Write write) {
    auto image = std::make_unique<Config>();
    auto companion = std::make_unique<Companion>();
    auto analog = std::make_unique<TACircuitRemap>();
    auto digital = std::make_unique<TDCircuitRemap>();
    ClearConfiguration(*image, *companion, *analog, *digital);
    Config& c = *image;
    const std::pair<void*, std::size_t> fields[] = {
        {c.CellType, sizeof c.CellType},      {c.Set_Macro, sizeof c.Set_Macro},
        {&c.Param_Cell, sizeof c.Param_Cell}, {c.Set_Numer, sizeof c.Set_Numer},
        {c.D_CirParam, sizeof c.D_CirParam},  {c.D_CirAlias, sizeof c.D_CirAlias},
        {c.A_CirAlias, sizeof c.A_CirAlias},  {c.Set_Text, sizeof c.Set_Text},
        {c.D_CirName, sizeof c.D_CirName},    {c.A_CirName, sizeof c.A_CirName}};
    for (const auto& [field, width] : fields) {
        const std::size_t n = std::min(size, width);
        std::memcpy(field, data, n);
        data += n;
        size -= n;
    }

    const bool onlyConfigured = (mode & 2) != 0;
    const Versions& v = kVersions[(mode >> 2) & 3];
    const QString first =
        write(QString::fromLatin1(v.version), QLatin1Char(v.pcb), *image, onlyConfigured, *companion);

    auto back = std::make_unique<Config>();
    std::uint8_t autoPlace = 0;
    if (!read(first, autoPlace, false, *analog, *digital, *companion, *back)) {
        if (ConfigErrorText().isEmpty())
            std::abort(); // a failure without a message
        return;
    }
    // Read-backs are in the new numbering; only the settings window's own write (explicit placement,
    // only configured content) is promised to be stable.
    if (!onlyConfigured)
        return;
    const QString second = write(QStringLiteral("V4.1.0"), QLatin1Char('C'), *back, true, *companion);
    autoPlace = 0;
    if (!read(second, autoPlace, false, *analog, *digital, *companion, *back))
        std::abort(); // text the writer made from a read-back must read
    const QString third = write(QStringLiteral("V4.1.0"), QLatin1Char('C'), *back, true, *companion);
    if (testcfg::relabelByFirstMention(third) != testcfg::relabelByFirstMention(second))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    if (data[0] & 1)
        roundTrip<TNodarixQPBConfig, TNodarixQPBVars>(data + 1, size - 1, data[0], TextToConfigQPB,
                                                      ConfigQPBToText);
    else
        roundTrip<TNodarixQPAConfig, TNodarixQPAText>(data + 1, size - 1, data[0], TextToConfigQPA,
                                                      ConfigQPAToText);
    return 0;
}
