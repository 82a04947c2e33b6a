#pragma once
// The named data resources carried in the program (firmware, bootloader, web pages, style sheets,
// pictures, page texts). Names are compared without regard to case.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace flash {

// The content of a resource, or nothing when the program carries no resource of that name.
std::optional<QByteArray> LoadNamedResource(const QString& name);

// Every resource name the program carries, in lower case, sorted.
QStringList NamedResourceNames();

} // namespace flash
