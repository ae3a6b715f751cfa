// The plug-in in-process in the stand-in host with phones on loopback (engine/plugin_fixture.h),
// plus what the reliability tests measure: the process's open descriptors and threads, the
// host's handle tables, and control requests sent as a phone sends them.
#pragma once

#include <dirent.h>

#include <nlohmann/json.hpp>

#include "engine/plugin_fixture.h"
#include "hostsim/suite_faults.h"
#include "hostsim/suite_registry.h"
#include "link/server_test_support.h"

// Entries of a /proc folder of this process: "fd" (open descriptors) or "task" (threads).
inline int CountProcEntries(const char* folder) {
    const std::string path = std::string("/proc/self/") + folder;
    DIR* dir = opendir(path.c_str());
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir)) n += e->d_name[0] != '.';
    closedir(dir);
    return n - (std::string(folder) == "fd" ? 1 : 0);  // the descriptor reading the folder
}

// Threads of this process, without the workers of the process-wide utility queue (reverse name
// lookups run there): that queue starts workers on demand, up to its limit, and keeps them idle
// for the life of the process by design.
inline int CountServiceThreads() {
    DIR* dir = opendir("/proc/self/task");
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        char name[64] = {};
        if (FILE* f = fopen((std::string("/proc/self/task/") + e->d_name + "/comm").c_str(), "r")) {
            if (fgets(name, sizeof name, f) == nullptr) name[0] = '\0';
            fclose(f);
        }
        n += std::string(name).find("utility") == std::string::npos;
    }
    closedir(dir);
    return n;
}

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

inline void PrintTo(const HostHoldings& h, std::ostream* os) {
    *os << "{mem " << h.memHandles << ", streams " << h.streamRefs << ", options " << h.renderOptions << ", receipts "
        << h.receipts << ", worlds " << h.worlds << ", suites " << h.suites << "}";
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
