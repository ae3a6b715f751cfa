// Menus: insertion positions, the Command Suite's menu calls, and choosing an item as a user.
#include <gtest/gtest.h>

#include "app_fixture.h"
#include "hostsim/app/menu_bar.h"

namespace {

using namespace apptest;

std::vector<std::string> Names(const Menu& menu) {
    std::vector<std::string> names;
    for (const MenuItem& item : menu.items) names.push_back(item.name);
    return names;
}

TEST(MenuBarModel, InsertionPositions) {
    MenuBar bar;
    bar.addMenu(AEGP_Menu_WINDOW, "Window");
    // Sorted ignores case ("quillo" between "Info" and "Tracker"); a position past the end appends.
    const A_long sorted = AEGP_MENU_INSERT_SORTED;
    const std::vector<std::pair<const char*, A_long>> kInserts = {
        {"Info", sorted}, {"Tracker", sorted}, {"Audio", sorted}, {"quillo", sorted},
        {"Zoom", sorted}, {"First", AEGP_MENU_INSERT_AT_TOP}, {"Last", AEGP_MENU_INSERT_AT_BOTTOM},
        {"Second", 1}, {"Far", 100}};
    AEGP_Command cmd = 0;
    for (const auto& [name, where] : kInserts) {
        ASSERT_EQ(bar.insert(++cmd, name, AEGP_Menu_WINDOW, where), A_Err_NONE) << name;
    }
    EXPECT_EQ(Names(*bar.menu(AEGP_Menu_WINDOW)),
              (std::vector<std::string>{"First", "Second", "Audio", "Info", "quillo", "Tracker",
                                        "Zoom", "Last", "Far"}));
}

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
    ASSERT_EQ(command->AEGP_RemoveMenuCommand(first), A_Err_NONE);
    EXPECT_EQ(app.checkMark("Quillo"), std::nullopt);
    EXPECT_EQ(command->AEGP_RemoveMenuCommand(first), A_Err_PARAMETER);
    // A removed command may be inserted again.
    EXPECT_EQ(command->AEGP_InsertMenuCommand(first, "Quillo", AEGP_Menu_WINDOW, sorted), A_Err_NONE);
}

// The plug-in's command and its state, for the hooks below.
AEGP_Command g_cmd = 0;
bool g_disableInUpdate = false;
const AEGP_CommandSuite1* g_command = nullptr;

A_Err UpdateHook(AEGP_GlobalRefcon global, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    EXPECT_EQ(global, GlobalTag());
    Events().push_back("update");
    A_Err err = g_disableInUpdate ? g_command->AEGP_DisableCommand(g_cmd)
                                  : g_command->AEGP_EnableCommand(g_cmd);
    return err ? err : g_command->AEGP_CheckMarkMenuCommand(g_cmd, !g_disableInUpdate);
}

A_Err MenuCommandHook(AEGP_GlobalRefcon, AEGP_CommandRefcon, AEGP_Command cmd, AEGP_HookPriority,
                      A_Boolean, A_Boolean* handled) {
    if (cmd != g_cmd) return A_Err_NONE;
    Events().push_back("command");
    *handled = true;
    return A_Err_NONE;
}

TEST_F(HostFixture, ChoosingUpdatesTheMenusBeforeCarryingTheCommandOutUnlessDisabled) {
    g_command = command;
    g_disableInUpdate = false;
    g_cmd = NewMenuCommand("Quillo");
    OnMenuUpdate(&UpdateHook);
    OnCommand(&MenuCommandHook);
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Handled);
    EXPECT_EQ(Events(), (std::vector<std::string>{"update", "command"}));
    EXPECT_EQ(app.checkMark("Quillo"), true);
    // The text is matched ignoring case when there is no exact match.
    EXPECT_EQ(app.chooseMenuCommand("quillo"), MenuChoice::Handled);

    Events().clear();
    g_disableInUpdate = true;
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Disabled);
    EXPECT_EQ(Events(), std::vector<std::string>{"update"});
    EXPECT_EQ(app.checkMark("Quillo"), false);

    // A command of a plug-in whose hooks do not handle it.
    NewMenuCommand("Other", AEGP_Menu_LAYER, AEGP_MENU_INSERT_AT_BOTTOM);
    EXPECT_EQ(app.chooseMenuCommand("Other"), MenuChoice::NotHandled);
}

}  // namespace
