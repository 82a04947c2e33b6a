// Flash image builds with their firmware decoding (repeated, as the resources window rebuilds, and
// the first of a run), and the same decoding done the naive way, with OpenSSL set up afresh
// (cipher and digest fetched, contexts made and freed, key derived) for every line.
//   build/bench/flash/bench_flash
// reports the median of several repetitions of each, measured side by side in one run.
#include "flash/FlashImage.h"
#include "flash/NamedResources.h"
#include "flash/TextLines.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <openssl/evp.h>
#include <string>
#include <vector>

namespace {

const char* const kF405Images[] = {"ip_kiv_bootloader_405_hex", "ip_kiv_405_hex"};

void Build(benchmark::State& state, const char* variant) {
    auto builder = std::make_unique<TFlashImageBuilder>();
    const TResCfg resCfg;
    qint32 freeSpace = 0;
    for (auto _ : state) {
        if (!builder->Build(QString::fromLatin1(variant), QStringLiteral("PL"), true, resCfg, freeSpace))
            state.SkipWithError(builder->Failure().Reason.toStdString().c_str());
        benchmark::DoNotOptimize(builder->Image());
    }
}

void BM_F405FirmwareBuild(benchmark::State& state) {
    Build(state, "F405");
}

// The first build of a program run, when the decoder has not derived any line key yet.
void BM_F405FirmwareBuildFirst(benchmark::State& state) {
    const TResCfg resCfg;
    qint32 freeSpace = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto builder = std::make_unique<TFlashImageBuilder>();
        state.ResumeTiming();
        if (!builder->Build(QStringLiteral("F405"), QStringLiteral("PL"), true, resCfg, freeSpace))
            state.SkipWithError(builder->Failure().Reason.toStdString().c_str());
        state.PauseTiming();
        builder.reset();
        state.ResumeTiming();
    }
}
void BM_F101FirmwareBuild(benchmark::State& state) {
    Build(state, "F101");
}

// Deciphering every line, as a program's first decoding of each image does (later decodings of a
// carried image only copy what the first one wrote).
void BM_F405Decode(benchmark::State& state) {
    auto mirror = std::make_unique<TFlashMirror>();
    for (auto _ : state)
        for (const char* name : kF405Images) {
            const auto stored = flash::LoadNamedResource(QString::fromLatin1(name));
            if (!stored || !mirror->DecodeStoredHex(*stored))
                state.SkipWithError("decoding failed");
        }
}

// One line deciphered with everything made for it alone.
bool DecipherNaively(int line, std::string_view base64, std::string& text) {
    text.clear();
    if (base64.empty() || base64.size() % 4 != 0)
        return false;
    EVP_CIPHER* cipher = EVP_CIPHER_fetch(nullptr, "AES-256-ECB", nullptr);
    EVP_MD* digest = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    std::vector<unsigned char> sealed(base64.size() / 4 * 3);
    int length = EVP_DecodeBlock(sealed.data(), reinterpret_cast<const unsigned char*>(base64.data()),
                                 static_cast<int>(base64.size()));
    length -= base64.ends_with("==") ? 2 : base64.ends_with('=') ? 1 : 0;
    const QByteArray phrase = flash::FirmwarePassPhrase(line);
    unsigned char key[32];
    int out = 0;
    int last = 0;
    text.resize(sealed.size() + 16);
    auto* plain = reinterpret_cast<unsigned char*>(text.data());
    const bool ok =
        length > 0 && length % 16 == 0 &&
        EVP_BytesToKey(cipher, digest, nullptr, reinterpret_cast<const unsigned char*>(phrase.constData()),
                       static_cast<int>(phrase.size()), 1, key, nullptr) == 32 &&
        EVP_DecryptInit_ex2(context, cipher, key, nullptr, nullptr) == 1 &&
        EVP_DecryptUpdate(context, plain, &out, sealed.data(), length) == 1 &&
        EVP_DecryptFinal_ex(context, plain + out, &last) == 1;
    text.resize(ok ? static_cast<std::size_t>(out + last) : 0);
    EVP_CIPHER_CTX_free(context);
    EVP_MD_free(digest);
    EVP_CIPHER_free(cipher);
    return ok;
}

void BM_F405DecodeNaive(benchmark::State& state) {
    auto mirror = std::make_unique<TFlashMirror>();
    for (auto _ : state)
        for (const char* name : kF405Images) {
            const auto stored = flash::LoadNamedResource(QString::fromLatin1(name));
            if (!stored) {
                state.SkipWithError("no firmware");
                break;
            }
            std::uint32_t base = 0;
            std::string text;
            TFirmwareDecodeReport report;
            flash::ForEachLine({stored->constData(), static_cast<std::size_t>(stored->size())},
                               [&](int line, std::string_view base64) {
                                   if (DecipherNaively(line, base64, text) && text.starts_with(':'))
                                       mirror->ApplyHexRecord(text, base, report);
                                   return true;
                               });
        }
}

BENCHMARK(BM_F405FirmwareBuild)->Unit(benchmark::kMillisecond)->Repetitions(9)->DisplayAggregatesOnly();
BENCHMARK(BM_F405FirmwareBuildFirst)->Unit(benchmark::kMillisecond)->Repetitions(9)->DisplayAggregatesOnly();
BENCHMARK(BM_F101FirmwareBuild)->Unit(benchmark::kMillisecond)->Repetitions(9)->DisplayAggregatesOnly();
BENCHMARK(BM_F405Decode)->Unit(benchmark::kMillisecond)->Repetitions(9)->DisplayAggregatesOnly();
BENCHMARK(BM_F405DecodeNaive)->Unit(benchmark::kMillisecond)->Repetitions(9)->DisplayAggregatesOnly();

} // namespace

BENCHMARK_MAIN();
