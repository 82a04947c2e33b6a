// Raw NDC/NDT files of any bytes and sizes through the import, then the text written from what was
// imported and read back.
// Run: fuzz_raw_import -max_len=40960 -max_total_time=600 WORKDIR fuzz/config/corpus_raw_import
// The input is written as one file and imported as both kinds (taken only at its exact size); then
// its first 8192 bytes (zero-filled when shorter) are imported as an NDC file and the next 32768
// as an NDT file, the text of both is written, read back and written again. A text the reader
// refuses, or one that comes out different the second time, is reported on stderr (the first few);
// with NODARIX_FUZZ_STRICT set it stops the run, so that the input is kept.
#include "config/ConfigError.h"
#include "config/ConfigText.h"
#include "config/RawImport.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

QString put(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QLatin1String(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        __builtin_trap();
    return path;
}

void report(const char* what, const QString& detail) {
    static int reported = 0;
    if (std::getenv("NODARIX_FUZZ_STRICT"))
        __builtin_trap();
    if (reported++ < 5)
        std::fprintf(stderr, "fuzz_raw_import: %s: %s\n", what, detail.toUtf8().constData());
}

template <class T> QByteArray bytesOf(const T& record) {
    return QByteArray(reinterpret_cast<const char*>(&record), sizeof record);
}

// An import must either take the whole file (exact size) or leave the record as it was.
template <class Record>
void importAsIs(QString (*import)(const QString&, Record&), const QString& path, const QByteArray& file,
                qint64 size) {
    auto record = std::make_unique<Record>();
    ClearRecord(*record);
    const QByteArray before = bytesOf(*record);
    const QString status = import(path, *record);
    const bool taken = status.isEmpty();
    if (taken != (file.size() == size) || bytesOf(*record) != (taken ? file : before))
        __builtin_trap();
    if (!taken && status != RawImportSizeError())
        __builtin_trap();
}

QByteArray exactly(const QByteArray& bytes, qsizetype from, qsizetype size) {
    QByteArray part = bytes.mid(from, size);
    part.append(size - part.size(), '\0');
    return part;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const QString asIs = put(dir, "input", input);
    importAsIs(&ImportNdcFile, asIs, input, kNdcFileSize);
    importAsIs(&ImportNdtFile, asIs, input, kNdtFileSize);

    auto config = std::make_unique<TNodarixQPAConfig>();
    auto texts = std::make_unique<TNodarixQPAText>();
    ClearRecord(*config);
    ClearRecord(*texts);
    if (!ImportNdcFile(put(dir, "c.ndc", exactly(input, 0, kNdcFileSize)), *config).isEmpty() ||
        !ImportNdtFile(put(dir, "t.ndt", exactly(input, kNdcFileSize, kNdtFileSize)), *texts).isEmpty())
        __builtin_trap();
    const bool onlyConfigured = size > 0 && (data[0] & 1);
    const QString text = ImportedQPAText(*config, onlyConfigured, *texts);

    auto readConfig = std::make_unique<TNodarixQPAConfig>();
    auto readTexts = std::make_unique<TNodarixQPAText>();
    TACircuitRemap analog;
    TDCircuitRemap digital;
    std::uint8_t autoPlace = 0;
    if (!TextToConfigQPA(text, autoPlace, false, analog, digital, *readTexts, *readConfig)) {
        report("the text written does not read back", ConfigErrorText() + QStringLiteral(" at: ") + LastConfigLine);
        return 0;
    }
    const QString again = ImportedQPAText(*readConfig, onlyConfigured, *readTexts);
    if (again != text) {
        const QStringList first = text.split(QStringLiteral("\r\n"));
        const QStringList second = again.split(QStringLiteral("\r\n"));
        qsizetype line = 0;
        while (line < first.size() && line < second.size() && first.at(line) == second.at(line))
            ++line;
        report("the text read back is written differently",
               QStringLiteral("line %1: \"%2\" then \"%3\"")
                   .arg(line + 1)
                   .arg(first.value(line).left(120), second.value(line).left(120)));
    }
    return 0;
}
