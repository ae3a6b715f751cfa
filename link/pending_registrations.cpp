#include "link/pending_registrations.h"

#include <algorithm>

void PendingRegistrations::forgetExpired(Clock::time_point now) {
    std::erase_if(regs_, [now](const auto& entry) { return now - entry.second.at >= kPendingRegMaxAge; });
}

void PendingRegistrations::put(const std::string& ip, PendingReg reg, Clock::time_point now) {
    forgetExpired(now);
    if (regs_.find(ip) == regs_.end() && regs_.size() >= kMaxPendingRegs) {
        auto oldest = std::min_element(regs_.begin(), regs_.end(),
                                       [](const auto& a, const auto& b) { return a.second.at < b.second.at; });
        regs_.erase(oldest);
    }
    regs_[ip] = Kept{std::move(reg), now};
}

std::optional<PendingReg> PendingRegistrations::take(const std::string& ip, Clock::time_point now) {
    forgetExpired(now);
    auto it = regs_.find(ip);
    if (it == regs_.end()) return std::nullopt;
    PendingReg reg = std::move(it->second.reg);
    regs_.erase(it);
    return reg;
}
