#include "sim/SimMemory.h"

#include "sim/SimWire.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace sim {

namespace {

constexpr char kMagic[] = "NDXSIMST";
constexpr int kMagicSize = 8;
constexpr std::uint32_t kFormatVersion = 1;
// No valid state file comes near this; a bigger file is refused before it is read.
constexpr qint64 kMaxStateFileSize = 2 * 1024 * 1024;

const QByteArray kTagFlash("FLSH");
const QByteArray kTagQpbSettings("QBST");
const QByteArray kTagQpbVars("QBVR");
const QByteArray kTagHttp("HTTP");
const QByteArray kTagCrc("CRC4");

QByteArray extTag(int module) {
    return QByteArray("EXT") + char('0' + module);
}

void appendSection(QByteArray& out, const QByteArray& tag, const QByteArray& data) {
    out.append(tag);
    appendBe32(out, std::uint32_t(data.size()));
    out.append(data);
}

} // namespace

SimMemory::SimMemory()
    : m_flash(kFlashSize, '\0'), m_qpbSettings(kQpbSettingsSize, '\0'), m_qpbVars(kQpbVarsSize, '\0') {}

const QByteArray& SimMemory::area(Area a) const {
    switch (a) {
    case Area::Flash:
        return m_flash;
    case Area::QpbSettings:
        return m_qpbSettings;
    case Area::QpbVars:
        break;
    }
    return m_qpbVars;
}

QByteArray& SimMemory::areaRef(Area a) {
    return const_cast<QByteArray&>(std::as_const(*this).area(a));
}

std::optional<QByteArray> SimMemory::readBlock(Area a, std::uint32_t address) const {
    const QByteArray& mem = area(a);
    if (qint64(address) + kBlockSize > mem.size())
        return std::nullopt;
    return mem.mid(qsizetype(address), kBlockSize);
}

bool SimMemory::writeBlock(Area a, std::uint32_t address, const QByteArray& block) {
    QByteArray& mem = areaRef(a);
    if (block.size() != kBlockSize || qint64(address) + kBlockSize > mem.size())
        return false;
    mem.replace(qsizetype(address), kBlockSize, block);
    return true;
}

void SimMemory::setExtRecord(int module, const QByteArray& record) {
    if (module >= 0 && module < kModuleCount && record.size() == kExtRecordSize)
        m_ext[size_t(module)] = record;
}

const std::optional<QByteArray>& SimMemory::extRecord(int module) const {
    static const std::optional<QByteArray> none;
    if (module < 0 || module >= kModuleCount)
        return none;
    return m_ext[size_t(module)];
}

