// The accessibility elements of the view toolkit: roles, titles, values and screen frames;
// hidden views; pop-up menus; stale elements; an untrusted process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>

#include "platform/ax/ax.h"
#include "platform/ui/button.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace {

using namespace qlo::ax;
namespace ui = qlo::ui;
using qlo::ui::TextField;

std::string Text(const Element& e, const char* attribute) {
    Value v;
    if (AXUIElementCopyAttributeValue(e, attribute, &v) != kAXErrorSuccess || !v.text()) return "<none>";
    return *v.text();
}

std::vector<Element> Children(const Element& e) {
    Value v;
    EXPECT_EQ(AXUIElementCopyAttributeValue(e, kAXChildrenAttribute, &v), kAXErrorSuccess);
    return v.elements() ? *v.elements() : std::vector<Element>{};
}

std::vector<std::string> Roles(const std::vector<Element>& elements) {
    std::vector<std::string> roles;
    for (const Element& e : elements) roles.push_back(Text(e, kAXRoleAttribute));
    return roles;
}

ui::Rect Frame(const Element& e) {
    Value position, size;
    ui::Point p{-1, -1};
    ui::Size s{-1, -1};
    EXPECT_EQ(AXUIElementCopyAttributeValue(e, kAXPositionAttribute, &position), kAXErrorSuccess);
    EXPECT_EQ(AXUIElementCopyAttributeValue(e, kAXSizeAttribute, &size), kAXErrorSuccess);
    EXPECT_TRUE(AXValueGetValue(position, kAXValueCGPointType, &p));
    EXPECT_TRUE(AXValueGetValue(size, kAXValueCGSizeType, &s));
    return {p.x, p.y, s.width, s.height};
}

// The error of reading one attribute.
AXError Read(const Element& e, const char* attribute) {
    Value v;
    return AXUIElementCopyAttributeValue(e, attribute, &v);
}

class AXElements : public ::testing::Test {
protected:
    void SetUp() override {
        window->orderFront();
        push->setAccessibilityDescription("Confirm the change");
        for (const auto& v : std::vector<std::shared_ptr<ui::View>>{push, radio, label, field, popUp}) {
            group->addSubview(v);
        }
        window->contentView().addSubview(group);
        ASSERT_NE(app, nullptr);
    }
    void TearDown() override {
        SetProcessTrustedForTesting(true);
        SetViewsUpdateHandler({});
    }

    Element WindowElement() {
        for (const Element& w : Children(app)) {
            if (Text(w, kAXTitleAttribute) == "Tools") return w;
        }
        return nullptr;
    }
    // The group's children: push, radio, label, field, pop-up.
    std::vector<Element> Controls() { return Children(Children(WindowElement()).at(0)); }

    using Rect = ui::Rect;
    std::unique_ptr<ui::Window> window = std::make_unique<ui::Window>("Tools", Rect{100, 50, 400, 300});
    std::shared_ptr<ui::View> group = std::make_shared<ui::View>(Rect{10, 20, 300, 200}, "Toolbar");
    std::shared_ptr<ui::Button> push =
        std::make_shared<ui::Button>("OK", "", ui::ButtonType::Push, Rect{5, 6, 60, 20});
    std::shared_ptr<ui::Button> radio =
        std::make_shared<ui::Button>("2 Views", "", ui::ButtonType::Radio, Rect{70, 6, 60, 20});
    std::shared_ptr<TextField> label = std::make_shared<TextField>("Hello", false, Rect{5, 40, 100, 20});
    std::shared_ptr<TextField> field = std::make_shared<TextField>("typed", true, Rect{5, 70, 100, 20});
    std::shared_ptr<ui::PopUpButton> popUp =
        std::make_shared<ui::PopUpButton>(std::vector<std::string>{"Front", "Cam A"}, Rect{5, 100, 120, 24});
    Element app = AXUIElementCreateApplication(getpid());
};

TEST_F(AXElements, RolesTitlesValuesAndScreenFrames) {
    EXPECT_EQ(Text(app, kAXRoleAttribute), "AXApplication");
    ui::Window closed("Closed", {0, 0, 10, 10});
    const Element w = WindowElement();
    ASSERT_NE(w, nullptr);
    for (const Element& child : Children(app)) EXPECT_NE(Text(child, kAXTitleAttribute), "Closed");
    EXPECT_EQ(Text(w, kAXRoleAttribute), "AXWindow");
    EXPECT_EQ(Frame(w), (Rect{100, 50, 400, 300}));

    const std::vector<Element> row = Controls();
    EXPECT_EQ(Roles(Children(w)), std::vector<std::string>{"AXGroup"}) << "the content is no element";
    EXPECT_EQ(Roles(row), (std::vector<std::string>{"AXButton", "AXRadioButton", "AXStaticText",
                                                     "AXTextField", "AXPopUpButton"}));
    const std::tuple<int, const char*, const char*> texts[] = {
        {0, kAXTitleAttribute, "OK"}, {0, kAXDescriptionAttribute, "Confirm the change"},
        {2, kAXValueAttribute, "Hello"}, {3, kAXValueAttribute, "typed"}, {4, kAXValueAttribute, "Front"}};
    for (auto [i, attribute, text] : texts) EXPECT_EQ(Text(row[i], attribute), text) << i << " " << attribute;
    EXPECT_EQ(Read(row[1], kAXDescriptionAttribute), kAXErrorNoValue);

    Value v;
    ASSERT_EQ(AXUIElementCopyAttributeValue(row[1], kAXValueAttribute, &v), kAXErrorSuccess);
    ASSERT_NE(v.number(), nullptr);
    EXPECT_EQ(*v.number(), 0);
    radio->setOn(true);
    ASSERT_EQ(AXUIElementCopyAttributeValue(row[1], kAXValueAttribute, &v), kAXErrorSuccess);
    EXPECT_EQ(*v.number(), 1) << "read from the view at each call";

    // Window origin + group origin + the view's own place.
    EXPECT_EQ(Frame(row[4]), (Rect{115, 170, 120, 24}));
    window->setFrame({0, 0, 400, 300});
    EXPECT_EQ(Frame(row[4]).x, 15) << "frames follow the window";
}

