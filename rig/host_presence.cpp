#include "rig/host_presence.h"

#include "base/suite_handler.h"

namespace {

// Every project holds only so many items; a listing that does not end is not trusted.
constexpr int kMaxItemsWalked = 1 << 20;

}  // namespace

Presence CompPresence(AEGP_SuiteHandler& suites, AEGP_CompH comp) {
    if (comp == nullptr) return Presence::Gone;
    AEGP_ProjectH project = nullptr;
    if (suites.ProjSuite9()->AEGP_GetProjectByIndex(0, &project) != A_Err_NONE ||
        project == nullptr) {
        return Presence::Unknown;
    }
    const AEGP_ItemSuite14* items = suites.ItemSuite14();
    AEGP_ItemH item = nullptr;
    if (items->AEGP_GetFirstProjItem(project, &item) != A_Err_NONE) return Presence::Unknown;
    for (int walked = 0; item != nullptr; ++walked) {
        if (walked == kMaxItemsWalked) return Presence::Unknown;
        AEGP_ItemType type = AEGP_ItemType_NONE;
        if (items->AEGP_GetItemType(item, &type) != A_Err_NONE) return Presence::Unknown;
        if (type == AEGP_ItemType_COMP) {
            AEGP_CompH candidate = nullptr;
            if (suites.CompSuite25()->AEGP_GetCompFromItem(item, &candidate) != A_Err_NONE) {
                return Presence::Unknown;
            }
            if (candidate == comp) return Presence::There;
        }
        AEGP_ItemH next = nullptr;
        if (items->AEGP_GetNextProjItem(project, item, &next) != A_Err_NONE) return Presence::Unknown;
        item = next;
    }
    return Presence::Gone;
}

Presence LayerPresence(AEGP_SuiteHandler& suites, AEGP_CompH comp, AEGP_LayerH layer) {
    if (layer == nullptr) return Presence::Gone;
    const Presence compPresence = CompPresence(suites, comp);
    if (compPresence != Presence::There) return compPresence;
    const AEGP_LayerSuite15* layers = suites.LayerSuite15();
    A_long count = 0;
    if (layers->AEGP_GetCompNumLayers(comp, &count) != A_Err_NONE) return Presence::Unknown;
    bool complete = true;
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH candidate = nullptr;
        if (layers->AEGP_GetCompLayerByIndex(comp, i, &candidate) != A_Err_NONE) {
            complete = false;
        } else if (candidate == layer) {
            return Presence::There;
        }
    }
    return complete ? Presence::Gone : Presence::Unknown;
}
