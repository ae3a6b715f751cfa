// The host's commands and the menus that show them: the host's own commands (each with what
// carries it out), the commands handed out to plug-ins (AEGP_GetUniqueCommand, counting up from
// kFirstUniqueCommand), and the menu bar their items sit in. Only a known command goes into a
// menu. What a chosen command runs (hooks before and after the host) is the application's part.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "hostsim/app/menu_bar.h"
#include "sdk/AE_Types.h"

namespace qlo::hostsim {

class HostCommands {
public:
    using Action = std::function<A_Err()>;

    explicit HostCommands(AEGP_Command firstUnique) : nextUnique_(firstUnique) {}

    MenuBar& bar() { return bar_; }
    const MenuBar& bar() const { return bar_; }

    // Makes `command` one of the host's own, carried out by `action`.
    void addHostCommand(AEGP_Command command, Action action) { actions_[command] = std::move(action); }
    // The host's own action for `command`; null for a plug-in's command.
    const Action* hostAction(AEGP_Command command) const;

    AEGP_Command newUniqueCommand();
    // A host command or one handed out by newUniqueCommand.
    bool isKnown(AEGP_Command command) const;

    // The Command Suite's menu calls: A_Err_PARAMETER for an unknown command.
    A_Err insertMenuCommand(AEGP_Command command, const std::string& name, AEGP_MenuID menu,
                            A_long after);
    A_Err removeMenuCommand(AEGP_Command command) { return bar_.remove(command); }
    A_Err setEnabled(AEGP_Command command, bool enabled) { return bar_.setEnabled(command, enabled); }
    A_Err setChecked(AEGP_Command command, bool checked) { return bar_.setChecked(command, checked); }

    // The check mark of the item with that text; nullopt when there is none.
    std::optional<bool> checkMark(const std::string& text) const;

private:
    MenuBar bar_;
    std::map<AEGP_Command, Action> actions_;
    std::set<AEGP_Command> unique_;
    AEGP_Command nextUnique_;
};

}  // namespace qlo::hostsim
