// Controller link commands: version, raw image read and write, flash upload, extension module
// record, HTTP server switch, restart.
#include "cli/LinkRunner.h"

#include <QTextStream>

#include <cstdio>

namespace cli {
namespace {

struct ImageKind {
    const char* name;
    qsizetype size;
    qint32 (TCommTask::*read)(const QString&, quint16, bool, const QString&);
    qint32 (TCommTask::*write)(const QString&, quint16, bool, const QString&, const void*);
};

const ImageKind kImageKinds[] = {
    {"qpa-settings", kQpaSettingsSize, &TCommTask::AddTaskConfQPASettRead, &TCommTask::AddTaskConfQPASettSave},
    {"qpa-texts", kQpaTextsSize, &TCommTask::AddTaskConfQPATextRead, &TCommTask::AddTaskConfQPATextSave},
    {"qpb-settings", kQpbSettingsSize, &TCommTask::AddTaskConfQPBSettRead, &TCommTask::AddTaskConfQPBSettSave},
    {"qpb-vars", kQpbVarsSize, &TCommTask::AddTaskConfQPBVarsRead, &TCommTask::AddTaskConfQPBVarsSave},
};

const ImageKind* findKind(const QString& name) {
    for (const auto& k : kImageKinds)
        if (name == QLatin1String(k.name))
            return &k;
    printError(QStringLiteral("nodarix-cli: unknown image kind \"%1\" (qpa-settings, qpa-texts, qpb-settings, qpb-vars)")
                   .arg(name));
    return nullptr;
}

int usageError(const QString& message) {
    printError(QStringLiteral("nodarix-cli: ") + message);
    return kExitUsage;
}

int versionCommand(const QStringList& args, const GlobalOptions& o) {
    if (!args.isEmpty())
        return usageError(QStringLiteral("version takes no arguments"));
    TNodarixVersion version{};
    const TStatus status = runTask(
        o, [&](TCommTask& pool) { return pool.AddTaskVersion(o.host, o.port, true, o.password); }, &version, {});
    if (status != STATRESOK)
        return finish(status);
    QString text;
    QTextStream out(&text);
    out << "Version: " << FieldText(version.Version, sizeof version.Version) << '\n'
        << "PCB: " << FieldText(&version.PCB, 1) << '\n'
        << "Switch: " << FieldText(&version.Switch, 1) << '\n'
        << "Realization: " << FieldText(version.Realization, sizeof version.Realization) << '\n'
        << "Serial: " << FieldText(version.Serial, sizeof version.Serial) << '\n'
        << "Langue: " << FieldText(version.Langue, sizeof version.Langue) << '\n';
    out.flush();
    std::fputs(text.toUtf8().constData(), stdout);
    return kExitOk;
}

int readCommand(const QStringList& args, const GlobalOptions& o) {
    if (args.size() != 3 || args[1] != QLatin1String("-o"))
        return usageError(QStringLiteral("usage: read KIND -o FILE"));
    const ImageKind* kind = findKind(args[0]);
    if (!kind)
        return kExitUsage;
    QByteArray image(kind->size, '\0');
    const TStatus status = runTask(
        o, [&](TCommTask& pool) { return (pool.*kind->read)(o.host, o.port, true, o.password); }, image.data(),
        QStringLiteral("Odczyt"));
    if (status != STATRESOK)
        return finish(status);
    return writeFile(args[2], image) ? kExitOk : kExitFailure;
}

int writeCommand(const QStringList& args, const GlobalOptions& o) {
    if (args.size() != 2)
        return usageError(QStringLiteral("usage: write KIND FILE"));
    const ImageKind* kind = findKind(args[0]);
    QByteArray image;
    if (!kind || !readExactFile(args[1], kind->size, image))
        return kExitUsage;
    return finish(runTask(
        o, [&](TCommTask& pool) { return (pool.*kind->write)(o.host, o.port, true, o.password, image.constData()); },
        nullptr, QStringLiteral("Zapis")));
}

int flashUploadCommand(const QStringList& args, const GlobalOptions& o) {
    if (args.size() != 1)
        return usageError(QStringLiteral("usage: flash-upload FILE"));
    QByteArray image;
    if (!readExactFile(args[0], kFlashImageSize, image))
        return kExitUsage;
    return finish(runTask(
        o, [&](TCommTask& pool) { return pool.AddTaskFlashSave(o.host, o.port, true, o.password, image.constData()); },
        nullptr, QStringLiteral("Flash")));
}

int extSaveCommand(const QStringList& args, const GlobalOptions& o) {
    if (args.size() != 2)
        return usageError(QStringLiteral("usage: ext-save MODULE FILE"));
    bool ok = false;
    const uint module = args[0].toUInt(&ok);
    if (!ok || module > 3)
        return usageError(QStringLiteral("module number \"%1\" must be 0 to 3").arg(args[0]));
    QByteArray record;
    if (!readExactFile(args[1], kXet16Size, record))
        return kExitUsage;
    return finish(runTask(
        o,
        [&](TCommTask& pool) {
            return pool.AddTaskExtSave(o.host, o.port, true, o.password, static_cast<quint8>(module),
                                       record.constData());
        },
        nullptr, {}));
}

int httpCommand(const QStringList& args, const GlobalOptions& o) {
    if (args.size() != 1 || (args[0] != QLatin1String("on") && args[0] != QLatin1String("off")))
        return usageError(QStringLiteral("usage: http on|off"));
    const bool on = args[0] == QLatin1String("on");
    return finish(runTask(
        o,
        [&](TCommTask& pool) {
            return on ? pool.AddTaskHttpOn(o.host, o.port, true, o.password)
                      : pool.AddTaskHttpOff(o.host, o.port, true, o.password);
        },
        nullptr, {}));
}

int restartCommand(const QStringList& args, const GlobalOptions& o) {
    if (!args.isEmpty())
        return usageError(QStringLiteral("restart takes no arguments"));
    return finish(runTask(
        o, [&](TCommTask& pool) { return pool.AddTaskUpdate(o.host, o.port, true, o.password); }, nullptr, {}));
}

const Registrar registrar({
    {QStringLiteral("version"), QStringLiteral("                 print the controller's version record"),
     QStringLiteral("Usage: nodarix-cli [global options] version\n"
                    "Prints the controller's version record, one \"name: value\" line per field:\n"
                    "Version, PCB, Switch, Realization, Serial, Langue.\n"),
     versionCommand},
    {QStringLiteral("read"), QStringLiteral("KIND -o FILE       read a raw configuration image"),
     QStringLiteral("Usage: nodarix-cli [global options] read KIND -o FILE\n"
                    "Reads a raw image from the controller. KIND and size:\n"
                    "  qpa-settings 8192, qpa-texts 32768, qpb-settings 65536, qpb-vars 16640 bytes.\n"),
     readCommand},
    {QStringLiteral("write"), QStringLiteral("KIND FILE         write a raw configuration image"),
     QStringLiteral("Usage: nodarix-cli [global options] write KIND FILE\n"
                    "Writes a raw image to the controller; FILE must have the kind's exact size\n"
                    "(qpa-settings 8192, qpa-texts 32768, qpb-settings 65536, qpb-vars 16640 bytes).\n"),
     writeCommand},
    {QStringLiteral("flash-upload"), QStringLiteral("FILE       upload a 524288-byte flash image"),
     QStringLiteral("Usage: nodarix-cli [global options] flash-upload FILE\n"
                    "Uploads a flash image of exactly 524288 bytes in 2048 blocks. The controller\n"
                    "takes it over only after \"restart\".\n"),
     flashUploadCommand},
    {QStringLiteral("ext-save"), QStringLiteral("MODULE FILE    send a 166-byte extension module record"),
     QStringLiteral("Usage: nodarix-cli [global options] ext-save MODULE FILE\n"
                    "Sends a Xet16 extension module record (exactly 166 bytes) for module 0 to 3.\n"),
     extSaveCommand},
    {QStringLiteral("http"), QStringLiteral("on|off             switch the controller's HTTP server"),
     QStringLiteral("Usage: nodarix-cli [global options] http on|off\n"), httpCommand},
    {QStringLiteral("restart"), QStringLiteral("                 restart the controller with the written image"),
     QStringLiteral("Usage: nodarix-cli [global options] restart\n"
                    "Sends the restart request; success means only that it was sent.\n"),
     restartCommand},
});

} // namespace
} // namespace cli
