// A pop-up button: a button that shows the selected one of its items as its title. Clicking it
// opens its menu (closing any other pop-up's open menu: one menu is open at a time); choosing an
// item selects it, closes the menu and sends the action.
#pragma once

#include <string>
#include <vector>

#include "platform/ui/button.h"

namespace qlo::ui {

class PopUpButton : public Button {
public:
    explicit PopUpButton(std::vector<std::string> items = {}, Rect frame = {});
    ~PopUpButton() override;

    const std::vector<std::string>& items() const { return items_; }
    // Replaces the items; the selection moves to the item with the same title, else the first.
    void setItems(std::vector<std::string> items);
    // -1 when there are no items.
    int selectedIndex() const { return selected_; }
    // The selected item's title; empty when there are no items.
    std::string selectedTitle() const;
    // Selects without sending the action (the program's own change); false when out of range.
    bool selectIndex(int index);
    bool selectTitle(const std::string& title);

    bool isMenuOpen() const { return menuOpen_; }
    // Opens the menu (nothing when disabled); the action is sent when an item is chosen.
    void performClick() override;
    // Chooses an item as the user would in the open menu: selects it, closes the menu and
    // sends the action. False (menu left as it is) when there is no such item or the menu is
    // not open.
    bool chooseItem(const std::string& title);
    void closeMenu();

    std::string describe() const override;

private:
    std::vector<std::string> items_;
    int selected_ = -1;
    bool menuOpen_ = false;
};

}  // namespace qlo::ui
