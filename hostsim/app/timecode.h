// Times as the host shows and reads them in its "Go to Time" field: timecode "H:MM:SS:FF"
// (hours, minutes, seconds, frames) at a composition's frame rate, or plain seconds.
#pragma once

#include <string>

namespace qlo::hostsim {

// The timecode of a time: the nearest whole frame, counted in frames of the rounded frame
// rate per second (non-drop: 30 for 29.97). "0:00:02:15" is 2.5 s at 30 fps. Computed in
// floating point, so any time and frame rate give a text (far beyond 2^53 frames, the frames
// field is approximate); a frame rate that is not positive, or above kMaxTimecodeFrameRate,
// gives "0:00:00:00".
std::string FormatTimecode(double seconds, double frameRate);

// Reads a typed time: a timecode (fields from the right: frames, seconds, minutes, hours, so
// "2:15" is 2 s 15 frames) or a decimal number of seconds ("2.5"). False for anything else, a
// negative time, a frame rate that is not positive or above kMaxTimecodeFrameRate, or a
// timecode whose frame count does not fit a signed 64-bit integer; *why (when given) then says
// which.
bool ParseTimeText(const std::string& text, double frameRate, double* seconds,
                   std::string* why = nullptr);

// The largest frame rate timecodes are counted in (frames per second).
inline constexpr double kMaxTimecodeFrameRate = 1e12;

}  // namespace qlo::hostsim