// Hidden views are no children. The program's views follow its model lazily; the update handler
// brings them up to date before the windows are listed.
TEST_F(AXElements, HiddenViewsAreNotChildrenAndTheViewsAreUpdatedFirst) {
    window->setTitle("Stale");
    SetViewsUpdateHandler([this]() { window->setTitle("Tools"); });  // else no window is found
    label->setHidden(true);
    EXPECT_EQ(Roles(Controls()), (std::vector<std::string>{"AXButton", "AXRadioButton", "AXTextField",
                                                            "AXPopUpButton"}));
    group->setHidden(true);
    EXPECT_TRUE(Children(WindowElement()).empty()) << "nor is anything inside a hidden view";
    window->close();
    EXPECT_EQ(WindowElement(), nullptr);
}

TEST_F(AXElements, PressingClicksAndPopUpMenusOpenAndChoose) {
    int pushed = 0;
    std::string chosen;
    push->setAction([&](ui::Button&) { ++pushed; });
    popUp->setAction([&](ui::Button& b) { chosen = static_cast<ui::PopUpButton&>(b).selectedTitle(); });
    const std::vector<Element> row = Controls();
    EXPECT_EQ(AXUIElementPerformAction(row[0], kAXPressAction), kAXErrorSuccess);
    EXPECT_EQ(pushed, 1);
    EXPECT_EQ(AXUIElementPerformAction(row[2], kAXPressAction), kAXErrorActionUnsupported);
    push->setEnabled(false);
    EXPECT_EQ(AXUIElementPerformAction(row[0], kAXPressAction), kAXErrorCannotComplete)
        << "a disabled button is not pressed, and the caller is told";
    EXPECT_EQ(pushed, 1);
    EXPECT_EQ(AXUIElementPerformAction(row[1], kAXPressAction), kAXErrorSuccess);
    EXPECT_TRUE(radio->isOn());

    EXPECT_TRUE(Children(row[4]).empty()) << "no menu while closed";
    ASSERT_EQ(AXUIElementPerformAction(row[4], kAXPressAction), kAXErrorSuccess);
    const std::vector<Element> menu = Children(row[4]);
    ASSERT_EQ(Roles(menu), std::vector<std::string>{"AXMenu"});
    const std::vector<Element> items = Children(menu[0]);
    ASSERT_EQ(Roles(items), (std::vector<std::string>{"AXMenuItem", "AXMenuItem"}));
    EXPECT_EQ(Text(items[1], kAXTitleAttribute), "Cam A");
    EXPECT_EQ(Frame(items[1]).y, Frame(items[0]).maxY()) << "items stack below each other";

    ASSERT_EQ(AXUIElementPerformAction(items[1], kAXPressAction), kAXErrorSuccess);
    EXPECT_EQ(chosen, "Cam A");
    EXPECT_FALSE(popUp->isMenuOpen());
    EXPECT_EQ(Text(row[4], kAXValueAttribute), "Cam A");
    EXPECT_EQ(AXUIElementPerformAction(items[0], kAXPressAction), kAXErrorInvalidUIElement)
        << "the closed menu's items are gone";

    ASSERT_EQ(AXUIElementPerformAction(row[4], kAXPressAction), kAXErrorSuccess);
    EXPECT_EQ(AXUIElementPerformAction(Children(row[4]).at(0), kAXCancelAction), kAXErrorSuccess);
    EXPECT_FALSE(popUp->isMenuOpen());
    EXPECT_EQ(chosen, "Cam A") << "cancelling sends nothing";
}

TEST_F(AXElements, ElementsOfRemovedViewsAndWindowsAreInvalid) {
    std::vector<Element> row = Controls();
    const Element w = WindowElement();
    field->removeFromSuperview();
    EXPECT_EQ(Read(row[3], kAXRoleAttribute), kAXErrorInvalidUIElement) << "out of the window, though alive";
    field.reset();
    EXPECT_EQ(AXUIElementPerformAction(row[3], kAXPressAction), kAXErrorInvalidUIElement);
    EXPECT_EQ(Text(row[2], kAXValueAttribute), "Hello") << "its siblings stay valid";

    window->setContentView(nullptr);
    EXPECT_EQ(Read(w, kAXTitleAttribute), kAXErrorInvalidUIElement)
        << "a window whose content was replaced is a new element";
    const Element fresh = WindowElement();
    window.reset();
    EXPECT_EQ(Read(fresh, kAXChildrenAttribute), kAXErrorInvalidUIElement);
}

TEST_F(AXElements, AnUntrustedProcessReadsAndPressesNothing) {
    const Element button = Controls().at(0);
    SetProcessTrustedForTesting(false);
    EXPECT_FALSE(AXIsProcessTrusted());
    EXPECT_EQ(Read(AXUIElementCreateApplication(getpid()), kAXChildrenAttribute), kAXErrorAPIDisabled);
    EXPECT_EQ(Read(button, kAXTitleAttribute), kAXErrorAPIDisabled);
    EXPECT_EQ(AXUIElementPerformAction(button, kAXPressAction), kAXErrorAPIDisabled);
    EXPECT_EQ(push->clickCount(), 0);
    SetProcessTrustedForTesting(true);
    EXPECT_EQ(Text(button, kAXTitleAttribute), "OK");
}

}  // namespace
