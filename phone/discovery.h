// Finding the plug-in with DNS-SD (dns_sd.h: the system's own on macOS, Avahi's compatibility
// library on Linux): browse for the service type, resolve the first instance found (or the one
// with the wanted name) to its host target, port and TXT record, then ask the DNS-SD daemon for
// the host target's A/AAAA records, falling back to getaddrinfo(). Every step shares one deadline.
#pragma once

#include "phone/failure.h"
#include "phone/socket_io.h"

#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace qlophone {

inline constexpr char kServiceType[] = "_quillo._tcp";

struct DiscoveryRequest {
    std::string serviceType = kServiceType;
    std::string serviceName;  // empty: take the first instance found
    std::chrono::milliseconds timeout{5000};
    int family = AF_UNSPEC;   // address family wanted (that of --source-ip), or any
    const std::atomic<bool>* stop = nullptr;
};

struct DiscoveredService {
    std::string name;        // "Quillo - After Effects"
    std::string domain;      // "local."
    std::string hostTarget;  // "studio.local."
    uint16_t port = 0;
    uint32_t interfaceIndex = 0;
    std::optional<std::string> app;             // TXT "app"
    std::optional<std::string> controlPortText; // TXT "controlPort" as sent
    std::optional<uint16_t> controlPort;        // the same, when it is a valid port number
    SocketAddress address;                      // where to connect (port included)
};

struct DiscoveryOutcome {
    Failure failure;  // kind Discovery when nothing usable was found
    DiscoveredService service;
};

DiscoveryOutcome DiscoverService(const DiscoveryRequest& request);

// The "app" and "controlPort" entries of a TXT record in DNS wire form; an entry present without
// a value ("key" alone) reads as an empty text.
struct TxtFields {
    std::optional<std::string> app;
    std::optional<std::string> controlPort;
};
TxtFields ReadTxtFields(const unsigned char* txt, uint16_t length);

// A socket address from the data of an A (4 bytes) or AAAA (16 bytes) record; a link-local IPv6
// address gets the interface index as its scope. Empty when type and length do not agree.
std::optional<SocketAddress> AddressFromRecord(uint16_t rrtype, const void* rdata, uint16_t rdlength, uint16_t port,
                                               uint32_t interfaceIndex);

}  // namespace qlophone
