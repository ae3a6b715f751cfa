// Menus: the Command Suite's menu calls and choosing an item as a user (the real plug-in's
// insertion in name order is in the plug-in loading test).
#include <gtest/gtest.h>

#include "app_fixture.h"

namespace {

using namespace apptest;

TEST_F(HostFixture, OnlyHandedOutCommandsGoIntoMenusAndOnlyMenuCommandsHaveState) {
    const AEGP_Command first = NewCommand(), second = NewCommand();
    EXPECT_NE(first, second);
    const A_long sorted = AEGP_MENU_INSERT_SORTED;
    EXPECT_EQ(command->AEGP_InsertMenuCommand(second + 1, "Stranger", AEGP_Menu_WINDOW, sorted),
              A_Err_PARAMETER);
    ASSERT_EQ(command->AEGP_InsertMenuCommand(first, "Quillo", AEGP_Menu_WINDOW, sorted), A_Err_NONE);
    ASSERT_EQ(command->AEGP_CheckMarkMenuCommand(first, true), A_Err_NONE);
    EXPECT_EQ(app.checkMark("Quillo"), true);
    EXPECT_EQ(command->AEGP_CheckMarkMenuCommand(second, true), A_Err_PARAMETER);
}

// The plug-in's menu command; its update hook enables it while g_enable is set, else disables it.
AEGP_Command g_cmd = 0;
bool g_enable = true;
const AEGP_CommandSuite1* g_command = nullptr;

A_Err EnablingUpdate(AEGP_GlobalRefcon global, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    EXPECT_EQ(global, GlobalTag());
    return g_enable ? g_command->AEGP_EnableCommand(g_cmd) : g_command->AEGP_DisableCommand(g_cmd);
}

A_Err MenuCommandHook(AEGP_GlobalRefcon, AEGP_CommandRefcon, AEGP_Command cmd, AEGP_HookPriority,
                      A_Boolean, A_Boolean* handled) {
    if (cmd != g_cmd) return A_Err_NONE;
    Events().push_back("command");
    *handled = true;
    return A_Err_NONE;
}

// The update hooks run first, so what they enable or disable decides.
TEST_F(HostFixture, ChoosingUpdatesTheMenusBeforeCarryingTheCommandOutUnlessDisabled) {
    g_command = command;
    g_cmd = NewMenuCommand("Quillo");
    OnMenuUpdate(&EnablingUpdate);
    OnCommand(&MenuCommandHook);
    g_enable = false;
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Disabled);
    EXPECT_TRUE(Events().empty());
    g_enable = true;
    EXPECT_EQ(app.chooseMenuCommand("quillo"), MenuChoice::Handled) << "matched ignoring case";
    EXPECT_EQ(Events(), std::vector<std::string>{"command"});

    // A command of a plug-in whose hooks do not handle it.
    NewMenuCommand("Other");
    EXPECT_EQ(app.chooseMenuCommand("Other"), MenuChoice::NotHandled);
}

}  // namespace
