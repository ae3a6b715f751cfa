#include "hostsim/app/menu_bar.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <stdexcept>

namespace qlo::hostsim {

namespace {

std::string Folded(const std::string& text) {
    std::string folded = text;
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return folded;
}

}  // namespace

void MenuBar::addMenu(AEGP_MenuID id, const std::string& title) {
    if (menu(id) != nullptr) throw std::logic_error("menu id added twice: " + title);
    menus_.push_back(Menu{id, title, {}});
}

A_Err MenuBar::insert(AEGP_Command command, const std::string& name, AEGP_MenuID menuId,
                      A_long after) {
    if (name.empty() || after < AEGP_MENU_INSERT_SORTED || item(command) != nullptr) {
        return A_Err_PARAMETER;
    }
    auto target = std::find_if(menus_.begin(), menus_.end(),
                               [&](const Menu& m) { return m.id == menuId; });
    if (target == menus_.end()) return A_Err_PARAMETER;

    std::vector<MenuItem>& items = target->items;
    auto position = items.end();
    if (after == AEGP_MENU_INSERT_SORTED) {
        const std::string key = Folded(name);
        position = std::find_if(items.begin(), items.end(),
                                [&](const MenuItem& i) { return Folded(i.name) > key; });
    } else if (after == AEGP_MENU_INSERT_AT_TOP) {
        position = items.begin();
    } else if (after > 0 && static_cast<size_t>(after) < items.size()) {
        position = items.begin() + after;
    }
    items.insert(position, MenuItem{command, name, true, false});
    return A_Err_NONE;
}

A_Err MenuBar::remove(AEGP_Command command) {
    for (Menu& m : menus_) {
        auto it = std::find_if(m.items.begin(), m.items.end(),
                               [&](const MenuItem& i) { return i.command == command; });
        if (it != m.items.end()) {
            m.items.erase(it);
            return A_Err_NONE;
        }
    }
    return A_Err_PARAMETER;
}

A_Err MenuBar::setEnabled(AEGP_Command command, bool enabled) {
    MenuItem* found = mutableItem(command);
    if (found == nullptr) return A_Err_PARAMETER;
    found->enabled = enabled;
    return A_Err_NONE;
}

A_Err MenuBar::setChecked(AEGP_Command command, bool checked) {
    MenuItem* found = mutableItem(command);
    if (found == nullptr) return A_Err_PARAMETER;
    found->checked = checked;
    return A_Err_NONE;
}

const MenuItem* MenuBar::item(AEGP_Command command) const {
    for (const Menu& m : menus_) {
        for (const MenuItem& i : m.items) {
            if (i.command == command) return &i;
        }
    }
    return nullptr;
}

MenuItem* MenuBar::mutableItem(AEGP_Command command) {
    return const_cast<MenuItem*>(item(command));
}

const MenuItem* MenuBar::findByName(const std::string& name) const {
    for (const Menu& m : menus_) {
        for (const MenuItem& i : m.items) {
            if (i.name == name) return &i;
        }
    }
    const std::string key = Folded(name);
    for (const Menu& m : menus_) {
        for (const MenuItem& i : m.items) {
            if (Folded(i.name) == key) return &i;
        }
    }
    return nullptr;
}

const Menu* MenuBar::menu(AEGP_MenuID id) const {
    for (const Menu& m : menus_) {
        if (m.id == id) return &m;
    }
    return nullptr;
}

std::string MenuBar::describe() const {
    std::ostringstream out;
    for (const Menu& m : menus_) {
        out << m.title << " (menu " << m.id << ")\n";
        for (const MenuItem& i : m.items) {
            out << "  " << (i.checked ? "[x] " : "[ ] ") << i.name << "  (command " << i.command
                << ")" << (i.enabled ? "" : " (disabled)") << "\n";
        }
    }
    return out.str();
}

}  // namespace qlo::hostsim
