// The ExtendScript engine of quillo-host, on Duktape: AEGP_ExecuteScript runs scripts here.
//
// Every script runs in a fresh Duktape heap (a new global object): nothing a script defines
// is seen by the next one. The host's objects (app, app.project, CompItem, ...; see
// object_model.h) are set up in each heap.
//
// Result: the completion value of the script as text, as String(value) gives it; undefined
// gives "undefined" (as ExtendScript reports it).
// Errors: a syntax error, an uncaught throw, a script that runs past its time limit or one that
// asks for more memory than its limit gives false with the error text: String(error) for an
// Error object ("TypeError: ...", "Error: ...") with " (line N)" added, N the line of the
// script where it was thrown, when the text does not already name the line; "Error: " and the
// value's text for any other thrown value.
//
// Text: the script, its result and its error are UTF-8; strings reach the object model as UTF-8
// and come back from it converted (engine_text.h). A script that is not valid UTF-8 is not run
// ("SyntaxError: the script is not valid UTF-8 (byte N)"); a string with a lone surrogate passed
// to a host call throws a TypeError; in a result or error text a lone surrogate shows as U+FFFD.
//
// Time limit: a script still running after timeoutSeconds is cut off while the engine runs
// its own code (never inside a host call the script made, which always completes) and its
// heap is dropped whole. This is done with a timer signal; where it is not possible (the
// engine's code cannot be located, or a thread sanitizer build) scripts run without a limit.
//
// Main thread (or any one thread at a time); scripts may nest (a host call of a script runs
// another script), each with its own heap and limits.
#pragma once

#include <cstddef>
#include <string>

namespace qlo::hostsim::script {

struct ScriptLimits {
    double timeoutSeconds = 5.0;
    size_t memoryBytes = size_t{64} << 20;
};

// Runs a script (UTF-8). True with *result filled, false with *error filled.
bool RunExtendScript(const std::string& script, std::string* result, std::string* error,
                     const ScriptLimits& limits = {});

// Whether a script that runs too long can be cut off in this process.
bool TimeLimitAvailable();

}  // namespace qlo::hostsim::script
