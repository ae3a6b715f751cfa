// The phone list against the real server: empty state, rows, selection across refreshes, the eye
// toggle, and the split-view button and timer as phones come and go.
#include <cstring>

#include "host/plugin.h"
#include "panel/panel_fixture.h"
#include "platform/ui/image.h"
#include "platform/ui/scroll_view.h"

namespace ui = qlo::ui;

TEST(PanelAttach, OnlyAViewGetsAController) {
    int notAView = 0;
    EXPECT_EQ(QLOPanelController::attachToContainer(nullptr), nullptr);
    EXPECT_EQ(QLOPanelController::attachToContainer(&notAView), nullptr);
}

TEST(PanelNames, NameThenAddressThenUnknown) {
    ClientInfo c;
    EXPECT_EQ(QLOPanelController::displayNameForClient(&c), "Unknown phone");
    std::strcpy(c.ip, "127.0.0.2");
    EXPECT_EQ(QLOPanelController::displayNameForClient(&c), "127.0.0.2");
    std::strcpy(c.name, "Phone A");
    EXPECT_EQ(QLOPanelController::displayNameForClient(&c), "Phone A");
    // A name that fills its field without a terminator is read to the field's end, no further.
    std::memset(c.name, 'x', sizeof c.name);
    EXPECT_EQ(QLOPanelController::displayNameForClient(&c), std::string(sizeof c.name, 'x'));
}

TEST_F(PanelTest, EmptyStateUntilAPhoneConnectsThenRowsAndSelectionFollowTheRegistry) {
    EXPECT_FALSE(panel->emptyStack->isHidden());
    EXPECT_EQ(panel->splitViewBtn->contentTintColor(), ui::Color::calibratedWhite(0.55));

    Phone& a = connect("127.0.0.2", "?deviceName=Phone%20A", "Phone A", 1);
    connect("127.0.0.3", "", "", 2);
    connect("127.0.0.4", "?deviceName=C", "C", 3);
    advance(1.5);
    EXPECT_TRUE(panel->emptyStack->isHidden());
    EXPECT_FALSE(panel->tableScroll->isHidden());
    ASSERT_EQ(panel->table->numberOfRows(), 3);
    EXPECT_EQ(nameLabel(0).stringValue(), "Phone A");
    EXPECT_EQ(nameLabel(1).stringValue(), "127.0.0.3");
    EXPECT_EQ(eye(0).image()->symbolName(), "eye.fill");
    EXPECT_GE(nameLabel(0).frame().x, 48) << "the name stands beside the eye and phone icons";
    EXPECT_EQ(panel->viewForTableColumn(*panel->table, nullptr, 3), nullptr);  // past the last row

    // The selection follows its phone, and only it is semibold.
    panel->table->clickRow(2);
    disconnect(a, 2);
    panel->refreshClients();
    ASSERT_EQ(panel->table->selectedRow(), 1);
    EXPECT_EQ(nameLabel(1).stringValue(), "C");
    EXPECT_EQ(nameLabel(1).font().weight, ui::FontWeight::Semibold);
    EXPECT_EQ(nameLabel(0).font().weight, ui::FontWeight::Regular);

    // Once the services stop there are no phones to list.
    QLOStopServices();
    panel->refreshClients();
    EXPECT_TRUE(panel->clients().empty());
    EXPECT_FALSE(panel->emptyStack->isHidden());
}

TEST_F(PanelTest, EyeToggleDecidesFromTheServersCurrentRecord) {
    connect("127.0.0.2", "?deviceName=A", "A", 1);
    panel->refreshClients();
    const int fd = panel->clients()[0].fd;

    eye(0).performClick();
    EXPECT_FALSE(g_server->snapshotClients()[0].allowed);
    EXPECT_EQ(eye(0).image()->symbolName(), "eye.slash.fill");
    EXPECT_EQ(eye(0).toolTip(), "Phone control is blocked — click to grant");

    // The server changed behind the panel's back: the click flips the server's value.
    g_server->setClientAllowed(fd, true);
    eye(0).performClick();
    EXPECT_FALSE(g_server->snapshotClients()[0].allowed);
    eye(0).performClick();
    EXPECT_TRUE(g_server->snapshotClients()[0].allowed);
    EXPECT_EQ(eye(0).toolTip(), "Phone may control the camera — click to revoke");

    // A button whose tag names no live connection changes nothing.
    ui::Button stray("");
    stray.setTag(0);
    panel->toggleEyeClicked(stray);
    EXPECT_TRUE(g_server->snapshotClients()[0].allowed);
}

TEST_F(PanelTest, ButtonTitleAndTimerFollowThePhoneCount) {
    const char* titles[] = {"  Set Up Split View", "  Set Up 2-View Split", "  Set Up 3-View Split",
                            "  Set Up 4-View Split", "  Set Up 4-View Split"};
    for (int n = 1; n <= 5; ++n) {
        const std::string ip = "127.0.0." + std::to_string(n + 1), name = "P" + std::to_string(n);
        connect(ip.c_str(), "?deviceName=" + name, name, n);
        const auto before = panel->splitViewDebounce;
        panel->refreshClients();
        EXPECT_NE(panel->splitViewDebounce, before) << "count changed to " << n;
        EXPECT_EQ(panel->splitViewBtn->title(), titles[n - 1]);
        const auto armed = panel->splitViewDebounce;
        panel->refreshClients();
        EXPECT_EQ(panel->splitViewDebounce, armed) << "same count must not re-arm";
    }
    EXPECT_EQ(panel->splitViewBtn->contentTintColor(), ui::Color::calibratedWhite(0.92));
}
