// Any bytes as a live frame reply: the frame check (late handshake replies skipped) and the whole
// decoding of the display, the type byte, the readings and the memory count.

#include "live/livepoll.h"
#include "serial/meterlink.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    static live::LiveState state;
    if (const auto frame = serial::MeterLink::framedReply(bytes, live::kFrameLength))
        state.applyFrame(*frame);
    state.applyFrame(bytes);
    (void)live::memoryText(state.memoryCount());
    return 0;
}
