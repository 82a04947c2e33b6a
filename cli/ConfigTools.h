#pragma once
// "config diff" and "config graph": the installer's tools over configuration texts, dispatched
// from the "config" command.
#include "cli/CliCommand.h"

#include <QStringList>

namespace cli {

// args: what follows "config diff" / "config graph". Return an ExitCode. A diff of one file
// compares the configuration of the controller the global options name with it.
int runConfigDiff(const QStringList& args, const GlobalOptions& options);
int runConfigGraph(const QStringList& args);

} // namespace cli
