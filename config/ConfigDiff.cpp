#include "config/ConfigDiff.h"

#include <map>
#include <set>

namespace {

const QString kArrow = QStringLiteral(" \u2192 ");

QString quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// The values of both sides by key, in the order the keys first appear (before, then after); a key
// missing on one side has `missing` there.
struct KeyedValues {
    QString key, before, after;
};
template <class Entry>
std::vector<KeyedValues> pairByKey(const std::vector<Entry>& before, const std::vector<Entry>& after,
                                   const QString& missing) {
    std::vector<KeyedValues> values;
    std::map<QString, std::size_t> index;
    for (const auto& e : before)
        if (index.try_emplace(e.key, values.size()).second)
            values.push_back({e.key, e.value, missing});
    for (const auto& e : after) {
        const auto [it, added] = index.try_emplace(e.key, values.size());
        if (added)
            values.push_back({e.key, missing, e.value});
        else
            values[it->second].after = e.value;
    }
    return values;
}

// Entries of a keyed section compared by key.
void diffEntries(const std::vector<ConfigEntry>& before, const std::vector<ConfigEntry>& after,
                 const QString& what, const QString& missing, bool quote, QStringList& out) {
    for (const auto& v : pairByKey(before, after, missing))
        if (v.before != v.after)
            out << what + QLatin1Char(' ') + v.key + QStringLiteral(": ") + (quote ? quoted(v.before) : v.before) +
                       kArrow + (quote ? quoted(v.after) : v.after);
}

// Where a pin sits, as an installer names it: "input I", "output Q 2" when the name repeats.
QString pinLabel(const LogicInstance& instance, const LogicPin& pin) {
    const bool output = pin.group == PinGroup::AnalogOut || pin.group == PinGroup::DigitalOut;
    int sameName = 0;
    for (const auto& p : instance.pins)
        sameName += p.group == pin.group && p.name == pin.name;
    QString label = (output ? QStringLiteral("output ") : QStringLiteral("input ")) + pin.name;
    if (sameName > 1)
        label += QStringLiteral(" %1").arg(pin.index + 1);
    return label;
}

bool isDigital(const PinCircuit& c) {
    return c.kind == PinCircuit::Digital;
}

// The circuits of one side of one kind (digital or analog), with the pins each is wired to.
struct CircuitSide {
    std::map<int, CircuitInfo> circuits;
    std::map<int, QStringList> endpoints; // sorted "instance/pin" of every pin on the circuit

    CircuitSide(const ConfigModel& model, bool digital) : circuits(digital ? model.digital : model.analog) {
        for (const auto& instance : model.logic)
            for (const auto& pin : instance.pins) {
                if (pin.circuit.kind != (digital ? PinCircuit::Digital : PinCircuit::Analog))
                    continue;
                auto& info = circuits[pin.circuit.number];
                info.number = pin.circuit.number;
                endpoints[pin.circuit.number] << instance.key() + QLatin1Char(' ') + pinLabel(instance, pin);
            }
        for (auto& [n, list] : endpoints)
            list.sort();
    }

    QString label(int number) const {
        const auto& c = circuits.at(number);
        if (!c.name.isEmpty())
            return quoted(c.name);
        const auto e = endpoints.find(number);
        return e == endpoints.end() ? QStringLiteral("(unnamed)")
                                    : QStringLiteral("(unnamed, at %1)").arg(e->second.first());
    }
    QStringList ends(int number) const {
        const auto e = endpoints.find(number);
        return e == endpoints.end() ? QStringList() : e->second;
    }
};

// Pairs the circuits of both sides: equal names first, then equal wiring (a renamed circuit, or
// an unnamed one that kept its pins). Reports what was added, removed, renamed or changed, and
// gives each circuit an identity that is the same on both sides when the circuits are paired.
struct CircuitMatch {
    std::map<int, QString> beforeId, afterId;

    CircuitMatch(const CircuitSide& a, const CircuitSide& b, const QString& what, QStringList& out) {
        std::map<int, int> pairs;
        std::set<int> taken;
        auto pairWhere = [&](auto&& same) {
            for (const auto& [n, ca] : a.circuits) {
                if (pairs.count(n))
                    continue;
                for (const auto& [m, cb] : b.circuits)
                    if (!taken.count(m) && same(n, ca, m, cb)) {
                        pairs[n] = m;
                        taken.insert(m);
                        break;
                    }
            }
        };
        pairWhere([](int, const CircuitInfo& ca, int, const CircuitInfo& cb) {
            return !ca.name.isEmpty() && ca.name == cb.name;
        });
        pairWhere([&](int n, const CircuitInfo&, int m, const CircuitInfo&) {
            return !a.ends(n).isEmpty() && a.ends(n) == b.ends(m);
        });

        for (const auto& [n, ca] : a.circuits) {
            beforeId[n] = QStringLiteral("a%1").arg(n);
            const auto p = pairs.find(n);
            if (p == pairs.end()) {
                out << what + QLatin1Char(' ') + a.label(n) + QStringLiteral(" removed");
                continue;
            }
            afterId[p->second] = beforeId[n];
            const CircuitInfo& cb = b.circuits.at(p->second);
            const QString name = what + QLatin1Char(' ') + b.label(p->second);
            if (ca.name != cb.name)
                out << what + QLatin1Char(' ') + a.label(n) + QStringLiteral(" renamed to ") + b.label(p->second);
            if (ca.alias != cb.alias)
                out << name + QStringLiteral(": alias ") + quoted(ca.alias) + kArrow + quoted(cb.alias);
            if (ca.logic != cb.logic)
                out << name + QStringLiteral(": logic ") + ca.logic + kArrow + cb.logic;
            if (ca.xcode != cb.xcode)
                out << name + QStringLiteral(": X code ") + (ca.xcode.isEmpty() ? QStringLiteral("none") : ca.xcode) +
                           kArrow + (cb.xcode.isEmpty() ? QStringLiteral("none") : cb.xcode);
        }
        for (const auto& [m, cb] : b.circuits)
            if (!taken.count(m)) {
                afterId[m] = QStringLiteral("b%1").arg(m);
                out << what + QLatin1Char(' ') + b.label(m) + QStringLiteral(" added");
            }
    }
};

struct Side {
    const ConfigModel& model;
    CircuitSide digital, analog;
    const CircuitMatch* digitalIds = nullptr;
    const CircuitMatch* analogIds = nullptr;
    bool before = true;

