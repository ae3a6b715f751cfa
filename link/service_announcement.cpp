// The announcement through dns_sd.h.
//
// DNSServiceRegister hands back a service reference whose socket becomes readable when the
// daemon has something to say; the main run loop watches that socket and calls
// DNSServiceProcessResult, which runs the register callback on the main thread. The callback
// reports success or failure; withdrawing has no callback in dns_sd.h (DNSServiceRefDeallocate
// ends the registration at once), so the stopped line is logged by withdraw itself.
//
// Failure lines render the DNS-SD error the way the platform's service object reports one, as a
// one-line dictionary: {NSNetServicesErrorCode = <dns_sd error code>; NSNetServicesErrorDomain =
// 10;}, for example {NSNetServicesErrorCode = -65537; NSNetServicesErrorDomain = 10;} when no
// daemon can be reached (kDNSServiceErr_Unknown) or -65548 for a name conflict.
#include "link/service_announcement.h"

#include <arpa/inet.h>
#include <dns_sd.h>

#include <cstdlib>
#include <string>

#include "platform/log.h"
#include "platform/runloop.h"

using qlo::log::Log;

namespace {

constexpr const char* kServiceName = "Quillo - After Effects";
constexpr const char* kServiceType = "_quillo._tcp.";
constexpr const char* kServiceDomain = "";  // the default registration domains
constexpr const char* kAppValue = "aftereffects";

std::string ErrorText(DNSServiceErrorType code) {
    return "{NSNetServicesErrorCode = " + std::to_string(code) + "; NSNetServicesErrorDomain = 10;}";
}

// Avahi's dns_sd.h library prints a warning about being a compatibility layer on first use unless
// this is set; the warning says nothing about this program.
void SilenceCompatibilityWarning() { setenv("AVAHI_COMPAT_NOWARN", "1", 0); }

// A TXT record being built, in a buffer of its own.
class TxtRecord {
public:
    TxtRecord() { TXTRecordCreate(&ref_, sizeof buffer_, buffer_); }
    ~TxtRecord() { TXTRecordDeallocate(&ref_); }
    TxtRecord(const TxtRecord&) = delete;
    TxtRecord& operator=(const TxtRecord&) = delete;

    DNSServiceErrorType set(const char* key, const std::string& value) {
        return TXTRecordSetValue(&ref_, key, static_cast<uint8_t>(value.size()), value.data());
    }
    uint16_t length() const { return TXTRecordGetLength(&ref_); }
    const void* bytes() const { return TXTRecordGetBytesPtr(&ref_); }

private:
    TXTRecordRef ref_;
    char buffer_[256];  // "app" and "controlPort" need about forty bytes
};

}  // namespace

struct QLOServiceAnnouncement::State {
    DNSServiceRef service = nullptr;
    int watchId = -1;
    uint16_t port = 0;
    // The name the daemon last reported for the service; it may pick another on a name conflict.
    std::string name = kServiceName;

    static void DNSSD_API OnRegister(DNSServiceRef, DNSServiceFlags, DNSServiceErrorType error,
                                     const char* name, const char* type, const char*,
                                     void* context) {
        auto* self = static_cast<State*>(context);
        if (name != nullptr && name[0] != '\0') self->name = name;
        if (error == kDNSServiceErr_NoError) {
            Log("[Quillo Bonjour] Published '%s' type=%s port=%ld", self->name.c_str(),
                type != nullptr ? type : kServiceType, static_cast<long>(self->port));
        } else {
            Log("[Quillo Bonjour] FAILED to publish '%s' — error=%s", self->name.c_str(),
                ErrorText(error).c_str());
        }
    }

    void unwatch() {
        if (watchId >= 0) {
            qlo::runloop::RunLoop::main().unwatchFd(watchId);
            watchId = -1;
        }
    }

    // The service socket is readable: let the library read the daemon's reply and call back.
    void processResult() {
        DNSServiceErrorType error = DNSServiceProcessResult(service);
        if (error != kDNSServiceErr_NoError) {
            // The connection to the daemon is gone; its socket could stay readable for good, so
            // stop watching it. The reference itself is released by withdraw.
            unwatch();
            Log("[Quillo Bonjour] FAILED to publish '%s' — error=%s", name.c_str(),
                ErrorText(error).c_str());
        }
    }
};

QLOServiceAnnouncement::QLOServiceAnnouncement() : state_(std::make_unique<State>()) {}

QLOServiceAnnouncement::~QLOServiceAnnouncement() { withdraw(); }

void QLOServiceAnnouncement::publish(uint16_t port) {
    if (state_->service != nullptr) withdraw();  // one announcement at a time
    SilenceCompatibilityWarning();

    State& s = *state_;
    s.port = port;
    s.name = kServiceName;
    TxtRecord txt;
    txt.set("app", kAppValue);
    DNSServiceRef service = nullptr;
    DNSServiceErrorType error =
        DNSServiceRegister(&service, 0, kDNSServiceInterfaceIndexAny, kServiceName, kServiceType,
                           kServiceDomain, nullptr, htons(port), txt.length(), txt.bytes(),
                           &State::OnRegister, &s);
    if (error != kDNSServiceErr_NoError) {
        // Typically no daemon to talk to. The server goes on without an announcement; phones can
        // still connect by address.
        Log("[Quillo Bonjour] FAILED to publish '%s' — error=%s", s.name.c_str(),
            ErrorText(error).c_str());
        return;
    }
    s.service = service;
    State* state = &s;
    s.watchId = qlo::runloop::RunLoop::main().watchFd(DNSServiceRefSockFD(service),
                                                      [state] { state->processResult(); });
}

void QLOServiceAnnouncement::setControlPort(uint16_t controlPort) {
    State& s = *state_;
    if (s.service == nullptr) return;
    TxtRecord txt;
    txt.set("controlPort", std::to_string(controlPort));
    txt.set("app", kAppValue);
    // A null record reference names the service's own TXT record.
    DNSServiceErrorType error =
        DNSServiceUpdateRecord(s.service, nullptr, 0, txt.length(), txt.bytes(), 0);
    if (error != kDNSServiceErr_NoError)
        Log("[Quillo Bonjour] FAILED to update the TXT record of '%s' — error=%s", s.name.c_str(),
            ErrorText(error).c_str());
}

void QLOServiceAnnouncement::withdraw() {
    State& s = *state_;
    if (s.service == nullptr) return;
    // Unwatch first: the descriptor belongs to the reference and is closed with it.
    s.unwatch();
    DNSServiceRefDeallocate(s.service);
    s.service = nullptr;
    Log("[Quillo Bonjour] Stopped '%s'", s.name.c_str());
}

bool QLOServiceAnnouncement::isPublished() const { return state_->service != nullptr; }
