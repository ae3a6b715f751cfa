// Phones connecting and leaving, as quillo-host tells the person at the terminal. The host sees
// the phones only as the rows of the plug-in's panel (panel_rows.h), which the panel refreshes
// every second or two; comparing one reading of the rows with the previous tells who came and
// who went. A phone is known by the name its row shows.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "hostsim/app/panel_rows.h"

namespace qlo::hostsim {

class PhoneWatch {
public:
    // The changes since the previous reading, one message each, leavers first:
    //   phone "Ann's Phone" left
    //   phone "Ben" connected (allowed)
    // Without rows (no panel to read) every phone has left.
    std::vector<std::string> update(const std::optional<std::vector<PanelPhoneRow>>& rows);

private:
    std::map<std::string, int> present_;  // phones by name (two phones may share one)
};

}  // namespace qlo::hostsim
