// The peer address text: any socket address (IPv4, IPv6, IPv4-mapped IPv6, other families) into
// a buffer of any size up to 64 bytes. The text is always terminated inside the buffer, and when
// it is not empty it reads back as the same address.
#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

#include "fuzz/fuzz_support.h"
#include "link/ip_address.h"

using namespace qlo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    sockaddr_storage address;
    std::memset(&address, 0xA5, sizeof address);  // never-written bytes are not zero
    std::memcpy(&address, data + 2, std::min(size - 2, sizeof address));
    // Mostly the two families a socket gives, sometimes any other.
    const uint8_t familyPick = data[0] % 4;
    address.ss_family = familyPick == 0 ? AF_INET : familyPick == 1 ? AF_INET6 : familyPick == 2 ? AF_UNIX : data[1];
    if (familyPick == 1 && (data[1] & 1)) {
        // An IPv4-mapped address, as the dual-stack sockets report IPv4 phones.
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
        std::memset(a6->sin6_addr.s6_addr, 0, 10);
        a6->sin6_addr.s6_addr[10] = a6->sin6_addr.s6_addr[11] = 0xFF;
    }
    const size_t outSize = data[1] % 65;

    char out[80];
    std::memset(out, 'x', sizeof out);
    SockAddrToIPString(reinterpret_cast<const sockaddr*>(&address), out, outSize);
    for (size_t i = outSize; i < sizeof out; ++i) Check(out[i] == 'x', "written beyond the buffer");
    if (outSize == 0) return 0;
    Check(std::memchr(out, '\0', outSize) != nullptr, "text not terminated inside the buffer");
    if (out[0] == '\0') {
        // Empty only for other families, or when the text does not fit.
        Check(address.ss_family != AF_INET || outSize < INET_ADDRSTRLEN, "IPv4 address not written");
        Check(address.ss_family != AF_INET6 || outSize < INET6_ADDRSTRLEN, "IPv6 address not written");
        return 0;
    }
    if (address.ss_family == AF_INET) {
        in_addr back;
        Check(inet_pton(AF_INET, out, &back) == 1, "IPv4 text does not read back");
        Check(std::memcmp(&back, &reinterpret_cast<sockaddr_in*>(&address)->sin_addr, 4) == 0, "IPv4 text differs");
    } else if (address.ss_family == AF_INET6) {
        const auto* a6 = reinterpret_cast<const sockaddr_in6*>(&address);
        static const unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        if (std::memcmp(a6->sin6_addr.s6_addr, kMapped, 12) == 0) {
            in_addr back;
            Check(inet_pton(AF_INET, out, &back) == 1, "mapped address not written as dotted IPv4");
            Check(std::memcmp(&back, a6->sin6_addr.s6_addr + 12, 4) == 0, "mapped address text differs");
        } else {
            in6_addr back;
            Check(inet_pton(AF_INET6, out, &back) == 1, "IPv6 text does not read back");
            Check(std::memcmp(&back, &a6->sin6_addr, 16) == 0, "IPv6 text differs");
        }
    } else {
        Fail("text written for another family");
    }
    return 0;
}
