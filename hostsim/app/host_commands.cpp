#include "hostsim/app/host_commands.h"

namespace qlo::hostsim {

const HostCommands::Action* HostCommands::hostAction(AEGP_Command command) const {
    const auto found = actions_.find(command);
    return found != actions_.end() ? &found->second : nullptr;
}

AEGP_Command HostCommands::newUniqueCommand() {
    const AEGP_Command command = nextUnique_++;
    unique_.insert(command);
    return command;
}

bool HostCommands::isKnown(AEGP_Command command) const {
    return actions_.count(command) != 0 || unique_.count(command) != 0;
}

A_Err HostCommands::insertMenuCommand(AEGP_Command command, const std::string& name,
                                      AEGP_MenuID menu, A_long after) {
    if (!isKnown(command)) return A_Err_PARAMETER;
    return bar_.insert(command, name, menu, after);
}

std::optional<bool> HostCommands::checkMark(const std::string& text) const {
    const MenuItem* item = bar_.findByName(text);
    if (item == nullptr) return std::nullopt;
    return item->checked;
}

}  // namespace qlo::hostsim
