#include "cli/ConfigGraph.h"

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace cli {
namespace {

struct GraphClose {
    void operator()(Agraph_t* g) const { agclose(g); }
};
struct ContextFree {
    void operator()(GVC_t* c) const { gvFreeContext(c); }
};

// The library's label syntax takes a backslash as the start of an escape.
QByteArray labelText(const QString& text) {
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return escaped.toUtf8();
}

void set(void* object, const char* name, const QString& value) {
    agsafeset(object, const_cast<char*>(name), labelText(value).data(), const_cast<char*>(""));
}

Agnode_t* node(Agraph_t* g, const QString& id) {
    return agnode(g, QByteArray(id.toUtf8()).data(), 1);
}

QString circuitId(const PinCircuit& c) {
    return (c.kind == PinCircuit::Analog ? QLatin1Char('a') : QLatin1Char('d')) +
           QString::number(c.number, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

Agnode_t* circuitNode(Agraph_t* g, const ConfigModel& model, const PinCircuit& c) {
    const QString id = circuitId(c);
    if (Agnode_t* existing = agnode(g, QByteArray(id.toUtf8()).data(), 0))
        return existing;
    Agnode_t* n = node(g, id);
    const auto& table = c.kind == PinCircuit::Analog ? model.analog : model.digital;
    const auto info = table.find(c.number);
    const bool named = info != table.end() && !info->second.name.isEmpty();
    set(n, "label", named ? info->second.name : id);
    set(n, "shape", QStringLiteral("ellipse"));
    if (info != table.end() && !info->second.alias.isEmpty())
        set(n, "tooltip", info->second.alias);
    if (c.kind == PinCircuit::Analog)
        set(n, "color", QStringLiteral("royalblue"));
    return n;
}

bool build(Agraph_t* g, const ConfigModel& model) {
    agattr(g, AGRAPH, const_cast<char*>("rankdir"), const_cast<char*>("LR"));
    agattr(g, AGNODE, const_cast<char*>("fontname"), const_cast<char*>("DejaVu Sans"));
    agattr(g, AGEDGE, const_cast<char*>("fontname"), const_cast<char*>("DejaVu Sans"));
    agattr(g, AGEDGE, const_cast<char*>("fontsize"), const_cast<char*>("10"));
    int constants = 0;
    for (const auto& instance : model.logic) {
        Agnode_t* box = node(g, QStringLiteral("M%1 %2").arg(instance.cell, 2, 16, QLatin1Char('0')).toUpper()
                                    .arg(instance.head));
        QStringList lines{instance.head};
        for (const auto& p : instance.params)
            lines << p.key + QStringLiteral(": ") + p.value;
        set(box, "label", lines.join(QLatin1Char('\n')));
        set(box, "shape", QStringLiteral("box"));
        for (const auto& pin : instance.pins) {
            if (pin.circuit.kind == PinCircuit::None)
                continue;
            Agnode_t* wire;
            if (pin.circuit.kind == PinCircuit::Constant0 || pin.circuit.kind == PinCircuit::Constant1) {
                // One node per use keeps the constants from pulling unrelated instances together.
                wire = node(g, QStringLiteral("const%1").arg(++constants));
                set(wire, "label", pin.circuit.kind == PinCircuit::Constant0 ? QStringLiteral("0") : QStringLiteral("1"));
                set(wire, "shape", QStringLiteral("circle"));
            } else {
                wire = circuitNode(g, model, pin.circuit);
            }
            const bool output = pin.group == PinGroup::AnalogOut || pin.group == PinGroup::DigitalOut;
            Agedge_t* e = output ? agedge(g, box, wire, nullptr, 1) : agedge(g, wire, box, nullptr, 1);
            if (!e)
                return false;
            set(e, "label", pin.options.isEmpty() ? pin.name : pin.name + QLatin1Char(' ') + pin.options);
        }
    }
    return true;
}

} // namespace

bool renderLogicGraph(const ConfigModel& model, GraphFormat format, QByteArray& out, QString& error) {
    // The context outlives the graph it lays out.
    std::unique_ptr<GVC_t, ContextFree> context(gvContext());
    std::unique_ptr<Agraph_t, GraphClose> graph(agopen(const_cast<char*>("logic"), Agdirected, nullptr));
    if (!graph || !build(graph.get(), model)) {
        error = QStringLiteral("the graph could not be built");
        return false;
    }
    if (format == GraphFormat::Dot) {
        char* buffer = nullptr;
        size_t size = 0;
        FILE* stream = open_memstream(&buffer, &size);
        if (!stream) {
            error = QStringLiteral("no memory for the graph");
            return false;
        }
        const int rc = agwrite(graph.get(), stream);
        std::fclose(stream);
        out = QByteArray(buffer, static_cast<qsizetype>(size));
        std::free(buffer);
        if (rc != 0)
            error = QStringLiteral("the graph could not be written");
        return rc == 0;
    }
    if (!context || gvLayout(context.get(), graph.get(), "dot") != 0) {
        error = QStringLiteral("the graph could not be laid out (is the dot layout plug-in installed?)");
        return false;
    }
    char* data = nullptr;
    unsigned int length = 0;
    const int rc = gvRenderData(context.get(), graph.get(), "svg", &data, &length);
    if (rc == 0)
        out = QByteArray(data, static_cast<qsizetype>(length));
    gvFreeRenderData(data);
    gvFreeLayout(context.get(), graph.get());
    if (rc != 0)
        error = QStringLiteral("the graph could not be drawn as SVG");
    return rc == 0;
}

} // namespace cli
