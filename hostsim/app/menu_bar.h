// The host's menu bar: menus by id, each an ordered list of items that name a command and carry
// an enabled state and a check mark. Pure data; the application decides what commands do.
#pragma once

#include <string>
#include <vector>

#include "sdk/AE_Types.h"

namespace qlo::hostsim {

struct MenuItem {
    AEGP_Command command = 0;
    std::string name;
    bool enabled = true;
    bool checked = false;
};

struct Menu {
    AEGP_MenuID id = AEGP_Menu_NONE;
    std::string title;
    std::vector<MenuItem> items;
};

class MenuBar {
public:
    // Appends a menu to the bar; a menu id may appear once.
    void addMenu(AEGP_MenuID id, const std::string& title);

    // Inserts an item. `after` is AEGP_MENU_INSERT_SORTED (before the first item whose name
    // sorts after it, ignoring case), AEGP_MENU_INSERT_AT_BOTTOM, AEGP_MENU_INSERT_AT_TOP, or a
    // count N > 0 of items to place it after (past the end means at the bottom).
    // A_Err_PARAMETER for an unknown menu, an empty name, another negative position, or a
    // command already in a menu.
    A_Err insert(AEGP_Command command, const std::string& name, AEGP_MenuID menu, A_long after);
    // A_Err_PARAMETER when the command is in no menu.
    A_Err remove(AEGP_Command command);
    A_Err setEnabled(AEGP_Command command, bool enabled);
    A_Err setChecked(AEGP_Command command, bool checked);

    // The item of a command, or null.
    const MenuItem* item(AEGP_Command command) const;
    // The first item, in bar order, whose text is `name` (exactly, else ignoring case), or null.
    const MenuItem* findByName(const std::string& name) const;
    // The menu with this id, or null.
    const Menu* menu(AEGP_MenuID id) const;
    const std::vector<Menu>& menus() const { return menus_; }

    // One line per menu and item, "[x]" for a checked item, "(disabled)" for a disabled one.
    std::string describe() const;

private:
    MenuItem* mutableItem(AEGP_Command command);
    std::vector<Menu> menus_;
};

}  // namespace qlo::hostsim
