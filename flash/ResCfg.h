#pragma once
// The installer's own pages (u1.cgi to u8.cgi) and pictures (s1.gif to s8.gif) that a flash image
// carries, and their list file "Res.txt".
#include <QByteArrayView>
#include <QString>
#include <array>

struct TResCfg {
    std::array<QString, 8> U_Cgi; // page files of slots u1 to u8; empty: the built-in page
    std::array<QString, 8> S_Gif; // picture files of slots s1 to s8; empty: the built-in picture
};

// Reads a list file: all slots are emptied first and stay empty when the file cannot be opened.
// Lines "uK=PATH" and "sK=PATH" (K = 1 to 8, lower-case letter) set a slot; other lines are ignored.
void LoadResCfg(const QString& fileName, TResCfg& resCfg);
// The same for the list file's content.
void ReadResCfg(QByteArrayView text, TResCfg& resCfg);

// Writes all 16 lines, CR LF ended, replacing the file; a file that holds exactly these lines is
// left untouched. False when it cannot be written.
bool SaveResCfg(const QString& fileName, const TResCfg& resCfg);

// The list file "Res.txt" in the directory the tool started in, with the platform's separator.
QString ResCfgPath(const QString& startDirectory);

// A size or free space in bytes as the windows show it: "-" for 0 (or less); an exact multiple of
// 1024 as its number of KiB ("4kBi" for 4096); any other size as its whole KiB plus one ("2kBi"
// for 1500, "1kBi" for 1023).
QString KibLabel(qint64 bytes);

// The label of a page or picture slot: "-" when the path is empty, the file is missing, unreadable
// or empty; else the size label, a blank and the file name, cut to 16 characters followed by "...".
QString SlotFileLabel(const QString& path);
