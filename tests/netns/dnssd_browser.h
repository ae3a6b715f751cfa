// A DNS-SD browser for the tests, as a phone uses one: browses "_quillo._tcp." and resolves a
// found service to its port and TXT entries, through dns_sd.h. Everything runs on the test's
// thread, which also runs the main run loop (where the announcement's own replies arrive).
#pragma once

#include <arpa/inet.h>
#include <dns_sd.h>
#include <poll.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/runloop.h"
#include "support/test_support.h"

struct BrowseEvent {
    bool added;
    std::string name;
    std::string domain;
    uint32_t interfaceIndex;
};

struct ResolvedService {
    uint16_t port = 0;
    std::map<std::string, std::string> txt;
};

class DnssdBrowser {
public:
    explicit DnssdBrowser(const char* type = "_quillo._tcp.") {
        setenv("AVAHI_COMPAT_NOWARN", "1", 0);
        if (DNSServiceBrowse(&browse_, 0, kDNSServiceInterfaceIndexAny, type, "", &OnBrowse, this) !=
            kDNSServiceErr_NoError)
            browse_ = nullptr;
    }
    ~DnssdBrowser() {
        if (browse_) DNSServiceRefDeallocate(browse_);
    }
    DnssdBrowser(const DnssdBrowser&) = delete;
    DnssdBrowser& operator=(const DnssdBrowser&) = delete;

    bool ok() const { return browse_ != nullptr; }

    // Runs the main run loop and the browser until `done` holds or `seconds` pass.
    template <class Pred>
    bool pumpUntil(Pred done, double seconds = 15.0) {
        return qlotest::WaitUntil([&] { return pumpOnce(browse_), done(); }, seconds);
    }

    std::optional<BrowseEvent> lastEventFor(const std::string& name) const {
        for (auto it = events_.rbegin(); it != events_.rend(); ++it)
            if (it->name == name) return *it;
        return std::nullopt;
    }

    // Resolves a found service (bounded wait); nothing when it does not resolve in time.
    std::optional<ResolvedService> resolve(const BrowseEvent& found, double seconds = 15.0) {
        DNSServiceRef ref = nullptr;
        ResolveState state;
        if (DNSServiceResolve(&ref, 0, found.interfaceIndex, found.name.c_str(), "_quillo._tcp.",
                              found.domain.c_str(), &OnResolve, &state) != kDNSServiceErr_NoError)
            return std::nullopt;
        qlotest::WaitUntil([&] { return pumpOnce(ref), state.done; }, seconds);
        DNSServiceRefDeallocate(ref);
        if (!state.done || state.error != kDNSServiceErr_NoError) return std::nullopt;
        return state.result;
    }

private:
    struct ResolveState {
        bool done = false;
        DNSServiceErrorType error = kDNSServiceErr_NoError;
        ResolvedService result;
    };

    // One short turn: the main run loop, then whatever the given reference has to say.
    void pumpOnce(DNSServiceRef ref) {
        qlo::runloop::RunLoop::main().runOnce(qlo::runloop::Mode::Default, 0.01);
        if (ref == nullptr) return;
        pollfd p{DNSServiceRefSockFD(ref), POLLIN, 0};
        if (poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) DNSServiceProcessResult(ref);
    }

    static void DNSSD_API OnBrowse(DNSServiceRef, DNSServiceFlags flags, uint32_t interfaceIndex,
                                   DNSServiceErrorType error, const char* name, const char*,
                                   const char* domain, void* context) {
        auto* self = static_cast<DnssdBrowser*>(context);
        if (error != kDNSServiceErr_NoError || name == nullptr) return;
        self->events_.push_back({(flags & kDNSServiceFlagsAdd) != 0, name,
                                 domain ? domain : "", interfaceIndex});
    }

    static void DNSSD_API OnResolve(DNSServiceRef, DNSServiceFlags, uint32_t,
                                    DNSServiceErrorType error, const char*, const char*,
                                    uint16_t portNetworkOrder, uint16_t txtLen,
                                    const unsigned char* txt, void* context) {
        auto* state = static_cast<ResolveState*>(context);
        state->done = true;
        state->error = error;
        if (error != kDNSServiceErr_NoError) return;
        state->result.port = ntohs(portNetworkOrder);
        for (uint16_t i = 0; i < TXTRecordGetCount(txtLen, txt); ++i) {
            char key[256];
            uint8_t valueLen = 0;
            const void* value = nullptr;
            if (TXTRecordGetItemAtIndex(txtLen, txt, i, sizeof key, key, &valueLen, &value) ==
                kDNSServiceErr_NoError)
                state->result.txt[key] =
                    value ? std::string(static_cast<const char*>(value), valueLen) : "";
        }
    }

    DNSServiceRef browse_ = nullptr;
    std::vector<BrowseEvent> events_;
};
