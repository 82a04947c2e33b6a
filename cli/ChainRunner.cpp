#include "cli/ChainRunner.h"

#include "cli/LinkRunner.h"

#include <QEventLoop>

namespace cli {

ChainTarget::ChainTarget(const GlobalOptions& options) : options(options) {}

TLinkTarget ChainTarget::link() {
    return TLinkTarget{[this]() -> TCommTask& {
                           if (!pool)
                               pool = std::make_unique<TCommTask>(options.timeoutMs, options.timeoutMs);
                           return *pool;
                       },
                       options.host, options.port, options.password};
}

void ChainTarget::renew() {
    std::unique_ptr<TCommTask> old = std::move(pool);
    old.reset();
}

std::optional<TChainEnd> runChain(TChain& chain, const std::function<bool()>& start) {
    QEventLoop loop;
    std::optional<TChainEnd> end;
    int maximum = 100;
    ProgressView progress(QStringLiteral("   "));
    QObject context;
    QObject::connect(&chain, &TChain::status, &context, [&](const QString& text) {
        progress.end();
        printError(text);
    });
    QObject::connect(&chain, &TChain::progressMaximum, &context, [&](int m) { maximum = m > 0 ? m : 100; });
    QObject::connect(&chain, &TChain::progressPosition, &context, [&](int position) {
        if (position > 0)
            progress.show(static_cast<int>(qint64(position) * 100 / maximum));
    });
    QObject::connect(&chain, &TChain::finished, &context, [&](TChainEnd e) {
        progress.end();
        end = e;
        loop.quit();
    });
    if (!start())
        return std::nullopt;
    if (!end)
        loop.exec();
    return end;
}

int exitCode(TChainEnd end) {
    switch (end) {
    case TChainEnd::Done:
        return kExitOk;
    case TChainEnd::TimeOut:
        return kExitTimeOut;
    case TChainEnd::Unknown:
    case TChainEnd::Unrecognised:
        return kExitUnknown;
    case TChainEnd::Error:
        return kExitError;
    case TChainEnd::Rejected:
        return kExitConfig;
    case TChainEnd::NoImage:
        return kExitFlashBuild;
    case TChainEnd::Refused:
        return kExitRefused;
    case TChainEnd::Failure:
        break;
    }
    return kExitFailure;
}

} // namespace cli
