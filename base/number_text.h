// Numbers as text for logs and script texts that the host or phones read back. The decimal
// separator is always '.', whatever locale the host process runs under: printf-style formatting
// follows the process-wide LC_NUMERIC, which a host (or another plug-in) may set at any time.
#pragma once

#include <string>

// `value` in fixed notation with `decimals` digits after the point (as "%.*f" in the C locale).
std::string FixedText(double value, int decimals);
