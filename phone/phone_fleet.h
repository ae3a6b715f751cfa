// Several phones in one process (--count N): phone i (from 1) is named "NAME i", binds its
// sockets to the i-th consecutive IPv4 address from --source-ip (default 127.0.0.2), gets its own
// hand for the handheld path, and runs its own session on its own thread with its own line prefix.
// A single phone runs exactly as given.
#pragma once

#include "phone/options.h"
#include "phone/phone_session.h"

#include <atomic>
#include <ostream>
#include <string>
#include <vector>

namespace qlophone {

// The IPv4 address `index` places after `first` ("127.0.0.2" + 1 = "127.0.0.3"); empty when
// `first` is not IPv4 or the sum leaves the address space.
std::optional<std::string> NextIpv4(const std::string& first, uint32_t index);

// The options of each phone; empty with `error` when the addresses run out.
std::vector<Options> PhoneOptionsFor(const Options& options, std::string& error);

struct FleetResult {
    std::vector<Options> phones;
    std::vector<SessionResult> results;  // one per phone, same order
    Failure failure;                     // the first failing phone's failure (or a set-up failure)

    int exitCode() const { return ExitCodeFor(failure.kind); }
};

// Runs every phone until all have finished; `stop` (may be null) ends them all. Writes
// --stats-json when asked (a failure to write is the run's failure when the phones succeeded).
FleetResult RunFleet(const Options& options, std::ostream& out, std::ostream& err, const std::atomic<bool>* stop);

}  // namespace qlophone
