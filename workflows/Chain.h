#pragma once
// A controller chain: a few task steps run one after the other, reporting every status text and
// progress value as it goes and its end once. Windows bind it to their status group; the
// command-line tool prints what it reports.
#include "workflows/TaskStep.h"

#include <QObject>
#include <QString>
#include <vector>

// How a chain ended.
enum class TChainEnd {
    Done,
    TimeOut,      // statResTimeOut
    Unknown,      // statResUnkn
    Error,        // statResErr
    Unrecognised, // the controller is of neither edition
    Rejected,     // a configuration reader rejected the text
    NoImage,      // no language, or a flash image could not be built; nothing was sent
    Refused,      // the controller cannot be worked on (the update's check refused it)
    Failure,      // a local failure (a file that cannot be written)
};

TChainEnd ChainEndOf(TStatus failure);

class TChain : public QObject {
    Q_OBJECT
public:
    explicit TChain(QObject* parent = nullptr);

    // Stops every step's timer (a window closing); no end is reported.
    virtual void Stop();
    bool Running() const;
    const std::vector<TTaskStep*>& Steps() const { return steps; }

signals:
    void status(const QString& text);
    void progressMaximum(int maximum);
    void progressPosition(int position);
    // Reported once per start, after the last status text of the run.
    void finished(TChainEnd end);

protected:
    // A step of this chain: its progress goes to progressPosition, its failure ends the chain with
    // the failure's status text.
    TTaskStep* AddStep();
    void Finish(TChainEnd end) { emit finished(end); }
    // The status text shown when a step fails; a chain may add to the step's failure text.
    virtual QString FailureStatus(const QString& text) const { return text; }

private:
    std::vector<TTaskStep*> steps;
};
