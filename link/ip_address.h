// Socket address to IP text, the same way on every channel: the TCP server and the UDP motion
// receiver both use dual-stack IPv6 sockets, so an IPv4 phone arrives as an IPv4-mapped IPv6
// address, which is written as dotted IPv4. One phone therefore has one IP text everywhere, and
// that text joins its stream, its registration and its motion datagrams.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>

struct sockaddr;

// Writes the address's IP as text into `out` (64 bytes is enough), starting from an empty string:
// IPv4-mapped IPv6 as dotted IPv4, other IPv6 in standard IPv6 text, IPv4 dotted; any other
// family (or a null address) leaves the text empty.
void SockAddrToIPString(const struct sockaddr* address, char* out, size_t outSize);

// The peer address as the system's resolver wants it: an IPv4-mapped IPv6 address (an IPv4 peer
// on a dual-stack socket) as the plain IPv4 address it carries, port included; any other address
// as it is. Returns the size of what was written to `out` (0 for an unknown family).
socklen_t PlainPeerAddress(const struct sockaddr_in6& peer, struct sockaddr_storage* out);
