// Fault injection for the stand-in host's suites: any suite function can be made to fail on
// purpose, by its SDK name ("AEGP_GetLayerName", or without the prefix), on its Nth call or on
// every call. quillo-host arms faults from its command line (--fail-suite) and its console
// (`fail`); tests arm them directly. A failed call returns the fault's error at once and does
// nothing else: no out-parameter is written, no project state changes.
//
// Covered: every function of the model suites (Item, Item View, Comp, Proj, Layer, Stream,
// Keyframe, Memory, Render Options, Render, World, Utility), which all enter through the same
// guard, and AcquireSuite of the basic suite (by the name "AcquireSuite").
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/AE_SDK.h"

namespace qlo::hostsim {

struct SuiteFault {
    std::string function;       // SDK name without "AEGP_"
    int call = 0;               // 1-based call to fail, counted from when armed; 0: every call
    A_Err error = A_Err_GENERIC;
};

// Reads "NAME", "NAME:N" or "NAME:always" (NAME alone fails every call). False, with the reason
// in *error, for an unknown function or a bad count.
bool ParseSuiteFault(std::string_view faultText, SuiteFault* out, std::string* error);

// The SDK names of the functions faults can be armed on, without "AEGP_".
const std::vector<std::string>& FaultableSuiteFunctions();

class SuiteFaults {
public:
    static SuiteFaults& instance();

    // Arms a fault; calls are counted from now (a second fault on the same function shares the
    // count started by the first).
    void arm(const SuiteFault& fault);
    // Disarms every fault and forgets the counts.
    void clear();
    bool armed() const { return armed_.load(std::memory_order_relaxed); }

    // Called on entry of every covered suite function with its name (as the compiler spells the
    // function: the SDK name without "AEGP_"). The error to return instead of running the call,
    // or A_Err_NONE.
    A_Err check(const char* function);

    // Calls seen since the function's first fault was armed, and calls failed on purpose.
    int calls(std::string_view function) const;
    int injected(std::string_view function) const;
    int injectedTotal() const;
    // Calls that returned A_Err_STRUCT: a handle that is stale (its object deleted, disposed or
    // freed) or of the wrong kind. A plug-in that re-resolves its handles stops causing these.
    void noteHandleError();
    int handleErrors() const { return handleErrors_.load(); }
    // One line per armed function: its faults, calls seen and calls failed.
    std::vector<std::string> describe() const;

private:
    SuiteFaults() = default;
    struct Rule {
        bool always = false;
        std::vector<int> calls;  // the 1-based calls to fail
        A_Err error = A_Err_GENERIC;
        int seen = 0;
        int failed = 0;
    };
    std::atomic<bool> armed_{false};
    std::atomic<int> handleErrors_{0};
    mutable std::mutex mutex_;
    std::map<std::string, Rule, std::less<>> rules_;
};

// The name a fault is armed under: `name` without a leading "AEGP_".
std::string_view SuiteFunctionName(std::string_view name);

}  // namespace qlo::hostsim
