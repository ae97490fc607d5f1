// Netlink replies come from the kernel, but a scan reads whatever recv()
// returned: a message cut by a short buffer, a length field that points past
// the end, attributes of any length. Input: 4 bytes address, 4 bytes
// interface index, then the message bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/Neighbour.h"

using vx::platform::neighbour_detail::NeighbourScan;
using vx::platform::neighbour_detail::ScanNeighbourMessages;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    uint32_t address;
    int32_t ifindex;
    std::memcpy(&address, data, 4);
    std::memcpy(&ifindex, data + 4, 4);
    // A heap copy of exactly the message bytes, so AddressSanitizer sees any
    // read past them.
    const size_t len = size - 8;
    auto* messages = static_cast<uint8_t*>(std::malloc(len ? len : 1));
    if (len) std::memcpy(messages, data + 8, len);
    NeighbourScan scan;
    ScanNeighbourMessages(messages, len, address, ifindex, scan);
    std::free(messages);
    if (scan.answered && !scan.seen) std::abort();  // an answer is always for a seen entry
    return 0;
}
