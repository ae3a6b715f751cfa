// Utility Suite 13. AEGP_ExecuteScript runs scripts through the installed script engine: the
// host application (HostApp) installs the ExtendScript engine of hostsim/script while it
// exists; tests may install another (SetScriptEngine). Without one it returns
// A_Err_NOT_AVAILABLE with the error text "script engine not available".
//
// The result handle holds the engine's result text, the error handle its error text, each
// zero-terminated 8-bit (UTF-8) text in a memory handle of the Memory Suite, allocated for the
// calling plug-in, which frees it with AEGP_FreeMemHandle. A script error gives A_Err_GENERIC.
#include <utility>

#include "hostsim/suites/handles.h"
#include "hostsim/suites/model_suites.h"
#include "hostsim/suites/suite_util.h"
#include "platform/log.h"

namespace qlo::hostsim {

using namespace detail;

namespace {

ScriptEngine& Engine() {
    static ScriptEngine engine;
    return engine;
}

// platform_encodingB is ignored: scripts and results are UTF-8 on every platform here.
A_Err ExecuteScript(AEGP_PluginID plugin_id, const A_char* utf8_scriptZ, const A_Boolean,
                    AEGP_MemHandle* resultPH0, AEGP_MemHandle* error_stringPH0) {
    return Guard([&]() -> A_Err {
        QLO_NEED(utf8_scriptZ);
        auto fail = [&](const std::string& text, A_Err err) -> A_Err {
            if (error_stringPH0) {
                AEGP_MemHandle h = NewTextHandle(plugin_id, text);
                if (!h) return A_Err_ALLOC;
                *error_stringPH0 = h;
            }
            return err;
        };
        if (!Engine()) {
            log::Log("[host] AEGP_ExecuteScript: no script engine is installed (the host "
                     "application installs one); scripts are not available");
            return fail("script engine not available", A_Err_NOT_AVAILABLE);
        }
        std::string result, error;
        if (!Engine()(utf8_scriptZ, &result, &error)) return fail(error, A_Err_GENERIC);
        if (resultPH0) {
            AEGP_MemHandle h = NewTextHandle(plugin_id, result);
            if (!h) return A_Err_ALLOC;
            *resultPH0 = h;
        }
        return A_Err_NONE;
    });
}

const AEGP_UtilitySuite13 kUtilitySuite = {ExecuteScript};

}  // namespace

void SetScriptEngine(ScriptEngine engine) { Engine() = std::move(engine); }

const AEGP_UtilitySuite13* UtilitySuite() { return &kUtilitySuite; }

}  // namespace qlo::hostsim
