// Controller replies of any length and content, judged against every kind of expected reply.
#include "comm/Frame.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace frame;
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray address = BlockAddress(0x600);
    const ExpectedReply kinds[] = {
        {.code = ReplyCode(kVersion), .payloadLength = 38},
        {.code = ReplyCode(kQpaBlockRead), .payloadLength = 259, .addressEcho = address},
        {.code = ReplyCode(kBlockWrite), .payloadLength = 3, .addressEcho = address},
        {.code = ReplyCode(kQpaReadStart), .headerFaultIsUnknown = true},
        {.code = kAck, .acknowledgement = true, .headerFaultIsUnknown = true},
        {.code = kSettWriteEndReply},
    };
    for (const auto& expected : kinds) {
        const Verdict v = JudgeReply(reply, expected);
        if (v.status == STATRESOK && reply.size() != kHeaderSize + expected.payloadLength)
            __builtin_trap(); // a reply of the wrong length must never be accepted
    }
    (void)AnnouncedLength(reply);
    return 0;
}
