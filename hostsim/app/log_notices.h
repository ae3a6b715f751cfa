// Plain words for the failures of the plug-in's services that a user can meet and mend: the
// plug-in logs its own lines; quillo-host reads them through its log sink and tells the user
// what happened and what to do.
#pragma once

#include <optional>
#include <string>

namespace qlo::hostsim {

// The ports the Quillo plug-in opens for phones.
inline constexpr int kPhoneHttpPort = 8254;
inline constexpr int kPhoneMotionPort = 8255;

// The notice for a log line, without the program name; nothing for an ordinary line.
std::optional<std::string> NoticeForLogLine(const std::string& line);

}  // namespace qlo::hostsim
