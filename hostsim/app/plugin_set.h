// The plug-ins an application has loaded, in load order: each with the id handed to its entry
// point (counting up from 1, never reused) and its library (none for an entry point linked into
// the process).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "hostsim/app/plugin_library.h"
#include "sdk/AE_Types.h"

namespace qlo::hostsim {

class PluginSet {
public:
    struct Plugin {
        AEGP_PluginID id = 0;
        std::string name;
        std::unique_ptr<PluginLibrary> library;  // null for an attached entry point
    };

    // Adds a plug-in under the next id; returns it.
    Plugin& add(const std::string& name, std::unique_ptr<PluginLibrary> library);
    // Takes out the plug-in added last (there must be one).
    Plugin takeLast();
    Plugin& last() { return plugins_.back(); }
    bool empty() const { return plugins_.empty(); }

    bool contains(AEGP_PluginID plugin) const;
    std::vector<std::string> names() const;

private:
    std::vector<Plugin> plugins_;
    AEGP_PluginID nextId_ = 1;
};

}  // namespace qlo::hostsim
