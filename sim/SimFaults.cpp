#include "sim/SimFaults.h"

#include <QStringList>

namespace sim {

namespace {

std::optional<int> parseCount(const QString& text, int max) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || value < 0 || value > max)
        return std::nullopt;
    return value;
}

} // namespace

QString faultName(Fault f) {
    switch (f) {
    case Fault::None:
        return QStringLiteral("none");
    case Fault::Silent:
        return QStringLiteral("silent");
    case Fault::CloseAfter:
        return QStringLiteral("close-after");
    case Fault::WrongAddress:
        return QStringLiteral("wrong-address");
    case Fault::WrongLength:
        return QStringLiteral("wrong-length");
    case Fault::WrongCode:
        return QStringLiteral("wrong-code");
    case Fault::Ack:
        return QStringLiteral("ack");
    case Fault::Refuse:
        return QStringLiteral("refuse");
    case Fault::PowerCut:
        return QStringLiteral("power-cut");
    }
    return QString();
}

bool FaultPlan::parse(const QString& text, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    const QStringList items = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (items.isEmpty())
        return fail(QStringLiteral("empty fault"));
    for (const QString& rawItem : items) {
        const QString item = rawItem.trimmed();
        const qsizetype eq = item.indexOf(QLatin1Char('='));
        const QString name = eq < 0 ? item : item.left(eq);
        const QString arg = eq < 0 ? QString() : item.mid(eq + 1);
        const bool hasArg = eq >= 0;

        if (name == QLatin1String("fault-after")) {
            const auto n = hasArg ? parseCount(arg, 1 << 30) : std::nullopt;
            if (!n)
                return fail(QStringLiteral("fault-after needs a count, as in fault-after=9"));
            after = *n;
            continue;
        }
        if (name == QLatin1String("fault-code")) {
            bool ok = false;
            const int code = hasArg ? arg.toInt(&ok, 0) : -1;
            if (!ok || code < 0 || code > 255)
                return fail(QStringLiteral("fault-code needs a request code, as in fault-code=0xA0"));
            onlyCode = code;
            continue;
        }

        Fault f = Fault::None;
        int v = 0;
        if (name == QLatin1String("silent") && !hasArg) {
            f = Fault::Silent;
        } else if (name == QLatin1String("wrong-address") && !hasArg) {
            f = Fault::WrongAddress;
        } else if (name == QLatin1String("wrong-length") && !hasArg) {
            f = Fault::WrongLength;
        } else if (name == QLatin1String("wrong-code") && !hasArg) {
            f = Fault::WrongCode;
        } else if (name == QLatin1String("close-after")) {
            const auto n = hasArg ? parseCount(arg, 1 << 30) : std::nullopt;
            if (!n)
                return fail(QStringLiteral("close-after needs a count, as in close-after=3"));
            f = Fault::CloseAfter;
            v = *n;
        } else if (name == QLatin1String("refuse") && !hasArg) {
            f = Fault::Refuse;
        } else if (name == QLatin1String("power-cut")) {
            const auto n = hasArg ? parseCount(arg, 1 << 30) : std::nullopt;
            if (!n)
                return fail(QStringLiteral("power-cut needs a count of flash blocks, as in power-cut=100"));
            f = Fault::PowerCut;
            v = *n;
        } else if (name == QLatin1String("ack")) {
            const auto n = hasArg ? parseCount(arg, 255) : std::nullopt;
            if (!n)
                return fail(QStringLiteral("ack needs a result code 0..255, as in ack=0"));
            f = Fault::Ack;
            v = *n;
        } else {
            return fail(QStringLiteral("unknown fault \"%1\" (known: silent, close-after=N, wrong-address, "
                                       "wrong-length, wrong-code, ack=N, refuse, power-cut=N, fault-after=N, fault-code=HEX)")
                            .arg(item));
        }
        if (fault != Fault::None && (fault != f || value != v))
            return fail(QStringLiteral("only one fault per run (already have %1)").arg(faultName(fault)));
        fault = f;
        value = v;
    }
    return true;
}

QString FaultPlan::describe() const {
    if (fault == Fault::None)
        return QStringLiteral("none");
    QString text = faultName(fault);
    if (fault == Fault::CloseAfter || fault == Fault::Ack || fault == Fault::PowerCut)
        text += QStringLiteral("=%1").arg(value);
    if (after > 0)
        text += QStringLiteral(", after %1 good exchanges").arg(after);
    if (onlyCode >= 0)
        text += QStringLiteral(", only on code 0x%1").arg(onlyCode, 2, 16, QLatin1Char('0'));
    return text;
}

} // namespace sim
