#include "flash/FlashImage.h"

#include "flash/NamedResources.h"
#include "flash/TextLines.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace {

// Where the firmware and bootloaders sit in the controller's flash.
constexpr std::uint32_t kF101ProgramBytes = 0x1D800;  // F101 firmware with its CRC word
constexpr std::uint32_t kF101Bootloader = 0x0801D800; // F101 bootloader, right after the firmware
constexpr std::uint32_t kF101TextsBytes = sizeof(TNodarixQPAText);
constexpr std::uint32_t kF405Firmware = 0x08020000; // F405 firmware, up to its CRC word
constexpr std::uint32_t kF405CrcWord = 0x0807FFFC;
constexpr std::uint32_t kF405FirmwareBytes = 0x60000;
constexpr std::uint32_t kF405SettingsSectors[] = {0x08004000, 0x08008000, 0x0800C000};
constexpr std::uint32_t kF405SettingsSectorBytes = 0x4000;

// A page larger than this is not read at all; compaction could shrink it, but not that far.
constexpr qint64 kMaxPageRead = 8 * 1024 * 1024;

// Page texts that each variant keeps in a form of its own.
constexpr int kVariantTexts[] = {3, 8, 9, 10, 15, 23};

std::uint32_t Get24(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
}

void Put24(std::uint8_t* p, std::uint32_t value) {
    p[0] = static_cast<std::uint8_t>(value >> 16);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value);
}

void PutLe32(std::uint8_t* p, std::uint32_t value) {
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<std::uint8_t>(value >> (8 * k));
}

QString Two(int k) {
    return QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
}

bool StartsWithDoctypeHtml(const QByteArray& content) {
    return content.left(14).compare("<!doctype html", Qt::CaseInsensitive) == 0;
}

} // namespace

struct TFlashImageBuilder::Entry {
    enum Kind { Fill, Copy, Resource, UserFile } kind = Fill;
    QString what;                       // what the entry holds, for the failure reason
    std::uint32_t length = 0;           // Fill and Copy
    std::uint8_t value = 0;             // Fill
    const std::uint8_t* data = nullptr; // Copy: the first `copied` bytes come from here
    std::uint32_t copied = 0;
    QString name; // Resource: its name with the language; UserFile: its path

    static Entry filled(QString what, std::uint32_t length, std::uint8_t value = 0) {
        return {Fill, std::move(what), length, value, nullptr, 0, {}};
    }
    static Entry copy(QString what, std::uint32_t length, const std::uint8_t* data, std::uint32_t copied) {
        return {Copy, std::move(what), length, 0, data, copied, {}};
    }
    static Entry resource(QString what, const QString& name, const QString& language) {
        return {Resource,
                std::move(what),
                0,
                0,
                nullptr,
                0,
                name.endsWith(QLatin1Char('_')) ? name + language : name};
    }
    static Entry userFile(QString what, QString path) {
        return {UserFile, std::move(what), 0, 0, nullptr, 0, std::move(path)};
    }
};

