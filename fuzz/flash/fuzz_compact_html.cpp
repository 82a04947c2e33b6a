// HTML compaction of any page: it may drop blanks at line ends and line breaks, and add line
// breaks around comments, but never lose or change anything else. Bit 0 of the first input byte
// puts "<!DOCTYPE html" in front of the rest, so that most inputs are compacted.
// Run: fuzz_compact_html -max_total_time=300 WORKDIR fuzz/flash/corpus_html
#include "flash/FlashImage.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace {

QByteArray Visible(const QByteArray& text) {
    QByteArray out;
    for (const char c : text)
        if (static_cast<unsigned char>(c) > ' ')
            out += c;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    QByteArray page = (data[0] & 1) ? QByteArray("<!DOCTYPE html") : QByteArray();
    page.append(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    const QByteArray compact = CompactHtml(page);
    if (Visible(compact) != Visible(page))
        __builtin_trap();
    return 0;
}
