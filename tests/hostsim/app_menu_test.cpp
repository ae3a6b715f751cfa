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
    const std::vector<std::pair<const char*, A_long>> kInserts = {
        {"Info", AEGP_MENU_INSERT_SORTED},  {"Tracker", AEGP_MENU_INSERT_SORTED},  {"Audio", AEGP_MENU_INSERT_SORTED},
        {"quillo", AEGP_MENU_INSERT_SORTED}, {"Zoom", AEGP_MENU_INSERT_SORTED},     {"First", AEGP_MENU_INSERT_AT_TOP},
        {"Last", AEGP_MENU_INSERT_AT_BOTTOM}, {"Second", 1},                        {"Far", 100}};
    AEGP_Command cmd = 0;
    for (const auto& [name, where] : kInserts) ASSERT_EQ(bar.insert(++cmd, name, AEGP_Menu_WINDOW, where), A_Err_NONE);
    EXPECT_EQ(Names(*bar.menu(AEGP_Menu_WINDOW)),
              (std::vector<std::string>{"First", "Second", "Audio", "Info", "quillo", "Tracker", "Zoom", "Last", "Far"}));
}

TEST_F(HostFixture, OnlyHandedOutCommandsGoIntoMenusAndOnlyMenuCommandsHaveState) {
    const AEGP_Command first = NewCommand(), second = NewCommand();
    EXPECT_NE(first, second);
    EXPECT_EQ(command->AEGP_InsertMenuCommand(second + 1, "Stranger", AEGP_Menu_WINDOW,
                                              AEGP_MENU_INSERT_SORTED),
              A_Err_PARAMETER);
    ASSERT_EQ(command->AEGP_InsertMenuCommand(first, "Quillo", AEGP_Menu_WINDOW,
                                              AEGP_MENU_INSERT_SORTED),
              A_Err_NONE);
    ASSERT_EQ(command->AEGP_CheckMarkMenuCommand(first, true), A_Err_NONE);
    EXPECT_EQ(app.checkMark("Quillo"), true);
    EXPECT_EQ(command->AEGP_CheckMarkMenuCommand(second, true), A_Err_PARAMETER);
    ASSERT_EQ(command->AEGP_RemoveMenuCommand(first), A_Err_NONE);
    EXPECT_EQ(app.checkMark("Quillo"), std::nullopt);
    EXPECT_EQ(command->AEGP_RemoveMenuCommand(first), A_Err_PARAMETER);
    // A removed command may be inserted again.
    EXPECT_EQ(command->AEGP_InsertMenuCommand(first, "Quillo", AEGP_Menu_WINDOW,
                                              AEGP_MENU_INSERT_SORTED),
              A_Err_NONE);
}

// The plug-in's command and its state, for the hooks below.
AEGP_Command g_cmd = 0;
bool g_disableInUpdate = false;
const AEGP_CommandSuite1* g_command = nullptr;

A_Err UpdateHook(AEGP_GlobalRefcon global, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    EXPECT_EQ(global, GlobalTag());
    Events().push_back("update");
    A_Err err = g_disableInUpdate ? g_command->AEGP_DisableCommand(g_cmd) : g_command->AEGP_EnableCommand(g_cmd);
    return err ? err : g_command->AEGP_CheckMarkMenuCommand(g_cmd, !g_disableInUpdate);
}

A_Err MenuCommandHook(AEGP_GlobalRefcon, AEGP_CommandRefcon, AEGP_Command cmd, AEGP_HookPriority,
                      A_Boolean, A_Boolean* handled) {
    if (cmd != g_cmd) return A_Err_NONE;
    Events().push_back("command");
    *handled = true;
    return A_Err_NONE;
}

class ChooseMenu : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        g_command = command;
        g_disableInUpdate = false;
        g_cmd = NewCommand();
        ASSERT_EQ(command->AEGP_InsertMenuCommand(g_cmd, "Quillo", AEGP_Menu_WINDOW,
                                                  AEGP_MENU_INSERT_SORTED),
                  A_Err_NONE);
        ASSERT_EQ(reg->AEGP_RegisterUpdateMenuHook(plugin, &UpdateHook, nullptr), A_Err_NONE);
    }
};

TEST_F(ChooseMenu, UpdatesTheMenusBeforeCarryingTheCommandOutUnlessDisabled) {
    ASSERT_EQ(reg->AEGP_RegisterCommandHook(plugin, AEGP_HP_BeforeAE, AEGP_Command_ALL,
                                            &MenuCommandHook, nullptr),
              A_Err_NONE);
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Handled);
    EXPECT_EQ(Events(), (std::vector<std::string>{"update", "command"}));
    EXPECT_EQ(app.checkMark("Quillo"), true);
    // The text is matched ignoring case when there is no exact match.
    EXPECT_EQ(app.chooseMenuCommand("quillo"), MenuChoice::Handled);
    EXPECT_EQ(app.chooseMenuCommand("No Such Item"), MenuChoice::NotFound);

    Events().clear();
    g_disableInUpdate = true;
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Disabled);
    EXPECT_EQ(Events(), std::vector<std::string>{"update"});
    EXPECT_EQ(app.checkMark("Quillo"), false);

    // A command of a plug-in whose hooks do not handle it.
    ASSERT_EQ(command->AEGP_InsertMenuCommand(NewCommand(), "Other", AEGP_Menu_LAYER,
                                              AEGP_MENU_INSERT_AT_BOTTOM),
              A_Err_NONE);
    EXPECT_EQ(app.chooseMenuCommand("Other"), MenuChoice::NotHandled);
}

// The host's own items: a tab's item shows and hides it and is checked while it shows; playing
// needs an active composition.
TEST_F(ChooseMenu, HostItemsFollowTheTabsAndTheActiveComposition) {
    app.updateMenus();
    EXPECT_EQ(app.checkMark("Info"), true);
    EXPECT_EQ(app.chooseMenuCommand("Info"), MenuChoice::Handled);
    EXPECT_FALSE(app.workspace().tabShown("Info"));
    EXPECT_EQ(app.checkMark("Info"), false) << "hiding the tab updated the menus";

    EXPECT_TRUE(app.menus().item(AEGP_Cmd_TOGGLE_PLAYBACK)->enabled);
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(app.chooseMenuCommand("Play Current Preview"), MenuChoice::Disabled);
    EXPECT_FALSE(CurrentProject().playing());
}

}  // namespace
