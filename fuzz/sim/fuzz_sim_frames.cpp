// Any byte stream from a client, cut into requests as the simulator cuts a connection's buffer,
// arriving in pieces of a size chosen by the first input byte. The pieces must not change what is
// cut: the requests and the final verdict equal those of the whole stream at once. Each request
// is then served from a simulated memory as the server would.
// Run: fuzz_sim_frames -dict=fuzz/sim/frames.dict -max_total_time=300 WORKDIR fuzz/sim/corpus_frames
#include "sim/ExtRecordText.h"
#include "sim/SimMemory.h"
#include "sim/SimWire.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

struct Cut {
    std::vector<sim::RequestCut> requests;
    sim::RequestCut::Kind end = sim::RequestCut::NeedMore;
};

void CutAll(QByteArray& buffer, Cut& out) {
    while (out.end == sim::RequestCut::NeedMore) {
        sim::RequestCut cut = sim::cutRequest(buffer);
        if (cut.kind != sim::RequestCut::Frame) {
            if (cut.kind == sim::RequestCut::Bad && cut.bad.isEmpty())
                __builtin_trap();
            out.end = cut.kind == sim::RequestCut::Bad ? cut.kind : out.end;
            return;
        }
        const auto expected = sim::requestPayloadLength(cut.code);
        if (!expected || cut.payload.size() != *expected || cut.size != sim::kHeaderSize + *expected ||
            cut.size > buffer.size())
            __builtin_trap();
        buffer.remove(0, cut.size);
        out.requests.push_back(std::move(cut));
    }
}

std::optional<sim::Area> BlockArea(std::uint8_t code) {
    switch (code) {
    case sim::kReqFlashRead:
    case sim::kReqFlashWrite:
        return sim::Area::Flash;
    case sim::kReqQpbSettRead:
    case sim::kReqQpbSettWrite:
        return sim::Area::QpbSettings;
    case sim::kReqQpbVarsRead:
    case sim::kReqQpbVarsWrite:
        return sim::Area::QpbVars;
    default:
        return std::nullopt;
    }
}

void Serve(sim::SimMemory& memory, const sim::RequestCut& r) {
    (void)sim::requestName(r.code);
    if (sim::isExtRequest(r.code)) {
        memory.setExtRecord(r.code - sim::kReqExtFirst, r.payload);
        (void)sim::describeExtRecord(r.code - sim::kReqExtFirst, r.payload);
        return;
    }
    const auto area = BlockArea(r.code);
    if (!area)
        return;
    const std::uint32_t address = sim::readBe24(r.payload, 0);
    if (r.payload.size() == sim::kAddressSize) {
        const auto block = memory.readBlock(*area, address);
        if (block && block->size() != sim::kBlockSize)
            __builtin_trap();
    } else {
        (void)memory.writeBlock(*area, address, r.payload.mid(sim::kAddressSize));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const qsizetype piece = data[0] == 0 ? 1 : data[0];
    const QByteArray stream(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));

    QByteArray whole = stream;
    Cut atOnce;
    CutAll(whole, atOnce);

    QByteArray buffer;
    Cut inPieces;
    for (qsizetype at = 0; at < stream.size() && inPieces.end == sim::RequestCut::NeedMore; at += piece) {
        buffer.append(stream.mid(at, piece));
        CutAll(buffer, inPieces);
    }
    if (inPieces.end != atOnce.end || inPieces.requests.size() != atOnce.requests.size())
        __builtin_trap();
    for (std::size_t k = 0; k < atOnce.requests.size(); ++k) {
        const auto& a = atOnce.requests[k];
        const auto& b = inPieces.requests[k];
        if (a.code != b.code || a.hash != b.hash || a.payload != b.payload)
            __builtin_trap();
    }

    static sim::SimMemory memory;
    for (const auto& r : atOnce.requests)
        Serve(memory, r);
    return 0;
}
