// The "Go to Time" dialog: a modal session, and what OK, Cancel and stopModal do
// (the console's commands that drive it are in the console's test).
#include <functional>

#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"
#include "script_fixture.h"

namespace {

using namespace scripttest;
using qlo::runloop::Mode;
namespace ui = qlo::ui;

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

// Cancel and stopping the modal session close the dialog and apply nothing.
TEST_F(GoToTime, TheMenuCommandOpensAModalDialogThatClosesUnappliedButThroughOk) {
    const std::function<void()> kClosers[] = {
        [this] { app.goToTimeDialog()->cancelButton()->performClick(); },
        [] { ui::Application::shared().stopModal(); },  // as the plug-in does without an OK button
    };
    for (size_t i = 0; i < std::size(kClosers); ++i) {
        ASSERT_EQ(app.chooseMenuCommand("Go to Time..."), MenuChoice::Handled) << i;
        ui::Window* dialog = app.modalWindow();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(std::tuple(dialog->title(), dialog->isVisible(), Field().stringValue(), app.mode()),
                  std::tuple(std::string("Go to Time"), true, std::string("0:00:02:15"),
                             Mode::ModalPanel));
        EXPECT_EQ(app.chooseMenuCommand("Go to Time..."), MenuChoice::Disabled) << "one at a time";
        Field().setStringValue("8");
        kClosers[i]();
        EXPECT_EQ(std::tuple(app.goToTimeDialog(), app.modalWindow(), app.mode()),
                  std::tuple(nullptr, nullptr, Mode::Default)) << i;
        EXPECT_DOUBLE_EQ(demo->currentTime, 2.5) << i;
    }

    ASSERT_NE(app.openGoToTimeDialog(), nullptr);
    EXPECT_FALSE(Ok("not a time")) << "an unreadable time keeps the dialog up";
    EXPECT_DOUBLE_EQ(demo->currentTime, 2.5);
    EXPECT_TRUE(Ok("0:00:04:15"));
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_DOUBLE_EQ(demo->currentTime, 4.5);

    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(app.openGoToTimeDialog(), nullptr) << "no composition, no dialog";
    EXPECT_EQ(app.doCommand(kHostCmdGoToTime), A_Err_GENERIC);
}

}  // namespace
