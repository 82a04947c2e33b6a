#include "flash/NamedResources.h"

#include <QDir>
#include <QFileInfo>
#include <QResource>

// Q_INIT_RESOURCE must stand outside any namespace. Calling it also makes the linker keep the
// resource data of the static library nodarix_resources in every program.
static void InitNodarixResources() {
    Q_INIT_RESOURCE(nodarix_web);
    Q_INIT_RESOURCE(nodarix_firmware);
}

namespace flash {

namespace {

// The resource generator stores every resource under this prefix with a lower-case name.
const QString kPrefix = QStringLiteral(":/nodarix/");

void EnsureRegistered() {
    static const bool registered = (InitNodarixResources(), true);
    (void)registered;
}

bool IsPlainName(const QString& name) {
    for (const QChar c : name)
        if (!(c.isLetterOrNumber() && c.unicode() < 128) && c != QLatin1Char('_'))
            return false;
    return !name.isEmpty();
}

} // namespace

std::optional<QByteArray> LoadNamedResource(const QString& name) {
    EnsureRegistered();
    if (!IsPlainName(name))
        return std::nullopt;
    const QString path = kPrefix + name.toLower();
    const QResource resource(path);
    if (!resource.isValid() || !QFileInfo(path).isFile())
        return std::nullopt;
    // Data stored uncompressed is used in place: it lives as long as the program.
    if (resource.compressionAlgorithm() == QResource::NoCompression)
        return QByteArray::fromRawData(reinterpret_cast<const char*>(resource.data()), resource.size());
    return resource.uncompressedData();
}

QStringList NamedResourceNames() {
    EnsureRegistered();
    QStringList names = QDir(kPrefix).entryList(QDir::Files, QDir::Name);
    return names;
}

} // namespace flash
