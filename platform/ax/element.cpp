// Elements and their attributes and actions, read from the views at every call.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/ax/ax.h"
#include "platform/ui/application.h"
#include "platform/ui/button.h"
#include "platform/ui/image_view.h"
#include "platform/ui/pop_up_button.h"
#include "platform/ui/scroll_view.h"
#include "platform/ui/table_row_view.h"
#include "platform/ui/table_view.h"
#include "platform/ui/text_field.h"
#include "platform/ui/window.h"

namespace qlo::ax {

// What an element names. Views are held weakly; a window is named by its address together with
// its content view, so that another window later made at the same address is not taken for it.
class ElementRef {
public:
    enum class Kind { Application, Window, View, Menu, MenuItem };
    Kind kind = Kind::Application;
    ui::Window* window = nullptr;   // Window
    std::weak_ptr<ui::View> view;   // View: the view; Window: its content; Menu, MenuItem: the pop-up
    int item = -1;                  // MenuItem: its index
    std::string itemTitle;          // MenuItem: its title when the element was made
};

namespace {

using Kind = ElementRef::Kind;

// A menu's items are laid out one under the other, below the pop-up, this high each.
constexpr double kMenuItemHeight = 20;

bool g_trusted = true;
std::function<void()>& UpdateHandler() {
    static std::function<void()> handler;
    return handler;
}

Element Make(ElementRef ref) {
    return std::make_shared<const ElementRef>(std::move(ref));
}

Element ViewElement(const std::shared_ptr<ui::View>& view) {
    ElementRef ref;
    ref.kind = Kind::View;
    ref.view = view;
    return Make(std::move(ref));
}

bool WindowExists(const ui::Window* window) {
    const auto& windows = ui::Application::shared().windows();
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

// What a live element stands on. `view` is held for the length of a call, so that an action
// that rebuilds the tree cannot free it under the call.
struct Resolved {
    ui::Window* window = nullptr;
    std::shared_ptr<ui::View> view;
    ui::PopUpButton* popUp = nullptr;  // Menu, MenuItem
};

// False when the element is stale: its view is gone or out of every window, its window is
// gone, its menu closed, or its item no longer there.
bool Resolve(const ElementRef& ref, Resolved* out) {
    switch (ref.kind) {
        case Kind::Application: return true;
        case Kind::Window: {
            if (!WindowExists(ref.window)) return false;
            out->view = ref.view.lock();
            if (!out->view || out->view != ref.window->contentViewPtr()) return false;
            out->window = ref.window;
            return true;
        }
        case Kind::View:
        case Kind::Menu:
        case Kind::MenuItem: break;
    }
    out->view = ref.view.lock();
    if (!out->view || out->view->window() == nullptr || !WindowExists(out->view->window())) {
        return false;
    }
    out->window = out->view->window();
    if (ref.kind == Kind::View) return true;
    out->popUp = dynamic_cast<ui::PopUpButton*>(out->view.get());
    if (out->popUp == nullptr || !out->popUp->isMenuOpen()) return false;
    if (ref.kind == Kind::Menu) return true;
    const auto& items = out->popUp->items();
    return ref.item >= 0 && static_cast<size_t>(ref.item) < items.size() &&
           items[static_cast<size_t>(ref.item)] == ref.itemTitle;
}

const char* ViewRole(const ui::View& view) {
    if (dynamic_cast<const ui::PopUpButton*>(&view) != nullptr) return kAXPopUpButtonRole;
    if (const auto* button = dynamic_cast<const ui::Button*>(&view)) {
        return button->type() == ui::ButtonType::Radio ? kAXRadioButtonRole : kAXButtonRole;
    }
    if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) {
        return field->isEditable() ? kAXTextFieldRole : kAXStaticTextRole;
    }
    if (dynamic_cast<const ui::ImageView*>(&view) != nullptr) return kAXImageRole;
    if (dynamic_cast<const ui::ScrollView*>(&view) != nullptr) return kAXScrollAreaRole;
    if (dynamic_cast<const ui::TableView*>(&view) != nullptr) return kAXTableRole;
    if (dynamic_cast<const ui::TableRowView*>(&view) != nullptr) return kAXRowRole;
    return kAXGroupRole;
}

const char* RoleOf(const ElementRef& ref, const Resolved& r) {
    switch (ref.kind) {
        case Kind::Application: return kAXApplicationRole;
        case Kind::Window: return kAXWindowRole;
        case Kind::View: return ViewRole(*r.view);
        case Kind::Menu: return kAXMenuRole;
        case Kind::MenuItem: return kAXMenuItemRole;
    }
    return kAXGroupRole;
}

std::vector<Element> VisibleSubviews(const ui::View& view) {
    std::vector<Element> children;
    for (const auto& child : view.subviews()) {
        if (!child->isHidden()) children.push_back(ViewElement(child));
    }
    return children;
}

std::vector<Element> Children(const ElementRef& ref, const Resolved& r) {
    std::vector<Element> children;
    switch (ref.kind) {
        case Kind::Application:
            if (UpdateHandler()) {
                // A copy: the handler may replace itself.
                const std::function<void()> update = UpdateHandler();
                update();
            }
            for (ui::Window* window : ui::Application::shared().windows()) {
                if (!window->isVisible()) continue;
                ElementRef child;
                child.kind = Kind::Window;
                child.window = window;
                child.view = window->contentViewPtr();
                children.push_back(Make(std::move(child)));
            }
            return children;
        case Kind::Window:
            if (r.view->isHidden()) return children;
            return VisibleSubviews(*r.view);
        case Kind::View:
            if (auto* popUp = dynamic_cast<ui::PopUpButton*>(r.view.get())) {
                if (popUp->isMenuOpen()) {
                    ElementRef menu;
                    menu.kind = Kind::Menu;
                    menu.view = r.view;
                    children.push_back(Make(std::move(menu)));
                }
                return children;
            }
            return VisibleSubviews(*r.view);
        case Kind::Menu: {
            const auto& items = r.popUp->items();
            for (size_t i = 0; i < items.size(); ++i) {
                ElementRef item;
                item.kind = Kind::MenuItem;
                item.view = r.view;
                item.item = static_cast<int>(i);
                item.itemTitle = items[i];
                children.push_back(Make(std::move(item)));
            }
            return children;
        }
        case Kind::MenuItem: return children;
    }
    return children;
}

// The element's frame on the screen (top-left origin); false for the application.
bool ScreenFrame(const ElementRef& ref, const Resolved& r, ui::Rect* frame) {
    switch (ref.kind) {
        case Kind::Application: return false;
        case Kind::Window: *frame = r.window->frame(); return true;
        case Kind::View: *frame = r.window->screenFrameOf(*r.view); return true;
        case Kind::Menu:
        case Kind::MenuItem: break;
    }
    // The menu drops down from the pop-up's bottom edge, as wide as the pop-up.
    const ui::Rect button = r.window->screenFrameOf(*r.view);
    const double count = static_cast<double>(r.popUp->items().size());
    if (ref.kind == Kind::Menu) {
        *frame = {button.x, button.maxY(), button.width, count * kMenuItemHeight};
    } else {
        *frame = {button.x, button.maxY() + ref.item * kMenuItemHeight, button.width,
                  kMenuItemHeight};
    }
    return true;
}

const char* ApplicationName() {
    return program_invocation_short_name;
}

AXError ReadAttribute(const ElementRef& ref, const Resolved& r, const std::string& name,
                      Value* out) {
    // Frames and children are read as laid out now (cheap when nothing changed).
    if (r.window != nullptr) r.window->layoutIfNeeded();
    if (name == kAXRoleAttribute) {
        *out = Value::Text(RoleOf(ref, r));
        return kAXErrorSuccess;
    }
    if (name == kAXChildrenAttribute) {
        *out = Value::Elements(Children(ref, r));
        return kAXErrorSuccess;
    }
    if (name == kAXPositionAttribute || name == kAXSizeAttribute) {
        ui::Rect frame;
        if (!ScreenFrame(ref, r, &frame)) return kAXErrorAttributeUnsupported;
        *out = name == kAXPositionAttribute ? Value::FromPoint(frame.origin())
                                            : Value::FromSize(frame.size());
        return kAXErrorSuccess;
    }
    switch (ref.kind) {
        case Kind::Application:
            if (name != kAXTitleAttribute) return kAXErrorAttributeUnsupported;
            *out = Value::Text(ApplicationName());
            return kAXErrorSuccess;
        case Kind::Window:
            if (name != kAXTitleAttribute) return kAXErrorAttributeUnsupported;
            *out = Value::Text(r.window->title());
            return kAXErrorSuccess;
        case Kind::Menu: return kAXErrorAttributeUnsupported;
        case Kind::MenuItem:
            if (name == kAXTitleAttribute) {
                *out = Value::Text(ref.itemTitle);
            } else if (name == kAXEnabledAttribute) {
                *out = Value::Boolean(true);
            } else {
                return kAXErrorAttributeUnsupported;
            }
            return kAXErrorSuccess;
        case Kind::View: break;
    }

    const ui::View& view = *r.view;
    const auto* popUp = dynamic_cast<const ui::PopUpButton*>(&view);
    const auto* button = dynamic_cast<const ui::Button*>(&view);
    const auto* field = dynamic_cast<const ui::TextField*>(&view);
    auto text = [out](const std::string& value) {
        if (value.empty()) return kAXErrorNoValue;
        *out = Value::Text(value);
        return kAXErrorSuccess;
    };
    if (name == kAXDescriptionAttribute) return text(view.accessibilityDescription());
    if (name == kAXIdentifierAttribute) return text(view.identifier());
    if (name == kAXHelpAttribute) return text(view.toolTip());
    if (name == kAXTitleAttribute) {
        if (popUp != nullptr) return kAXErrorNoValue;  // a pop-up shows its value, not a title
        if (button == nullptr) return kAXErrorAttributeUnsupported;
        *out = Value::Text(button->title());
        return kAXErrorSuccess;
    }
    if (name == kAXValueAttribute) {
        if (popUp != nullptr) return text(popUp->selectedTitle());
        if (button != nullptr && button->type() == ui::ButtonType::Radio) {
            *out = Value::Number(button->isOn() ? 1 : 0);
            return kAXErrorSuccess;
        }
        if (field == nullptr) return kAXErrorAttributeUnsupported;
        *out = Value::Text(field->stringValue());
        return kAXErrorSuccess;
    }
    if (name == kAXEnabledAttribute && button != nullptr) {
        *out = Value::Boolean(button->isEnabled());
        return kAXErrorSuccess;
    }
    return kAXErrorAttributeUnsupported;
}

std::vector<std::string> AttributeNames(const ElementRef& ref, const Resolved& r) {
    std::vector<std::string> names = {kAXRoleAttribute, kAXChildrenAttribute};
    switch (ref.kind) {
        case Kind::Application: names.push_back(kAXTitleAttribute); return names;
        case Kind::Window: names.push_back(kAXTitleAttribute); break;
        case Kind::Menu: break;
        case Kind::MenuItem:
            names.push_back(kAXTitleAttribute);
            names.push_back(kAXEnabledAttribute);
            break;
        case Kind::View: {
            const auto* popUp = dynamic_cast<const ui::PopUpButton*>(r.view.get());
            const auto* button = dynamic_cast<const ui::Button*>(r.view.get());
            const bool field = dynamic_cast<const ui::TextField*>(r.view.get()) != nullptr;
            if (button != nullptr) names.push_back(kAXTitleAttribute);
            if (popUp != nullptr || field || (button && button->type() == ui::ButtonType::Radio)) {
                names.push_back(kAXValueAttribute);
            }
            if (button != nullptr) names.push_back(kAXEnabledAttribute);
            names.insert(names.end(), {kAXDescriptionAttribute, kAXIdentifierAttribute, kAXHelpAttribute});
            break;
        }
    }
    names.insert(names.end(), {kAXPositionAttribute, kAXSizeAttribute});
    return names;
}

AXError Press(const ElementRef& ref, const Resolved& r) {
    if (ref.kind == Kind::MenuItem) {
        // Choosing sends the pop-up's action, which may rebuild the window: r holds the pop-up.
        return r.popUp->chooseItem(ref.itemTitle) ? kAXErrorSuccess : kAXErrorCannotComplete;
    }
    if (ref.kind != Kind::View) return kAXErrorActionUnsupported;
    auto* button = dynamic_cast<ui::Button*>(r.view.get());
    if (button == nullptr) return kAXErrorActionUnsupported;
    // A control the user cannot reach or use is not pressed, and the caller hears so.
    if (!button->isEnabled() || button->isHiddenOrHasHiddenAncestor()) return kAXErrorCannotComplete;
    button->performClick();
    return kAXErrorSuccess;
}

// Checks the arguments and the permission, and resolves the element.
AXError Prepare(const Element& element, Resolved* resolved) {
    if (!element) return kAXErrorIllegalArgument;
    if (!g_trusted) return kAXErrorAPIDisabled;
    return Resolve(*element, resolved) ? kAXErrorSuccess : kAXErrorInvalidUIElement;
}

}  // namespace

bool AXValueGetValue(const Value& value, AXValueType type, void* out) {
    if (out == nullptr) return false;
    if (type == kAXValueCGPointType && value.point() != nullptr) {
        *static_cast<ui::Point*>(out) = *value.point();
        return true;
    }
    if (type == kAXValueCGSizeType && value.size() != nullptr) {
        *static_cast<ui::Size*>(out) = *value.size();
        return true;
    }
    return false;
}

Element AXUIElementCreateApplication(pid_t pid) {
    if (pid != getpid()) return nullptr;
    return Make(ElementRef{});
}

AXError AXUIElementCopyAttributeValue(const Element& element, const std::string& attribute,
                                      Value* out) {
    if (out == nullptr) return kAXErrorIllegalArgument;
    Resolved resolved;
    if (AXError err = Prepare(element, &resolved); err != kAXErrorSuccess) return err;
    return ReadAttribute(*element, resolved, attribute, out);
}

AXError AXUIElementCopyAttributeNames(const Element& element, std::vector<std::string>* names) {
    if (names == nullptr) return kAXErrorIllegalArgument;
    Resolved resolved;
    if (AXError err = Prepare(element, &resolved); err != kAXErrorSuccess) return err;
    *names = AttributeNames(*element, resolved);
    return kAXErrorSuccess;
}

AXError AXUIElementPerformAction(const Element& element, const std::string& action) {
    Resolved resolved;
    if (AXError err = Prepare(element, &resolved); err != kAXErrorSuccess) return err;
    if (action == kAXPressAction) return Press(*element, resolved);
    if (action == kAXCancelAction && element->kind == Kind::Menu) {
        resolved.popUp->closeMenu();
        return kAXErrorSuccess;
    }
    return kAXErrorActionUnsupported;
}

bool AXElementsEqual(const Element& a, const Element& b) {
    if (!a || !b) return a == b;
    if (a->kind != b->kind) return false;
    const bool sameView = !a->view.owner_before(b->view) && !b->view.owner_before(a->view);
    switch (a->kind) {
        case Kind::Application: return true;
        case Kind::Window: return a->window == b->window && sameView;
        case Kind::View:
        case Kind::Menu: return sameView;
        case Kind::MenuItem: return sameView && a->item == b->item && a->itemTitle == b->itemTitle;
    }
    return false;
}

void SetViewsUpdateHandler(std::function<void()> handler) {
    UpdateHandler() = std::move(handler);
}

bool AXIsProcessTrusted() {
    return g_trusted;
}

void SetProcessTrustedForTesting(bool trusted) {
    g_trusted = trusted;
}

}  // namespace qlo::ax
