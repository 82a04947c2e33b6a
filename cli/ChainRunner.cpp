#include "cli/ChainRunner.h"

#include <QEventLoop>
#include <QObject>
#include <cstdio>
#include <optional>

namespace cli {

ChainRunner::ChainRunner(const GlobalOptions& options) : options(options) {}
ChainRunner::~ChainRunner() = default;

TLinkTarget ChainRunner::Target() {
    return TLinkTarget{[this]() -> TCommTask& {
                           if (!pool)
                               pool = std::make_unique<TCommTask>(options.timeoutMs, options.timeoutMs);
                           return *pool;
                       },
                       options.host, options.port, options.password};
}

void ChainRunner::RenewPool() {
    std::unique_ptr<TCommTask> old = std::move(pool);
    old.reset();
}

TChainEnd ChainRunner::Run(TChain& chain, const std::function<bool()>& start) {
    QEventLoop loop;
    std::optional<TChainEnd> end;
    int maximum = 0, lastPercent = -1;
    const QMetaObject::Connection connections[] = {
        QObject::connect(&chain, &TChain::status, [](const QString& text) { printError(text); }),
        QObject::connect(&chain, &TChain::progressMaximum, [&](int m) { maximum = m; }),
        QObject::connect(&chain, &TChain::progressPosition,
                         [&](int position) {
                             const int percent = maximum > 0 ? int(qint64(position) * 100 / maximum) : 0;
                             if (percent / 10 != lastPercent / 10 && position > 0) {
                                 std::fprintf(stderr, "  %d / %d (%d%%)\n", position, maximum, percent);
                                 std::fflush(stderr);
                             }
                             lastPercent = percent;
                         }),
        QObject::connect(&chain, &TChain::finished,
                         [&](TChainEnd e) {
                             end = e;
                             loop.quit();
                         }),
    };
    if (start() && !end)
        loop.exec();
    for (const auto& c : connections)
        QObject::disconnect(c);
    return end.value_or(TChainEnd::Failure);
}

int ExitCodeOf(TChainEnd end) {
    switch (end) {
    case TChainEnd::Done:
        return kExitOk;
    case TChainEnd::TimeOut:
        return kExitTimeOut;
    case TChainEnd::Unknown:
        return kExitUnknown;
    case TChainEnd::Error:
        return kExitError;
    case TChainEnd::Rejected:
        return kExitConfig;
    case TChainEnd::NoImage:
        return kExitFlashBuild;
    case TChainEnd::Unrecognised:
    case TChainEnd::Refused:
        return kExitRefused;
    case TChainEnd::Failure:
        break;
    }
    return kExitFailure;
}

} // namespace cli
