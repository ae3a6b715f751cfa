// A plug-in shared library opened with dlopen, and the entry point found in it.
#pragma once

#include <stdexcept>
#include <string>

#include "sdk/AE_Hooks.h"

namespace qlo::hostsim {

// A library that cannot be opened, lacks the entry point, or whose entry point fails. The
// message names the file and, for dlopen and dlsym failures, the loader's own words.
class PluginLoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PluginLibrary {
public:
    // Opens the library (RTLD_NOW | RTLD_LOCAL: every symbol resolved now, none shared with
    // later libraries; RTLD_NODELETE: it stays mapped until the process exits) and looks the
    // entry point up. Throws PluginLoadError.
    explicit PluginLibrary(const std::string& path);
    // Closes the library: nothing of it may be called afterwards.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    const std::string& path() const { return path_; }
    AEGP_PluginInitFuncPrototype entryPoint() const { return entry_; }

private:
    std::string path_;
    void* handle_ = nullptr;
    AEGP_PluginInitFuncPrototype entry_ = nullptr;
};

}  // namespace qlo::hostsim
