// Item Suite 14, Item View Suite 1, Comp Suite 25 and Proj Suite 9 over the current project.
#include "hostsim/suites/handles.h"
#include "hostsim/suites/model_suites.h"
#include "hostsim/suites/suite_util.h"

namespace qlo::hostsim {

using namespace detail;

namespace {

// ---- Item Suite -------------------------------------------------------------------------

A_Err GetFirstProjItem(AEGP_ProjectH projectH, AEGP_ItemH* itemPH) {
    return Guard([&]() -> A_Err {
        Project* project = nullptr;
        QLO_TRY(ResolveProject(projectH, &project));
        QLO_NEED(itemPH);
        Item* first = project->itemAt(0);
        *itemPH = first ? ItemHandle(*first) : nullptr;
        return A_Err_NONE;
    });
}

A_Err GetNextProjItem(AEGP_ProjectH projectH, AEGP_ItemH itemH, AEGP_ItemH* next_itemPH) {
    return Guard([&]() -> A_Err {
        Project* project = nullptr;
        Item* item = nullptr;
        QLO_TRY(ResolveProject(projectH, &project));
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(next_itemPH);
        Item* next = project->itemAt(static_cast<size_t>(project->indexOf(item->id())) + 1);
        *next_itemPH = next ? ItemHandle(*next) : nullptr;
        return A_Err_NONE;
    });
}

A_Err GetActiveItem(AEGP_ItemH* itemPH) {
    return Guard([&]() -> A_Err {
        QLO_NEED(itemPH);
        Item* active = CurrentProject().activeItem();
        *itemPH = active ? ItemHandle(*active) : nullptr;
        return A_Err_NONE;
    });
}

A_Err GetItemType(AEGP_ItemH itemH, AEGP_ItemType* item_typeP) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(item_typeP);
        *item_typeP = item->sdkType();
        return A_Err_NONE;
    });
}

A_Err GetItemName(AEGP_PluginID plugin_id, AEGP_ItemH itemH, AEGP_MemHandle* unicode_namePH) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(unicode_namePH);
        AEGP_MemHandle name = NewUtf16Handle(plugin_id, item->name);
        if (!name) return A_Err_ALLOC;
        *unicode_namePH = name;
        return A_Err_NONE;
    });
}

A_Err GetItemDimensions(AEGP_ItemH itemH, A_long* widthPL, A_long* heightPL) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(widthPL && heightPL);
        if (const Composition* comp = item->asComposition()) {
            *widthPL = comp->width;
            *heightPL = comp->height;
            return A_Err_NONE;
        }
        if (item->type() == ItemType::Footage) {
            const auto* footage = static_cast<const Footage*>(item);
            *widthPL = footage->width;
            *heightPL = footage->height;
            return A_Err_NONE;
        }
        return A_Err_PARAMETER;  // a folder has no size
    });
}

A_Err GetItemDuration(AEGP_ItemH itemH, A_Time* durationPT) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(durationPT);
        if (const Composition* comp = item->asComposition()) {
            *durationPT = ToATime(comp->duration);
            return A_Err_NONE;
        }
        if (item->type() == ItemType::Footage) {  // a still
            *durationPT = A_Time{0, 1};
            return A_Err_NONE;
        }
        return A_Err_PARAMETER;
    });
}

A_Err GetItemCurrentTime(AEGP_ItemH itemH, A_Time* curr_timePT) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(curr_timePT);
        if (const Composition* comp = item->asComposition()) {
            *curr_timePT = ToATime(comp->currentTime);
            return A_Err_NONE;
        }
        if (item->type() == ItemType::Footage) {
            *curr_timePT = A_Time{0, 1};
            return A_Err_NONE;
        }
        return A_Err_PARAMETER;
    });
}

A_Err GetItemMRUView(AEGP_ItemH itemH, AEGP_ItemViewP* mru_viewP) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(mru_viewP);
        const Composition* comp = item->asComposition();
        *mru_viewP = comp && CurrentProject().isOpenInViewer(comp->id()) ? ViewHandle(*comp) : nullptr;
        return A_Err_NONE;
    });
}

const AEGP_ItemSuite14 kItemSuite = {
    GetFirstProjItem, GetNextProjItem,    GetActiveItem,      GetItemType,    GetItemName,
    GetItemDimensions, GetItemDuration, GetItemCurrentTime, GetItemMRUView,
};

