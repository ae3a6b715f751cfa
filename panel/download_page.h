// The web page where users get the Quillo phone app; both store badges of the panel open it.
#pragma once

inline constexpr const char* kQLODownloadPageURL = "https://quillo.app/download";
