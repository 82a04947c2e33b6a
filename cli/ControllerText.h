#pragma once
// A controller's whole configuration as text, read with the settings window's read chain, for the
// commands that compare a file with what a controller holds.
#include "cli/CliCommand.h"

#include <QString>
#include <optional>

namespace cli {

// The text as `backup` writes it (configured resources only); each loss the text cannot carry is
// warned about on stderr. Nothing when the controller could not be read; status is then its exit status.
std::optional<QString> readControllerText(const GlobalOptions& options, int& status);

} // namespace cli
