#include "hostsim/app/phone_watch.h"

namespace qlo::hostsim {

std::vector<std::string> PhoneWatch::update(const std::optional<std::vector<PanelPhoneRow>>& rows) {
    std::map<std::string, int> now;
    std::map<std::string, std::vector<bool>> allowed;  // of each row, in the panel's order
    for (const PanelPhoneRow& row : rows.value_or(std::vector<PanelPhoneRow>{})) {
        ++now[row.name];
        allowed[row.name].push_back(row.allowed);
    }
    std::vector<std::string> messages;
    for (const auto& [name, count] : present_) {
        const auto found = now.find(name);
        const int left = count - (found == now.end() ? 0 : found->second);
        for (int i = 0; i < left; ++i) messages.push_back("phone \"" + name + "\" left");
    }
    for (const auto& [name, count] : now) {
        const auto found = present_.find(name);
        const int came = count - (found == present_.end() ? 0 : found->second);
        // The newcomers of a shared name are taken to be its last rows.
        for (int i = count - came; i < count; ++i) {
            const bool mayControl = allowed[name][static_cast<size_t>(i)];
            messages.push_back("phone \"" + name + "\" connected (" + (mayControl ? "allowed" : "blocked") + ")");
        }
    }
    present_ = std::move(now);
    return messages;
}

}  // namespace qlo::hostsim
