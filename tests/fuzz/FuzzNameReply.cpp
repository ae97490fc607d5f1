// Node-status and PTR replies come from any host on the LAN (or anyone who
// can reach the port): counts that claim more than was sent, names whose
// compression pointers loop or point past the end. Input: one byte choosing
// the parser, then the reply.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/HostNames.h"

using namespace vx::platform::hostnames_detail;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    // A heap copy of exactly the reply, so AddressSanitizer sees any read past it.
    const size_t len = size - 1;
    auto* reply = static_cast<uint8_t*>(std::malloc(len ? len : 1));
    if (len) std::memcpy(reply, data + 1, len);
    std::string name;
    if (mode & 1) {
        name = ParseNodeStatus(reply, len, 0x1234);
        if (name.size() > 15) std::abort();  // one table entry's name at most
    } else {
        name = ParsePtrReply(reply, len, "2.7.213.10.in-addr.arpa", mode & 2, 0x1234);
        if (name.size() > 255) std::abort();
    }
    std::free(reply);
    return 0;
}