namespace {

using Entry = TFlashImageBuilder::Entry;

// The web resources of a variant ("101" or "405") in directory order, from the first page to
// the last user picture.
std::vector<Entry> WebEntries(const QString& variant, const QString& language, const TResCfg& resCfg) {
    std::vector<Entry> entries;
    for (int k = 0; k <= 12; ++k) {
        const QString name = (k <= 1 || k == 12) ? QStringLiteral("n%1_html_").arg(Two(k))
                                                 : QStringLiteral("n%1_%2_html_").arg(Two(k), variant);
        entries.push_back(Entry::resource(QStringLiteral("page %1").arg(Two(k)), name, language));
    }
    for (int k = 0; k <= 1; ++k)
        entries.push_back(Entry::resource(QStringLiteral("style sheet %1").arg(Two(k)),
                                          QStringLiteral("%1_css").arg(Two(k)), language));
    const bool f405 = variant == QLatin1String("405");
    for (int k = 0; k <= (f405 ? 98 : 83); ++k) {
        const QString name =
            k >= 84 ? QStringLiteral("%1_405_gif").arg(Two(k)) : QStringLiteral("%1_gif").arg(Two(k));
        entries.push_back(Entry::resource(QStringLiteral("picture %1").arg(Two(k)), name, language));
    }
    for (int k = 0; k <= (f405 ? 37 : 29); ++k) {
        const bool ownForm = k >= 30 || std::find(std::begin(kVariantTexts), std::end(kVariantTexts), k) !=
                                            std::end(kVariantTexts);
        const QString name = ownForm ? QStringLiteral("%1_%2_txt_").arg(Two(k), variant)
                                     : QStringLiteral("%1_txt_").arg(Two(k));
        entries.push_back(Entry::resource(QStringLiteral("page text %1").arg(Two(k)), name, language));
    }
    for (int k = 1; k <= 8; ++k) {
        const QString& path = resCfg.U_Cgi[static_cast<std::size_t>(k - 1)];
        const QString what = QStringLiteral("user page u%1.cgi").arg(k);
        entries.push_back(path.isEmpty() ? Entry::resource(what, QStringLiteral("u%1_html_").arg(k), language)
                                         : Entry::userFile(what, path));
    }
    for (int k = 1; k <= 8; ++k) {
        const QString& path = resCfg.S_Gif[static_cast<std::size_t>(k - 1)];
        const QString what = QStringLiteral("user picture s%1.gif").arg(k);
        entries.push_back(path.isEmpty() ? Entry::resource(what, QStringLiteral("s%1_gif").arg(k), language)
                                         : Entry::userFile(what, path));
    }
    return entries;
}

// Reads a user file without ever holding more of it than could be stored: a file that is not a
// page to compact is stored as it is, so it is refused before reading when it is larger than the
// room left; a page is read up to kMaxPageRead bytes and compacted.
TFlashBuildError ReadUserFile(const QString& path, std::uint32_t room, QByteArray& content, QString& why) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = QStringLiteral("cannot open \"%1\": %2").arg(path, file.errorString());
        return TFlashBuildError::FileNotOpened;
    }
    const bool page = StartsWithDoctypeHtml(file.peek(14));
    const qint64 limit = page ? kMaxPageRead : qint64{room};
    if (!file.isSequential() && file.size() > limit) {
        why = QStringLiteral("\"%1\" has %2 bytes, more than the %3 bytes left")
                  .arg(path)
                  .arg(file.size())
                  .arg(limit);
        return TFlashBuildError::DoesNotFit;
    }
    content = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) {
        why = QStringLiteral("cannot read \"%1\": %2").arg(path, file.errorString());
        return TFlashBuildError::FileNotOpened;
    }
    if (content.size() > limit) {
        why = QStringLiteral("\"%1\" has more than the %2 bytes left").arg(path).arg(limit);
        return TFlashBuildError::DoesNotFit;
    }
    if (page)
        content = CompactHtml(content);
    return TFlashBuildError::None;
}

} // namespace

TFlashImageBuilder::TFlashImageBuilder() : image_(kFlashImageBytes, 0) {}

bool TFlashImageBuilder::Build(const QString& Variant, const QString& Language, bool WithFirmware,
                               const TResCfg& ResCfg, qint32& FreeSpace, const TNodarixQPAText* Texts) {
    failure_ = {};
    if (Variant == QLatin1String("F101"))
        return BuildF101(Language, WithFirmware, ResCfg, FreeSpace, Texts);
    if (Variant == QLatin1String("F405"))
        return BuildF405(Language, WithFirmware, ResCfg, FreeSpace);
    return true;
}

