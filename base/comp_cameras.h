// The one walk over a composition's camera layers that every caller uses (the camera list for
// phones, the camera switches, the lookup of a phone's camera by name and the check that a kept
// layer handle is still one of the composition's cameras). Main thread only.
#pragma once

#include "base/suite_handler.h"
#include "sdk/AE_SDK.h"

// Calls visit(index, layer) for every camera layer of `comp`, in layer order (index 0, the top
// of the stack, first), until visit returns false. A layer whose handle or object type cannot be
// read is skipped; only handles the host lists now are handed out. False when `comp` is null or
// its layer count cannot be read (then nothing is visited).
template <class Visit>
bool ForEachCameraLayer(AEGP_SuiteHandler& suites, AEGP_CompH comp, Visit visit) {
    const AEGP_LayerSuite15* layers = suites.LayerSuite15();
    A_long count = 0;
    if (comp == nullptr || layers->AEGP_GetCompNumLayers(comp, &count) != A_Err_NONE) return false;
    for (A_long i = 0; i < count; ++i) {
        AEGP_LayerH layer = nullptr;
        if (layers->AEGP_GetCompLayerByIndex(comp, i, &layer) != A_Err_NONE || layer == nullptr) continue;
        AEGP_ObjectType type = AEGP_ObjectType_NONE;
        if (layers->AEGP_GetLayerObjectType(layer, &type) != A_Err_NONE || type != AEGP_ObjectType_CAMERA) {
            continue;
        }
        if (!visit(i, layer)) break;
    }
    return true;
}
