// Any content of the user resource list Res.txt: what was read must save and read back unchanged.
// Run: fuzz_res_cfg -max_total_time=300 WORKDIR fuzz/flash/corpus_rescfg
#include "flash/ResCfg.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    static const QString path = QDir(dir.path()).filePath(QStringLiteral("Res.txt"));
    TResCfg read;
    ReadResCfg(QByteArrayView(data, static_cast<qsizetype>(size)), read);
    if (!SaveResCfg(path, read))
        __builtin_trap();
    TResCfg back;
    LoadResCfg(path, back);
    if (back.U_Cgi != read.U_Cgi || back.S_Gif != read.S_Gif)
        __builtin_trap();
    return 0;
}
