// The plug-in frame driven in-process against the stand-in host: a HostApp with the demo
// project, and the plug-in's entry point attached as a loaded plug-in would be.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/plugin.h"
#include "hostsim/app/host_app.h"
#include "hostsim/model/project.h"
#include "hostsim/suite_registry.h"
#include "platform/log.h"

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        qlo::log::SetStderrEnabled(false);
        QLOSetServicePorts(0, 0);
        qlo::hostsim::SetCurrentProject(qlo::hostsim::MakeDemoProject());
        app = std::make_unique<qlo::hostsim::HostApp>();
    }
    void TearDown() override { app.reset(); }

    qlo::hostsim::SuiteRegistry& registry() { return qlo::hostsim::SuiteRegistry::instance(); }
    AEGP_PluginID attach() { return app->attachPlugin("Quillo", &EntryPointFunc); }
    size_t starts() const { return log.count("[Quillo] Starting services"); }
    size_t stops() const { return log.count("[Quillo] Stopping services"); }
    bool panelShown() const { return app->workspace().tabShown(kQLOPanelName); }
    std::optional<bool> checked() const { return app->checkMark(kQLOPanelName); }
    // The port at the end of the only log line starting with `prefix`; empty unless there is one.
    std::string loggedPort(const std::string& prefix) const {
        const auto lines = log.matching(prefix);
        return lines.size() == 1 ? lines[0].substr(lines[0].rfind(' ') + 1) : "";
    }
    // Puts a copy of the host's suite in its place and returns the copy for the test to edit;
    // `host` receives the host's own.
    template <class Suite>
    Suite& replaceSuite(const char* name, int32_t version, const Suite** host = nullptr) {
        const void* own = nullptr;
        registry().acquire(name, version, &own), registry().release(name, version);
        static Suite copy;
        copy = *static_cast<const Suite*>(own);
        if (host) *host = static_cast<const Suite*>(own);
        registry().add(name, version, &copy);
        return copy;
    }
    int panelSuiteHeld() {
        return registry().outstanding(kAEGPWorkspacePanelSuite, kAEGPWorkspacePanelSuiteVersion1);
    }

    qlo::log::CaptureSink log;
    std::unique_ptr<qlo::hostsim::HostApp> app;
};
