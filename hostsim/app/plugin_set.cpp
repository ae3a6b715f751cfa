#include "hostsim/app/plugin_set.h"

namespace qlo::hostsim {

PluginSet::Plugin& PluginSet::add(const std::string& name, std::unique_ptr<PluginLibrary> library) {
    plugins_.push_back(Plugin{nextId_++, name, std::move(library)});
    return plugins_.back();
}

PluginSet::Plugin PluginSet::takeLast() {
    Plugin plugin = std::move(plugins_.back());
    plugins_.pop_back();
    return plugin;
}

bool PluginSet::contains(AEGP_PluginID plugin) const {
    for (const Plugin& p : plugins_) {
        if (p.id == plugin) return true;
    }
    return false;
}

std::vector<std::string> PluginSet::names() const {
    std::vector<std::string> names;
    for (const Plugin& p : plugins_) names.push_back(p.name);
    return names;
}

}  // namespace qlo::hostsim
