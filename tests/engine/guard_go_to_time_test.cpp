// The "Go to Time" guard closes the host's modal dialog (the loop then runs in the modal-panel
// mode) through its confirming button, else by ending the modal loop; other windows stay.
#include "hostsim/app/go_to_time_dialog.h"
#include "platform/ui/button.h"
#include "plugin_fixture.h"

TEST_F(PluginTest, GoToTimeGuardClosesTheDialogThroughReturnKeyOrOkInAnyCaseElseEndsTheModalLoop) {
    // Opens the dialog and runs rounds while it is up (about 1 s at most); the clicks on OK and Cancel.
    const auto run = [&](const qh::GoToTimeDialogStyle& style) {
        EXPECT_NE(app->openGoToTimeDialog(style), nullptr);
        qh::GoToTimeDialog* d = app->goToTimeDialog();
        auto ok = d->okButton() ? d->okButton()->shared_from_this() : nullptr;
        auto cancel = d->cancelButton()->shared_from_this();
        for (int i = 0; i < 20 && app->modalWindow() != nullptr; ++i) app->runRound(0.05);
        return std::make_pair(ok ? static_cast<qlo::ui::Button&>(*ok).clickCount() : -1,
                              static_cast<qlo::ui::Button&>(*cancel).clickCount());
    };
    EXPECT_EQ(run({}), std::make_pair(1, 0));
    EXPECT_EQ(run({.title = "Go To Time", .okTitle = "oK", .okKeyEquivalent = ""}), std::make_pair(1, 0));
    EXPECT_EQ(run({.hasOkButton = false}), std::make_pair(-1, 0));
    EXPECT_EQ(app->modalWindow(), nullptr);
    EXPECT_EQ(log.count("[Quillo] auto-dismissed Go-to-Time dialog (global guard)"), 3u);
    run({.title = "Go to time"});  // the title test is case-sensitive
    EXPECT_NE(app->modalWindow(), nullptr);
    EXPECT_EQ(log.count("auto-dismissed"), 3u);
}
