// Pages, style sheets and page texts from the sources in resources/web (see resources/README.md).
#include "resources/generator/Generator.h"

#include <QDirIterator>
#include <QHash>
#include <QRegularExpression>
#include <array>

namespace resgen {

namespace {

constexpr std::array<const char*, 3> kLanguages{"pl", "en", "it"};
constexpr std::array<const char*, 2> kVariants{"101", "405"};

// A table of tab-separated lines: key, then one value per column. Lines starting with "#" and
// empty lines are skipped. A row with one value uses it for every column.
QHash<QString, QStringList> ReadTable(const QString& path, int columns) {
    QHash<QString, QStringList> table;
    int lineNo = 0;
    for (const QByteArray& raw : ReadFile(path).split('\n')) {
        ++lineNo;
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = line.split(QLatin1Char('\t'), Qt::SkipEmptyParts);
        const QString key = fields.takeFirst().trimmed();
        if (fields.size() == 1)
            fields = QStringList(columns, fields[0]);
        if (fields.size() != columns || table.contains(key))
            throw Error(QStringLiteral("%1:%2: \"%3\" needs %4 values, once")
                            .arg(path)
                            .arg(lineNo)
                            .arg(key)
                            .arg(columns)
                            .toStdString());
        for (QString& f : fields)
            f = f.trimmed();
        table.insert(key, fields);
    }
    return table;
}

struct Sources {
    QString dir;
    QHash<QString, QStringList> strings;  // key -> PL, EN, IT
    QHash<QString, QStringList> variants; // key -> F101, F405
    QString head;                         // <!DOCTYPE html> up to </head>, shared by every page
    QString layout;                       // the frame of a page: menu, title, footer
};

struct Context {
    int language = 0;
    int variant = -1;               // index into kVariants, -1 for a page common to both
    QHash<QString, QString> values; // title, page, body, k
};

// Expands {{if:101}}...{{end}}, {{if:405}}...{{end}}, {{t:KEY}} (text in the language),
// {{v:KEY}} (value of the variant), {{on:NN}} (marks the menu entry of page NN), {{lang}} and
// the context values {{head}}, {{title}}, {{page}}, {{k}}.
QString Expand(QString text, const Context& c, const Sources& s, const QString& where) {
    auto fail = [&](const QString& why) {
        return Error(QStringLiteral("%1: %2").arg(where, why).toStdString());
    };
    static const QRegularExpression condition(QStringLiteral("\\{\\{if:(101|405)\\}\\}(.*?)\\{\\{end\\}\\}"),
                                              QRegularExpression::DotMatchesEverythingOption);
    for (auto m = condition.match(text); m.hasMatch(); m = condition.match(text)) {
        if (c.variant < 0)
            throw fail(QStringLiteral("a page common to both variants has a variant block"));
        text.replace(m.capturedStart(), m.capturedLength(),
                     m.captured(1) == QLatin1String(kVariants[static_cast<std::size_t>(c.variant)])
                         ? m.captured(2)
                         : QString());
    }
    static const QRegularExpression field(QStringLiteral("\\{\\{([a-z]+)(?::([A-Za-z0-9_]+))?\\}\\}"));
    QString out;
    qsizetype done = 0;
    for (auto it = field.globalMatch(text); it.hasNext();) {
        const auto m = it.next();
        out += QStringView(text).mid(done, m.capturedStart() - done);
        done = m.capturedEnd();
        const QString kind = m.captured(1);
        const QString key = m.captured(2);
        if (kind == QLatin1String("t") && s.strings.contains(key))
            out += s.strings.value(key).at(c.language);
        else if (kind == QLatin1String("v") && c.variant >= 0 && s.variants.contains(key))
            out += s.variants.value(key).at(c.variant);
        else if (kind == QLatin1String("on") && !key.isEmpty())
            out +=
                key == c.values.value(QStringLiteral("page")) ? QStringLiteral(" class=\"on\"") : QString();
        else if (kind == QLatin1String("lang") && key.isEmpty())
            out += QLatin1String(kLanguages[static_cast<std::size_t>(c.language)]);
        else if (key.isEmpty() && c.values.contains(kind))
            out += c.values.value(kind);
        else
            throw fail(QStringLiteral("unknown field %1").arg(m.captured(0)));
    }
    out += QStringView(text).mid(done);
    if (out.contains(QLatin1String("{{")))
        throw fail(QStringLiteral("unfinished field near \"%1\"")
                       .arg(out.mid(out.indexOf(QLatin1String("{{")), 24)));
    return out;
}

// A page source: "title: KEY" on its first line, then the body, which the layout frames unless
// it is a whole document of its own (which then starts with {{head}}).
QByteArray MakePage(const QString& source, Context c, const Sources& s, const QString& where) {
    const qsizetype firstLineEnd = source.indexOf(QLatin1Char('\n'));
    const QString head = source.left(firstLineEnd).trimmed();
    if (!head.startsWith(QLatin1String("title:")))
        throw Error(QStringLiteral("%1: the first line must be \"title: KEY\"").arg(where).toStdString());
    c.values.insert(QStringLiteral("title"),
                    Expand(QStringLiteral("{{t:%1}}").arg(head.mid(6).trimmed()), c, s, where));
    c.values.insert(QStringLiteral("head"),
                    Expand(s.head, c, s, QStringLiteral("%1 (head)").arg(where)).trimmed());
    const QString body = Expand(source.mid(firstLineEnd + 1), c, s, where);
    if (body.trimmed().startsWith(QLatin1String("<!DOCTYPE")))
        return body.trimmed().toUtf8() + "\n";
    const QString mark = QStringLiteral("\u0001body\u0001");
    c.values.insert(QStringLiteral("body"), mark);
    QString page = Expand(s.layout, c, s, QStringLiteral("%1 (layout)").arg(where));
    return page.replace(mark, body.trimmed()).toUtf8();
}

// Style sheets are stored as they are, so they are made small here: comments and needless blanks go.
QByteArray MinifyCss(const QByteArray& css) {
    QString text = QString::fromUtf8(css);
    text.remove(
        QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
    text.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" "));
    text.replace(QRegularExpression(QStringLiteral(" ?([{};:,>]) ?")), QStringLiteral("\\1"));
    text.replace(QStringLiteral(";}"), QStringLiteral("}"));
    return text.trimmed().toUtf8() + "\n";
}

} // namespace

