#include "hostsim/suite_faults.h"

#include <algorithm>
#include <charconv>

#include "platform/log.h"

namespace qlo::hostsim {

namespace {

const char* const kFaultable[] = {
    // Item 14, Item View 1, Comp 25, Proj 9
    "GetFirstProjItem", "GetNextProjItem", "GetActiveItem", "GetItemType", "GetItemName", "GetItemDimensions",
    "GetItemDuration", "GetItemCurrentTime", "GetItemMRUView", "GetItemViewPlaybackTime", "GetCompFromItem",
    "GetItemFromComp", "GetCompFramerate", "CreateCameraInComp", "GetNumProjects", "GetProjectByIndex",
    // Layer 15, Stream 11, Keyframe 5
    "GetCompNumLayers", "GetCompLayerByIndex", "GetLayerName", "GetLayerObjectType", "GetLayerFlags", "SetLayerFlag",
    "GetNewLayerStream", "DisposeStream", "GetStreamType", "GetNewStreamValue", "DisposeStreamValue",
    "SetStreamValue", "GetStreamNumKFs", "GetKeyframeTime", "InsertKeyframe", "DeleteKeyframe",
    "GetNewKeyframeValue", "SetKeyframeValue", "SetKeyframeInterpolation",
    // Memory 1
    "NewMemHandle", "FreeMemHandle", "LockMemHandle", "UnlockMemHandle", "GetMemHandleSize",
    // Render Options 3, Render 8, World 3, Utility 13
    "NewFromItem", "SetTime", "GetTime", "SetWorldType", "SetDownsampleFactor", "Dispose",
    "RenderAndCheckoutFrame", "CheckinFrame", "GetReceiptWorld", "GetType", "GetSize", "GetRowBytes",
    "ExecuteScript",
    // Command 1, Register 6, Workspace Panel 1
    "GetUniqueCommand", "InsertMenuCommand", "RemoveMenuCommand", "EnableCommand", "DisableCommand",
    "CheckMarkMenuCommand", "DoCommand", "RegisterCommandHook", "RegisterUpdateMenuHook",
    "RegisterDeathHook", "RegisterIdleHook", "RegisterCreatePanelHook", "UnRegisterCreatePanelHook",
    "SetPanelTitle", "ToggleVisibility", "IsShown",
    // the basic suite
    "AcquireSuite",
};

}  // namespace

std::string_view SuiteFunctionName(std::string_view name) {
    constexpr std::string_view kPrefix = "AEGP_";
    if (name.substr(0, kPrefix.size()) == kPrefix) name.remove_prefix(kPrefix.size());
    return name;
}

const std::vector<std::string>& FaultableSuiteFunctions() {
    static const std::vector<std::string> names(std::begin(kFaultable), std::end(kFaultable));
    return names;
}

bool ParseSuiteFault(std::string_view faultText, SuiteFault* out, std::string* error) {
    const size_t colon = faultText.find(':');
    const std::string_view name = SuiteFunctionName(faultText.substr(0, colon));
    const auto& known = FaultableSuiteFunctions();
    if (std::find(known.begin(), known.end(), name) == known.end()) {
        *error = "no suite function " + std::string(faultText.substr(0, colon)) + " can be made to fail";
        return false;
    }
    SuiteFault fault;
    fault.function = std::string(name);
    if (colon != std::string_view::npos) {
        const std::string_view when = faultText.substr(colon + 1);
        if (when != "always") {
            int n = 0;
            const auto [end, ec] = std::from_chars(when.data(), when.data() + when.size(), n);
            if (ec != std::errc() || end != when.data() + when.size() || n < 1) {
                *error = "a fault's call is a number from 1, or \"always\": " + std::string(faultText);
                return false;
            }
            fault.call = n;
        }
    }
    *out = fault;
    return true;
}

SuiteFaults& SuiteFaults::instance() {
    static SuiteFaults faults;
    return faults;
}

void SuiteFaults::arm(const SuiteFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    Rule& rule = rules_[std::string(SuiteFunctionName(fault.function))];
    if (fault.call == 0) rule.always = true;
    else rule.calls.push_back(fault.call);
    rule.error = fault.error;
    armed_.store(true);
}

void SuiteFaults::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    rules_.clear();
    armed_.store(false);
}

A_Err SuiteFaults::check(const char* function) {
    if (!armed() || function == nullptr) return A_Err_NONE;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = rules_.find(std::string_view(function));
    if (it == rules_.end()) return A_Err_NONE;
    Rule& rule = it->second;
    ++rule.seen;
    const bool fail = rule.always || std::find(rule.calls.begin(), rule.calls.end(), rule.seen) != rule.calls.end();
    if (!fail) return A_Err_NONE;
    // The first failure of each function is logged; an always-failing one would flood the log.
    if (rule.failed++ == 0) {
        log::Log("[host] fault injected: AEGP_%s fails (call %d, error %d)", function, rule.seen,
                 static_cast<int>(rule.error));
    }
    return rule.error;
}

void SuiteFaults::noteHandleError() { handleErrors_.fetch_add(1); }

int SuiteFaults::calls(std::string_view function) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = rules_.find(SuiteFunctionName(function));
    return it == rules_.end() ? 0 : it->second.seen;
}

int SuiteFaults::injected(std::string_view function) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = rules_.find(SuiteFunctionName(function));
    return it == rules_.end() ? 0 : it->second.failed;
}

int SuiteFaults::injectedTotal() const {
    std::lock_guard<std::mutex> lock(mutex_);
    int total = 0;
    for (const auto& [name, rule] : rules_) total += rule.failed;
    return total;
}

std::vector<std::string> SuiteFaults::describe() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> lines;
    for (const auto& [name, rule] : rules_) {
        std::string when = rule.always ? "always" : "";
        for (int n : rule.calls) when += (when.empty() ? "call " : ", ") + std::to_string(n);
        lines.push_back("AEGP_" + name + ": " + when + "; " + std::to_string(rule.seen) + " calls, " +
                        std::to_string(rule.failed) + " failed");
    }
    return lines;
}

}  // namespace qlo::hostsim