bool TFlashImageBuilder::BuildF101(const QString& language, bool withFirmware, const TResCfg& resCfg,
                                   qint32& freeSpace, const TNodarixQPAText* texts) {
    if (!Decode(QStringLiteral("ip_kiv_101_hex")))
        return false;
    if (!mirror_.PlaceRawResource(QStringLiteral("bootloader_2_1_4_bin"), kF101Bootloader))
        return Fail(TFlashBuildError::FirmwareNotLoaded, -1, QStringLiteral("bootloader_2_1_4_bin"),
                    QStringLiteral("the program carries no bootloader resource \"bootloader_2_1_4_bin\""));
    std::fill(image_.begin(), image_.end(), 0);

    std::vector<Entry> entries{Entry::filled(QStringLiteral("configuration area"), 8192),
                               Entry::filled(QStringLiteral("reserved area"), 256),
                               Entry::filled(QStringLiteral("reserved area"), 256),
                               Entry::filled(QStringLiteral("reserved area"), 256)};
    if (withFirmware) {
        const std::uint32_t crcWord = kFlashMirrorBase + kF101ProgramBytes - 4;
        std::memset(mirror_.At(crcWord), 0, 4);
        PutLe32(mirror_.At(crcWord),
                mirror_.FlashCrc32(kFlashMirrorBase, kFlashMirrorBase + kF101ProgramBytes));
        entries.push_back(Entry::copy(QStringLiteral("firmware"), kF101ProgramBytes,
                                      mirror_.At(kFlashMirrorBase), kF101ProgramBytes));
    } else if (texts) {
        entries.push_back(Entry::copy(QStringLiteral("program area with the texts"), kF101ProgramBytes,
                                      reinterpret_cast<const std::uint8_t*>(texts), kF101TextsBytes));
    } else {
        entries.push_back(Entry::filled(QStringLiteral("program area"), kF101ProgramBytes));
    }
    const auto web = WebEntries(QStringLiteral("101"), language, resCfg);
    entries.insert(entries.end(), web.begin(), web.end());
    return AddEntries(entries, freeSpace);
}

bool TFlashImageBuilder::BuildF405(const QString& language, bool withFirmware, const TResCfg& resCfg,
                                   qint32& freeSpace) {
    if (!Decode(QStringLiteral("ip_kiv_bootloader_405_hex")) || !Decode(QStringLiteral("ip_kiv_405_hex")))
        return false;
    for (const std::uint32_t sector : kF405SettingsSectors)
        mirror_.FillFlash(sector, kF405SettingsSectorBytes, 0xFF);
    std::fill(image_.begin(), image_.end(), 0);
    std::memset(mirror_.At(kF405CrcWord), 0, 4);
    PutLe32(mirror_.At(kF405CrcWord), mirror_.FlashCrc32(kF405Firmware, kF405CrcWord));
    if (withFirmware) {
        std::memcpy(image_.data(), mirror_.At(kF405Firmware), kF405FirmwareBytes);
        return true;
    }
    return AddEntries(WebEntries(QStringLiteral("405"), language, resCfg), freeSpace);
}

bool TFlashImageBuilder::Decode(const QString& name) {
    TFirmwareDecodeReport report;
    if (mirror_.DecodeFirmwareHex(name, &report))
        return true;
    return Fail(TFlashBuildError::FirmwareNotLoaded, -1, name,
                QStringLiteral("firmware \"%1\" cannot be decoded: %2").arg(name, report.Error));
}

bool TFlashImageBuilder::AddEntries(const std::vector<Entry>& entries, qint32& freeSpace) {
    for (std::size_t e = 0; e < entries.size(); ++e)
        if (!AddEntry(static_cast<int>(e), entries[e], freeSpace))
            return false;
    return true;
}

