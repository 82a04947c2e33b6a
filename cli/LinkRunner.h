#pragma once
// Runs one controller task through a task pool and polls it as a window would, showing the
// progress of transfers on stderr. Shared by every command that talks to a controller.
#include "cli/CliCommand.h"
#include "cli/CliFiles.h"
#include "comm/CommTask.h"

#include <functional>

namespace cli {

// A progress bar on stderr: redrawn in place on a terminal, one line per change otherwise.
class ProgressView {
public:
    explicit ProgressView(const QString& label);
    void show(int percent);
    // Ends the bar's line; a later show() starts a new one.
    void end();

private:
    QString label;
    bool terminal;
    int last = -1;
};

// add: queues the task on the pool and returns its identifier. result: receives the result bytes
// of a reading task (may be null); resultSize: its size, when the caller states it. Returns the task's end status, or statFree when the pool knows
// no task of that identifier.
TStatus runTask(const GlobalOptions& options, const std::function<qint32(TCommTask&)>& add, void* result,
                const QString& label, std::size_t resultSize = kResBuforUnsized);

// The exit code and message for what runTask returned; prints the message on stderr unless it is
// STATRESOK. statFree is an internal error (exit 1), never a silent controller.
int finish(TStatus status);

} // namespace cli
