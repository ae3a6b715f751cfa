// Running one script: a fresh heap on tracked memory, the object model, the evaluation and the
// conversion of its outcome to text inside the watchdog's guard, then the heap's end - destroyed
// the ordinary way, or abandoned whole when the run was cut off.
#include <duktape.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "hostsim/script/engine_text.h"
#include "hostsim/script/extendscript.h"
#include "hostsim/script/object_model.h"
#include "hostsim/script/tracked_heap.h"
#include "hostsim/script/watchdog.h"
#include "platform/log.h"

namespace qlo::hostsim::script {

namespace {

// The file name scripts compile under; error stacks name script lines as "(extendscript:N)".
constexpr const char* kScriptFile = "extendscript";

struct Source {
    const char* text;
    size_t length;
};

enum class Finish { Completed, Threw, Aborted };

// The first script line an error stack names; 0 when none.
long ScriptLine(const char* stack) {
    if (stack == nullptr) return 0;
    const char* found = std::strstr(stack, "(extendscript:");
    if (found == nullptr) return 0;
    return std::strtol(found + std::strlen("(extendscript:"), nullptr, 10);
}

// Compiles and runs the script; leaves its completion value as text.
duk_ret_t EvaluateToText(duk_context* ctx, void* udata) {
    const auto* source = static_cast<const Source*>(udata);
    duk_push_lstring(ctx, source->text, source->length);
    duk_push_string(ctx, kScriptFile);
    duk_compile(ctx, DUK_COMPILE_EVAL);
    duk_call(ctx, 0);
    if (duk_is_undefined(ctx, -1)) {
        duk_pop(ctx);
        duk_push_string(ctx, "undefined");
    } else {
        duk_to_string(ctx, -1);
    }
    return 1;
}

// Turns the thrown value (argument 0) into the error text.
duk_ret_t ErrorToText(duk_context* ctx, void*) {
    if (!duk_is_error(ctx, 0)) {
        duk_push_string(ctx, "Error: ");
        duk_dup(ctx, 0);
        duk_to_string(ctx, -1);
        duk_concat(ctx, 2);
        return 1;
    }
    duk_get_prop_string(ctx, 0, "stack");
    const long line = ScriptLine(duk_get_string(ctx, -1));
    duk_dup(ctx, 0);
    const char* text = duk_to_string(ctx, -1);
    if (line > 0 && std::strstr(text, "(line ") == nullptr) {
        duk_push_sprintf(ctx, "%s (line %ld)", text, line);
    }
    return 1;
}

// Everything that runs script code happens between Enter and Leave, so that the watchdog can
// cut it off. After a cut-off this function returns through the jump buffer.
Finish GuardedEvaluate(RunState* run, duk_context* ctx, Source* source, double timeout) {
    if (sigsetjmp(run->jump, 1) != 0) {
        watchdog::Leave(run);
        return Finish::Aborted;
    }
    watchdog::Enter(run, timeout);
    Finish finish = Finish::Completed;
    duk_int_t rc = duk_safe_call(ctx, &InstallObjectModel, nullptr, 0, 1);
    if (rc == DUK_EXEC_SUCCESS) {
        duk_pop(ctx);
        rc = duk_safe_call(ctx, &EvaluateToText, source, 0, 1);
    }
    if (rc != DUK_EXEC_SUCCESS) {
        finish = Finish::Threw;
        if (duk_safe_call(ctx, &ErrorToText, nullptr, 1, 1) != DUK_EXEC_SUCCESS) {
            duk_pop(ctx);
            duk_push_string(ctx, "Error: the thrown value cannot be shown as text");
        }
    }
    watchdog::Leave(run);
    return finish;
}

}  // namespace

bool TimeLimitAvailable() {
    return watchdog::TimeLimitAvailable();
}

bool RunExtendScript(const std::string& script, std::string* result, std::string* error,
                     const ScriptLimits& limits) {
    if (size_t bad = 0; !IsValidUtf8(script, &bad)) {
        if (error != nullptr) {
            *error = "SyntaxError: the script is not valid UTF-8 (byte " + std::to_string(bad) + ")";
        }
        return false;
    }
    TrackedHeap heap(limits.memoryBytes);
    duk_context* ctx = duk_create_heap(&TrackedHeap::Alloc, &TrackedHeap::Realloc,
                                       &TrackedHeap::Free, &heap, &watchdog::OnFatal);
    if (ctx == nullptr) {
        if (error != nullptr) *error = "Error: the script engine cannot start (out of memory)";
        return false;
    }
    RunState run;
    Source source{script.data(), script.size()};
    const Finish finish = GuardedEvaluate(&run, ctx, &source, limits.timeoutSeconds);

    if (finish == Finish::Aborted) {
        // The engine was stopped in the middle of its work: its heap is given up whole.
        heap.releaseAll();
        std::string text;
        if (run.abortReason == kAbortTimedOut) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", limits.timeoutSeconds);
            text = std::string("Error: the script ran longer than ") + seconds +
                   " s and was stopped";
        } else {
            text = std::string("Error: the script engine failed: ") + run.fatalMessage;
        }
        log::Log("[host] script stopped: %s", text.c_str());
        if (error != nullptr) *error = text;
        return false;
    }
    size_t length = 0;
    const char* text = duk_get_lstring(ctx, -1, &length);
    // The engine's text (CESU-8) as UTF-8.
    const std::string outcome = text != nullptr ? FromEngineText(std::string_view(text, length)) : std::string();
    duk_destroy_heap(ctx);
    if (finish == Finish::Threw) {
        if (error != nullptr) *error = outcome;
        return false;
    }
    if (result != nullptr) *result = outcome;
    return true;
}

}  // namespace qlo::hostsim::script
