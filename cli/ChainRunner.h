#pragma once
// Runs a controller chain of workflows/ as a window would, in the event loop, printing each status
// text and the progress on stderr. The pool the chain's tasks go through belongs to the runner.
#include "cli/CliCommand.h"
#include "workflows/Chain.h"

#include <functional>
#include <memory>

namespace cli {

class ChainRunner {
public:
    explicit ChainRunner(const GlobalOptions& options);
    ~ChainRunner();

    // The controller of the global options, its tasks going through this runner's pool.
    TLinkTarget Target();
    // Releases the pool; the next task makes a new one (after a controller restart).
    void RenewPool();

    // Starts the chain (`start` false: it started nothing and reported its end, if any, already)
    // and runs the event loop until the chain's end.
    TChainEnd Run(TChain& chain, const std::function<bool()>& start);

private:
    GlobalOptions options;
    std::unique_ptr<TCommTask> pool;
};

// The exit status for a chain's end.
int ExitCodeOf(TChainEnd end);

} // namespace cli
