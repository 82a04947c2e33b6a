#include "config/ConfigTextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// Valid only when the bytes are exactly what the text encodes to: the decoder alone lets a cut-off
// last character through as a replacement character.
QString decode(QStringConverter::Encoding encoding, const QByteArray& bytes, bool marked, bool& valid) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    QStringEncoder encoder(encoding, marked ? QStringConverter::Flag::WriteBom : QStringConverter::Flag::Default);
    valid = !decoder.hasError() && QByteArray(encoder.encode(text)) == bytes;
    return text;
}

// The older installers' code page. Qt reaches it through ICU; every byte maps to a character.
QString decodeWindows1250(const QByteArray& bytes) {
    QStringDecoder decoder("windows-1250", QStringConverter::Flag::Stateless);
    if (decoder.isValid())
        return decoder.decode(bytes);
    return QString::fromLatin1(bytes);
}

} // namespace

QStringList ConfigTextLines(const QString& text) {
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QByteArray ConfigTextFileBytes(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

std::optional<QString> DecodeConfigTextFile(const QByteArray& bytes) {
    QString text;
    if (const auto marked = QStringConverter::encodingForData(bytes)) {
        bool valid = false;
        text = decode(*marked, bytes, true, valid);
        if (!valid)
            return std::nullopt;
    } else {
        bool valid = false;
        text = decode(QStringConverter::Utf8, bytes, false, valid);
        if (!valid)
            text = decodeWindows1250(bytes);
    }
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    QString normalised;
    normalised.reserve(text.size() + text.size() / 32);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n') && (i == 0 || text.at(i - 1) != QLatin1Char('\r')))
            normalised += QLatin1Char('\r');
        normalised += text.at(i);
    }
    return normalised;
}

TConfigTextLoad LoadConfigTextFile(const QString& path) {
    TConfigTextLoad load;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        load.CannotOpen = true;
        load.Error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return load;
    }
    const QByteArray bytes = file.readAll();
    load.Text = DecodeConfigTextFile(bytes);
    if (!load.Text) {
        const auto marked = QStringConverter::encodingForData(bytes);
        load.Error = QStringLiteral("%1 is not valid %2 text")
                         .arg(path, QLatin1String(QStringConverter::nameForEncoding(
                                        marked.value_or(QStringConverter::Utf8))));
    }
    return load;
}

bool SaveConfigTextFile(const QString& path, const QStringList& lines, QString& error) {
    const QByteArray bytes = ConfigTextFileBytes(lines);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}
