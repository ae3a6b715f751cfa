// Panels: creation through the create-panel hook, showing and hiding, shown and frontmost,
// titles, snap sizes, the user's hand on the frame, and the menu updates that follow.
#include <gtest/gtest.h>

#include "app_fixture.h"

namespace {

using namespace apptest;

// The suites the hooks below call (those the fixture acquired).
const AEGP_WorkspacePanelSuite1* g_panels = nullptr;
const AEGP_CommandSuite1* g_command = nullptr;

struct Created {
    int calls = 0;
    AEGP_GlobalRefcon global = nullptr;
    AEGP_CreatePanelRefcon refcon = nullptr;
    AEGP_PlatformViewRef container = nullptr;
    AEGP_PanelH panel = nullptr;
    A_Err result = A_Err_NONE;
};
Created g_created;
int g_panelState = 0;  // what the panel refcon points at
int g_createRefcon = 0;

A_Err SnapSizes(AEGP_PanelRefcon refcon, A_LPoint* sizes, A_long* count) {
    EXPECT_EQ(refcon, reinterpret_cast<AEGP_PanelRefcon>(&g_panelState));
    EXPECT_EQ(*count, AEGP_MAX_PANEL_SNAP_SIZES) << "the host offers room for every size";
    sizes[0] = A_LPoint{320, 240};
    sizes[1] = A_LPoint{640, 480};
    *count = 2;
    return A_Err_NONE;
}

A_Err CreatePanel(AEGP_GlobalRefcon global, AEGP_CreatePanelRefcon refcon,
                  AEGP_PlatformViewRef container, AEGP_PanelH panel,
                  AEGP_PanelFunctions1* functions, AEGP_PanelRefcon* panelRefcon) {
    g_created = Created{g_created.calls + 1, global, refcon, container, panel, g_created.result};
    if (g_created.result != A_Err_NONE) return g_created.result;
    EXPECT_EQ(g_panels->AEGP_SetPanelTitle(panel, U8("Phone Cameras")), A_Err_NONE);
    functions->GetSnapSizes = &SnapSizes;
    *panelRefcon = reinterpret_cast<AEGP_PanelRefcon>(&g_panelState);
    return A_Err_NONE;
}

class Panels : public HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        g_panels = panels;
        g_command = command;
        g_created = Created{};
        OnCreatePanel("Quillo", &CreatePanel, CreateRefcon());
    }
    static AEGP_CreatePanelRefcon CreateRefcon() {
        return reinterpret_cast<AEGP_CreatePanelRefcon>(&g_createRefcon);
    }
    A_Err Toggle() { return panels->AEGP_ToggleVisibility(U8("Quillo")); }
    // Shown and frontmost, as the plug-in asks.
    std::pair<bool, bool> Shown() {
        A_Boolean shown = 7, front = 7;
        EXPECT_EQ(panels->AEGP_IsShown(U8("Quillo"), &shown, &front), A_Err_NONE);
        return {shown != 0, front != 0};
    }
};

// A failed creation shows nothing and is tried again on the next show.
TEST_F(Panels, TheFirstGoodShowCreatesThePanelOnceLaterTogglesShowAndHide) {
    EXPECT_EQ(Shown(), std::pair(false, false));
    EXPECT_EQ(g_created.calls, 0) << "registering does not create";
    g_created.result = A_Err_ALLOC;
    EXPECT_EQ(Toggle(), A_Err_ALLOC);
    EXPECT_EQ(Shown(), std::pair(false, false));
    std::vector<A_LPoint> sizes;

    g_created.result = A_Err_NONE;
    ASSERT_EQ(Toggle(), A_Err_NONE);
    EXPECT_EQ(std::tuple(g_created.calls, g_created.global, g_created.refcon),
              std::tuple(2, GlobalTag(), CreateRefcon()));
    EXPECT_EQ(Shown(), std::pair(true, true));
    const auto info = app.workspace().panel("Quillo");
    ASSERT_TRUE(info.has_value() && info->container != nullptr);
    EXPECT_EQ(std::pair(info->title, info->container),
              std::pair(std::string("Phone Cameras"), g_created.container));
    ASSERT_EQ(app.panelSnapSizes("Quillo", &sizes), A_Err_NONE);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(std::pair(sizes[1].x, sizes[1].y), std::pair(640, 480));

    ASSERT_EQ(Toggle(), A_Err_NONE);
    EXPECT_EQ(Shown(), std::pair(false, false));
    ASSERT_EQ(Toggle(), A_Err_NONE);
    EXPECT_EQ(g_created.calls, 2) << "a hidden panel stays created";
    EXPECT_EQ(app.workspace().panel("Quillo")->container, g_created.container);
}

