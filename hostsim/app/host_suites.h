// The suites the application itself offers: Command Suite 1, Register Suite 6 and Workspace
// Panel Suite 1. Their functions reach the process's HostApp through HostApp::current(); with
// no application they fail with A_Err_NOT_AVAILABLE, and called from any thread but the main
// thread they fail with A_Err_WRONG_THREAD and change nothing.
#pragma once

#include "hostsim/suite_registry.h"

namespace qlo::hostsim {

void RegisterHostSuites(SuiteRegistry& registry);
void UnregisterHostSuites(SuiteRegistry& registry);

}  // namespace qlo::hostsim
