// Shared set-up of the application tests: a HostApp with a plug-in whose entry point is linked
// into the test (attachPlugin), and the suites that plug-in acquired. Hooks written in the tests
// are plain functions (captureless lambdas) that record what happened in Events().
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "hostsim/app/host_app.h"
#include "hostsim/model/project.h"
#include "hostsim/suite_registry.h"
#include "platform/runloop.h"
#include "sdk/AE_SDK.h"

namespace apptest {

using namespace qlo::hostsim;

// The address the entry point leaves as its global refcon.
inline int g_globalTag = 0;

inline AEGP_GlobalRefcon GlobalTag() {
    return reinterpret_cast<AEGP_GlobalRefcon>(&g_globalTag);
}

// An entry point that checks what the host hands it and leaves GlobalTag() as its refcon.
inline A_Err TaggingEntry(SPBasicSuite* basic, A_long major, A_long, AEGP_PluginID,
                          AEGP_GlobalRefcon* global) {
    EXPECT_EQ(std::tuple(basic, major), std::tuple(SuiteRegistry::instance().basic(), kHostMajorVersion));
    *global = GlobalTag();
    return A_Err_NONE;
}

// Everything the tests' hooks did, in order.
inline std::vector<std::string>& Events() {
    static std::vector<std::string> events;
    return events;
}

// A hook's refcon that names it: the noting hooks below put that name into Events().
template <class Refcon>
Refcon Note(const char* name) {
    return reinterpret_cast<Refcon>(const_cast<char*>(name));
}
inline A_Err NotingIdle(AEGP_GlobalRefcon, AEGP_IdleRefcon refcon, A_long*) {
    Events().push_back(reinterpret_cast<const char*>(refcon));
    return A_Err_NONE;
}
inline A_Err NotingDeath(AEGP_GlobalRefcon global, AEGP_DeathRefcon refcon) {
    EXPECT_EQ(global, GlobalTag());
    Events().push_back(reinterpret_cast<const char*>(refcon));
    return A_Err_NONE;
}

template <class Suite>
const Suite* Acquire(const char* name, int32_t version) {
    const void* table = nullptr;  // left so when the suite is missing
    SuiteRegistry::instance().basic()->AcquireSuite(name, version, &table);
    return static_cast<const Suite*>(table);
}

inline const A_u_char* U8(const char* text) {
    return reinterpret_cast<const A_u_char*>(text);
}

inline bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override {
        Events().clear();
        SetCurrentProject(MakeDemoProject());
        plugin = app.attachPlugin("test plug-in", &TaggingEntry);
        command = Acquire<AEGP_CommandSuite1>(kAEGPCommandSuite, kAEGPCommandSuiteVersion1);
        reg = Acquire<AEGP_RegisterSuite6>(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);
        panels = Acquire<AEGP_WorkspacePanelSuite1>(kAEGPWorkspacePanelSuite,
                                                     kAEGPWorkspacePanelSuiteVersion1);
        ASSERT_TRUE(command && reg && panels);
    }

    HostApp app;
    AEGP_PluginID plugin = 0;
    const AEGP_CommandSuite1* command = nullptr;
    const AEGP_RegisterSuite6* reg = nullptr;
    const AEGP_WorkspacePanelSuite1* panels = nullptr;

    AEGP_Command NewCommand() {
        AEGP_Command cmd = 0;
        EXPECT_EQ(command->AEGP_GetUniqueCommand(&cmd), A_Err_NONE);
        return cmd;
    }
    // A new command put into the Window menu in name order.
    AEGP_Command NewMenuCommand(const char* name) {
        const AEGP_Command cmd = NewCommand();
        EXPECT_EQ(command->AEGP_InsertMenuCommand(cmd, name, AEGP_Menu_WINDOW, AEGP_MENU_INSERT_SORTED),
                  A_Err_NONE) << name;
        return cmd;
    }
    // Hook registrations of the test plug-in that must succeed.
    void OnIdle(AEGP_IdleHook hook, AEGP_IdleRefcon refcon = nullptr) {
        EXPECT_EQ(reg->AEGP_RegisterIdleHook(plugin, hook, refcon), A_Err_NONE);
    }
    void OnDeath(AEGP_DeathHook hook, AEGP_DeathRefcon refcon) {
        EXPECT_EQ(reg->AEGP_RegisterDeathHook(plugin, hook, refcon), A_Err_NONE);
    }
    void OnMenuUpdate(AEGP_UpdateMenuHook hook, AEGP_UpdateMenuRefcon refcon = nullptr) {
        EXPECT_EQ(reg->AEGP_RegisterUpdateMenuHook(plugin, hook, refcon), A_Err_NONE);
    }
    void OnCommand(AEGP_CommandHook hook, AEGP_CommandRefcon refcon = nullptr,
                   AEGP_HookPriority priority = AEGP_HP_BeforeAE,
                   AEGP_Command filter = AEGP_Command_ALL) {
        EXPECT_EQ(reg->AEGP_RegisterCommandHook(plugin, priority, filter, hook, refcon), A_Err_NONE);
    }
    void OnCreatePanel(const char* name, AEGP_CreatePanelHook hook,
                       AEGP_CreatePanelRefcon refcon = nullptr) {
        EXPECT_EQ(panels->AEGP_RegisterCreatePanelHook(plugin, U8(name), hook, refcon, true),
                  A_Err_NONE);
    }
};

}  // namespace apptest
