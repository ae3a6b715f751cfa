// Motion paths from CSV files: one timed sample per line,
//
//   t,pitch,yaw,roll,x,y,z
//
// t in seconds since the motion started (>= 0, strictly increasing from line to line); pitch,
// yaw and roll are the datagram's orientX, orientY and orientZ in degrees; x, y and z its posX,
// posY and posZ offsets in composition units. Fields are plain decimal numbers separated by
// commas (blanks around them allowed). Empty lines and lines starting with '#' are skipped; the
// first other line may be the header above. Between samples the path is interpolated linearly.
#pragma once

#include "phone/motion_path.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlophone {

inline constexpr size_t kMaxPathSamples = 1'000'000;
inline constexpr const char* kPathCsvHeader = "t,pitch,yaw,roll,x,y,z";

// The samples of a CSV text, or empty with `error` as "line N: what is wrong".
std::optional<std::vector<TimedSample>> ParsePathCsv(std::string_view text, std::string& error);
// Reads and parses a file; errors start with the file name ("path.csv:3: ...").
std::shared_ptr<const std::vector<TimedSample>> LoadPathCsv(const std::string& fileName, std::string& error);

}  // namespace qlophone
