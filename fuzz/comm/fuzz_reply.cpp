// Controller replies of any length and content, judged against every kind of expected reply.
#include "comm/Frame.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace frame;
    const QByteArray reply(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray address = BlockAddress(0x600);
    const ExpectedReply kinds[] = {
        {ReplyCode(kVersion), 38, std::nullopt, false, false},
        {ReplyCode(kQpaBlockRead), 259, address, false, false},
        {ReplyCode(kBlockWrite), 3, address, false, false},
        {ReplyCode(kQpaReadStart), 0, std::nullopt, false, true},
        {kAck, 0, std::nullopt, true, true},
        {kSettWriteEndReply, 0, std::nullopt, false, false},
    };
    for (const auto& expected : kinds) {
        const Verdict v = JudgeReply(reply, expected);
        if (v.status == STATRESOK && reply.size() != kHeaderSize + expected.payloadLength)
            __builtin_trap(); // a reply of the wrong length must never be accepted
    }
    (void)AnnouncedLength(reply);
    return 0;
}
