// Memory and open files of a quillo-host process over a run with streaming phones, sampled once
// a second from /proc.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace qlo::bench {

struct ProcessSample {
    long rssKb = 0;
    long fds = 0;
    long threads = 0;
};

// The resident set, open descriptors and threads of a process; all 0 when it is gone.
ProcessSample SampleProcess(int pid);

// Runs quillo-host on its fixed ports with `phones` phones for `seconds` and reports the samples
// at the start (once the phones stream), at the end and the largest, with the growth.
nlohmann::json RunFootprint(const std::string& hostProgram, const std::string& phoneProgram,
                            const std::string& folder, double seconds, int phones);

}  // namespace qlo::bench
