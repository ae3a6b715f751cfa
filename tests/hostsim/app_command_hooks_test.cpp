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

AEGP_CommandRefcon Role(const HookRole& role) {
    return reinterpret_cast<AEGP_CommandRefcon>(const_cast<HookRole*>(&role));
}

// A hook's error comes back from the command, yet the hooks after it still run.
TEST_F(HostFixture, BeforeHostHooksRunFirstFiltersSelectAndErrorsDoNotStopTheRest) {
    const AEGP_Command mine = NewCommand(), other = NewCommand();
    static const HookRole after{"after-all", false, A_Err_NONE}, all{"all", false, A_Err_NONE};
    static const HookRole onlyMine{"mine", true, A_Err_PARAMETER}, onlyOther{"other", true, 0};
    OnCommand(&RoleHook, Role(after), AEGP_HP_AfterAE);
    OnCommand(&RoleHook, Role(onlyMine), AEGP_HP_BeforeAE, mine);
    OnCommand(&RoleHook, Role(all));
    OnCommand(&RoleHook, Role(onlyOther), AEGP_HP_BeforeAE, other);

    EXPECT_EQ(command->AEGP_DoCommand(mine), A_Err_PARAMETER);
    EXPECT_TRUE(app.lastCommandHandled());
    const std::string m = std::to_string(mine), o = std::to_string(other);
    EXPECT_EQ(Events(), (std::vector<std::string>{"mine " + m + " before",
                                                  "all " + m + " before handled",
                                                  "after-all " + m + " after handled"}));
    Events().clear();
    ASSERT_EQ(command->AEGP_DoCommand(other), A_Err_NONE);
    EXPECT_EQ(Events(), (std::vector<std::string>{"all " + o + " before", "other " + o + " before",
                                                  "after-all " + o + " after handled"}));
    Events().clear();
    EXPECT_EQ(command->AEGP_DoCommand(other + 1), A_Err_PARAMETER);
    EXPECT_TRUE(Events().empty()) << "no hook hears of a command the host does not know";
}

TEST_F(HostFixture, TheHostTogglesPlaybackUnlessABeforeHookTookTheCommand) {
    static const HookRole watcher{"watch", false, A_Err_NONE}, taker{"take", true, A_Err_NONE};
    OnCommand(&RoleHook, Role(watcher), AEGP_HP_BeforeAE, AEGP_Cmd_TOGGLE_PLAYBACK);
    OnCommand(&RoleHook, Role(watcher), AEGP_HP_AfterAE, AEGP_Cmd_TOGGLE_PLAYBACK);
    for (const bool playing : {true, false}) {
        ASSERT_EQ(command->AEGP_DoCommand(AEGP_Cmd_TOGGLE_PLAYBACK), A_Err_NONE);
        EXPECT_EQ(CurrentProject().playing(), playing);
    }
    ASSERT_EQ(Events().size(), 4u);
    EXPECT_EQ(Events()[0] + ", " + Events()[1], "watch 2285 before, watch 2285 after handled");
    OnCommand(&RoleHook, Role(taker), AEGP_HP_BeforeAE, AEGP_Cmd_TOGGLE_PLAYBACK);
    ASSERT_EQ(command->AEGP_DoCommand(AEGP_Cmd_TOGGLE_PLAYBACK), A_Err_NONE);
    EXPECT_FALSE(CurrentProject().playing()) << "the host must not play a command a hook took";
}

// Every suite function goes through one guard; a call from another thread changes nothing.
TEST_F(HostFixture, SuitesRefuseCallsFromOtherThreads) {
    AEGP_Command untouched = -1;
    A_Err err = A_Err_NONE;
    std::thread([&]() { err = command->AEGP_GetUniqueCommand(&untouched); }).join();
    EXPECT_EQ(std::pair(err, untouched), std::pair(A_Err(A_Err_WRONG_THREAD), AEGP_Command{-1}));
}

}  // namespace
