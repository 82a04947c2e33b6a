#pragma once
// The logic of a configuration as a graph: instances as boxes labelled with their kind and
// parameters, circuits as named nodes, wires from outputs to circuits and from circuits to inputs.
#include "config/ConfigModel.h"

#include <QByteArray>
#include <QString>

namespace cli {

enum class GraphFormat { Svg, Dot };

// The graph laid out and drawn as SVG, or written unlaid as DOT. Returns false with a reason in
// `error` when the graph library fails.
bool renderLogicGraph(const ConfigModel& model, GraphFormat format, QByteArray& out, QString& error);

} // namespace cli