TEST_F(Panels, BadNamesAndStaleHandlesAreRefused) {
    EXPECT_EQ(panels->AEGP_ToggleVisibility(U8("Nope")), A_Err_PARAMETER);
    ASSERT_EQ(Toggle(), A_Err_NONE);
    const AEGP_PanelH handle = g_created.panel;
    ASSERT_EQ(panels->AEGP_UnRegisterCreatePanelHook(U8("Quillo")), A_Err_NONE);
    EXPECT_FALSE(app.workspace().tabShown("Quillo"));
    EXPECT_EQ(panels->AEGP_SetPanelTitle(handle, U8("Gone")), A_Err_STRUCT) << "stale handle";
    EXPECT_EQ(panels->AEGP_UnRegisterCreatePanelHook(U8("Quillo")), A_Err_PARAMETER);
}

// A plug-in like the real one: its menu command toggles the panel, its menu update checks the
// item while the panel is shown and frontmost.
AEGP_Command g_panelCmd = 0;

A_Err ToggleOnCommand(AEGP_GlobalRefcon, AEGP_CommandRefcon, AEGP_Command cmd, AEGP_HookPriority,
                      A_Boolean, A_Boolean* handled) {
    if (cmd != g_panelCmd) return A_Err_NONE;
    const A_Err err = g_panels->AEGP_ToggleVisibility(U8("Quillo"));
    Events().push_back("command done");
    *handled = true;
    return err;
}

A_Err CheckWhenShown(AEGP_GlobalRefcon, AEGP_UpdateMenuRefcon, AEGP_WindowType) {
    A_Boolean shown = false, front = false;
    A_Err err = g_panels->AEGP_IsShown(U8("Quillo"), &shown, &front);
    if (!err) err = g_command->AEGP_CheckMarkMenuCommand(g_panelCmd, shown && front);
    Events().push_back(shown ? "update shown" : "update hidden");
    return err;
}

class PanelMenu : public Panels {
protected:
    void SetUp() override {
        Panels::SetUp();
        g_panelCmd = NewMenuCommand("Quillo");
        OnCommand(&ToggleOnCommand);
        OnMenuUpdate(&CheckWhenShown);
    }
};

// The menus are updated once the command that toggled the panel has returned, and when the user
// covers, uncovers or closes its tab.
TEST_F(PanelMenu, TheMenuItemFollowsThePanelWhoeverMovesIt) {
    using Strings = std::vector<std::string>;
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Handled);
    EXPECT_EQ(Events(), (Strings{"update hidden", "command done", "update shown"}));
    EXPECT_EQ(std::pair(app.checkMark("Quillo"), g_created.calls), std::pair(std::optional(true), 1));
    ASSERT_TRUE(app.bringTabToFront("Audio"));
    EXPECT_EQ(app.checkMark("Quillo"), false) << "covered: shown but not frontmost";
    ASSERT_TRUE(app.bringTabToFront("Quillo"));
    EXPECT_EQ(app.checkMark("Quillo"), true);

    Events().clear();
    EXPECT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Handled);
    EXPECT_EQ(Events(), (Strings{"update shown", "command done", "update hidden"}));
    EXPECT_EQ(app.checkMark("Quillo"), false);

    ASSERT_EQ(app.chooseMenuCommand("Quillo"), MenuChoice::Handled);
    Events().clear();
    ASSERT_TRUE(app.closeTab("Quillo"));
    EXPECT_EQ(Events(), Strings{"update hidden"});
    EXPECT_EQ(app.checkMark("Quillo"), false);
}

}  // namespace
