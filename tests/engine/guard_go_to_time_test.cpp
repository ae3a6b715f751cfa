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
    // Opens the dialog, types `time`, lets the guard's period pass three times over; then the
    // clicks on OK and Cancel (-1: no such button).
    std::pair<int, int> openAndWait(const qh::GoToTimeDialogStyle& style, const std::string& time = "0") {
        EXPECT_NE(app->openGoToTimeDialog(style), nullptr);
        qh::GoToTimeDialog* d = app->goToTimeDialog();
        d->field().setStringValue(time);
        auto ok = d->okButton() ? d->okButton()->shared_from_this() : nullptr;
        auto cancel = d->cancelButton() ? d->cancelButton()->shared_from_this() : nullptr;
        RunLoop::main().advance(0.4, app->mode());
        const auto clicks = [](const auto& b) { return b ? static_cast<qlo::ui::Button&>(*b).clickCount() : -1; };
        return {clicks(ok), clicks(cancel)};
    }
    // Opens the default dialog: the guard closes it through OK if it runs, else the test cancels it.
    void expectGuard(bool running) {
        EXPECT_EQ(openAndWait({}), std::make_pair(running ? 1 : 0, 0));
        EXPECT_EQ(app->modalWindow() == nullptr, running);
        if (!running) cancelDialog();
    }
    void cancelDialog() {
        ASSERT_NE(app->goToTimeDialog(), nullptr);
        app->goToTimeDialog()->cancelButton()->performClick();
    }
};

TEST_F(GoToTimeGuard, ClosesEveryVariantThroughReturnKeyOrOkElseEndsTheModalLoop) {
    const struct {
        qh::GoToTimeDialogStyle style;
        std::pair<int, int> clicks;
        bool applied;
    } kCases[] = {
        {{}, {1, 0}, true},
        {{.title = "Go To Time", .okTitle = "oK", .okKeyEquivalent = ""}, {1, 0}, true},
        // The return key wins over a button titled OK.
        {{.okKeyEquivalent = "", .cancelKeyEquivalent = "\r"}, {0, 1}, false},
        {{.hasOkButton = false}, {-1, 0}, false},
        {{.hasOkButton = false, .hasCancelButton = false}, {-1, -1}, false},
    };
    double time = 1;
    for (const auto& c : kCases) {
        comp->currentTime = 0;
        EXPECT_EQ(openAndWait(c.style, std::to_string(time)), c.clicks) << c.style.title;
        EXPECT_EQ(app->modalWindow(), nullptr) << c.style.title;
        EXPECT_DOUBLE_EQ(comp->currentTime, c.applied ? time : 0.0) << c.style.title;
        time += 1;
    }
    EXPECT_EQ(log.count("[Quillo] auto-dismissed Go-to-Time dialog (global guard)"), std::size(kCases));
    openAndWait({.title = "Go to time"});  // the title test is case-sensitive
    EXPECT_NE(app->modalWindow(), nullptr);
    EXPECT_EQ(log.count("auto-dismissed"), std::size(kCases));
    cancelDialog();
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
