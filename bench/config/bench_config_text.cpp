// Configuration text round trip of a fully populated QPB image: 64 cells of 8 instances with
// parameters, all 253 digital and analog circuits named with aliases, all texts and variables.
// Goal: a write plus a read well under 10 ms.
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "tests/config/populated_config.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Images {
    std::unique_ptr<TNodarixQPBConfig> config = std::make_unique<TNodarixQPBConfig>();
    std::unique_ptr<TNodarixQPBVars> vars = std::make_unique<TNodarixQPBVars>();
    TACircuitRemap analog{};
    TDCircuitRemap digital{};
};

const QString kVersion = QStringLiteral("V4.1.0");

const Images& populated() {
    static const Images* images = [] {
        auto* img = new Images;
        std::uint8_t autoPlace = 0;
        const QString text = testcfg::populatedText({true, true});
        if (!TextToConfigQPB(text, autoPlace, false, img->analog, img->digital, *img->vars, *img->config)) {
            std::fprintf(stderr, "populated text does not read: %s\n",
                         ConfigErrorText().toUtf8().constData());
            std::abort();
        }
        // The logic reaches 31 analog circuits; the image names all 253 for the writer.
        for (int n = 1; n <= 253; ++n) {
            const QByteArray name = "Ana" + QByteArray::number(n);
            std::memset(img->config->A_CirName[n], 0, 8);
            std::memcpy(img->config->A_CirName[n], name.constData(), static_cast<std::size_t>(name.size()));
            img->config->A_CirAlias[n] = static_cast<std::uint8_t>(n % 100 + 1);
        }
        return img;
    }();
    return *images;
}

void BM_WriteQpbText(benchmark::State& state) {
    const Images& img = populated();
    qsizetype size = 0;
    for (auto _ : state) {
        const QString text = ConfigQPBToText(kVersion, QLatin1Char('C'), *img.config, false, *img.vars);
        size = text.size();
        benchmark::DoNotOptimize(text.constData());
    }
    state.counters["text_chars"] = static_cast<double>(size);
}

void BM_ReadQpbText(benchmark::State& state) {
    const Images& img = populated();
    const QString text = ConfigQPBToText(kVersion, QLatin1Char('C'), *img.config, false, *img.vars);
    Images out;
    for (auto _ : state) {
        std::uint8_t autoPlace = 0;
        if (!TextToConfigQPB(text, autoPlace, false, out.analog, out.digital, *out.vars, *out.config))
            state.SkipWithError("read failed");
        benchmark::ClobberMemory();
    }
    state.counters["text_chars"] = static_cast<double>(text.size());
}

void BM_RoundTripQpb(benchmark::State& state) {
    const Images& img = populated();
    Images out;
    qsizetype size = 0;
    for (auto _ : state) {
        const QString text = ConfigQPBToText(kVersion, QLatin1Char('C'), *img.config, false, *img.vars);
        std::uint8_t autoPlace = 0;
        if (!TextToConfigQPB(text, autoPlace, false, out.analog, out.digital, *out.vars, *out.config))
            state.SkipWithError("read failed");
        size = text.size();
        benchmark::ClobberMemory();
    }
    state.counters["text_chars"] = static_cast<double>(size);
}

BENCHMARK(BM_WriteQpbText)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_ReadQpbText)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_RoundTripQpb)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
