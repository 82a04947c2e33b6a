#pragma once
// A command's own options: --name VALUE, flags, and positional arguments.
#include <QHash>
#include <QString>
#include <QStringList>

namespace cli {

struct Options {
    QHash<QString, QString> values;
    QStringList flags;
    QStringList positional;
};

// Anything that starts with '-' and is neither a valued option nor a flag is an error. Returns
// false (after printing why) on an unknown option or a missing value.
bool parseOptions(const QStringList& args, const QStringList& valued, const QStringList& flagNames, Options& out);

} // namespace cli