// ---- Item View Suite --------------------------------------------------------------------

A_Err GetItemViewPlaybackTime(AEGP_ItemViewP item_viewP, A_Boolean* is_currently_previewingPB,
                              A_Time* curr_timePT) {
    return Guard([&]() -> A_Err {
        Composition* comp = nullptr;
        QLO_TRY(ResolveView(item_viewP, &comp));
        QLO_NEED(is_currently_previewingPB && curr_timePT);
        bool previewing = false;
        const double t = CurrentProject().viewTime(*comp, &previewing);
        *is_currently_previewingPB = previewing ? 1 : 0;
        *curr_timePT = ToATime(t);
        return A_Err_NONE;
    });
}

const AEGP_ItemViewSuite1 kItemViewSuite = {GetItemViewPlaybackTime};

// ---- Comp Suite -------------------------------------------------------------------------

A_Err GetCompFromItem(AEGP_ItemH itemH, AEGP_CompH* compPH) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(compPH);
        const Composition* comp = item->asComposition();
        QLO_NEED(comp);  // not a composition
        *compPH = CompHandle(*comp);
        return A_Err_NONE;
    });
}

A_Err GetItemFromComp(AEGP_CompH compH, AEGP_ItemH* itemPH) {
    return Guard([&]() -> A_Err {
        Composition* comp = nullptr;
        QLO_TRY(ResolveComp(compH, &comp));
        QLO_NEED(itemPH);
        *itemPH = ItemHandle(*comp);
        return A_Err_NONE;
    });
}

A_Err GetCompFramerate(AEGP_CompH compH, A_FpLong* fpsPF) {
    return Guard([&]() -> A_Err {
        Composition* comp = nullptr;
        QLO_TRY(ResolveComp(compH, &comp));
        QLO_NEED(fpsPF);
        *fpsPF = comp->frameRate;
        return A_Err_NONE;
    });
}

A_Err CreateCameraInComp(const A_UTF16Char* utf_nameZ, A_FloatPoint center_point, AEGP_CompH parent_compH,
                         AEGP_LayerH* new_cameraPH) {
    return Guard([&]() -> A_Err {
        Composition* comp = nullptr;
        QLO_TRY(ResolveComp(parent_compH, &comp));
        QLO_NEED(utf_nameZ && new_cameraPH);
        QLO_NEED(std::isfinite(center_point.x) && std::isfinite(center_point.y));
        std::string name = Utf16ToUtf8(Utf16FromZ(utf_nameZ));
        if (name.empty()) {
            int cameras = 0;
            for (const auto& layer : comp->layers()) cameras += layer->type() == LayerType::Camera ? 1 : 0;
            name = "Camera " + std::to_string(cameras + 1);
        }
        Layer& camera = comp->addCamera(name, center_point, 0);
        *new_cameraPH = LayerHandle(camera);
        return A_Err_NONE;
    });
}

const AEGP_CompSuite25 kCompSuite = {GetCompFromItem, GetItemFromComp, GetCompFramerate, CreateCameraInComp};

// ---- Proj Suite -------------------------------------------------------------------------

A_Err GetNumProjects(A_long* num_projPL) {
    return Guard([&]() -> A_Err {
        QLO_NEED(num_projPL);
        *num_projPL = 1;  // the host has exactly one project open
        return A_Err_NONE;
    });
}

A_Err GetProjectByIndex(A_long proj_indexL, AEGP_ProjectH* projPH) {
    return Guard([&]() -> A_Err {
        QLO_NEED(projPH);
        QLO_NEED(proj_indexL == 0);
        *projPH = ProjectHandle(CurrentProject());
        return A_Err_NONE;
    });
}

const AEGP_ProjSuite9 kProjSuite = {GetNumProjects, GetProjectByIndex};

}  // namespace

const AEGP_ItemSuite14* ItemSuite() { return &kItemSuite; }
const AEGP_ItemViewSuite1* ItemViewSuite() { return &kItemViewSuite; }
const AEGP_CompSuite25* CompSuite() { return &kCompSuite; }
const AEGP_ProjSuite9* ProjSuite() { return &kProjSuite; }

}  // namespace qlo::hostsim