bool TFlashImageBuilder::AddEntry(int e, const Entry& entry, qint32& freeSpace) {
    freeSpace = 0;
    const auto label = [&] { return QStringLiteral("entry %1 (%2)").arg(e).arg(entry.what); };

    // Where the entry would start; checked after the content is read, as the directory rules say.
    bool entryFree = e >= 0 && e < kFlashDirectoryEntries;
    std::uint32_t start = kFlashDirectoryBytes;
    if (entryFree) {
        const std::uint8_t* slot = image_.data() + 8 * e;
        entryFree = std::all_of(slot, slot + 8, [](std::uint8_t b) { return b == 0; });
        if (e > 0) {
            const std::uint32_t previous = Get24(slot - 7);
            entryFree = entryFree && previous != 0;
            start = previous + Get24(slot - 3);
        }
    }
    const std::uint32_t room = start < kFlashImageLimit ? kFlashImageLimit - start : 0;

    QByteArray content;
    std::uint32_t length = entry.length;
    if (entry.kind == Entry::Resource) {
        const auto resource = flash::LoadNamedResource(entry.name);
        if (!resource)
            return Fail(
                TFlashBuildError::ResourceNotLoaded, e, entry.name,
                QStringLiteral("%1: the program carries no resource \"%2\"").arg(label(), entry.name));
        content = CompactHtml(*resource);
    } else if (entry.kind == Entry::UserFile) {
        QString why;
        const TFlashBuildError error = ReadUserFile(entry.name, room, content, why);
        if (error != TFlashBuildError::None)
            return Fail(error, e, entry.name, QStringLiteral("%1: %2").arg(label(), why));
    }
    if (entry.kind == Entry::Resource || entry.kind == Entry::UserFile)
        length = static_cast<std::uint32_t>(content.size());

    if (!entryFree)
        return Fail(TFlashBuildError::EntryNotFree, e, entry.name,
                    QStringLiteral("%1: the directory entry is not free").arg(label()));
    if (start > kFlashImageLimit || length > room)
        return Fail(TFlashBuildError::DoesNotFit, e, entry.name,
                    QStringLiteral("%1: %2 bytes from offset 0x%3 do not fit below offset 0x7FFFF")
                        .arg(label())
                        .arg(length)
                        .arg(start, 0, 16));

    std::uint8_t* slot = image_.data() + 8 * e;
    Put24(slot + 1, start);
    Put24(slot + 5, length);
    freeSpace = static_cast<qint32>(kFlashImageBytes - (start + length));

    std::uint8_t* data = image_.data() + start;
    switch (entry.kind) {
    case Entry::Fill:
        std::memset(data, entry.value, length);
        return true;
    case Entry::Copy:
        std::memcpy(data, entry.data, std::min(entry.copied, length));
        return true;
    case Entry::Resource:
    case Entry::UserFile:
        if (content.isEmpty())
            return Fail(entry.kind == Entry::Resource ? TFlashBuildError::ResourceEmpty
                                                      : TFlashBuildError::FileEmpty,
                        e, entry.name, QStringLiteral("%1: \"%2\" is empty").arg(label(), entry.name));
        std::memcpy(data, content.constData(), length);
        return true;
    }
    return true;
}

bool TFlashImageBuilder::Fail(TFlashBuildError error, int entry, const QString& source,
                              const QString& reason) {
    failure_ = {error, entry, source, reason};
    return false;
}

QByteArray CompactHtml(const QByteArray& content) {
    if (!StartsWithDoctypeHtml(content))
        return content;
    QByteArray result;
    result.reserve(content.size());
    bool inComment = false;
    flash::ForEachLine({content.constData(), static_cast<std::size_t>(content.size())},
                       [&](int, std::string_view line) {
                           while (!line.empty() && static_cast<unsigned char>(line.front()) <= ' ')
                               line.remove_prefix(1);
                           while (!line.empty() && static_cast<unsigned char>(line.back()) <= ' ')
                               line.remove_suffix(1);
                           const QByteArrayView text(line.data(), static_cast<qsizetype>(line.size()));
                           if (text.contains("<!--")) {
                               result += "\r\n";
                               result += text;
                               result += "\r\n";
                               inComment = !text.contains("-->");
                           } else if (text.contains("-->")) {
                               result += text;
                               result += "\r\n";
                               inComment = false;
                           } else if (inComment) {
                               result += text;
                               result += "\r\n";
                           } else {
                               result += text;
                           }
                           return true;
                       });
    return result;
}

TFlashImageBuilder& SharedFlashBuilder() {
    static TFlashImageBuilder builder;
    return builder;
}

bool BuildFlashImage(const QString& Variant, const QString& Language, bool WithFirmware,
                     const TResCfg& ResCfg, qint32& FreeSpace, const TNodarixQPAText* Texts,
                     TFlashBuildFailure* failure) {
    TFlashImageBuilder& builder = SharedFlashBuilder();
    const bool ok = builder.Build(Variant, Language, WithFirmware, ResCfg, FreeSpace, Texts);
    if (failure)
        *failure = builder.Failure();
    return ok;
}

const std::uint8_t* FlashImage() {
    return SharedFlashBuilder().Image();
}
