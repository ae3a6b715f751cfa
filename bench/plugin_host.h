// The plug-in attached in-process to the stand-in host (demo project, services on free ports),
// kept for a whole benchmark program: a host application may exist once per process, and
// starting the services for every benchmark repetition would measure the start-up instead.
#pragma once

#include <memory>

#include "hostsim/app/host_app.h"

namespace qlo::bench {

// The host with the plug-in attached and its panel shown (services running). Made on first use.
hostsim::HostApp& PluginHost();
// Unloads the plug-in and ends the host; called once at the end of the program.
void EndPluginHost();

}  // namespace qlo::bench