    explicit Side(const ConfigModel& m) : model(m), digital(m, true), analog(m, false) {}

    const std::map<int, QString>& ids(bool isDigital) const {
        const CircuitMatch* match = isDigital ? digitalIds : analogIds;
        return before ? match->beforeId : match->afterId;
    }
    // Equal on both sides exactly when the pins are wired to paired circuits.
    QString identity(const PinCircuit& c) const {
        switch (c.kind) {
        case PinCircuit::None:
            return {};
        case PinCircuit::Constant0:
            return QStringLiteral("=0");
        case PinCircuit::Constant1:
            return QStringLiteral("=1");
        default:
            return ids(isDigital(c)).at(c.number);
        }
    }
    QString shown(const PinCircuit& c) const {
        switch (c.kind) {
        case PinCircuit::None:
            return QStringLiteral("not connected");
        case PinCircuit::Constant0:
            return QStringLiteral("constant 0");
        case PinCircuit::Constant1:
            return QStringLiteral("constant 1");
        default:
            return (isDigital(c) ? digital : analog).label(c.number);
        }
    }
    // "input I "SW_SAL" '~', output O "L_SAL", TXT10 "Salon"": what an added or removed instance holds.
    QString summary(const LogicInstance& instance) const {
        QStringList parts;
        for (const auto& pin : instance.pins)
            if (pin.circuit.kind != PinCircuit::None)
                parts << pinLabel(instance, pin) + QLatin1Char(' ') + shown(pin.circuit) +
                             (pin.options.isEmpty() ? QString() : QStringLiteral(" '%1'").arg(pin.options));
        for (const auto& param : instance.params)
            parts << param.key + QLatin1Char(' ') + param.value;
        return parts.isEmpty() ? QString() : QStringLiteral(": ") + parts.join(QStringLiteral(", "));
    }
};

void diffInstance(const Side& a, const LogicInstance& x, const Side& b, const LogicInstance& y,
                  QStringList& out) {
    const QString head = QStringLiteral("cell ") + x.key() + QStringLiteral(": ");
    std::map<std::pair<int, int>, std::pair<const LogicPin*, const LogicPin*>> pins;
    for (const auto& p : x.pins)
        pins[{int(p.group), p.index}].first = &p;
    for (const auto& p : y.pins)
        pins[{int(p.group), p.index}].second = &p;
    static const LogicPin unconnected;
    for (const auto& [where, pair] : pins) {
        const LogicPin& p = pair.first ? *pair.first : unconnected;
        const LogicPin& q = pair.second ? *pair.second : unconnected;
        const QString label = pinLabel(pair.first ? x : y, pair.first ? p : q);
        if (a.identity(p.circuit) != b.identity(q.circuit))
            out << head + label + QLatin1Char(' ') + a.shown(p.circuit) + kArrow + b.shown(q.circuit);
        if (p.options != q.options)
            out << head + label + QStringLiteral(" options ") + quoted(p.options) + kArrow + quoted(q.options);
    }
    for (const auto& v : pairByKey(x.params, y.params, QStringLiteral("none")))
        if (v.before != v.after)
            out << head + v.key + QLatin1Char(' ') + v.before + kArrow + v.after;
}

void diffLogic(const Side& a, const Side& b, QStringList& out) {
    std::map<QString, const LogicInstance*> after;
    for (const auto& i : b.model.logic)
        after[i.key()] = &i;
    std::set<QString> seen;
    for (const auto& x : a.model.logic) {
        seen.insert(x.key());
        const auto y = after.find(x.key());
        if (y == after.end())
            out << QStringLiteral("cell ") + x.key() + QStringLiteral(" removed") + a.summary(x);
        else
            diffInstance(a, x, b, *y->second, out);
    }
    for (const auto& y : b.model.logic)
        if (!seen.count(y.key()))
            out << QStringLiteral("cell ") + y.key() + QStringLiteral(" added") + b.summary(y);
}

} // namespace

QStringList DiffConfigs(const ConfigModel& before, const ConfigModel& after) {
    QStringList out;
    diffEntries(before.settings, after.settings, QStringLiteral("setting"), QString(), true, out);
    Side a(before), b(after);
    b.before = false;
    const CircuitMatch digital(a.digital, b.digital, QStringLiteral("digital circuit"), out);
    const CircuitMatch analog(a.analog, b.analog, QStringLiteral("analog circuit"), out);
    a.digitalIds = b.digitalIds = &digital;
    a.analogIds = b.analogIds = &analog;
    diffLogic(a, b, out);
    diffEntries(before.texts, after.texts, QStringLiteral("text"), QString(), true, out);
    diffEntries(before.numers, after.numers, QStringLiteral("number"), QStringLiteral("0"), false, out);
    return out;
}
