#pragma once
// The simulated controller's memory and its state file.
//
// Memory: the 512 KB flash area (QPA settings at 0x600, QPA texts at 0x2900, firmware and web
// resources wherever an uploaded image puts them), the QPB settings and variables images, the last
// extension module record received per module number, and the HTTP server flag.
//
// State file, all numbers big-endian:
//   "NDXSIMST"  magic (8 bytes)
//   u32         format version (1)
//   sections    tag (4 ASCII bytes), u32 length, data; each tag at most once, in any order:
//               FLSH 524288, QBST 65536, QBVR 16640, HTTP 1 (0 or 1): all required;
//               EXT0..EXT3 166: present for each module that received a record
//   "CRC4"      u32 length 4, then CRC-32/MPEG-2 of every byte before this trailer; nothing follows
#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace sim {

// A memory area addressed by block requests.
enum class Area { Flash, QpbSettings, QpbVars };

// Images that --seed can preload.
enum class SeedKind { QpaSettings, QpaTexts, QpbSettings, QpbVars, Flash };

class SimMemory {
public:
    static constexpr int kFlashSize = 524288;
    static constexpr int kQpbSettingsSize = 65536;
    static constexpr int kQpbVarsSize = 16640;
    static constexpr int kQpaSettingsSize = 8192;
    static constexpr int kQpaTextsSize = 32768;
    static constexpr int kQpaSettingsAddress = 0x600;
    static constexpr int kQpaTextsAddress = 0x2900;

    SimMemory();

    // The 256 bytes at address, or nothing when the block does not lie wholly inside the area.
    std::optional<QByteArray> readBlock(Area area, std::uint32_t address) const;
    // Stores 256 bytes at address; false (nothing stored) when the block is out of range.
    bool writeBlock(Area area, std::uint32_t address, const QByteArray& block);

    const QByteArray& area(Area a) const;

    void setExtRecord(int module, const QByteArray& record);
    const std::optional<QByteArray>& extRecord(int module) const;

    bool httpOn() const { return m_httpOn; }
    void setHttpOn(bool on) { m_httpOn = on; }

    // Parses a seed kind name ("qpa-settings", ...); nothing for an unknown name.
    static std::optional<SeedKind> seedKindFromName(const QString& name);
    static int seedSize(SeedKind kind);
    // Copies a raw image into place; false with a message when its size is wrong.
    bool seed(SeedKind kind, const QByteArray& image, QString* error);
    // The image a seed of this kind would replace, as it is now.
    QByteArray image(SeedKind kind) const;

    QByteArray serialize() const;
    // Replaces the whole memory from state file bytes; on failure memory is unchanged.
    bool deserialize(const QByteArray& bytes, QString* error);

    // Whole-file operations; save is atomic (the old file stays until the new one is complete).
    bool load(const QString& path, QString* error);
    bool save(const QString& path, QString* error) const;

private:
    QByteArray& areaRef(Area a);

    QByteArray m_flash;
    QByteArray m_qpbSettings;
    QByteArray m_qpbVars;
    std::array<std::optional<QByteArray>, 4> m_ext;
    bool m_httpOn = false;
};

} // namespace sim
