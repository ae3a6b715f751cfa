// Loading plug-ins: dlopen failures, entry point calls, failed starts, and unloading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <fstream>

#include "app_fixture.h"
#include "platform/log.h"

namespace {

using namespace apptest;

std::string BinaryFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    std::string exe(buffer, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.rfind('/'));
}

std::string LoadErrorOf(HostApp& app, const std::string& path) {
    try {
        app.loadPlugin(path);
    } catch (const PluginLoadError& e) {
        return e.what();
    }
    return "(loaded)";
}

TEST(PluginLoading, LibrariesThatCannotServeAsPluginsFailWithFileAndReason) {
    HostApp app;
    const std::string noEntry = BinaryFolder() + "/libqloplatform.so";  // a library without the entry point
    ASSERT_EQ(access(noEntry.c_str(), R_OK), 0) << noEntry;
    const std::string text = ::testing::TempDir() + "/not_a_library.so";
    std::ofstream(text) << "plain text\n";
    const std::vector<std::pair<std::string, std::vector<std::string>>> kFiles = {
        {"/nonexistent/folder/libnothing.so", {"No such file"}},
        {noEntry, {AEGP_ENTRY_POINT_NAME, "undefined symbol"}},
        {text, {}},
    };
    for (const auto& [path, reasons] : kFiles) {
        const std::string message = LoadErrorOf(app, path);
        EXPECT_NE(message.find(path), std::string::npos) << message;
        for (const std::string& reason : reasons) EXPECT_NE(message.find(reason), std::string::npos) << message;
    }
    std::remove(text.c_str());
    EXPECT_TRUE(app.plugins().names().empty());
}

TEST_F(HostFixture, EntryPointGetsTheBasicSuiteVersionsAndItsId) {
    EXPECT_EQ(g_entry.calls, 1);
    EXPECT_EQ(g_entry.basic, SuiteRegistry::instance().basic());
    EXPECT_EQ(std::pair(g_entry.major, g_entry.minor), std::pair(kHostMajorVersion, kHostMinorVersion));
    EXPECT_EQ(g_entry.id, plugin);
    EXPECT_EQ(app.hooks().globalRefcon(plugin), GlobalTag());

    EXPECT_NE(app.attachPlugin("second", &RecordingEntry), plugin);
}

// An entry point that registers hooks and a panel, then fails.
A_Err FailingEntry(SPBasicSuite* basic, A_long, A_long, AEGP_PluginID id, AEGP_GlobalRefcon*) {
    const void* table = nullptr;
    basic->AcquireSuite(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6, &table);
    auto* reg = static_cast<const AEGP_RegisterSuite6*>(table);
    reg->AEGP_RegisterIdleHook(
        id,
        [](AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) -> A_Err {
            Events().push_back("idle of failed plug-in");
            return A_Err_NONE;
        },
        nullptr);
    reg->AEGP_RegisterDeathHook(
        id,
        [](AEGP_GlobalRefcon, AEGP_DeathRefcon) -> A_Err {
            Events().push_back("death of failed plug-in");
            return A_Err_NONE;
        },
        nullptr);
    basic->ReleaseSuite(kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6);
    return A_Err_GENERIC;
}

TEST_F(HostFixture, AFailedEntryPointLeavesNothingOfThePluginBehind) {
    try {
        app.attachPlugin("failing", &FailingEntry);
        FAIL() << "a failing entry point must not load";
    } catch (const PluginLoadError& e) {
        EXPECT_NE(std::string(e.what()).find("failing"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("error 1"), std::string::npos);
    }
    EXPECT_EQ(app.hooks().idleHookCount(), 0u);
    EXPECT_EQ(app.hooks().deathHookCount(), 0u);
    app.runRounds(1);
    app.unloadPlugins();
    EXPECT_TRUE(Events().empty());
}

TEST_F(HostFixture, UnloadRunsEachPluginsDeathHooksWithItsRefconsThenForgetsItsHooks) {
    static int deathRefcon = 0;
    ASSERT_EQ(reg->AEGP_RegisterDeathHook(
                  plugin,
                  [](AEGP_GlobalRefcon global, AEGP_DeathRefcon refcon) -> A_Err {
                      EXPECT_EQ(global, GlobalTag());
                      EXPECT_EQ(refcon, reinterpret_cast<AEGP_DeathRefcon>(&deathRefcon));
                      Events().push_back("death");
                      return A_Err_NONE;
                  },
                  reinterpret_cast<AEGP_DeathRefcon>(&deathRefcon)),
              A_Err_NONE);
    ASSERT_EQ(reg->AEGP_RegisterIdleHook(
                  plugin,
                  [](AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) -> A_Err {
                      Events().push_back("idle");
                      return A_Err_NONE;
                  },
                  nullptr),
              A_Err_NONE);

    app.unloadPlugins();
    EXPECT_EQ(Events(), (std::vector<std::string>{"death"}));
    EXPECT_FALSE(app.plugins().contains(plugin));
    app.runRounds(2);
    app.shutdown();
    EXPECT_EQ(Events(), (std::vector<std::string>{"death"}));
    // Hooks of a plug-in that is gone cannot be registered.
    EXPECT_EQ(reg->AEGP_RegisterIdleHook(plugin, [](AEGP_GlobalRefcon, AEGP_IdleRefcon,
                                                    A_long*) -> A_Err { return A_Err_NONE; },
                                         nullptr),
              A_Err_PARAMETER);
}

// The real plug-in, built next to the tests: it loads through dlopen, puts its menu command
// into the Window menu in name order, and releases every suite it held when it dies.
TEST(PluginLoading, TheQuilloLibraryLoadsRegistersItsCommandAndUnloadsCleanly) {
    const std::string path = BinaryFolder() + "/libquillo.so";
    ASSERT_EQ(access(path.c_str(), R_OK), 0) << "build the quillo target: " << path;
    qlo::log::CaptureSink logged;
    SetCurrentProject(MakeDemoProject());
    HostApp app;
    const AEGP_PluginID id = app.loadPlugin(path);
    EXPECT_TRUE(app.plugins().contains(id));

    std::vector<std::string> names;
    for (const MenuItem& item : app.menus().menu(AEGP_Menu_WINDOW)->items) names.push_back(item.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Audio", "Info", "Preview", "Quillo", "Tracker"}));
    EXPECT_EQ(app.workspace().panelNames(), std::vector<std::string>{"Quillo"});

    app.shutdown();
    EXPECT_TRUE(logged.contains("[Quillo] Shutting down"));
    EXPECT_EQ(SuiteRegistry::instance().outstandingTotal(), 0);
    EXPECT_EQ(SuiteRegistry::instance().unbalancedReleases(), 0);
}

}  // namespace
