#include "hostsim/app/plugin_library.h"

#include <dlfcn.h>

namespace qlo::hostsim {

namespace {

std::string LoaderError() {
    const char* text = dlerror();
    return text != nullptr ? text : "unknown loader error";
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) : path_(path) {
    dlerror();  // clear a stale message so the one reported belongs to this call
    // RTLD_NODELETE: closing a plug-in ends its use, but its code and the libraries it brought
    // stay mapped until the process exits. Libraries such as the D-Bus client keep process-wide
    // state (connections, caches, exit handlers) that is never torn down; unmapping them would
    // strand that state, or leave handlers pointing at unmapped code.
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle_ == nullptr) {
        throw PluginLoadError("cannot load plug-in " + path + ": " + LoaderError());
    }
    dlerror();
    void* symbol = dlsym(handle_, AEGP_ENTRY_POINT_NAME);
    if (symbol == nullptr) {
        std::string reason = LoaderError();
        dlclose(handle_);
        handle_ = nullptr;
        throw PluginLoadError("plug-in " + path + " has no entry point " AEGP_ENTRY_POINT_NAME
                              ": " + reason);
    }
    entry_ = reinterpret_cast<AEGP_PluginInitFuncPrototype>(symbol);
}

PluginLibrary::~PluginLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
}

}  // namespace qlo::hostsim
