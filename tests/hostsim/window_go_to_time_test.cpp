// The "Go to Time" dialog: a modal session (idle hooks wait), what OK, Cancel, stopModal and
// abortModal do, and the console commands that drive it.
#include <sstream>

#include "hostsim/app/console.h"
#include "platform/log.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
using qlo::runloop::Mode;
namespace ui = qlo::ui;

A_Err NoIdle(AEGP_GlobalRefcon, AEGP_IdleRefcon, A_long*) { return A_Err_NONE; }

class GoToTime : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        demo->currentTime = 2.5;
    }
    ui::TextField& Field() { return app.goToTimeDialog()->field(); }
    // Types `text` and presses OK; whether the dialog closed.
    bool Ok(const std::string& text) {
        Field().setStringValue(text);
        app.goToTimeDialog()->okButton()->performClick();
        return app.goToTimeDialog() == nullptr;
    }
};

TEST_F(GoToTime, TheMenuCommandOpensAModalDialogThatHoldsBackIdleHooks) {
    ASSERT_EQ(reg->AEGP_RegisterIdleHook(plugin, &NoIdle, nullptr), A_Err_NONE);
    ASSERT_EQ(app.chooseMenuCommand("Go to Time..."), MenuChoice::Handled);
    ui::Window* dialog = app.modalWindow();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(std::tuple(dialog->title(), dialog->isVisible(), Field().stringValue(), app.mode()),
              std::tuple(std::string("Go to Time"), true, std::string("0:00:02:15"), Mode::ModalPanel));
    EXPECT_EQ(app.runRound(0).idleHooksCalled, 0) << "idle hooks wait while the dialog is up";
    EXPECT_EQ(app.chooseMenuCommand("Go to Time..."), MenuChoice::Disabled) << "one dialog at a time";
    app.goToTimeDialog()->cancelButton()->performClick();
    EXPECT_EQ(std::tuple(app.modalWindow(), app.mode()), std::tuple(nullptr, Mode::Default));
    EXPECT_EQ(app.runRound(0).idleHooksCalled, 1);
}

TEST_F(GoToTime, OkAppliesAReadableTimeAndCancelNothing) {
    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    Field().setStringValue("7");
    app.goToTimeDialog()->cancelButton()->performClick();
    EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);

    qlo::log::CaptureSink log;
    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    EXPECT_FALSE(Ok("not a time")) << "an unreadable time keeps the dialog up";
    demo->frameRate = 3000000;
    EXPECT_FALSE(Ok("999999999:00:00:00")) << "a frame count that does not fit is refused, not wrapped";
    demo->frameRate = 30;
    EXPECT_TRUE(log.contains("is refused: the time does not fit")) << ::testing::PrintToString(log.lines());
    EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);
    EXPECT_TRUE(Ok("0:00:04:15"));
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_DOUBLE_EQ(demo->currentTime, 4.5);
    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    EXPECT_TRUE(Ok("25"));
    EXPECT_DOUBLE_EQ(demo->currentTime, 10.0) << "clamped to the composition";
}

TEST_F(GoToTime, StoppingOrAbortingTheSessionAppliesNothing) {
    for (bool abort : {false, true}) {
        ASSERT_NE(app.openGoToTimeDialog(), nullptr);
        Field().setStringValue("8");
        abort ? ui::Application::shared().abortModal() : ui::Application::shared().stopModal();
        EXPECT_EQ(std::tuple(app.goToTimeDialog(), app.modalWindow(), app.mode()),
                  std::tuple(nullptr, nullptr, Mode::Default));
        EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);
    }
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(app.openGoToTimeDialog(), nullptr) << "no composition, no dialog";
    EXPECT_EQ(app.doCommand(kHostCmdGoToTime), A_Err_GENERIC);
}

TEST_F(GoToTime, ConsoleCommandsOpenAndCloseTheDialog) {
    std::ostringstream out;
    Console console(app, out);
    const auto said = [&](const std::string& line, const std::string& part) {
        out.str("");
        console.feed(line + "\n");
        return out.str().find(part) != std::string::npos;
    };
    EXPECT_TRUE(said("ok", "no dialog is open"));
    EXPECT_TRUE(said("goto", "\"Go to Time\" dialog open at 0:00:02:15")) << out.str();
    EXPECT_TRUE(said("goto", "the Go to Time dialog is already open"));
    EXPECT_TRUE(said("script app.project.activeItem.time", "result: 2.5")) << "scripts run while it is up";
    EXPECT_TRUE(said("ok soon", "the dialog stays open: \"soon\" is not a time"));
    EXPECT_TRUE(said("ok 0:00:03:00", "Demo: time 3 s (0:00:03:00) of 10 s")) << out.str();
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_TRUE(said("goto", "dialog open"));
    EXPECT_TRUE(said("cancel", "dialog closed (Cancel)"));
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_DOUBLE_EQ(demo->currentTime, 3.0);
}

}  // namespace
