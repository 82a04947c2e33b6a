// Pictures: small GIFs drawn from web/pictures.txt (one picture per line) and web/glyphs.txt
// (the pixel patterns of icons and digits).
#include "resources/generator/Generator.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace resgen {

namespace {

using Rgb = std::uint32_t;        // 0xRRGGBB
constexpr Rgb kNone = 0xFF000000; // transparent pixel

Rgb Mix(Rgb a, Rgb b, double t) {
    auto channel = [&](int shift) {
        const double x = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        return static_cast<Rgb>(std::lround(x)) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}
Rgb Darker(Rgb c) {
    return Mix(c, 0x000000, 0.4);
}
Rgb Lighter(Rgb c) {
    return Mix(c, 0xFFFFFF, 0.6);
}

struct Glyph {
    int width = 0;
    std::vector<QByteArray> rows;
};

struct Canvas {
    int width;
    int height;
    std::vector<Rgb> pixels;

    Canvas(int w, int h, Rgb fill = kNone)
        : width(w), height(h), pixels(static_cast<std::size_t>(w * h), fill) {}
    void set(int x, int y, Rgb c) {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<std::size_t>(y * width + x)] = c;
    }
    // Pixels whose centres lie within `r` of (cx, cy).
    void disc(double cx, double cy, double r, Rgb c) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r)
                    set(x, y, c);
    }
    void roundRect(int x0, int y0, int w, int h, int radius, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) {
                const double dx = std::max({0.0, x0 + radius - (x + 0.5), (x + 0.5) - (x0 + w - radius)});
                const double dy = std::max({0.0, y0 + radius - (y + 0.5), (y + 0.5) - (y0 + h - radius)});
                if (std::hypot(dx, dy) <= radius)
                    set(x, y, c);
            }
    }
    void rect(int x0, int y0, int w, int h, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                set(x, y, c);
    }
    // A glyph centred and scaled: '#' in `ink`, 'o' lighter, '+' darker, anything else left alone.
    void glyph(const Glyph& g, int scale, Rgb ink) {
        const int gh = static_cast<int>(g.rows.size());
        const int x0 = (width - g.width * scale) / 2;
        const int y0 = (height - gh * scale) / 2;
        for (int gy = 0; gy < gh; ++gy)
            for (int gx = 0; gx < g.rows[static_cast<std::size_t>(gy)].size(); ++gx) {
                const char m = g.rows[static_cast<std::size_t>(gy)][gx];
                const Rgb c = m == '#' ? ink : m == 'o' ? Lighter(ink) : m == '+' ? Darker(ink) : kNone;
                if (c == kNone)
                    continue;
                for (int sy = 0; sy < scale; ++sy)
                    for (int sx = 0; sx < scale; ++sx)
                        set(x0 + gx * scale + sx, y0 + gy * scale + sy, c);
            }
    }
};

// GIF89a with one global colour table, index 0 transparent when any pixel is, LZW as the
// format defines it (variable code size, clear code when the table is full).
QByteArray EncodeGif(const Canvas& canvas) {
    std::vector<Rgb> palette;
    const bool transparent =
        std::find(canvas.pixels.begin(), canvas.pixels.end(), kNone) != canvas.pixels.end();
    if (transparent)
        palette.push_back(kNone);
    std::map<Rgb, int> index;
    std::vector<int> indexed;
    for (const Rgb c : canvas.pixels) {
        auto it = index.find(c);
        if (it == index.end()) {
            it = index.emplace(c, static_cast<int>(c == kNone ? 0 : palette.size())).first;
            if (c != kNone)
                palette.push_back(c);
        }
        indexed.push_back(it->second);
    }
    if (palette.size() > 256)
        throw Error("picture with more than 256 colours");
    int depth = 1;
    while ((1u << depth) < palette.size())
        ++depth;
    const int minCodeSize = std::max(2, depth);

    QByteArray gif = "GIF89a";
    auto u16 = [&](int v) {
        gif += static_cast<char>(v & 0xFF);
        gif += static_cast<char>(v >> 8);
    };
    u16(canvas.width);
    u16(canvas.height);
    gif += static_cast<char>(0x80 | 0x70 | (depth - 1)); // global table, 8-bit colour resolution
    gif += '\0';                                         // background colour index
    gif += '\0';                                         // no aspect ratio
    for (int k = 0; k < (1 << depth); ++k) {
        const Rgb c = k < static_cast<int>(palette.size()) && palette[k] != kNone ? palette[k] : 0xFFFFFF;
        gif += static_cast<char>(c >> 16);
        gif += static_cast<char>(c >> 8);
        gif += static_cast<char>(c);
    }
    if (transparent)
        gif += QByteArray("\x21\xF9\x04\x01\x00\x00\x00\x00", 8);
    gif += '\x2C';
    u16(0);
    u16(0);
    u16(canvas.width);
    u16(canvas.height);
    gif += '\0';
    gif += static_cast<char>(minCodeSize);

    QByteArray codes;
    std::uint32_t bits = 0;
    int bitCount = 0;
    auto put = [&](int code, int size) {
        bits |= static_cast<std::uint32_t>(code) << bitCount;
        bitCount += size;
        while (bitCount >= 8) {
            codes += static_cast<char>(bits & 0xFF);
            bits >>= 8;
            bitCount -= 8;
        }
    };
    const int clear = 1 << minCodeSize;
    std::unordered_map<std::uint32_t, int> table;
    int next = clear + 2;
    int codeSize = minCodeSize + 1;
    put(clear, codeSize);
    int prefix = indexed[0];
    for (std::size_t i = 1; i < indexed.size(); ++i) {
        const std::uint32_t key =
            static_cast<std::uint32_t>(prefix) << 8 | static_cast<std::uint32_t>(indexed[i]);
        if (auto it = table.find(key); it != table.end()) {
            prefix = it->second;
            continue;
        }
        put(prefix, codeSize);
        if (next < 4096) {
            if (next == (1 << codeSize))
                ++codeSize;
            table[key] = next++;
        } else {
            put(clear, codeSize);
            table.clear();
            next = clear + 2;
            codeSize = minCodeSize + 1;
        }
        prefix = indexed[i];
    }
    put(prefix, codeSize);
    put(clear + 1, codeSize);
    if (bitCount > 0)
        codes += static_cast<char>(bits & 0xFF);
    for (qsizetype at = 0; at < codes.size(); at += 255) {
        const QByteArray block = codes.mid(at, 255);
        gif += static_cast<char>(block.size());
        gif += block;
    }
    gif += '\0';
    gif += '\x3B';
    return gif;
}

