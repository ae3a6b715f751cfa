#include "platform/ui/pop_up_button.h"

#include <algorithm>

namespace qlo::ui {

namespace {

// The pop-up whose menu is open: only one menu is open at a time, as the user can hold only one.
PopUpButton* g_openMenu = nullptr;

}  // namespace

PopUpButton::~PopUpButton() {
    if (g_openMenu == this) g_openMenu = nullptr;
}

PopUpButton::PopUpButton(std::vector<std::string> items, Rect frame)
    : Button("", "", ButtonType::Push, frame) {
    setRole("PopUpButton");
    setItems(std::move(items));
}

void PopUpButton::setItems(std::vector<std::string> items) {
    const std::string current = selectedTitle();
    items_ = std::move(items);
    selected_ = items_.empty() ? -1 : 0;
    selectTitle(current);
    setTitle(selectedTitle());
}

std::string PopUpButton::selectedTitle() const {
    return selected_ < 0 ? std::string() : items_[static_cast<size_t>(selected_)];
}

bool PopUpButton::selectIndex(int index) {
    if (index < 0 || static_cast<size_t>(index) >= items_.size()) return false;
    selected_ = index;
    setTitle(selectedTitle());
    return true;
}

bool PopUpButton::selectTitle(const std::string& title) {
    auto it = std::find(items_.begin(), items_.end(), title);
    if (it == items_.end()) return false;
    return selectIndex(static_cast<int>(it - items_.begin()));
}

void PopUpButton::performClick() {
    if (!isEnabled()) return;
    // Opening a menu closes the one open elsewhere.
    if (g_openMenu != nullptr && g_openMenu != this) g_openMenu->closeMenu();
    menuOpen_ = true;
    g_openMenu = this;
}

void PopUpButton::closeMenu() {
    menuOpen_ = false;
    if (g_openMenu == this) g_openMenu = nullptr;
}

bool PopUpButton::chooseItem(const std::string& title) {
    if (!menuOpen_ || !selectTitle(title)) return false;
    closeMenu();
    sendAction();
    return true;
}

std::string PopUpButton::describe() const {
    std::string text = Button::describe() + " items:";
    for (size_t i = 0; i < items_.size(); ++i) text += (i == 0 ? " " : ", ") + items_[i];
    if (menuOpen_) text += " (menu open)";
    return text;
}

}  // namespace qlo::ui
