#pragma once
// A configuration text with its circuit labels renumbered in order of first mention, as a replacing
// read numbers the circuits: two texts that describe the same image up to that renumbering become
// equal. The version line is dropped (a read-back is written in the new numbering), circuit lines
// of circuits the logic does not wire are dropped (a read skips them) and the rest are sorted by
// their new label. Output constants "dFE" and "dFF" keep their labels. Shared by the round-trip
// tests and the round-trip fuzz target.
#include <QHash>
#include <QString>
#include <QStringList>
#include <algorithm>

namespace testcfg {

inline QString relabelByFirstMention(const QString& text) {
    const QLatin1String crlf("\r\n");
    QHash<QString, QString> digital, analog; // old label (two hex digits) -> new one
    auto relabel = [](QHash<QString, QString>& map, const QString& label) {
        auto it = map.find(label);
        if (it == map.end())
            it = map.insert(label,
                            QStringLiteral("%1").arg(map.size() + 1, 2, 16, QLatin1Char('0')).toUpper());
        return *it;
    };
    QString out;
    QString section;
    QStringList circuitLines;
    auto flushCircuits = [&] {
        std::sort(circuitLines.begin(), circuitLines.end());
        for (const QString& l : circuitLines)
            out += l + crlf;
        circuitLines.clear();
    };
    for (QString line : text.split(crlf)) {
        if (line.startsWith(QLatin1String("#version=")))
            continue;
        if (line.startsWith(QLatin1Char('#'))) {
            flushCircuits();
            section = line;
            out += line + crlf;
            continue;
        }
        if (section == QLatin1String("#logic")) {
            // Circuits stand in the pin groups, before any parameter text.
            const qsizetype end =
                line.contains(QLatin1Char('`')) ? line.indexOf(QLatin1Char('`')) : line.size();
            for (qsizetype i = 0; i + 4 < end; ++i) {
                const QChar kind = line[i + 1];
                if (line[i] != QLatin1Char('"') || line[i + 4] != QLatin1Char('"') ||
                    (kind != QLatin1Char('d') && kind != QLatin1Char('a')))
                    continue;
                const QString label = line.mid(i + 2, 2).toUpper();
                if (kind == QLatin1Char('d') &&
                    (label == QLatin1String("FE") || label == QLatin1String("FF") ||
                     label.startsWith(QLatin1Char('='))))
                    continue;
                line.replace(i + 2, 2, relabel(kind == QLatin1Char('d') ? digital : analog, label));
            }
            out += line + crlf;
        } else if (section == QLatin1String("#dcircuit") || section == QLatin1String("#acircuit")) {
            const QHash<QString, QString>& map = section == QLatin1String("#dcircuit") ? digital : analog;
            const QString label = line.mid(7, 2).toUpper();
            if (map.contains(label))
                circuitLines << line.left(7) + map.value(label) + line.mid(9);
        } else {
            out += line + crlf;
        }
    }
    flushCircuits();
    return out;
}

} // namespace testcfg
