#include "bench/plugin_host.h"

#include "host/plugin.h"
#include "hostsim/model/project.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"

namespace qlo::bench {

namespace {
std::unique_ptr<hostsim::HostApp> s_host;
}  // namespace

hostsim::HostApp& PluginHost() {
    if (!s_host) {
        qlo::log::SetStderrEnabled(false);
        QLOSetServicePorts(0, 0);
        hostsim::SetCurrentProject(hostsim::MakeDemoProject());
        s_host = std::make_unique<hostsim::HostApp>();
        s_host->attachPlugin("Quillo", &EntryPointFunc);
        s_host->chooseMenuCommand(kQLOPanelName);  // shows the panel: the services start
        // No reverse lookups of phones: none connect here.
        if (g_server != nullptr) g_server->setNameLookup([](const sockaddr*, socklen_t) { return std::string(); });
    }
    return *s_host;
}

void EndPluginHost() { s_host.reset(); }

}  // namespace qlo::bench
