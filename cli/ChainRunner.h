#pragma once
// Runs one of the shared controller chains (workflows/) to its end in the command-line tool's event
// loop, printing each status text and the progress on stderr, as the window's status group shows them.
#include "cli/CliCommand.h"
#include "comm/CommTask.h"
#include "workflows/Chain.h"

#include <functional>
#include <memory>
#include <optional>

namespace cli {

// The controller of the global options, with one task pool for the whole command.
class ChainTarget {
public:
    explicit ChainTarget(const GlobalOptions& options);
    TLinkTarget link();
    // Releases the pool; the next task makes a new one (a controller that restarted).
    void renew();

private:
    const GlobalOptions& options;
    std::unique_ptr<TCommTask> pool;
};

// start: starts the chain (false: it started nothing). Returns the chain's end, or nothing when it
// did not start.
std::optional<TChainEnd> runChain(TChain& chain, const std::function<bool()>& start);

// The exit status of a chain's end.
int exitCode(TChainEnd end);

} // namespace cli
