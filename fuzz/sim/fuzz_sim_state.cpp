// Any state file content: the simulator either refuses it with a reason and keeps its memory, or
// takes it, and then what it writes back reads again to the same bytes.
// Run: fuzz_sim_state -max_len=700000 -max_total_time=300 WORKDIR fuzz/sim/corpus_state
#include "sim/SimMemory.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    static const QByteArray pristine = sim::SimMemory().serialize();
    sim::SimMemory memory;
    QString error;
    if (!memory.deserialize(bytes, &error)) {
        if (error.isEmpty() || memory.serialize() != pristine)
            __builtin_trap();
        return 0;
    }
    const QByteArray written = memory.serialize();
    sim::SimMemory again;
    if (!again.deserialize(written, &error) || again.serialize() != written)
        __builtin_trap();
    return 0;
}
