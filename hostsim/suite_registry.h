// The stand-in host's basic suite: the table of suites it offers, acquired and released by name
// and version. One registry per process (the basic suite's functions carry no context), reached
// through SuiteRegistry::instance().
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "sdk/SPBasicSuite.h"

namespace qlo::hostsim {

class SuiteRegistry {
public:
    static SuiteRegistry& instance();

    // Offers `table` under (name, version). A second add for the same pair replaces the table.
    void add(const std::string& name, int32_t version, const void* table);
    // Withdraws a suite (for tests of a host that lacks one).
    void remove(const std::string& name, int32_t version);
    // Drops every suite and every count (for tests).
    void clear();

    // The basic suite handed to plug-ins.
    SPBasicSuite* basic();

    // Acquisitions not yet released, and acquisitions ever made, of one suite.
    int outstanding(const std::string& name, int32_t version) const;
    int acquired(const std::string& name, int32_t version) const;
    // Sum of outstanding acquisitions over every suite.
    int outstandingTotal() const;
    // Releases of a suite that was not held (a plug-in fault the host reports).
    int unbalancedReleases() const;

    // Called by the basic suite's functions.
    SPErr acquire(const char* name, int32_t version, const void** suite);
    SPErr release(const char* name, int32_t version);

private:
    SuiteRegistry();
    using Key = std::pair<std::string, int32_t>;
    struct Entry {
        const void* table = nullptr;
        int outstanding = 0;
        int acquired = 0;
    };
    mutable std::mutex mutex_;
    std::map<Key, Entry> suites_;
    int unbalanced_ = 0;
    SPBasicSuite basic_{};
};

}  // namespace qlo::hostsim