// Seven-segment figures for value displays: segments a to g as bits 0 to 6; bit 7 the two dots of ':'.
int Segments(QChar figure) {
    static const QHash<QChar, int> segments{
        {u'0', 0x3F}, {u'1', 0x06}, {u'2', 0x5B}, {u'3', 0x4F}, {u'4', 0x66}, {u'5', 0x6D}, {u'6', 0x7D},
        {u'7', 0x07}, {u'8', 0x7F}, {u'9', 0x6F}, {u'-', 0x40}, {u'_', 0x00}, {u':', 0x80},
    };
    return segments.value(figure, -1);
}

Canvas SevenSegment(QChar figure, Rgb on) {
    Canvas c(9, 15);
    const Rgb off = Mix(on, 0xFFFFFF, 0.85);
    const int s = Segments(figure);
    if (s & 0x80) {
        c.rect(3, 3, 3, 3, on);
        c.rect(3, 9, 3, 3, on);
        return c;
    }
    auto seg = [&](int bit, int x, int y, int w, int h) { c.rect(x, y, w, h, (s >> bit) & 1 ? on : off); };
    seg(0, 2, 0, 5, 2);  // a
    seg(1, 7, 2, 2, 5);  // b
    seg(2, 7, 8, 2, 5);  // c
    seg(3, 2, 13, 5, 2); // d
    seg(4, 0, 8, 2, 5);  // e
    seg(5, 0, 2, 2, 5);  // f
    seg(6, 2, 7, 5, 1);  // g
    return c;
}

struct Sources {
    QHash<QString, Rgb> colours;
    QHash<QString, Glyph> glyphs;
};

QHash<QString, Glyph> ReadGlyphs(const QString& path) {
    QHash<QString, Glyph> glyphs;
    QString current;
    for (const QByteArray& raw : ReadFile(path).split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || (line.startsWith("# ")))
            continue;
        if (line.startsWith("glyph ")) {
            current = QString::fromUtf8(line.mid(6)).trimmed();
            glyphs.insert(current, {});
        } else if (!current.isEmpty()) {
            Glyph& g = glyphs[current];
            g.rows.push_back(line);
            g.width = std::max(g.width, static_cast<int>(line.size()));
        }
    }
    return glyphs;
}

