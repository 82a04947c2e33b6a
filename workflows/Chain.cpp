#include "workflows/Chain.h"

#include <algorithm>

TChainEnd ChainEndOf(TStatus failure) {
    switch (failure) {
    case statResUnkn:
        return TChainEnd::Unknown;
    case statResErr:
        return TChainEnd::Error;
    case STATRESOK:
        return TChainEnd::Done;
    default:
        return TChainEnd::TimeOut;
    }
}

TChain::TChain(QObject* parent) : QObject(parent) {}

void TChain::Stop() {
    for (TTaskStep* step : steps)
        step->Stop();
}

bool TChain::Running() const {
    return std::any_of(steps.begin(), steps.end(), [](const TTaskStep* s) { return s->Running(); });
}

TTaskStep* TChain::AddStep() {
    auto* step = new TTaskStep(this);
    connect(step, &TTaskStep::progress, this, &TChain::progressPosition);
    connect(step, &TTaskStep::failed, this, [this](TStatus failure, const QString& text) {
        emit status(FailureStatus(text));
        Finish(ChainEndOf(failure));
    });
    steps.push_back(step);
    return step;
}
