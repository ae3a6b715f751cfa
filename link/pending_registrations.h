// Registrations waiting for their phone's stream, by the IP text they came from. A phone
// registers and opens its stream a moment later; a registration whose stream never comes must
// not stay for ever, and registrations from ever new addresses must not grow the table without
// end. So the table has a bound and an age limit: a registration older than kPendingRegMaxAge is
// forgotten, and when the table is full the oldest one makes room for a new one (a new
// registration is never refused). Not thread-safe: the server uses it on its clients queue only.
#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "link/link_types.h"

// More phones than anyone holds up at once register within this many of each other.
inline constexpr size_t kMaxPendingRegs = 64;
// A phone's stream follows its registration within a second; one that reconnects after losing
// its Wi-Fi comes back within a minute or two. Five minutes keeps the registration for both, and a
// stale name does not stay for long to be handed to another device that gets the same address.
inline constexpr std::chrono::minutes kPendingRegMaxAge{5};

class PendingRegistrations {
public:
    using Clock = std::chrono::steady_clock;

    // Keeps the registration for `ip`, replacing an earlier one from it.
    void put(const std::string& ip, PendingReg reg, Clock::time_point now);
    // Takes (and removes) the registration for `ip`, if one younger than the age limit is there.
    std::optional<PendingReg> take(const std::string& ip, Clock::time_point now);
    size_t size() const { return regs_.size(); }

private:
    struct Kept {
        PendingReg reg;
        Clock::time_point at;
    };
    void forgetExpired(Clock::time_point now);

    std::map<std::string, Kept> regs_;
};