std::optional<SeedKind> SimMemory::seedKindFromName(const QString& name) {
    static const std::map<QString, SeedKind> names = {
        {QStringLiteral("qpa-settings"), SeedKind::QpaSettings},
        {QStringLiteral("qpa-texts"), SeedKind::QpaTexts},
        {QStringLiteral("qpb-settings"), SeedKind::QpbSettings},
        {QStringLiteral("qpb-vars"), SeedKind::QpbVars},
        {QStringLiteral("flash"), SeedKind::Flash},
    };
    const auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

int SimMemory::seedSize(SeedKind kind) {
    switch (kind) {
    case SeedKind::QpaSettings:
        return kQpaSettingsSize;
    case SeedKind::QpaTexts:
        return kQpaTextsSize;
    case SeedKind::QpbSettings:
        return kQpbSettingsSize;
    case SeedKind::QpbVars:
        return kQpbVarsSize;
    case SeedKind::Flash:
        break;
    }
    return kFlashSize;
}

bool SimMemory::seed(SeedKind kind, const QByteArray& image, QString* error) {
    const int expected = seedSize(kind);
    if (image.size() != expected) {
        if (error)
            *error = QStringLiteral("image has %1 bytes, expected %2").arg(image.size()).arg(expected);
        return false;
    }
    switch (kind) {
    case SeedKind::QpaSettings:
        m_flash.replace(kQpaSettingsAddress, expected, image);
        break;
    case SeedKind::QpaTexts:
        m_flash.replace(kQpaTextsAddress, expected, image);
        break;
    case SeedKind::QpbSettings:
        m_qpbSettings = image;
        break;
    case SeedKind::QpbVars:
        m_qpbVars = image;
        break;
    case SeedKind::Flash:
        m_flash = image;
        break;
    }
    return true;
}

QByteArray SimMemory::image(SeedKind kind) const {
    switch (kind) {
    case SeedKind::QpaSettings:
        return m_flash.mid(kQpaSettingsAddress, kQpaSettingsSize);
    case SeedKind::QpaTexts:
        return m_flash.mid(kQpaTextsAddress, kQpaTextsSize);
    case SeedKind::QpbSettings:
        return m_qpbSettings;
    case SeedKind::QpbVars:
        return m_qpbVars;
    case SeedKind::Flash:
        break;
    }
    return m_flash;
}

QByteArray SimMemory::serialize() const {
    QByteArray out;
    out.reserve(kMagicSize + 4 + kFlashSize + kQpbSettingsSize + kQpbVarsSize + 8 * 9 + 4 * kExtRecordSize +
                16);
    out.append(kMagic, kMagicSize);
    appendBe32(out, kFormatVersion);
    appendSection(out, kTagFlash, m_flash);
    appendSection(out, kTagQpbSettings, m_qpbSettings);
    appendSection(out, kTagQpbVars, m_qpbVars);
    appendSection(out, kTagHttp, QByteArray(1, m_httpOn ? '\1' : '\0'));
    for (int m = 0; m < kModuleCount; ++m) {
        if (m_ext[size_t(m)])
            appendSection(out, extTag(m), *m_ext[size_t(m)]);
    }
    const std::uint32_t crc = crc32Mpeg2(out);
    out.append(kTagCrc);
    appendBe32(out, 4);
    appendBe32(out, crc);
    return out;
}

bool SimMemory::deserialize(const QByteArray& bytes, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (bytes.size() < kMagicSize + 4 || bytes.left(kMagicSize) != QByteArray(kMagic, kMagicSize))
        return fail(QStringLiteral("not a nodarix-sim state file (bad magic)"));
    const std::uint32_t version = readBe32(bytes, kMagicSize);
    if (version != kFormatVersion)
        return fail(QStringLiteral("unsupported state file version %1 (this simulator reads %2)")
                        .arg(version)
                        .arg(kFormatVersion));

    struct Expected {
        QByteArray tag;
        int size;
    };
    std::vector<Expected> known = {{kTagFlash, kFlashSize},
                                   {kTagQpbSettings, kQpbSettingsSize},
                                   {kTagQpbVars, kQpbVarsSize},
                                   {kTagHttp, 1}};
    for (int m = 0; m < kModuleCount; ++m)
        known.push_back({extTag(m), kExtRecordSize});

    std::map<QByteArray, QByteArray> sections;
    qsizetype pos = kMagicSize + 4;
    for (;;) {
        if (bytes.size() - pos < 8)
            return fail(QStringLiteral("truncated at byte %1 (section header expected)").arg(pos));
        const QByteArray tag = bytes.mid(pos, 4);
        const std::uint32_t length = readBe32(bytes, int(pos + 4));
        pos += 8;
        if (qint64(length) > bytes.size() - pos)
            return fail(QStringLiteral("section %1 announces %2 bytes but only %3 remain")
                            .arg(QString::fromLatin1(tag.toHex()))
                            .arg(length)
                            .arg(bytes.size() - pos));
        if (tag == kTagCrc) {
            if (length != 4 || pos + 4 != bytes.size())
                return fail(QStringLiteral("checksum trailer is malformed or not at the end"));
            const std::uint32_t stored = readBe32(bytes, int(pos));
            const std::uint32_t actual = crc32Mpeg2(bytes.left(pos - 8));
            if (stored != actual)
                return fail(QStringLiteral("checksum mismatch (file is corrupt)"));
            break;
        }
        const auto it =
            std::find_if(known.begin(), known.end(), [&](const Expected& e) { return e.tag == tag; });
        if (it == known.end())
            return fail(QStringLiteral("unknown section tag %1 at byte %2")
                            .arg(QString::fromLatin1(tag.toHex()))
                            .arg(pos - 8));
        if (int(length) != it->size)
            return fail(QStringLiteral("section %1 has %2 bytes, expected %3")
                            .arg(QString::fromLatin1(tag))
                            .arg(length)
                            .arg(it->size));
        if (sections.count(tag))
            return fail(QStringLiteral("section %1 appears twice").arg(QString::fromLatin1(tag)));
        sections[tag] = bytes.mid(pos, qsizetype(length));
        pos += qsizetype(length);
    }
    for (const QByteArray& required : {kTagFlash, kTagQpbSettings, kTagQpbVars, kTagHttp}) {
        if (!sections.count(required))
            return fail(QStringLiteral("section %1 is missing").arg(QString::fromLatin1(required)));
    }
    const char http = sections[kTagHttp].at(0);
    if (http != 0 && http != 1)
        return fail(QStringLiteral("HTTP flag byte is %1, expected 0 or 1").arg(int(std::uint8_t(http))));

    m_flash = sections[kTagFlash];
    m_qpbSettings = sections[kTagQpbSettings];
    m_qpbVars = sections[kTagQpbVars];
    m_httpOn = http == 1;
    for (int m = 0; m < kModuleCount; ++m) {
        const auto it = sections.find(extTag(m));
        m_ext[size_t(m)] = it == sections.end() ? std::nullopt : std::optional<QByteArray>(it->second);
    }
    return true;
}

bool SimMemory::load(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open: %1").arg(file.errorString());
        return false;
    }
    if (file.size() > kMaxStateFileSize) {
        if (error)
            *error = QStringLiteral("file has %1 bytes, far more than a state file").arg(file.size());
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("cannot read: %1").arg(file.errorString());
        return false;
    }
    return deserialize(bytes, error);
}

bool SimMemory::save(const QString& path, QString* error) const {
    QSaveFile file(path);
    const QByteArray bytes = serialize();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace sim
