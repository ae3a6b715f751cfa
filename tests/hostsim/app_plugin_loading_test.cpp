// Loading plug-ins: dlopen failures, entry point calls, failed starts, and unloading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app_fixture.h"
#include "hostsim/app/options.h"
#include "platform/log.h"

namespace {

using namespace apptest;

// What loading failed with, or "(loaded)".
std::string LoadError(const std::function<void()>& load) {
    try {
        load();
    } catch (const PluginLoadError& e) {
        return e.what();
    }
    return "(loaded)";
}

TEST(PluginLoading, LibrariesThatCannotServeAsPluginsFailWithFileAndReason) {
    HostApp app;
    // A library of the project without the entry point, built next to the test program.
    const std::string noEntry =
        std::filesystem::path(DefaultPluginPath()).replace_filename("libqloplatform.so").string();
    ASSERT_EQ(access(noEntry.c_str(), R_OK), 0) << noEntry;
    const std::vector<std::pair<std::string, std::vector<std::string>>> kFiles = {
        {"/nonexistent/folder/libnothing.so", {"No such file"}},
        {noEntry, {AEGP_ENTRY_POINT_NAME, "undefined symbol"}},
    };
    for (const auto& [path, reasons] : kFiles) {
        const std::string message = LoadError([&] { app.loadPlugin(path); });
        EXPECT_TRUE(Has(message, path)) << message;
        for (const std::string& reason : reasons) EXPECT_TRUE(Has(message, reason)) << message;
    }
    EXPECT_TRUE(app.plugins().names().empty());
}

// An entry point that registers hooks, then fails.
A_Err FailingEntry(SPBasicSuite* basic, A_long, A_long, AEGP_PluginID id, AEGP_GlobalRefcon*) {
    const void* table = nullptr;
    basic->AcquireSuite(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6, &table);
    auto* reg = static_cast<const AEGP_RegisterSuite6*>(table);
    reg->AEGP_RegisterIdleHook(id, &NotingIdle, Note<AEGP_IdleRefcon>("idle of failed plug-in"));
    reg->AEGP_RegisterDeathHook(id, &NotingDeath, Note<AEGP_DeathRefcon>("death of failed plug-in"));
    basic->ReleaseSuite(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);
    return A_Err_GENERIC;
}

TEST_F(HostFixture, EntryPointsFailedStartsAndUnloading) {
    EXPECT_EQ(app.hooks().globalRefcon(plugin), GlobalTag());
    EXPECT_NE(app.attachPlugin("second", &TaggingEntry), plugin);

    // A failed entry point leaves nothing of its plug-in behind.
    const std::string error = LoadError([&] { app.attachPlugin("failing", &FailingEntry); });
    EXPECT_TRUE(Has(error, "failing") && Has(error, "error 1")) << error;
    EXPECT_EQ(app.hooks().idleHookCount() + app.hooks().deathHookCount(), 0u);
    app.runRounds(1);
    EXPECT_TRUE(Events().empty());

    // Unloading runs each plug-in's death hooks with its refcons, then forgets its hooks.
    OnDeath(&NotingDeath, Note<AEGP_DeathRefcon>("death"));
    OnIdle(&NotingIdle, Note<AEGP_IdleRefcon>("idle"));
    Events().clear();
    app.unloadPlugins();
    EXPECT_EQ(Events(), (std::vector<std::string>{"death"}));
    EXPECT_FALSE(app.plugins().contains(plugin));
    app.runRounds(2);
    app.shutdown();
    EXPECT_EQ(Events(), (std::vector<std::string>{"death"}));
    // Hooks of a plug-in that is gone cannot be registered.
    EXPECT_EQ(reg->AEGP_RegisterIdleHook(plugin, &NotingIdle, Note<AEGP_IdleRefcon>("late")),
              A_Err_PARAMETER);
}

// The real plug-in, built next to the tests: it loads through dlopen, puts its menu command
// into the Window menu in name order, and releases every suite it held when it dies.
TEST(PluginLoading, TheQuilloLibraryLoadsRegistersItsCommandAndUnloadsCleanly) {
    const std::string path = DefaultPluginPath();  // next to the test program
    ASSERT_EQ(access(path.c_str(), R_OK), 0) << "build the quillo target: " << path;
    qlo::log::CaptureSink logged;
    SetCurrentProject(MakeDemoProject());
    HostApp app;
    const AEGP_PluginID id = app.loadPlugin(path);
    EXPECT_TRUE(app.plugins().contains(id));

    // Audio, Info, Preview, Quillo, Tracker
    EXPECT_EQ(app.menus().menu(AEGP_Menu_WINDOW)->items.at(3).name, "Quillo") << "in name order";
    EXPECT_EQ(app.workspace().panelNames(), std::vector<std::string>{"Quillo"});

    app.shutdown();
    EXPECT_TRUE(logged.contains("[Quillo] Shutting down"));
    EXPECT_EQ(SuiteRegistry::instance().outstandingTotal(), 0);
    EXPECT_EQ(SuiteRegistry::instance().unbalancedReleases(), 0);
}

}  // namespace
