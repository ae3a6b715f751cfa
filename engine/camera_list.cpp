// The camera-list check of the idle tick. It runs on every call while the server runs, before
// the work throttle. The timeline stage sets the counter back to 0 after the phones'
// composition changed, so that the refresh that enumerates the composition's cameras for
// GET /cameras runs early. The composition is the active one, else the last one seen (while it
// still exists in the project), else the first one found in the project.
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "engine/idle_stages.h"
#include "base/comp_cameras.h"
#include "base/host_handles.h"
#include "base/main_thread.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "platform/log.h"
#include "platform/utf.h"

using qlo::log::Log;

namespace {

// Refreshes on checks 1, 121, 241, ... (counter values that are exact multiples of 120).
constexpr A_long kRefreshEvery = 120;

// The composition of a project item, when the item is one.
AEGP_CompH CompOfItem(AEGP_SuiteHandler& suites, AEGP_ItemH item) {
    AEGP_ItemType type = AEGP_ItemType_NONE;
    if (suites.ItemSuite14()->AEGP_GetItemType(item, &type) != A_Err_NONE ||
        type != AEGP_ItemType_COMP) {
        return nullptr;
    }
    AEGP_CompH comp = nullptr;
    if (suites.CompSuite25()->AEGP_GetCompFromItem(item, &comp) != A_Err_NONE) return nullptr;
    return comp;
}

// The first project's handle, or null.
AEGP_ProjectH FirstProject(AEGP_SuiteHandler& suites, bool logged) {
    A_long numProjects = 0;
    suites.ProjSuite9()->AEGP_GetNumProjects(&numProjects);
    if (logged) Log("[Quillo Cam] numProjects=%ld", static_cast<long>(numProjects));
    if (numProjects <= 0) return nullptr;
    AEGP_ProjectH project = nullptr;
    const A_Err err = suites.ProjSuite9()->AEGP_GetProjectByIndex(0, &project);
    if (logged) {
        Log("[Quillo Cam] GetProjectByIndex err=%d projH=%p", static_cast<int>(err),
            static_cast<void*>(project));
    }
    return err == A_Err_NONE ? project : nullptr;
}

// Whether the remembered composition is still one of the project's compositions. A
// composition deleted since it was remembered must not be handed to the host.
bool CachedCompStillExists(AEGP_SuiteHandler& suites) {
    const AEGP_ProjectH project = FirstProject(suites, false);
    if (project == nullptr) return false;
    AEGP_ItemH item = nullptr;
    if (suites.ItemSuite14()->AEGP_GetFirstProjItem(project, &item) != A_Err_NONE) return false;
    while (item != nullptr) {
        if (CompOfItem(suites, item) == g_lastValidCompH) return true;
        AEGP_ItemH next = nullptr;
        if (suites.ItemSuite14()->AEGP_GetNextProjItem(project, item, &next) != A_Err_NONE) break;
        item = next;
    }
    return false;
}

// The first composition among the project's items, remembered when found.
AEGP_CompH ScanProjectForComp(AEGP_SuiteHandler& suites) {
    Log("[Quillo Cam] Scanning project items for any comp");
    const AEGP_ProjectH project = FirstProject(suites, true);
    if (project == nullptr) return nullptr;
    AEGP_CompH found = nullptr;
    int examined = 0;
    AEGP_ItemH item = nullptr;
    if (suites.ItemSuite14()->AEGP_GetFirstProjItem(project, &item) != A_Err_NONE) item = nullptr;
    while (item != nullptr) {
        ++examined;
        if (AEGP_CompH comp = CompOfItem(suites, item)) {
            found = comp;
            g_lastValidCompH = comp;
            Log("[Quillo Cam] Found comp via project scan (item %d)", examined);
            break;
        }
        AEGP_ItemH next = nullptr;
        if (suites.ItemSuite14()->AEGP_GetNextProjItem(project, item, &next) != A_Err_NONE) break;
        item = next;
    }
    Log("[Quillo Cam] Project scan done: %d items examined", examined);
    return found;
}

// The active composition, else the remembered one, else the first in the project.
AEGP_CompH ChooseComp() {
    AEGP_SuiteHandler suites(g_basicSuite);
    AEGP_ItemH active = nullptr;
    if (suites.ItemSuite14()->AEGP_GetActiveItem(&active) == A_Err_NONE && active != nullptr) {
        if (AEGP_CompH comp = CompOfItem(suites, active)) {
            g_lastValidCompH = comp;
            return comp;
        }
    }
    if (g_lastValidCompH != nullptr) {
        if (CachedCompStillExists(suites)) {
            Log("[Quillo Cam] Using cached compH (no active item)");
            return g_lastValidCompH;
        }
        g_lastValidCompH = nullptr;
    }
    return ScanProjectForComp(suites);
}

// The name of a camera layer in UTF-8; false when it cannot be read.
bool ReadLayerName(AEGP_SuiteHandler& suites, A_long index, AEGP_LayerH layer, std::string* name) {
    HostMemory nameH(suites.MemorySuite1());
    const A_Err err = suites.LayerSuite15()->AEGP_GetLayerName(g_pluginID, layer, nameH.out(), nullptr);
    if (err != A_Err_NONE || !nameH) {
        Log("[Quillo Cam]   layer[%d]: GetLayerName err=%d nameH=%p", static_cast<int>(index),
            static_cast<int>(err), static_cast<void*>(nameH.get()));
        return false;
    }
    std::u16string units;
    if (!nameH.readUtf16(&units)) return false;
    *name = qlo::text::Utf16ToUtf8(units);
    Log("[Quillo Cam]   layer[%d]: camera name=\"%s\"", static_cast<int>(index), name->c_str());
    return true;
}

}  // namespace

// The names of the composition's named camera layers, in layer order (duplicates kept).
std::vector<std::string> EnumerateCameraLayers(AEGP_CompH comp) {
    AEGP_SuiteHandler suites(g_basicSuite);
    std::vector<std::string> names;
    const bool listed = ForEachCameraLayer(suites, comp, [&](A_long index, AEGP_LayerH layer) {
        std::string name;
        if (ReadLayerName(suites, index, layer, &name) && !name.empty()) names.push_back(name);
        return true;
    });
    if (!listed) {
        Log("[Quillo Cam] GetCompNumLayers failed");
        return names;
    }
    Log("[Quillo Cam] EnumerateCameraLayers → %zu cameras found", names.size());
    return names;
}

void TryRefreshCameraList() {
    QLO_MAIN_THREAD_ONLY("The camera-list check");
    const bool empty = g_server->isCameraListEmpty();
    const A_long taken = TakeAndAdvance(s_camRefreshTick);
    if (taken % kRefreshEvery != 0 && !empty) return;
    Log("[Quillo Cam] TryRefreshCameraList tick=%d empty=%d", static_cast<int>(s_camRefreshTick),
        empty ? 1 : 0);
    const AEGP_CompH comp = ChooseComp();
    if (comp == nullptr) {
        Log("[Quillo Cam] No comp available for camera enumeration");
        return;
    }
    const std::vector<std::string> names = EnumerateCameraLayers(comp);
    g_server->updateCameraList(names);
    Log("[Quillo Cam] Camera list updated: %zu entries", names.size());
}
