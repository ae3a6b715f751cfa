#include "hostsim/app/log_notices.h"

namespace qlo::hostsim {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

const char* const kReopen = "Close it, then reopen the Quillo panel (`panel hide`, `panel show`).";

}  // namespace

std::optional<std::string> NoticeForLogLine(const std::string& line) {
    if (StartsWith(line, "[Quillo] Failed to start MJPEG server")) {
        return "port " + std::to_string(kPhoneHttpPort) +
               " (TCP) is in use by another program; phones cannot connect. " + kReopen;
    }
    if (StartsWith(line, "[Quillo] Failed to start motion receiver")) {
        return "port " + std::to_string(kPhoneMotionPort) +
               " (UDP) is in use by another program; phones cannot move their cameras. " + kReopen;
    }
    // dns_sd.h's kDNSServiceErr_Unknown: the library could not reach a daemon.
    if (StartsWith(line, "[Quillo Bonjour] FAILED to publish") &&
        line.find("NSNetServicesErrorCode = -65537;") != std::string::npos) {
        return "no DNS-SD daemon is running (avahi-daemon on Linux), so phones cannot find Quillo "
               "by name. They can still connect by address: quillo-phone --host 127.0.0.1 (port " +
               std::to_string(kPhoneHttpPort) + ").";
    }
    if (StartsWith(line, "[Quillo Bonjour] FAILED to publish")) {
        return "Quillo could not announce itself over DNS-SD, so phones may not find it by name. "
               "They can still connect by address: quillo-phone --host 127.0.0.1 (port " +
               std::to_string(kPhoneHttpPort) + ").";
    }
    return std::nullopt;
}

}  // namespace qlo::hostsim
