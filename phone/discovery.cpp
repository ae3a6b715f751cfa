#include "phone/discovery.h"

#include "phone/number_text.h"

#include <dns_sd.h>
#include <netdb.h>
#include <poll.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace qlophone {

namespace {

struct RefDeleter {
    void operator()(DNSServiceRef ref) const {
        if (ref) DNSServiceRefDeallocate(ref);
    }
};
using ServiceRef = std::unique_ptr<std::remove_pointer_t<DNSServiceRef>, RefDeleter>;

std::string Seconds(std::chrono::milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f s", static_cast<double>(ms.count()) / 1000.0);
    return text;
}

// Handles the daemon's replies on `refs` until `done` is true, the deadline passes or the stop
// flag is raised. False with `error` when the daemon connection fails.
template <typename Done>
bool Pump(const std::vector<DNSServiceRef>& refs, Deadline deadline, const std::atomic<bool>* stop, Done done,
          std::string& error) {
    std::vector<pollfd> fds;
    for (DNSServiceRef ref : refs) fds.push_back({DNSServiceRefSockFD(ref), POLLIN, 0});
    while (!done()) {
        if (stop && stop->load()) {
            error = "interrupted";
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return true;
        for (auto& p : fds) p.revents = 0;
        const int wait = static_cast<int>(std::min<long long>(left.count(), 100));
        const int n = ::poll(fds.data(), fds.size(), wait);
        if (n < 0 && errno != EINTR) {
            error = std::string("poll on the DNS-SD connection failed: ") + std::strerror(errno);
            return false;
        }
        for (size_t i = 0; n > 0 && i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            const DNSServiceErrorType err = DNSServiceProcessResult(refs[i]);
            if (err != kDNSServiceErr_NoError) {
                error = "lost the DNS-SD daemon (error " + std::to_string(err) + ")";
                return false;
            }
        }
    }
    return true;
}

struct BrowseState {
    std::string wantedName;
    bool found = false;
    DNSServiceErrorType error = kDNSServiceErr_NoError;
    std::string name, type, domain;
    uint32_t interfaceIndex = 0;
};

void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                        const char* serviceName, const char* regtype, const char* replyDomain, void* context) {
    auto* st = static_cast<BrowseState*>(context);
    if (errorCode != kDNSServiceErr_NoError) {
        st->error = errorCode;
        return;
    }
    if (st->found || !(flags & kDNSServiceFlagsAdd) || !serviceName) return;
    if (!st->wantedName.empty() && st->wantedName != serviceName) return;
    st->found = true;
    st->name = serviceName;
    st->type = regtype ? regtype : "";
    st->domain = replyDomain ? replyDomain : "";
    st->interfaceIndex = interfaceIndex;
}

struct ResolveState {
    bool done = false;
    DNSServiceErrorType error = kDNSServiceErr_NoError;
    std::string hostTarget;
    uint16_t port = 0;
    uint32_t interfaceIndex = 0;
    TxtFields txt;
};

void DNSSD_API OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                         const char*, const char* hosttarget, uint16_t port, uint16_t txtLen,
                         const unsigned char* txtRecord, void* context) {
    auto* st = static_cast<ResolveState*>(context);
    if (st->done) return;
    st->done = true;
    st->error = errorCode;
    if (errorCode != kDNSServiceErr_NoError) return;
    st->hostTarget = hosttarget ? hosttarget : "";
    st->port = ntohs(port);
    st->interfaceIndex = interfaceIndex;
    st->txt = ReadTxtFields(txtRecord, txtLen);
}

struct AddressState {
    int family = AF_UNSPEC;
    uint16_t port = 0;
    std::optional<SocketAddress> address;
};

void DNSSD_API OnRecord(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex, DNSServiceErrorType errorCode,
                        const char*, uint16_t rrtype, uint16_t, uint16_t rdlen, const void* rdata, uint32_t,
                        void* context) {
    auto* st = static_cast<AddressState*>(context);
    if (st->address || errorCode != kDNSServiceErr_NoError || !(flags & kDNSServiceFlagsAdd)) return;
    auto address = AddressFromRecord(rrtype, rdata, rdlen, st->port, interfaceIndex);
    if (address && (st->family == AF_UNSPEC || address->family() == st->family)) st->address = address;
}

std::optional<SocketAddress> LookUpWithResolver(const std::string& host, uint16_t port, int family) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) return std::nullopt;
    SocketAddress a;
    std::memcpy(&a.storage, found->ai_addr, found->ai_addrlen);
    a.length = found->ai_addrlen;
    ::freeaddrinfo(found);
    return a;
}

}  // namespace

TxtFields ReadTxtFields(const unsigned char* txt, uint16_t length) {
    TxtFields fields;
    if (!txt || length == 0) return fields;
    auto read = [&](const char* key) -> std::optional<std::string> {
        if (!TXTRecordContainsKey(length, txt, key)) return std::nullopt;
        uint8_t valueLength = 0;
        const void* value = TXTRecordGetValuePtr(length, txt, key, &valueLength);
        if (!value) return std::string();
        return std::string(static_cast<const char*>(value), valueLength);
    };
    fields.app = read("app");
    fields.controlPort = read("controlPort");
    return fields;
}

