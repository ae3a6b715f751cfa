// Control requests over loopback, and host suites with single functions replaced.
#pragma once

#include "hostsim/suite_registry.h"
#include "link/server_test_support.h"
#include "plugin_fixture.h"

// Replaces the suite by a copy that `edit` changes.
template <class Suite, class Edit>
void OverrideSuite(const char* name, int32_t version, Edit edit) {
    auto& registry = qlo::hostsim::SuiteRegistry::instance();
    const void* host = nullptr;
    registry.acquire(name, version, &host), registry.release(name, version);
    static Suite copy;
    edit(copy = *static_cast<const Suite*>(host));
    registry.add(name, version, &copy);
}

struct ControlTest : PluginTest {
    // The body of the answer to GET path.
    std::string get(const std::string& path) { auto a = qlotest::Exchange(httpPort, qlotest::Get(path)); return a.substr(a.find("\r\n\r\n") + 4); }
    // Posts a timeline command and runs the pass that carries it out.
    void command(const std::string& body) {
        qlotest::Exchange(httpPort, qlotest::Post("/timeline", body));
        ASSERT_TRUE(g_server->hasPendingTimelineCommand());
        pass();
    }
};
