// "nodarix-cli config graph": the demo house renders, and the graph of a small fixture has the
// nodes and wires its logic describes.
#include "tests/config/TextFiles.h"
#include "tests/support/CliProcess.h"

#include <QDir>
#include <QSet>
#include <graphviz/cgraph.h>
#include <gtest/gtest.h>

namespace {

class ConfigGraph : public TextFiles {};

QString attr(void* object, const char* name) {
    return QString::fromUtf8(agget(object, const_cast<char*>(name)));
}

TEST_F(ConfigGraph, TheDemoHouseOfEitherEditionRenders) {
    const QDir demo(QStringLiteral(NODARIX_SOURCE_DIR "/resources/demo"));
    for (const char* name : {"demo-qpa.ndrx", "demo-qpb.ndrx"}) {
        const QString out = dir.filePath(QLatin1String(name) + QStringLiteral(".svg"));
        const CliRun r = RunCli({"config", "graph", demo.filePath(QLatin1String(name)), "-o", out});
        ASSERT_EQ(r.exitCode, 0) << name << ": " << r.err.toStdString();
        const QByteArray svg = read(out);
        EXPECT_TRUE(svg.contains("<svg")) << name;
        EXPECT_TRUE(svg.contains("PORTN*8&#45;1")) << name; // the library escapes "-"
        EXPECT_TRUE(svg.contains(QString::fromUtf8("Wyłącznik salon").toUtf8())) << name << ": alias as tooltip";
    }
}

TEST_F(ConfigGraph, DotOfTwoCellsHasTheirNodesAndWires) {
    const QString in = put("two.ndrx", "#version=V4.1.0QPAC\r\n"
                                       "#logic\r\n"
                                       "\tM00:PORTN*8-1(I \"d01\")[O \"d02\"]TXT10C`Salon`\r\n"
                                       "\tM03:AND2*4-1(I1 \"d02\" '~',I2 \"d=1\")[O \"d01\",O]\r\n"
                                       "#dcircuit\r\n"
                                       "\tdcirc_01=\"SW\" `Switch` 'OR'\r\n"
                                       "\tdcirc_02=\"LAMP\" 'OR'\r\n");
    const QString out = dir.filePath(QStringLiteral("two.dot"));
    const CliRun r = RunCli({"config", "graph", in, "-o", out});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QByteArray dot = read(out);
    Agraph_t* g = agmemread(dot.constData());
    ASSERT_NE(g, nullptr) << dot.constData();

    QSet<QString> nodes;
    QSet<QString> edges;
    for (Agnode_t* n = agfstnode(g); n; n = agnxtnode(g, n)) {
        nodes << attr(n, "shape") + QLatin1Char(' ') + attr(n, "label") + QLatin1Char(' ') + attr(n, "tooltip");
        for (Agedge_t* e = agfstout(g, n); e; e = agnxtout(g, e))
            edges << attr(agtail(e), "label") + QStringLiteral(" -> ") + attr(aghead(e), "label") +
                         QStringLiteral(" : ") + attr(e, "label");
    }
    agclose(g);
    EXPECT_EQ(nodes, (QSet<QString>{"box PORTN*8-1\nTXT10: \"Salon\" ", "box AND2*4-1 ", "ellipse SW Switch",
                                    "ellipse LAMP ", "circle 1 "}));
    EXPECT_EQ(edges, (QSet<QString>{"SW -> PORTN*8-1\nTXT10: \"Salon\" : I",
                                    "PORTN*8-1\nTXT10: \"Salon\" -> LAMP : O", "LAMP -> AND2*4-1 : I1 ~",
                                    "1 -> AND2*4-1 : I2", "AND2*4-1 -> SW : O"}));
}

TEST_F(ConfigGraph, RefusesAnUnknownOutputTypeAndARejectedText) {
    const QString good = put("good.ndrx", "#version=V4.1.0QPAC\r\n#logic\r\n");
    EXPECT_EQ(RunCli({"config", "graph", good, "-o", dir.filePath("x.png")}).exitCode, 2);
    EXPECT_EQ(RunCli({"config", "graph", good}).exitCode, 2);
    const QString bad = put("bad.ndrx", "#version=V4.1.0QPAC\r\n#logic\r\n\tM00:NOSUCH*8-1\r\n");
    EXPECT_EQ(RunCli({"config", "graph", bad, "-o", dir.filePath("x.svg")}).exitCode, 6);
    EXPECT_FALSE(QFile::exists(dir.filePath("x.svg")));
}

} // namespace
