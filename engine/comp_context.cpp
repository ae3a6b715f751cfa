#include "engine/comp_context.h"

#include "base/suite_handler.h"

CompLookup LookUpActiveComp(AEGP_SuiteHandler& suites) {
    CompLookup lookup;
    const AEGP_ItemSuite14* items = suites.ItemSuite14();
    lookup.err = items->AEGP_GetActiveItem(&lookup.item);
    if (lookup.err != A_Err_NONE || lookup.item == nullptr) {
        lookup.outcome = CompLookup::NoActiveItem;
        return lookup;
    }
    if (items->AEGP_GetItemType(lookup.item, &lookup.type) != A_Err_NONE ||
        lookup.type != AEGP_ItemType_COMP) {
        lookup.outcome = CompLookup::NotAComp;
        return lookup;
    }
    AEGP_CompH comp = nullptr;
    if (suites.CompSuite25()->AEGP_GetCompFromItem(lookup.item, &comp) != A_Err_NONE ||
        comp == nullptr) {
        lookup.outcome = CompLookup::NoComp;
        return lookup;
    }
    lookup.outcome = CompLookup::Found;
    lookup.context = CompContext{lookup.item, comp};
    return lookup;
}

bool FindCompTime(AEGP_SuiteHandler& suites, AEGP_ItemH item, A_Time* time, bool* previewing) {
    A_Time t{0, 1};
    A_Boolean preview = false;
    AEGP_ItemViewP view = nullptr;
    bool found = false;
    if (suites.ItemSuite14()->AEGP_GetItemMRUView(item, &view) == A_Err_NONE && view != nullptr) {
        found = suites.ItemViewSuite1()->AEGP_GetItemViewPlaybackTime(view, &preview, &t) ==
                A_Err_NONE;
    }
    if (!found) {
        preview = false;
        t = A_Time{0, 1};
        found = suites.ItemSuite14()->AEGP_GetItemCurrentTime(item, &t) == A_Err_NONE;
    }
    if (!found) return false;
    *time = t;
    if (previewing != nullptr) *previewing = preview != 0;
    return true;
}
