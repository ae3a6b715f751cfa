// The panel's fixed dark style: calibrated whites (alpha 1 unless noted) and sizes.
#pragma once

inline constexpr double kQLORootWhite = 0.16;         // root background
inline constexpr double kQLOHeaderWhite = 0.13;       // header fill, footer background
inline constexpr double kQLOLineWhite = 0.10;         // lines, list area, scroll view, table
inline constexpr double kQLORowWhite = 0.22;          // row background
inline constexpr double kQLOSelectedRowWhite = 0.34;  // selected row
inline constexpr double kQLOBrightWhite = 0.92;       // header text, badges, allowed rows
inline constexpr double kQLODimWhite = 0.55;          // empty state, blocked rows, idle button

inline constexpr double kQLOHeaderHeight = 22;
inline constexpr double kQLOFooterHeight = 34;
inline constexpr double kQLOListMargin = 6;
inline constexpr double kQLORowHeight = 24;

// How often the phone list is re-read, and how long the phone count must stay the same before
// the viewer is set up for the phones.
inline constexpr double kQLORefreshInterval = 1.5;
inline constexpr double kQLOSplitViewDebounce = 1.5;
