// The view toolkit's views: the tree (moving, removing, cycles), breadth-first order, frames in
// window and screen coordinates, and the controls (buttons, radio buttons, pop-ups).
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ui;

std::shared_ptr<View> Named(const std::string& id, Rect frame = {}) {
    auto view = std::make_shared<View>(frame);
    view->setIdentifier(id);
    return view;
}

TEST(UiView, TheTreeMovesViewsAndRefusesCycles) {
    auto root = Named("root");
    auto a = Named("a");
    auto b = Named("b");
    auto a1 = Named("a1");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(a1);
    EXPECT_EQ(a1->superview(), a.get());
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
    auto root = Named("root");
    auto a = Named("a");
    auto b = Named("b");
    root->addSubview(a);
    root->addSubview(b);
    a->addSubview(Named("a1"));
    a->addSubview(Named("a2"));
    b->addSubview(Named("b1"));
    std::vector<std::string> order;
    EXPECT_FALSE(root->visitBreadthFirst([&](View& v) {
        order.push_back(v.identifier());
        return false;
    }));
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "a1", "a2", "b1"}));

    order.clear();
    EXPECT_TRUE(root->visitBreadthFirst([&](View& v) {
        order.push_back(v.identifier());
        // A visitor may change the tree it walks.
        if (v.identifier() == "a") b->removeFromSuperview();
        return v.identifier() == "a2";
    }));
    EXPECT_EQ(order, (std::vector<std::string>{"root", "a", "b", "a1", "a2"}));
    EXPECT_EQ(root->findByIdentifier("a2")->superview(), a.get());
    EXPECT_EQ(root->findByIdentifier("b1"), nullptr);
}

TEST(UiView, FramesAddUpToWindowAndScreenCoordinates) {
    Window window("W", Rect{100, 50, 400, 300});
    EXPECT_EQ(window.contentView().frame(), (Rect{0, 0, 400, 300}));
    auto group = Named("group", Rect{10, 20, 200, 100});
    auto inner = Named("inner", Rect{5, 6, 50, 40});
    group->addSubview(inner);
    window.contentView().addSubview(group);
    EXPECT_EQ(inner->window(), &window);
    EXPECT_EQ(inner->frameInWindow(), (Rect{15, 26, 50, 40}));
    EXPECT_EQ(window.screenFrameOf(*inner), (Rect{115, 76, 50, 40}));

    group->setHidden(true);
    EXPECT_TRUE(inner->isHiddenOrHasHiddenAncestor());
    EXPECT_FALSE(inner->isHidden());
    group->removeFromSuperview();
    EXPECT_EQ(inner->window(), nullptr);
}

TEST(UiControls, ButtonsSendTheirActionUnlessDisabled) {
    auto ok = std::make_shared<Button>("OK", "\r");
    int sent = 0;
    ok->setAction([&](Button&) { ++sent; });
    ok->performClick();
    ok->setEnabled(false);
    ok->performClick();
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(ok->clickCount(), 1);
    EXPECT_NE(ok->describe().find("\"OK\" key return disabled"), std::string::npos) << ok->describe();

    auto radio = std::make_shared<Button>("2 Views", "", ButtonType::Radio);
    EXPECT_EQ(radio->role(), "RadioButton");
    radio->performClick();
    EXPECT_TRUE(radio->isOn());
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

TEST(UiControls, PopUpsSelectThroughTheirOpenMenu) {
    auto popUp = std::make_shared<PopUpButton>(std::vector<std::string>{"Active Camera", "Top", "Camera 1"});
    EXPECT_EQ(popUp->role(), "PopUpButton");
    EXPECT_EQ(popUp->title(), "Active Camera");
    std::string chosen;
    popUp->setAction([&](Button& b) { chosen = static_cast<PopUpButton&>(b).selectedTitle(); });

    EXPECT_FALSE(popUp->chooseItem("Top")) << "closed menu";
    popUp->performClick();
    EXPECT_TRUE(popUp->isMenuOpen());
    EXPECT_FALSE(popUp->chooseItem("Nowhere"));
    EXPECT_TRUE(popUp->isMenuOpen());
    EXPECT_TRUE(popUp->chooseItem("Camera 1"));
    EXPECT_FALSE(popUp->isMenuOpen());
    EXPECT_EQ(chosen, "Camera 1");
    EXPECT_EQ(popUp->title(), "Camera 1");

    popUp->setItems({"Top", "Camera 1", "Camera 2"});
    EXPECT_EQ(popUp->selectedIndex(), 1) << "the selection follows its title";
    popUp->setItems({"Front"});
    EXPECT_EQ(popUp->title(), "Front");
    popUp->setItems({});
    EXPECT_EQ(popUp->selectedIndex(), -1);
    EXPECT_EQ(popUp->title(), "");

    TextField label("Go to Time:", false);
    EXPECT_EQ(label.role(), "StaticText");
    EXPECT_EQ(TextField("0:00:01:00").role(), "TextField");
}

}  // namespace
