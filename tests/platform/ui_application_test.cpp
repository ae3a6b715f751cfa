// The view toolkit's application: the windows it knows, modal sessions (nesting, responses,
// completions, the program's hooks) and the blocking modal loop.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/runloop.h"
#include "platform/ui/application.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ui;
using qlo::runloop::Mode;
using qlo::runloop::RunLoop;

class UiApplication : public ::testing::Test {
protected:
    void TearDown() override {
        app.abortAllModalSessions();
        app.setModalHooks({});
        RunLoop::main().reset();
    }
    Application& app = Application::shared();
};

TEST_F(UiApplication, SessionsNestAndEndInnermostFirstWithTheirResponse) {
    std::vector<std::string> events;
    app.setModalHooks({[&]() { events.push_back("began"); }, [&]() { events.push_back("ended"); }, {}});
    auto outer = std::make_shared<Window>("Outer", Rect{});
    auto inner = std::make_shared<Window>("Inner", Rect{});
    EXPECT_EQ(app.modalWindow(), nullptr);
    app.stopModal();  // nothing to stop

    app.beginModalSession(outer, [&](int response) { events.push_back("outer " + std::to_string(response)); });
    EXPECT_TRUE(outer->isVisible());
    app.beginModalSession(inner);
    EXPECT_EQ(app.modalWindow(), inner.get());
    EXPECT_EQ(app.modalSessionCount(), 2u);

    app.stopModalWithCode(kModalResponseOK);
    EXPECT_FALSE(inner->isVisible()) << "a session without completion closes its window";
    EXPECT_EQ(app.modalWindow(), outer.get());
    app.abortModal();
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"began", "began", "ended", "ended", "outer -1001"}));
    EXPECT_THROW(app.beginModalSession(nullptr), std::invalid_argument);
}

TEST_F(UiApplication, KnowsItsWindowsWhileTheyExist) {
    const size_t before = app.windows().size();
    {
        Window a("A", Rect{});
        Window b("B", Rect{});
        ASSERT_EQ(app.windows().size(), before + 2);
        EXPECT_EQ(app.windows()[before], &a);
        EXPECT_EQ(app.windows()[before + 1], &b);
    }
    EXPECT_EQ(app.windows().size(), before);
}

TEST_F(UiApplication, RunModalBlocksUntilAModalPanelTimerStopsIt) {
    RunLoop::main().useManualClock(false);
    auto dialog = std::make_shared<Window>("Dialog", Rect{});
    int defaultFired = 0;
    auto stopper = RunLoop::main().addTimer(0.01, false, [&](qlo::runloop::Timer&) {
        EXPECT_EQ(app.modalWindow(), dialog.get());
        app.stopModalWithCode(kModalResponseOK);
    }, {Mode::ModalPanel});
    auto other = RunLoop::main().addTimer(0.001, true, [&](qlo::runloop::Timer&) { ++defaultFired; });
    EXPECT_EQ(app.runModalForWindow(dialog), kModalResponseOK);
    EXPECT_EQ(defaultFired, 0) << "the modal loop runs the ModalPanel mode only";
    EXPECT_TRUE(dialog->isVisible()) << "the caller closes it";
    other->invalidate();

    // A program's runner that gives up (quitting) aborts the session.
    app.setModalHooks({{}, {}, [](const std::function<bool()>&) {}});
    EXPECT_EQ(app.runModalForWindow(dialog), kModalResponseAbort);
    EXPECT_EQ(app.modalWindow(), nullptr);
}

}  // namespace
