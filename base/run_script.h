// Runs an ExtendScript text in the host.
#pragma once

#include <string>

// Runs `script` (zero-terminated 8-bit text) through the host's script engine. When `result`
// is not null it receives the script's result text (left as it was when there is none). A
// script error is logged with the host's error text; nothing else is reported.
void RunScript(const char* script, std::string* result);
