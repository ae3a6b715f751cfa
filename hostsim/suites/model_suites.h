// The host SDK suites quillo-host implements over its project model (CurrentProject()):
// Item 14, Item View 1, Comp 25, Proj 9, Layer 15, Stream 11, Keyframe 5, Memory 1,
// Render Options 3, Render 8, World 3 and Utility 13.
//
// Handles. Every handle these suites hand out is an opaque token, never a pointer: its bits
// name a kind (item, comp, layer, ...) and a serial number that the host maps back through a
// table (model objects through their ObjectId in the current project; stream references,
// memory handles, render options, receipts and worlds through tables kept here). The token
// is not a valid address: a plug-in that looks into a handle faults at once. A handle whose
// object was deleted (Project::deleteItem / deleteLayer, or a new current project), disposed
// or freed is stale: every call taking it returns A_Err_STRUCT and changes nothing. A stream
// reference on a deleted layer is stale likewise; disposing a stale stream reference or
// render options returns A_Err_STRUCT but still releases the host's record of it.
//
// Errors. A null handle, a null out-pointer (other than those documented as optional), an
// index out of range or a bad value: A_Err_PARAMETER. A handle of the wrong kind (a layer
// handle passed as an item handle): A_Err_STRUCT. Out-pointers are written only on success.
//
// Time. Layers start at composition time 0 and are not stretched, so layer time is
// composition time: AEGP_LTimeMode_LayerTime and _CompTime give the same results. Times handed
// out use scale 1,000,000 (see ToATime).
//
// All functions run on the host's main thread.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "hostsim/model/project.h"
#include "hostsim/model/world.h"
#include "sdk/AE_SDK.h"

namespace qlo::hostsim {

class SuiteRegistry;

// Adds every table below to the registry under its name and version from AE_Suites.h.
void RegisterModelSuites(SuiteRegistry& registry);

const AEGP_ItemSuite14* ItemSuite();
const AEGP_ItemViewSuite1* ItemViewSuite();
const AEGP_CompSuite25* CompSuite();
const AEGP_ProjSuite9* ProjSuite();
const AEGP_LayerSuite15* LayerSuite();
const AEGP_StreamSuite11* StreamSuite();
const AEGP_KeyframeSuite5* KeyframeSuite();
const AEGP_MemorySuite1* MemorySuite();
const AEGP_RenderOptionsSuite3* RenderOptionsSuite();
const AEGP_RenderSuite8* RenderSuite();
const AEGP_WorldSuite3* WorldSuite();
const AEGP_UtilitySuite13* UtilitySuite();

// ---- handles of model objects (what the suites would hand out for them) -----------------

AEGP_ProjectH ProjectHandle(const Project& project);
AEGP_ItemH ItemHandle(const Item& item);
AEGP_CompH CompHandle(const Composition& comp);
AEGP_LayerH LayerHandle(const Layer& layer);
// The view of a composition (valid while it is open in the viewer).
AEGP_ItemViewP ViewHandle(const Composition& comp);
// The objects handles name in the current project; null when stale or of another kind.
Item* ItemFromHandle(AEGP_ItemH item);
Composition* CompFromHandle(AEGP_CompH comp);
Layer* LayerFromHandle(AEGP_LayerH layer);

// ---- accounting, for tests and the host's leak report -----------------------------------

// Memory handles allocated and not yet freed: all, or those allocated for one plug-in id
// (names the suites hand out count for the plug-in id passed in the call).
size_t LiveMemHandles();
size_t LiveMemHandles(AEGP_PluginID plugin);
// Lock count of a memory handle; -1 when stale.
int MemHandleLockCount(AEGP_MemHandle mem);
// Stream references opened and not disposed; render options not disposed; frame receipts
// not checked in; worlds alive (those of receipts included).
size_t LiveStreamRefs();
size_t LiveRenderOptions();
size_t LiveFrameReceipts();
size_t LiveWorlds();
// Frees every memory handle, stream reference, render options, receipt and world (their
// handles go stale). For tests and host shutdown.
void ResetHandleTables();

// ---- memory handles the host fills --------------------------------------------------------

// A memory handle holding `text` as zero-terminated UTF-16 / zero-terminated 8-bit text.
AEGP_MemHandle NewUtf16Handle(AEGP_PluginID plugin, std::string_view utf8);
AEGP_MemHandle NewTextHandle(AEGP_PluginID plugin, std::string_view text);

// UTF-8 <-> UTF-16. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);
// Reads a zero-terminated UTF-16 string (at most maxChars units).
std::u16string Utf16FromZ(const A_UTF16Char* z, size_t maxChars = 1 << 20);

// ---- worlds ---------------------------------------------------------------------------------

// A new world (every byte 0) for the World Suite; null for a bad type or size. Dispose it
// with DisposeWorld (a receipt's world goes with AEGP_CheckinFrame instead).
AEGP_WorldH NewWorld(AEGP_WorldType type, int width, int height);
// The world a handle names; null when stale.
World* LookupWorld(AEGP_WorldH world);
// False when stale or owned by a frame receipt.
bool DisposeWorld(AEGP_WorldH world);

// ---- services a later issue drops in ------------------------------------------------------

// What AEGP_RenderAndCheckoutFrame asks a renderer for. The output world has the
// composition's size divided by the downsample factors (rounded up) and the asked type.
struct RenderRequest {
    ObjectId comp = 0;
    double time = 0;  // seconds
    AEGP_WorldType worldType = AEGP_WorldType_8;
    int downsampleX = 1;
    int downsampleY = 1;
    AEGP_RenderSuiteCheckForCancellation cancel = nullptr;
    AEGP_CancelRefcon cancelRefcon = nullptr;
};
// Renders into `out` (already of the right type and size, all 0); returns A_Err_NONE or an
// error the Render Suite passes on. Without a renderer (the default) rendering returns
// A_Err_NOT_AVAILABLE.
using FrameRenderer = std::function<A_Err(Project& project, const RenderRequest& request, World& out)>;
void SetFrameRenderer(FrameRenderer renderer);

// Runs a script: returns true with *result filled, or false with *error filled. Without an
// engine (the default) AEGP_ExecuteScript returns A_Err_NOT_AVAILABLE with the error text
// "script engine not available".
using ScriptEngine = std::function<bool(const std::string& script, std::string* result, std::string* error)>;
void SetScriptEngine(ScriptEngine engine);

}  // namespace qlo::hostsim