Canvas Draw(const QStringList& f, const Sources& s, const QString& where) {
    auto fail = [&](const QString& why) {
        return Error(QStringLiteral("%1: %2").arg(where, why).toStdString());
    };
    auto colour = [&](const QString& name) {
        if (!s.colours.contains(name))
            throw fail(QStringLiteral("unknown colour \"%1\"").arg(name));
        return s.colours.value(name);
    };
    auto glyph = [&](const QString& name) {
        if (!s.glyphs.contains(name))
            throw fail(QStringLiteral("unknown glyph \"%1\"").arg(name));
        return s.glyphs.value(name);
    };
    auto number = [&](int i) {
        bool ok = false;
        const int v = f.value(i).toInt(&ok);
        if (!ok || v <= 0 || v > 256)
            throw fail(QStringLiteral("bad number \"%1\"").arg(f.value(i)));
        return v;
    };
    const QString kind = f.value(1);
    if (kind == QLatin1String("lamp") && f.size() == 4) { // lamp SIZE COLOUR
        const int size = number(2);
        const Rgb c = colour(f[3]);
        Canvas canvas(size, size);
        canvas.disc(size / 2.0, size / 2.0, size / 2.0 - 0.2, Darker(c));
        canvas.disc(size / 2.0, size / 2.0, size / 2.0 - 1.3, c);
        canvas.disc(size * 0.38, size * 0.36, size * 0.14, Lighter(c));
        return canvas;
    }
    if (kind == QLatin1String("icon") && f.size() >= 4) { // icon GLYPH COLOUR [SIZE]
        const int size = f.size() > 4 ? number(4) : 16;
        Canvas canvas(size, size);
        canvas.glyph(glyph(f[2]), 1, colour(f[3]));
        return canvas;
    }
    if (kind == QLatin1String("button") && f.size() >= 5) { // button SIZE COLOUR GLYPH [SCALE]
        const int size = number(2);
        const Rgb c = colour(f[3]);
        Canvas canvas(size, size);
        canvas.roundRect(0, 0, size, size, std::max(2, size / 6), Darker(c));
        canvas.roundRect(1, 1, size - 2, size - 2, std::max(2, size / 6) - 1, c);
        canvas.glyph(glyph(f[4]), f.size() > 5 ? number(5) : 1, 0xFFFFFF);
        return canvas;
    }
    if (kind == QLatin1String("bar") && f.size() == 6) { // bar WIDTH HEIGHT LEVEL/STEPS COLOUR
        const int w = number(2);
        const int h = number(3);
        const QStringList level = f[4].split(QLatin1Char('/'));
        const int filled = level.value(0).toInt();
        const int steps = std::max(1, level.value(1).toInt());
        Canvas canvas(w, h, 0x606060);
        canvas.rect(1, 1, w - 2, h - 2, 0xE8E8E8);
        canvas.rect(1, 1, (w - 2) * filled / steps, h - 2, colour(f[5]));
        return canvas;
    }
    if (kind == QLatin1String("figure") && f.size() == 4) { // figure CHARACTER COLOUR (seven segments)
        if (f[2].size() != 1 || Segments(f[2][0]) < 0)
            throw fail(QStringLiteral("no seven-segment figure \"%1\"").arg(f[2]));
        return SevenSegment(f[2][0], colour(f[3]));
    }
    if (kind == QLatin1String("fill") && f.size() == 5) // fill WIDTH HEIGHT COLOUR|none
        return Canvas(number(2), number(3), f[4] == QLatin1String("none") ? kNone : colour(f[4]));
    throw fail(QStringLiteral("unknown picture \"%1\"").arg(f.join(QLatin1Char(' '))));
}

} // namespace

QStringList GeneratePictures(const QString& sourceDir, const QDir& out) {
    Sources sources;
    sources.glyphs = ReadGlyphs(sourceDir + QStringLiteral("/glyphs.txt"));
    const QString listPath = sourceDir + QStringLiteral("/pictures.txt");
    QStringList names;
    int lineNo = 0;
    for (const QByteArray& raw : ReadFile(listPath).split('\n')) {
        ++lineNo;
        const QString line = QString::fromUtf8(raw).section(QLatin1Char('#'), 0, 0).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList f = line.split(QRegularExpression(QStringLiteral("\\s+")));
        const QString where = QStringLiteral("%1:%2").arg(listPath).arg(lineNo);
        if (f[0] == QLatin1String("colour") && f.size() == 3) {
            bool ok = false;
            sources.colours.insert(f[1], f[2].toUInt(&ok, 16));
            if (!ok)
                throw Error(QStringLiteral("%1: bad colour").arg(where).toStdString());
            continue;
        }
        const QString name = f[0].toLower() + QStringLiteral("_gif");
        if (names.contains(name))
            throw Error(QStringLiteral("%1: picture %2 given twice").arg(where, f[0]).toStdString());
        WriteFile(out, name, EncodeGif(Draw(f, sources, where)));
        names += name;
    }
    QStringList wanted;
    for (int k = 0; k <= 98; ++k)
        wanted += QString::fromLatin1(k < 84 ? "%1_gif" : "%1_405_gif").arg(k, 2, 10, QLatin1Char('0'));
    for (int k = 1; k <= 8; ++k)
        wanted += QStringLiteral("s%1_gif").arg(k);
    for (const QString& name : wanted)
        if (!names.contains(name))
            throw Error(QStringLiteral("%1: picture %2 is missing").arg(listPath, name).toStdString());
    return names;
}

} // namespace resgen
