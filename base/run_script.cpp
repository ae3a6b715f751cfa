#include "base/run_script.h"

#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "platform/log.h"

namespace {

// Reads the zero-terminated text of a host memory handle into `text` (when wanted) and frees
// the handle. True when the handle held a text.
bool TakeText(const AEGP_MemorySuite1* memory, AEGP_MemHandle handle, std::string* text) {
    void* locked = nullptr;
    bool read = false;
    if (text != nullptr && memory->AEGP_LockMemHandle(handle, &locked) == A_Err_NONE) {
        if (locked != nullptr) {
            *text = static_cast<const char*>(locked);
            read = true;
        }
        memory->AEGP_UnlockMemHandle(handle);
    }
    memory->AEGP_FreeMemHandle(handle);
    return read;
}

}  // namespace

void RunScript(const char* script, std::string* result) {
    AEGP_SuiteHandler suites(g_basicSuite);
    AEGP_MemHandle resultH = nullptr;
    AEGP_MemHandle errorH = nullptr;
    // The call's own error code adds nothing: a failed script comes back in the error text.
    suites.UtilitySuite13()->AEGP_ExecuteScript(g_pluginID, script, true, &resultH, &errorH);
    const AEGP_MemorySuite1* memory = suites.MemorySuite1();
    std::string error;
    if (errorH != nullptr && TakeText(memory, errorH, &error)) {
        qlo::log::Log("[Quillo] Script error: %s", error.c_str());
    }
    if (resultH != nullptr) TakeText(memory, resultH, result);
}