std::optional<SocketAddress> AddressFromRecord(uint16_t rrtype, const void* rdata, uint16_t rdlength, uint16_t port,
                                               uint32_t interfaceIndex) {
    SocketAddress a;
    if (rrtype == kDNSServiceType_A && rdlength == 4 && rdata) {
        auto* in = reinterpret_cast<sockaddr_in*>(&a.storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        std::memcpy(&in->sin_addr, rdata, 4);
        a.length = sizeof(sockaddr_in);
        return a;
    }
    if (rrtype == kDNSServiceType_AAAA && rdlength == 16 && rdata) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        std::memcpy(&in6->sin6_addr, rdata, 16);
        if (IN6_IS_ADDR_LINKLOCAL(&in6->sin6_addr)) in6->sin6_scope_id = interfaceIndex;
        a.length = sizeof(sockaddr_in6);
        return a;
    }
    return std::nullopt;
}

DiscoveryOutcome DiscoverService(const DiscoveryRequest& request) {
    DiscoveryOutcome out;
    auto fail = [&](std::string message) {
        out.failure = {FailureKind::Discovery, "discovery: " + std::move(message)};
        return out;
    };
    // Avahi's compatibility layer prints a warning banner to stderr unless told not to.
    ::setenv("AVAHI_COMPAT_NOWARN", "1", 0);
    const Deadline deadline = Clock::now() + request.timeout;
    std::string error;

    BrowseState browse;
    browse.wantedName = request.serviceName;
    DNSServiceRef raw = nullptr;
    DNSServiceErrorType err = DNSServiceBrowse(&raw, 0, 0, request.serviceType.c_str(), nullptr, OnBrowse, &browse);
    ServiceRef browseRef(raw);
    if (err != kDNSServiceErr_NoError) {
        return fail("the DNS-SD daemon is unreachable (DNSServiceBrowse error " + std::to_string(err) +
                    "); is avahi-daemon (or mDNSResponder) running?");
    }
    if (!Pump({browseRef.get()}, deadline, request.stop, [&] { return browse.found || browse.error != 0; }, error)) {
        return fail(error);
    }
    if (browse.error != kDNSServiceErr_NoError) return fail("browsing failed (error " + std::to_string(browse.error) + ")");
    if (!browse.found) {
        std::string what = "no \"" + request.serviceType + "\" service";
        if (!request.serviceName.empty()) what += " named \"" + request.serviceName + "\"";
        return fail(what + " found within " + Seconds(request.timeout));
    }
    out.service.name = browse.name;
    out.service.domain = browse.domain;

    ResolveState resolve;
    raw = nullptr;
    err = DNSServiceResolve(&raw, 0, browse.interfaceIndex, browse.name.c_str(), browse.type.c_str(),
                            browse.domain.c_str(), OnResolve, &resolve);
    ServiceRef resolveRef(raw);
    if (err != kDNSServiceErr_NoError) return fail("DNSServiceResolve failed (error " + std::to_string(err) + ")");
    if (!Pump({resolveRef.get()}, deadline, request.stop, [&] { return resolve.done; }, error)) return fail(error);
    if (!resolve.done) return fail("\"" + browse.name + "\" found but not resolved within " + Seconds(request.timeout));
    if (resolve.error != kDNSServiceErr_NoError) {
        return fail("resolving \"" + browse.name + "\" failed (error " + std::to_string(resolve.error) + ")");
    }
    resolveRef.reset();
    out.service.hostTarget = resolve.hostTarget;
    out.service.port = resolve.port;
    out.service.interfaceIndex = resolve.interfaceIndex;
    out.service.app = resolve.txt.app;
    out.service.controlPortText = resolve.txt.controlPort;
    if (resolve.txt.controlPort) out.service.controlPort = ParsePort(*resolve.txt.controlPort);
    if (resolve.port == 0) return fail("\"" + browse.name + "\" resolved to port 0");

    // The host target's address: ask the daemon for its A/AAAA records first, for at most half
    // of the time left, then the system resolver.
    AddressState addr;
    addr.family = request.family;
    addr.port = resolve.port;
    std::vector<ServiceRef> queries;
    std::vector<DNSServiceRef> refs;
    for (uint16_t type : {uint16_t(kDNSServiceType_A), uint16_t(kDNSServiceType_AAAA)}) {
        if ((type == kDNSServiceType_A && request.family == AF_INET6) ||
            (type == kDNSServiceType_AAAA && request.family == AF_INET)) {
            continue;
        }
        raw = nullptr;
        if (DNSServiceQueryRecord(&raw, 0, resolve.interfaceIndex, resolve.hostTarget.c_str(), type,
                                  kDNSServiceClass_IN, OnRecord, &addr) == kDNSServiceErr_NoError) {
            queries.emplace_back(raw);
            refs.push_back(raw);
        }
    }
    if (!refs.empty()) {
        const Deadline half = Clock::now() + (deadline - Clock::now()) / 2;
        if (!Pump(refs, half, request.stop, [&] { return addr.address.has_value(); }, error)) return fail(error);
    }
    queries.clear();
    if (!addr.address) addr.address = LookUpWithResolver(resolve.hostTarget, resolve.port, request.family);
    if (!addr.address) return fail("no address found for host \"" + resolve.hostTarget + "\"");
    out.service.address = *addr.address;
    return out;
}

}  // namespace qlophone
