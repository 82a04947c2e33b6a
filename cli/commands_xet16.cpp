// nodarix-cli xet16: programs a Xet16 extension module through a controller, or writes the
// settings record to a file, from named options.
#include "cli/CliCommand.h"
#include "cli/LinkRunner.h"
#include "comm/CommTask.h"
#include "config/Xet16.h"

#include <map>
#include <optional>

namespace {

const QStringList kInputModeNames{QStringLiteral("analog"),    QStringLiteral("ds1990a"),
                                  QStringLiteral("ds18b20"),   QStringLiteral("dht11"),
                                  QStringLiteral("dht22"),     QStringLiteral("ds18b20x2"),
                                  QStringLiteral("ds1990a-mp")};
const QStringList kPortModeNames{QStringLiteral("io"), QStringLiteral("pwm")};
const QStringList kSerialModeNames{QStringLiteral("controller"), QStringLiteral("rs485"),
                                   QStringLiteral("dmx")};
const QStringList kDataBitsNames{QStringLiteral("7"), QStringLiteral("8")};
const QStringList kParityNames{QStringLiteral("none"), QStringLiteral("even"), QStringLiteral("odd"),
                               QStringLiteral("mark"), QStringLiteral("space")};
const QStringList kStopBitsNames{QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")};
const QStringList kModuleNames{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                               QStringLiteral("4")};

// off, dmx1 to dmx16, pwm3 to pwm6: the output source list in its order.
QStringList outputSourceNames() {
    QStringList names{QStringLiteral("off")};
    for (int c = 1; c <= 16; ++c)
        names << QStringLiteral("dmx%1").arg(c);
    for (int p = 3; p <= 6; ++p)
        names << QStringLiteral("pwm%1").arg(p);
    return names;
}

const QString kHelp = QStringLiteral(
    "Usage: nodarix-cli [global options] xet16 [options]\n"
    "Programs a Xet16 extension module attached to the controller (--host, --port, --password,\n"
    "--timeout) with the settings below; options not given keep the module window's defaults.\n\n"
    "  --module N              module number the controller passes the settings to, 1 to 4 (1)\n"
    "  --program-as N          module number the module takes on, 1 to 4 (1)\n"
    "  --inputN MODE           analog input N = 1..3: analog, ds1990a, ds18b20, dht11, dht22,\n"
    "                          ds18b20x2, ds1990a-mp (analog)\n"
    "  --inputN-rom1 HEX       first DS18B20 ROM code of input N, up to 16 hexadecimal digits, read\n"
    "  --inputN-rom2 HEX       left to right and padded with 0 (0000000000000000)\n"
    "  --portN MODE            digital port N = 3..6: io, pwm (io)\n"
    "  --outN SOURCE           analog output N = 1..8: off, dmx1..dmx16, pwm3..pwm6 (off)\n"
    "  --serial MODE           serial port: controller, rs485, dmx (controller)\n"
    "  --speed BAUD            serial speed, 0 to 65535 (9600)\n"
    "  --bits 7|8              data bits (8)\n"
    "  --parity P              none, even, odd, mark, space (none)\n"
    "  --stop 1|1.5|2          stop bits (1)\n"
    "  --dump FILE             write the 166-byte settings record to FILE instead of sending it\n\n"
    "Exit status: 0 the controller took the settings (or the file was written), 2 bad option,\n"
    "3 the controller does not answer, 4 unrecognised reply, 5 settings refused or wrong reply.\n");

int usageError(const QString& message) {
    cli::printError(QStringLiteral("nodarix-cli xet16: ") + message);
    return cli::kExitUsage;
}

std::optional<int> position(const QStringList& names, const QString& value) {
    const qsizetype i = names.indexOf(value.toLower());
    if (i < 0)
        return std::nullopt;
    return static_cast<int>(i);
}

int run(const QStringList& args, const cli::GlobalOptions& options) {
    TXet16Choices choices;
    choices.Host = options.host;
    choices.PortText = QString::number(options.port);
    choices.Password = options.password;
    QString dumpFile;

    // Each list option: the names it takes and where the chosen position goes.
    std::map<QString, std::pair<const QStringList*, int*>> lists;
    const QStringList outputNames = outputSourceNames();
    for (int n = 0; n < kXet16Inputs; ++n)
        lists[QStringLiteral("--input%1").arg(n + 1)] = {&kInputModeNames, &choices.InputMode[n]};
    for (int p = 0; p < kXet16Ports; ++p)
        lists[QStringLiteral("--port%1").arg(p + 3)] = {&kPortModeNames, &choices.PortMode[p]};
    for (int o = 0; o < kXet16Outputs; ++o)
        lists[QStringLiteral("--out%1").arg(o + 1)] = {&outputNames, &choices.OutputSource[o]};
    lists[QStringLiteral("--serial")] = {&kSerialModeNames, &choices.SerialMode};
    lists[QStringLiteral("--bits")] = {&kDataBitsNames, &choices.DataBits};
    lists[QStringLiteral("--parity")] = {&kParityNames, &choices.Parity};
    lists[QStringLiteral("--stop")] = {&kStopBitsNames, &choices.StopBits};
    lists[QStringLiteral("--program-as")] = {&kModuleNames, &choices.ProgramAs};
    lists[QStringLiteral("--module")] = {&kModuleNames, &choices.Module};
    std::map<QString, QString*> texts;
    for (int n = 0; n < kXet16Inputs; ++n) {
        texts[QStringLiteral("--input%1-rom1").arg(n + 1)] = &choices.Rom1[n];
        texts[QStringLiteral("--input%1-rom2").arg(n + 1)] = &choices.Rom2[n];
    }
    texts[QStringLiteral("--speed")] = &choices.Speed;
    texts[QStringLiteral("--dump")] = &dumpFile;

    for (qsizetype i = 0; i < args.size(); i += 2) {
        const QString& option = args[i];
        if (i + 1 >= args.size())
            return usageError(QStringLiteral("option %1 needs a value").arg(option));
        const QString& value = args[i + 1];
        if (const auto list = lists.find(option); list != lists.end()) {
            const auto chosen = position(*list->second.first, value);
            if (!chosen)
                return usageError(QStringLiteral("%1 takes one of: %2 (not \"%3\")")
                                      .arg(option, list->second.first->join(QStringLiteral(", ")), value));
            *list->second.second = *chosen;
        } else if (const auto text = texts.find(option); text != texts.end()) {
            // The window forgives a stray character in a ROM code as a zero byte; a script is told,
            // since a typo would program the module with a wrong sensor address.
            if (option.contains(QLatin1String("-rom")) && !Xet16RomTextExact(value))
                return usageError(
                    QStringLiteral("%1 \"%2\": at most 16 hexadecimal digits").arg(option, value));
            *text->second = value;
        } else {
            return usageError(QStringLiteral("unknown option %1 (see nodarix-cli help xet16)").arg(option));
        }
    }

    const TXet16Request request = BuildXet16(choices);
    switch (request.Refusal) {
    case TXet16Refusal::None:
        break;
    case TXet16Refusal::SpeedOutOfRange:
        return usageError(QStringLiteral("speed \"%1\" is outside 0 to 65535, the range the module's speed "
                                         "field holds; nothing sent")
                              .arg(choices.Speed));
    case TXet16Refusal::ChoiceOutOfRange:
        return usageError(QStringLiteral("a choice is outside its list; nothing sent"));
    }
    // The window sends 9600 for a speed that is not a number; a script is told instead.
    if (request.SpeedDefaulted)
        return usageError(QStringLiteral("speed \"%1\" is not a number; nothing sent").arg(choices.Speed));

    if (!dumpFile.isEmpty())
        return cli::writeFile(dumpFile, QByteArray(reinterpret_cast<const char*>(&request.Record),
                                                   static_cast<qsizetype>(sizeof request.Record)))
                   ? cli::kExitOk
                   : cli::kExitFailure;

    const TStatus status =
        cli::runTask(options,
                     [&](TCommTask& pool) {
                         return pool.AddTaskExtSave(request.Host, request.Port, true, request.Password,
                                                    request.No, &request.Record);
                     },
                     nullptr, {});
    return cli::finish(status);
}

const cli::Registrar registrar({cli::Command{
    QStringLiteral("xet16"),
    QStringLiteral("[--module N] [--inputN MODE] [--portN MODE] [--outN SOURCE] [--speed BAUD] ... "
                   "[--dump FILE]   program a Xet16 extension module"),
    kHelp, run}});

} // namespace
