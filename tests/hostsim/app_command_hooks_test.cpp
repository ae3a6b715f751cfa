// Command dispatch: priorities, command filters, already-handled flags, the host's own handling
// of the playback command, errors, and the main-thread rule.
#include <gtest/gtest.h>

#include <thread>

#include "app_fixture.h"

namespace {

using namespace apptest;

// What one registered hook calls itself and whether it claims the command.
struct HookRole {
    const char* name;
    bool handles;
    A_Err result;
};

A_Err RoleHook(AEGP_GlobalRefcon global, AEGP_CommandRefcon refcon, AEGP_Command command,
               AEGP_HookPriority priority, A_Boolean alreadyHandled, A_Boolean* handled) {
    EXPECT_EQ(global, GlobalTag());
    EXPECT_FALSE(*handled) << "the host presets handled to false";
    const auto* role = reinterpret_cast<const HookRole*>(refcon);
    Events().push_back(std::string(role->name) + " " + std::to_string(command) +
                       (priority == AEGP_HP_BeforeAE ? " before" : " after") +
                       (alreadyHandled ? " handled" : ""));
    *handled = role->handles;
    return role->result;
}

class CommandHooks : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        mine = NewCommand();
        other = NewCommand();
    }
    void Register(AEGP_HookPriority priority, AEGP_Command filter, const HookRole& role) {
        const auto refcon = reinterpret_cast<AEGP_CommandRefcon>(const_cast<HookRole*>(&role));
        ASSERT_EQ(reg->AEGP_RegisterCommandHook(plugin, priority, filter, &RoleHook, refcon),
                  A_Err_NONE);
    }
    AEGP_Command mine = 0;
    AEGP_Command other = 0;
};

// A hook's error comes back from the command, yet the hooks after it still run.
TEST_F(CommandHooks, BeforeHostHooksRunFirstFiltersSelectAndErrorsDoNotStopTheRest) {
    static const HookRole after{"after-all", false, A_Err_NONE};
    static const HookRole onlyMine{"mine", true, A_Err_PARAMETER};
    static const HookRole all{"all", false, A_Err_NONE};
    static const HookRole onlyOther{"other", true, A_Err_NONE};
    Register(AEGP_HP_AfterAE, AEGP_Command_ALL, after);
    Register(AEGP_HP_BeforeAE, mine, onlyMine);
    Register(AEGP_HP_BeforeAE, AEGP_Command_ALL, all);
    Register(AEGP_HP_BeforeAE, other, onlyOther);

    EXPECT_EQ(command->AEGP_DoCommand(mine), A_Err_PARAMETER);
    EXPECT_TRUE(app.lastCommandHandled());
    const std::string m = std::to_string(mine);
    EXPECT_EQ(Events(), (std::vector<std::string>{"mine " + m + " before",
                                                  "all " + m + " before handled",
                                                  "after-all " + m + " after handled"}));
    Events().clear();
    ASSERT_EQ(command->AEGP_DoCommand(other), A_Err_NONE);
    const std::string o = std::to_string(other);
    EXPECT_EQ(Events(), (std::vector<std::string>{"all " + o + " before", "other " + o + " before",
                                                  "after-all " + o + " after handled"}));
    Events().clear();
    EXPECT_EQ(command->AEGP_DoCommand(other + 1), A_Err_PARAMETER);
    EXPECT_TRUE(Events().empty()) << "no hook hears of a command the host does not know";
    // Registrations without a hook or for an unknown plug-in are refused.
    EXPECT_EQ(reg->AEGP_RegisterCommandHook(plugin, AEGP_HP_BeforeAE, mine, nullptr, nullptr),
              A_Err_PARAMETER);
    EXPECT_EQ(reg->AEGP_RegisterCommandHook(plugin + 100, AEGP_HP_BeforeAE, mine, &RoleHook,
                                            nullptr),
              A_Err_PARAMETER);
    EXPECT_EQ(app.hooks().commandHookCount(), 4u);
}

TEST_F(CommandHooks, TheHostTogglesPlaybackUnlessABeforeHookTookTheCommand) {
    static const HookRole watcher{"watch", false, A_Err_NONE};
    Register(AEGP_HP_BeforeAE, AEGP_Cmd_TOGGLE_PLAYBACK, watcher);
    Register(AEGP_HP_AfterAE, AEGP_Cmd_TOGGLE_PLAYBACK, watcher);
    ASSERT_EQ(command->AEGP_DoCommand(AEGP_Cmd_TOGGLE_PLAYBACK), A_Err_NONE);
    EXPECT_TRUE(CurrentProject().playing());
    EXPECT_EQ(Events(), (std::vector<std::string>{"watch 2285 before", "watch 2285 after handled"}));
    ASSERT_EQ(command->AEGP_DoCommand(AEGP_Cmd_TOGGLE_PLAYBACK), A_Err_NONE);
    EXPECT_FALSE(CurrentProject().playing());

    static const HookRole taker{"take", true, A_Err_NONE};
    Register(AEGP_HP_BeforeAE, AEGP_Cmd_TOGGLE_PLAYBACK, taker);
    ASSERT_EQ(command->AEGP_DoCommand(AEGP_Cmd_TOGGLE_PLAYBACK), A_Err_NONE);
    EXPECT_FALSE(CurrentProject().playing()) << "the host must not play a command a hook took";
}

TEST_F(CommandHooks, SuitesRefuseCallsFromOtherThreads) {
    static const HookRole all{"all", true, A_Err_NONE};
    Register(AEGP_HP_BeforeAE, AEGP_Command_ALL, all);
    std::vector<A_Err> errors;
    AEGP_Command untouched = -1;
    std::thread([&]() {
        A_Boolean shown = false, front = false;
        errors = {command->AEGP_DoCommand(mine), command->AEGP_GetUniqueCommand(&untouched),
                  panels->AEGP_IsShown(U8("Info"), &shown, &front)};
    }).join();
    EXPECT_EQ(errors, std::vector<A_Err>(3, A_Err_WRONG_THREAD));
    EXPECT_EQ(untouched, -1);
    EXPECT_TRUE(Events().empty());
}

}  // namespace
