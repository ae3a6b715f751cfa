#include "link/ip_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

void SockAddrToIPString(const struct sockaddr* address, char* out, size_t outSize) {
    if (out == nullptr || outSize == 0) return;
    out[0] = '\0';
    if (address == nullptr) return;
    const socklen_t size = static_cast<socklen_t>(outSize);
    const char* written = nullptr;
    if (address->sa_family == AF_INET6) {
        sockaddr_in6 a6;
        std::memcpy(&a6, address, sizeof a6);
        const unsigned char* bytes = a6.sin6_addr.s6_addr;
        static const unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
        if (std::memcmp(bytes, kMappedPrefix, sizeof kMappedPrefix) == 0) {
            written = inet_ntop(AF_INET, bytes + 12, out, size);
        } else {
            written = inet_ntop(AF_INET6, &a6.sin6_addr, out, size);
        }
    } else if (address->sa_family == AF_INET) {
        sockaddr_in a4;
        std::memcpy(&a4, address, sizeof a4);
        written = inet_ntop(AF_INET, &a4.sin_addr, out, size);
    }
    if (written == nullptr) out[0] = '\0';
}

socklen_t PlainPeerAddress(const sockaddr_in6& peer, sockaddr_storage* out) {
    std::memset(out, 0, sizeof *out);
    if (peer.sin6_family == AF_INET) {
        std::memcpy(out, &peer, sizeof(sockaddr_in));
        return sizeof(sockaddr_in);
    }
    if (peer.sin6_family != AF_INET6) return 0;
    if (IN6_IS_ADDR_V4MAPPED(&peer.sin6_addr)) {
        sockaddr_in v4 = {};
        v4.sin_family = AF_INET;
        v4.sin_port = peer.sin6_port;
        std::memcpy(&v4.sin_addr, peer.sin6_addr.s6_addr + 12, 4);
        std::memcpy(out, &v4, sizeof v4);
        return sizeof v4;
    }
    std::memcpy(out, &peer, sizeof peer);
    return sizeof peer;
}