QStringList GenerateWeb(const QString& sourceDir, const QDir& out) {
    Sources s;
    s.dir = sourceDir;
    s.strings = ReadTable(sourceDir + QStringLiteral("/strings.tsv"), 3);
    s.variants = ReadTable(sourceDir + QStringLiteral("/variants.tsv"), 2);
    s.head = QString::fromUtf8(ReadFile(sourceDir + QStringLiteral("/head.html")));
    s.layout = QString::fromUtf8(ReadFile(sourceDir + QStringLiteral("/layout.html")));
    QStringList names;
    auto add = [&](const QString& name, const QByteArray& content) {
        WriteFile(out, name, content);
        names += name;
    };

    for (int k = 0; k <= 12; ++k) {
        const QString page = QStringLiteral("%1").arg(k, 2, 10, QLatin1Char('0'));
        const QString path = QStringLiteral("%1/pages/n%2.html").arg(sourceDir, page);
        const QString source = QString::fromUtf8(ReadFile(path));
        const bool common = k <= 1 || k == 12;
        for (int v = common ? -1 : 0; v < (common ? 0 : 2); ++v)
            for (int l = 0; l < 3; ++l) {
                Context c{l, v, {{QStringLiteral("page"), page}}};
                const QString name =
                    v < 0 ? QStringLiteral("n%1_html_%2").arg(page, kLanguages[l])
                          : QStringLiteral("n%1_%2_html_%3").arg(page, kVariants[v], kLanguages[l]);
                add(name, MakePage(source, c, s, path));
            }
    }
    const QString userPath = sourceDir + QStringLiteral("/pages/user.html");
    const QString userPage = QString::fromUtf8(ReadFile(userPath));
    for (int k = 1; k <= 8; ++k)
        for (int l = 0; l < 3; ++l) {
            Context c{l,
                      -1,
                      {{QStringLiteral("page"), QStringLiteral("u%1").arg(k)},
                       {QStringLiteral("k"), QString::number(k)}}};
            add(QStringLiteral("u%1_html_%2").arg(k).arg(kLanguages[l]), MakePage(userPage, c, s, userPath));
        }

    for (int k = 0; k <= 1; ++k)
        add(QStringLiteral("%1_css").arg(k, 2, 10, QLatin1Char('0')),
            MinifyCss(
                ReadFile(QStringLiteral("%1/styles/%2.css").arg(sourceDir).arg(k, 2, 10, QLatin1Char('0')))));

    // texts/NN.tsv, NN_101.tsv and NN_405.tsv: one item per line, the columns PL, EN and IT (or
    // one column for all three); each text is its items ended by CR LF.
    QDirIterator texts(sourceDir + QStringLiteral("/texts"), {QStringLiteral("*.tsv")}, QDir::Files);
    static const QRegularExpression textName(QStringLiteral("^(\\d\\d)(_101|_405)?\\.tsv$"));
    while (texts.hasNext()) {
        const QString path = texts.next();
        const auto m = textName.match(texts.fileName());
        if (!m.hasMatch())
            throw Error(QStringLiteral("%1: a text is named NN.tsv, NN_101.tsv or NN_405.tsv")
                            .arg(path)
                            .toStdString());
        std::array<QByteArray, 3> content;
        int lineNo = 0;
        for (const QByteArray& raw : ReadFile(path).split('\n')) {
            ++lineNo;
            const QByteArray line = raw.trimmed();
            if (line.isEmpty() || line.startsWith('#'))
                continue;
            QList<QByteArray> items = line.split('\t');
            items.removeAll(QByteArray());
            if (items.size() == 1)
                items = {items[0], items[0], items[0]};
            if (items.size() != 3)
                throw Error(QStringLiteral("%1:%2: one value or three (PL, EN, IT)")
                                .arg(path)
                                .arg(lineNo)
                                .toStdString());
            for (int l = 0; l < 3; ++l)
                content[static_cast<std::size_t>(l)] += items[l].trimmed() + "\r\n";
        }
        for (int l = 0; l < 3; ++l)
            add(QStringLiteral("%1%2_txt_%3").arg(m.captured(1), m.captured(2), kLanguages[l]),
                content[static_cast<std::size_t>(l)]);
    }
    return names;
}

} // namespace resgen
