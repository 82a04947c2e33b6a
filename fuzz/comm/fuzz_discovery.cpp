// Discovery datagrams of any length and content: the answer parser and the receive handler.
// Run it without a network (the handler's object listens on UDP port 7080), as scripts/fuzz does.
// Run: fuzz_discovery -max_total_time=600 WORKDIR fuzz/comm/corpus_discovery
#include "comm/CommUdp.h"

#include <QCoreApplication>
#include <cstddef>
#include <cstdint>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray datagram(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto fields = udp::ParseDiscoveryAnswer(datagram);
    // An accepted answer holds the whole payload and gives exactly fourteen fields.
    if (fields && (datagram.size() < udp::kAnswerSize || fields->size() != udp::kEntryFieldCount))
        __builtin_trap();

    // One object per input: a list kept across inputs would look like a leak to every input's check.
    auto listener = std::make_unique<TCommUdp>();
    const qint32 before = listener->ScanCount();
    listener->HandleDatagram(datagram, QHostAddress(QStringLiteral("10.77.0.2")));
    if (listener->ScanCount() != before + (fields ? 1 : 0))
        __builtin_trap();
    if (fields) {
        // The entry is the fields joined by ";", and the lookup gives each field as parsed,
        // whatever a name holds.
        if (listener->Entries().last() != fields->join(QLatin1Char(';')))
            __builtin_trap();
        for (qint32 f = 0; f < udp::kEntryFieldCount; ++f)
            if (listener->GetScanParam(before, f) != fields->at(f))
                __builtin_trap();
        if (!listener->GetScanParam(before, udp::kEntryFieldCount).isEmpty())
            __builtin_trap();
    }
    listener.reset();
    // The socket's parts are released by deferred deletion; without an event loop they would pile up.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
