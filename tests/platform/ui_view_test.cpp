// The view toolkit: the tree (moving, removing, cycles), breadth-first order, controls whose
// action closes their window, pop-up items, and the application's modal sessions. (Frames on the
// screen, hidden views and pressing controls are checked through the accessibility elements.)
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/runloop.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ui;
using qlo::runloop::RunLoop;

std::shared_ptr<View> Named(const std::string& id) {
    auto view = std::make_shared<View>();
    view->setIdentifier(id);
    return view;
}

TEST(UiView, TheTreeMovesViewsAndRefusesCycles) {
    auto root = Named("root"), a = Named("a"), b = Named("b"), a1 = Named("a1");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(a1);
    EXPECT_TRUE(a1->isDescendantOf(*root));
    b->addSubview(a1);  // moves
    EXPECT_TRUE(a->subviews().empty());
    EXPECT_EQ(a1->superview(), b.get());
    EXPECT_THROW(a1->addSubview(root), std::invalid_argument);
    EXPECT_THROW(b->addSubview(b), std::invalid_argument);
    EXPECT_THROW(b->addSubview(nullptr), std::invalid_argument);

    std::weak_ptr<View> gone = a1;
    a1.reset();
    b->removeAllSubviews();
    EXPECT_TRUE(gone.expired()) << "the superview held the last owner";
    b->removeFromSuperview();
    EXPECT_EQ(root->subviews().size(), 1u);
    EXPECT_EQ(b->superview(), nullptr);
}

TEST(UiView, BreadthFirstVisitsLevelByLevelAndStopsWhenAsked) {
    auto root = Named("root"), a = Named("a"), b = Named("b");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(Named("a1"));
    a->addSubview(Named("a2"));
    b->addSubview(Named("b1"));
    std::vector<std::string> order;
    EXPECT_FALSE(root->visitBreadthFirst([&](View& v) { return order.push_back(v.identifier()), false; }));
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "a1", "a2", "b1"}));

    order.clear();
    EXPECT_TRUE(root->visitBreadthFirst([&](View& v) {
        order.push_back(v.identifier());
        if (v.identifier() == "a") b->removeFromSuperview();  // a visitor may change the tree it walks
        return v.identifier() == "a2";
    }));
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "a1", "a2"}));
    EXPECT_EQ(root->findByIdentifier("a2")->superview(), a.get());
    EXPECT_EQ(root->findByIdentifier("b1"), nullptr);
}

// A view whose whole bounds show one cursor.
class CursorArea : public View {
public:
    CursorArea(Rect frame, Cursor cursor) : View(frame), cursor_(cursor) {}
    void resetCursorRects() override { addCursorRect({0, 0, frame().width, frame().height}, cursor_); }

private:
    Cursor cursor_;
};

// (The panel's badges show that a cursor rectangle holds inside its view only and not while the
// view is hidden.)
TEST(UiView, TheFrontMostVisibleCursorRectangleWins) {
    Window window("Panel", {100, 100, 300, 200});
    auto back = std::make_shared<CursorArea>(Rect{20, 10, 120, 34}, Cursor::PointingHand);
    auto front = std::make_shared<CursorArea>(Rect{0, 0, 60, 30}, Cursor::IBeam);
    window.contentView().addSubview(back);
    window.contentView().addSubview(front);
    EXPECT_EQ(window.cursorAt({25, 20}), Cursor::IBeam);
    EXPECT_EQ(window.cursorAt({100, 20}), Cursor::PointingHand);
    front->setHidden(true);
    EXPECT_EQ(window.cursorAt({25, 20}), Cursor::PointingHand);
}

TEST(UiControls, AnActionMayDestroyTheWindowHoldingItsButton) {
    auto window = std::make_shared<Window>("Dialog", Rect{0, 0, 200, 100});
    std::weak_ptr<Button> watch;
    {
        auto button = std::make_shared<Button>("Close");
        watch = button;
        window->contentView().addSubview(button);
    }
    bool ran = false;
    watch.lock()->setAction([&](Button& self) {
        window.reset();
        ran = true;
        EXPECT_EQ(self.title(), "Close") << "the button is still alive inside its action";
    });
    const size_t before = Application::shared().windows().size();
    watch.lock()->performClick();
    EXPECT_TRUE(ran);
    EXPECT_TRUE(watch.expired()) << "and gone once the action returned";
    EXPECT_EQ(Application::shared().windows().size(), before - 1) << "the window left the application";
}

TEST(UiControls, PopUpsChooseOnlyFromTheirOpenMenuAndTheSelectionFollowsItsTitle) {
    PopUpButton popUp({"Active Camera", "Top", "Camera 1"});
    EXPECT_FALSE(popUp.chooseItem("Top")) << "closed menu";
    popUp.performClick();
    EXPECT_FALSE(popUp.chooseItem("Nowhere"));
    EXPECT_TRUE(popUp.isMenuOpen());
    EXPECT_TRUE(popUp.chooseItem("Camera 1"));
    EXPECT_FALSE(popUp.isMenuOpen());
    popUp.setItems({"Top", "Camera 1", "Camera 2"});
    EXPECT_EQ(popUp.selectedIndex(), 1);
    popUp.setItems({"Front"});
    EXPECT_EQ(popUp.title(), "Front");
    popUp.setItems({});
    EXPECT_EQ(popUp.selectedIndex(), -1);
    EXPECT_EQ(popUp.title(), "");
}

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
    app.stopModal();  // nothing to stop
    app.beginModalSession(outer, [&](int response) { events.push_back("outer " + std::to_string(response)); });
    EXPECT_TRUE(outer->isVisible());
    app.beginModalSession(inner);
    EXPECT_EQ(app.modalWindow(), inner.get());
    app.stopModalWithCode(kModalResponseOK);
    EXPECT_FALSE(inner->isVisible()) << "a session without completion closes its window";
    EXPECT_EQ(app.modalWindow(), outer.get());
    app.abortModal();
    EXPECT_EQ(app.modalWindow(), nullptr);
    EXPECT_EQ(events, (std::vector<std::string>{"began", "began", "ended", "ended", "outer -1001"}));
    EXPECT_THROW(app.beginModalSession(nullptr), std::invalid_argument);
}

TEST_F(UiApplication, RunModalRunsOnlyTheModalPanelModeUntilStopped) {
    RunLoop::main().useManualClock(false);
    auto dialog = std::make_shared<Window>("Dialog", Rect{});
    int defaultFired = 0;
    auto stopper = RunLoop::main().addTimer(0.01, false, [&](qlo::runloop::Timer&) {
        EXPECT_EQ(app.modalWindow(), dialog.get());
        app.stopModalWithCode(kModalResponseOK);
    }, {qlo::runloop::Mode::ModalPanel});
    auto other = RunLoop::main().addTimer(0.001, true, [&](qlo::runloop::Timer&) { ++defaultFired; });
    EXPECT_EQ(app.runModalForWindow(dialog), kModalResponseOK);
    EXPECT_EQ(defaultFired, 0);
    EXPECT_TRUE(dialog->isVisible()) << "the caller closes it";
    other->invalidate();
    // A program's runner that gives up (quitting) aborts the session.
    app.setModalHooks({{}, {}, [](const std::function<bool()>&) {}});
    EXPECT_EQ(app.runModalForWindow(dialog), kModalResponseAbort);
    EXPECT_EQ(app.modalWindow(), nullptr);
}

}  // namespace
