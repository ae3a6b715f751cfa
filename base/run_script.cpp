#include "base/run_script.h"

#include "base/host_handles.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "platform/log.h"

void RunScript(const char* script, std::string* result) {
    AEGP_SuiteHandler suites(g_basicSuite);
    const AEGP_UtilitySuite13* utility = suites.UtilitySuite13();
    // The texts come back as memory handles, which go back to the host whatever happens next.
    HostMemory resultH(suites.MemorySuite1());
    HostMemory errorH(suites.MemorySuite1());
    // The call's own error code adds nothing: a failed script comes back in the error text.
    utility->AEGP_ExecuteScript(g_pluginID, script, true, resultH.out(), errorH.out());
    std::string error;
    if (errorH.readText(&error)) qlo::log::Log("[Quillo] Script error: %s", error.c_str());
    if (result != nullptr) resultH.readText(result);
}
