#pragma once
// "config import": raw NDC/NDT files turned into a configuration text, as the settings window does.
#include <QString>
#include <QStringList>

namespace cli {

extern const char kConfigImportHelp[];
// args: everything after "config import". Returns an ExitCode.
int runConfigImport(const QStringList& args);

} // namespace cli
