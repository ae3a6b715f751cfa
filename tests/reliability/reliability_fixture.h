// The plug-in in-process in the stand-in host with phones on loopback (engine/plugin_fixture.h),
// plus what the reliability tests measure: the host's handle tables, and control requests sent
// as a phone sends them.
#pragma once

#include "engine/plugin_fixture.h"
#include "hostsim/suite_faults.h"
#include "hostsim/suite_registry.h"
#include "link/server_test_support.h"

// What the host holds for the plug-in between two calls: every table that a leak would grow.
struct HostHoldings {
    size_t memHandles, streamRefs, renderOptions, receipts, worlds;
    int suites;
    bool operator==(const HostHoldings&) const = default;
};

inline HostHoldings Holdings() {
    return {qh::LiveMemHandles(), qh::LiveStreamRefs(), qh::LiveRenderOptions(), qh::LiveFrameReceipts(),
            qh::LiveWorlds(), qh::SuiteRegistry::instance().outstandingTotal()};
}

class ReliabilityTest : public PluginTest {
protected:
    void TearDown() override {
        qh::SuiteFaults::instance().clear();
        PluginTest::TearDown();
    }
    // A control request from `ip`, answered by the server's HTTP queue while the test waits.
    std::string control(const std::string& request, const char* ip = "127.0.0.9") {
        return qlotest::Exchange(httpPort, request, ip);
    }
    // Runs passes until `done` or 5 s.
    template <class F>
    bool passUntil(F done) {
        return WaitFor([&] { return pass(), done(); });
    }
};
