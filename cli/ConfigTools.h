#pragma once
// "config diff" and "config graph": the installer's tools over configuration texts, dispatched
// from the "config" command.
#include <QStringList>

namespace cli {

// args: what follows "config diff" / "config graph". Return an ExitCode.
int runConfigDiff(const QStringList& args);
int runConfigGraph(const QStringList& args);

} // namespace cli
