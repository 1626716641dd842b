// Any bytes sent to the virtual meter, in pieces and at times the input chooses: its command
// reader must answer or ignore them, never crash or grow without bound.

#include "sim/virtualmeter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::VirtualMeter meter;
    double now = 0;
    std::size_t at = 0;
    while (at < size) {
        // One control byte: the length of the next piece and the time that passes before it.
        const std::uint8_t control = data[at++];
        const std::size_t length = std::min<std::size_t>(control & 0x0F, size - at);
        now += (control >> 4) * 0.01;
        meter.receive(QByteArrayView(reinterpret_cast<const char*>(data + at), qsizetype(length)),
                      now);
        at += length;
        (void)meter.takeOutput(now);
    }
    (void)meter.takeOutput(now + 100);
    return 0;
}
