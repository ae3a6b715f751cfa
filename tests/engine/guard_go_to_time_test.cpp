// The "Go to Time" guard against quillo-host's dialog: it closes the modal dialog (the loop then
// runs in the modal-panel mode) through its return-key or OK button, which applies the typed
// time, else by ending the modal loop, which applies nothing; other windows stay. The guard
// runs only while the services do.
#include "hostsim/app/go_to_time_dialog.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "plugin_fixture.h"

namespace {

using qlo::runloop::RunLoop;

class GoToTimeGuard : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        RunLoop::main().useManualClock(true);
    }
    void TearDown() override {
        RunLoop::main().useManualClock(false);
        PluginTest::TearDown();
    }
    // Opens the dialog, types `time` and lets the guard's period pass three times over.
    void openAndWait(const qh::GoToTimeDialogStyle& style, const std::string& time = "0") {
        EXPECT_NE(app->openGoToTimeDialog(style), nullptr);
        app->goToTimeDialog()->field().setStringValue(time);
        RunLoop::main().advance(0.4, app->mode());
    }
    // Opens the default dialog: the guard closes it if it runs, else the test cancels it.
    void expectGuard(bool running) {
        openAndWait({});
        EXPECT_EQ(app->modalWindow() == nullptr, running);
        if (!running) cancelDialog();
    }
    void cancelDialog() {
        ASSERT_NE(app->goToTimeDialog(), nullptr);
        app->goToTimeDialog()->cancelButton()->performClick();
    }
};

// The typed time is applied only when the guard confirms through the dialog's own button.
TEST_F(GoToTimeGuard, ClosesEveryVariantThroughReturnKeyOrOkElseEndsTheModalLoop) {
    const struct {
        qh::GoToTimeDialogStyle style;
        bool applied;
    } kCases[] = {
        {{}, true},
        {{.title = "Go To Time", .okTitle = "oK", .okKeyEquivalent = ""}, true},
        {{.okKeyEquivalent = "", .cancelKeyEquivalent = "\r"}, false},  // the return key wins over OK
        {{.hasOkButton = false}, false},
    };
    double time = 1;
    for (const auto& c : kCases) {
        comp->currentTime = 0;
        openAndWait(c.style, std::to_string(time));
        EXPECT_EQ(app->modalWindow(), nullptr) << c.style.title;
        EXPECT_DOUBLE_EQ(comp->currentTime, c.applied ? time : 0.0) << c.style.title;
        time += 1;
    }
    openAndWait({.title = "Go to time"});  // the title test is case-sensitive
    EXPECT_NE(app->modalWindow(), nullptr);
    cancelDialog();
    EXPECT_EQ(log.count("[Quillo] auto-dismissed Go-to-Time dialog (global guard)"), 4u);
}

TEST_F(GoToTimeGuard, StopsWithTheServicesAndStartsAgainWithThem) {
    ASSERT_TRUE(app->closeTab(kQLOPanelName));
    ASSERT_TRUE(log.contains("[Quillo] Stopping services"));
    expectGuard(false);
    app->chooseMenuCommand(kQLOPanelName);
    expectGuard(true);
    app->unloadPlugins();  // the death hook tears the services down
    expectGuard(false);
}

}  // namespace
