#pragma once
// Line splitting of the texts the program reads: stored firmware, Res.txt, web pages.
#include <cstring>
#include <string_view>

namespace flash {

// Calls f(index, line) for each line of `text`; lines end at CR LF, CR or LF, and a line end at
// the very end does not start another (empty) line. Stops early when f returns false.
template <typename F> bool ForEachLine(std::string_view text, F&& f) {
    if (text.empty())
        return true;
    const char* const end = text.data() + text.size();
    // The next CR and the next LF, each searched for again only once passed: memchr scans far
    // faster than a loop over the characters.
    auto next = [end](const char* from, char c) {
        const void* hit = std::memchr(from, c, static_cast<std::size_t>(end - from));
        return hit ? static_cast<const char*>(hit) : end;
    };
    const char* cr = next(text.data(), '\r');
    const char* lf = next(text.data(), '\n');
    int index = 0;
    for (const char* pos = text.data(); pos < end;) {
        if (cr < pos)
            cr = next(pos, '\r');
        if (lf < pos)
            lf = next(pos, '\n');
        const char* lineEnd = cr < lf ? cr : lf;
        if (!f(index++, std::string_view(pos, static_cast<std::size_t>(lineEnd - pos))))
            return false;
        pos = lineEnd == end ? end : lineEnd + (lineEnd == cr && lineEnd + 1 == lf ? 2 : 1);
    }
    return true;
}

} // namespace flash
