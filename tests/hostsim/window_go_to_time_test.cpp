// The "Go to Time" dialog: a modal session (idle hooks wait, only ModalPanel timers run), what
// OK, Cancel, stopModal and abortModal do, and the console commands that drive it.
#include <sstream>

#include "hostsim/app/console.h"
#include "platform/log.h"
#include "platform/runloop.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
using qlo::runloop::Mode;
using qlo::runloop::RunLoop;
namespace ui = qlo::ui;

int g_idleCalls = 0;
A_Err CountingIdle(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) {
    ++g_idleCalls;
    return A_Err_NONE;
}

class GoToTime : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        g_idleCalls = 0;
        demo->currentTime = 2.5;
    }
    ui::TextField& Field() { return app.goToTimeDialog()->field(); }
};

TEST_F(GoToTime, TheMenuCommandOpensAModalDialogThatHoldsBackIdleHooks) {
    ASSERT_EQ(reg->AEGP_RegisterIdleHook(plugin, &CountingIdle, nullptr), A_Err_NONE);
    int modalFired = 0;
    int defaultFired = 0;
    auto modalTimer = RunLoop::main().addTimer(0.001, true, [&](qlo::runloop::Timer&) { ++modalFired; },
                                               {Mode::ModalPanel});
    auto defaultTimer = RunLoop::main().addTimer(0.001, true, [&](qlo::runloop::Timer&) { ++defaultFired; });

    ASSERT_EQ(app.chooseMenuCommand("Go to Time..."), MenuChoice::Handled);
    ui::Window* dialog = app.modalWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->title(), "Go to Time");
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(Field().stringValue(), "0:00:02:15") << "the field holds the time as timecode";
    EXPECT_EQ(app.mode(), Mode::ModalPanel);
    app.updateMenus();
    EXPECT_EQ(app.chooseMenuCommand("Go to Time..."), MenuChoice::Disabled) << "one dialog at a time";

    for (int i = 0; i < 2000 && modalFired < 3; ++i) app.runRound(0.01);
    EXPECT_GE(modalFired, 3);
    EXPECT_EQ(defaultFired, 0);
    EXPECT_EQ(g_idleCalls, 0) << "idle hooks wait while the dialog is up";

    app.goToTimeDialog()->cancelButton()->performClick();
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_EQ(app.mode(), Mode::Default);
    for (int i = 0; i < 2000 && (g_idleCalls == 0 || defaultFired == 0); ++i) app.runRound(0.01);
    EXPECT_GT(g_idleCalls, 0);
    EXPECT_GT(defaultFired, 0);
    modalTimer->invalidate();
    defaultTimer->invalidate();
}

TEST_F(GoToTime, OkAppliesTheFieldAndCancelDoesNot) {
    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    Field().setStringValue("7");
    app.goToTimeDialog()->cancelButton()->performClick();
    EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);
    EXPECT_EQ(app.goToTimeDialog(), nullptr);

    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    Field().setStringValue("not a time");
    app.goToTimeDialog()->okButton()->performClick();
    ASSERT_NE(app.goToTimeDialog(), nullptr) << "an unreadable time keeps the dialog up";
    EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);

    // A timecode whose frame count does not fit is refused with the reason, not wrapped around.
    {
        qlo::log::CaptureSink log;
        demo->frameRate = 3000000;
        Field().setStringValue("999999999:00:00:00");
        app.goToTimeDialog()->okButton()->performClick();
        demo->frameRate = 30;
        ASSERT_NE(app.goToTimeDialog(), nullptr);
        EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);
        EXPECT_TRUE(log.contains("is refused: the time does not fit")) << ::testing::PrintToString(log.lines());
    }

    Field().setStringValue("0:00:04:15");
    app.goToTimeDialog()->okButton()->performClick();
    EXPECT_EQ(app.goToTimeDialog(), nullptr);
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_DOUBLE_EQ(demo->currentTime, 4.5);

    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    Field().setStringValue("25");
    app.goToTimeDialog()->okButton()->performClick();
    EXPECT_DOUBLE_EQ(demo->currentTime, 10.0) << "clamped to the composition";
}

TEST_F(GoToTime, StoppingOrAbortingTheSessionAppliesNothing) {
    for (bool abort : {false, true}) {
        ASSERT_NE(app.openGoToTimeDialog(), nullptr);
        Field().setStringValue("8");
        if (abort) {
            ui::Application::shared().abortModal();
        } else {
            ui::Application::shared().stopModal();
        }
        EXPECT_EQ(app.goToTimeDialog(), nullptr);
        EXPECT_EQ(app.modalWindow(), nullptr);
        EXPECT_EQ(app.mode(), Mode::Default);
        EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);
    }
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(app.openGoToTimeDialog(), nullptr) << "no composition, no dialog";
    EXPECT_EQ(app.doCommand(kHostCmdGoToTime), A_Err_GENERIC);
}

TEST_F(GoToTime, ConsoleCommandsOpenAndCloseTheDialog) {
    std::ostringstream out;
    Console console(app, out);
    console.feed("ok\n");
    EXPECT_NE(out.str().find("no dialog is open"), std::string::npos);
    console.feed("goto\n");
    ASSERT_NE(app.modalWindow(), nullptr);
    EXPECT_NE(out.str().find("\"Go to Time\" dialog open at 0:00:02:15"), std::string::npos) << out.str();
    console.feed("script app.project.activeItem.time\n");
    EXPECT_NE(out.str().find("result: 2.5"), std::string::npos) << "scripts run while it is up";
    console.feed("ok soon\n");
    EXPECT_NE(app.modalWindow(), nullptr);
    console.feed("ok 0:00:03:00\n");
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_DOUBLE_EQ(demo->currentTime, 3.0);
    EXPECT_NE(out.str().find("Demo: time 3 s (0:00:03:00) of 10 s"), std::string::npos) << out.str();
    console.feed("goto\ncancel\n");
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_DOUBLE_EQ(demo->currentTime, 3.0);
}

}  // namespace
