// libquillo.so exports one symbol, EntryPointFunc, defined by the plug-in frame in quillo_core.
// Referring to it here makes the linker take the frame (and through it the whole plug-in) from
// the static library; the version script hides everything else.
#include "host/plugin.h"

__attribute__((used)) static const AEGP_PluginInitFuncPrototype kQLOEntryPoint = &EntryPointFunc;
