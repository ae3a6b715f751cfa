// Render Options Suite 3, Render Suite 8 and World Suite 3. Rendering itself needs a
// renderer (SetFrameRenderer); until one is installed AEGP_RenderAndCheckoutFrame returns
// A_Err_NOT_AVAILABLE. quillo-host's own renderer is in hostsim/render/ (installed with
// render::UseSceneRenderer; docs/rendering.md).
#include <utility>

#include "hostsim/suites/handles.h"
#include "hostsim/suites/model_suites.h"
#include "hostsim/suites/suite_util.h"
#include "platform/log.h"

namespace qlo::hostsim {

using namespace detail;

namespace {

FrameRenderer& Renderer() {
    static FrameRenderer renderer;
    return renderer;
}

// Options name a composition: they go stale with it.
A_Err ResolveOptions(AEGP_RenderOptionsH optionsH, RenderOptions** out, Composition** comp = nullptr) {
    if (!optionsH) return A_Err_PARAMETER;
    RenderOptions* options = FindOptions(optionsH);
    if (!options) return A_Err_STRUCT;
    Composition* c = CurrentProject().findComposition(options->item);
    if (!c) return A_Err_STRUCT;
    *out = options;
    if (comp) *comp = c;
    return A_Err_NONE;
}

// ---- Render Options Suite ---------------------------------------------------------------

// Options of a composition: its current time, 8 bits per channel, full size.
A_Err NewFromItem(AEGP_PluginID, AEGP_ItemH itemH, AEGP_RenderOptionsH* optionsPH) {
    return Guard([&]() -> A_Err {
        Item* item = nullptr;
        QLO_TRY(ResolveItem(itemH, &item));
        QLO_NEED(optionsPH);
        const Composition* comp = item->asComposition();
        QLO_NEED(comp);
        RenderOptions options;
        options.item = comp->id();
        options.time = comp->currentTime;
        *optionsPH = NewOptions(options);
        return A_Err_NONE;
    });
}

A_Err SetTime(AEGP_RenderOptionsH optionsH, A_Time time) {
    return Guard([&]() -> A_Err {
        RenderOptions* options = nullptr;
        QLO_TRY(ResolveOptions(optionsH, &options));
        double t = 0;
        QLO_NEED(TimeIn(&time, &t));
        options->time = t;
        return A_Err_NONE;
    });
}

A_Err GetTime(AEGP_RenderOptionsH optionsH, A_Time* timeP) {
    return Guard([&]() -> A_Err {
        RenderOptions* options = nullptr;
        QLO_TRY(ResolveOptions(optionsH, &options));
        QLO_NEED(timeP);
        *timeP = ToATime(options->time);
        return A_Err_NONE;
    });
}

A_Err SetWorldType(AEGP_RenderOptionsH optionsH, AEGP_WorldType type) {
    return Guard([&]() -> A_Err {
        RenderOptions* options = nullptr;
        QLO_TRY(ResolveOptions(optionsH, &options));
        QLO_NEED(type == AEGP_WorldType_8 || type == AEGP_WorldType_16 || type == AEGP_WorldType_32);
        options->worldType = type;
        return A_Err_NONE;
    });
}

A_Err SetDownsampleFactor(AEGP_RenderOptionsH optionsH, A_short x, A_short y) {
    return Guard([&]() -> A_Err {
        RenderOptions* options = nullptr;
        QLO_TRY(ResolveOptions(optionsH, &options));
        QLO_NEED(x >= 1 && y >= 1);
        options->downsampleX = x;
        options->downsampleY = y;
        return A_Err_NONE;
    });
}

// Disposing options of a deleted composition returns A_Err_STRUCT, and releases them all the same.
A_Err Dispose(AEGP_RenderOptionsH optionsH) {
    return Guard([&]() -> A_Err {
        if (!optionsH) return A_Err_PARAMETER;
        RenderOptions* options = FindOptions(optionsH);
        if (!options) return A_Err_STRUCT;
        const bool alive = CurrentProject().findComposition(options->item) != nullptr;
        EraseOptions(optionsH);
        return alive ? A_Err_NONE : A_Err_STRUCT;
    });
}

const AEGP_RenderOptionsSuite3 kRenderOptionsSuite = {NewFromItem, SetTime, GetTime, SetWorldType,
                                                      SetDownsampleFactor, Dispose};

// ---- Render Suite -----------------------------------------------------------------------

A_Err RenderAndCheckoutFrame(AEGP_RenderOptionsH optionsH, AEGP_RenderSuiteCheckForCancellation cancel_functionP0,
                             AEGP_CancelRefcon cancel_function_refconP0, AEGP_FrameReceiptH* receiptPH) {
    return Guard([&]() -> A_Err {
        RenderOptions* options = nullptr;
        Composition* comp = nullptr;
        QLO_TRY(ResolveOptions(optionsH, &options, &comp));
        QLO_NEED(receiptPH);
        if (!Renderer()) {
            log::Log("[host] AEGP_RenderAndCheckoutFrame: quillo-host has no renderer yet; "
                     "rendering is not available");
            return A_Err_NOT_AVAILABLE;
        }
        RenderRequest request;
        request.comp = comp->id();
        request.time = options->time;
        request.worldType = options->worldType;
        request.downsampleX = options->downsampleX;
        request.downsampleY = options->downsampleY;
        request.cancel = cancel_functionP0;
        request.cancelRefcon = cancel_function_refconP0;
        const int width = (comp->width + request.downsampleX - 1) / request.downsampleX;
        const int height = (comp->height + request.downsampleY - 1) / request.downsampleY;
        auto world = std::make_unique<World>(request.worldType, width, height);
        QLO_TRY(Renderer()(CurrentProject(), request, *world));
        *receiptPH = NewReceipt(NewWorldRecord(std::move(world), true));
        return A_Err_NONE;
    });
}

A_Err CheckinFrame(AEGP_FrameReceiptH receiptH) {
    return Guard([&]() -> A_Err {
        if (!receiptH) return A_Err_PARAMETER;
        if (!FindReceipt(receiptH)) return A_Err_STRUCT;
        EraseReceipt(receiptH);
        return A_Err_NONE;
    });
}

A_Err GetReceiptWorld(AEGP_FrameReceiptH receiptH, AEGP_WorldH* worldPH) {
    return Guard([&]() -> A_Err {
        if (!receiptH) return A_Err_PARAMETER;
        Receipt* receipt = FindReceipt(receiptH);
        if (!receipt) return A_Err_STRUCT;
        QLO_NEED(worldPH);
        *worldPH = receipt->world;
        return A_Err_NONE;
    });
}

const AEGP_RenderSuite8 kRenderSuite = {RenderAndCheckoutFrame, CheckinFrame, GetReceiptWorld};

// ---- World Suite ------------------------------------------------------------------------

A_Err ResolveWorld(AEGP_WorldH worldH, World** out) {
    if (!worldH) return A_Err_PARAMETER;
    World* world = LookupWorld(worldH);
    if (!world) return A_Err_STRUCT;
    *out = world;
    return A_Err_NONE;
}

A_Err GetType(AEGP_WorldH worldH, AEGP_WorldType* typeP) {
    return Guard([&]() -> A_Err {
        World* world = nullptr;
        QLO_TRY(ResolveWorld(worldH, &world));
        QLO_NEED(typeP);
        *typeP = world->type();
        return A_Err_NONE;
    });
}

A_Err GetSize(AEGP_WorldH worldH, A_long* widthPL, A_long* heightPL) {
    return Guard([&]() -> A_Err {
        World* world = nullptr;
        QLO_TRY(ResolveWorld(worldH, &world));
        QLO_NEED(widthPL && heightPL);
        *widthPL = world->width();
        *heightPL = world->height();
        return A_Err_NONE;
    });
}

A_Err GetRowBytes(AEGP_WorldH worldH, A_u_long* row_bytesPL) {
    return Guard([&]() -> A_Err {
        World* world = nullptr;
        QLO_TRY(ResolveWorld(worldH, &world));
        QLO_NEED(row_bytesPL);
        *row_bytesPL = static_cast<A_u_long>(world->rowBytes());
        return A_Err_NONE;
    });
}

A_Err GetBaseAddr8(AEGP_WorldH worldH, PF_Pixel8** base_addrP) {
    return Guard([&]() -> A_Err {
        World* world = nullptr;
        QLO_TRY(ResolveWorld(worldH, &world));
        QLO_NEED(base_addrP);
        QLO_NEED(world->type() == AEGP_WorldType_8);
        *base_addrP = world->pixel8(0, 0);
        return A_Err_NONE;
    });
}

const AEGP_WorldSuite3 kWorldSuite = {GetType, GetSize, GetRowBytes, GetBaseAddr8};

}  // namespace

void SetFrameRenderer(FrameRenderer renderer) { Renderer() = std::move(renderer); }

const AEGP_RenderOptionsSuite3* RenderOptionsSuite() { return &kRenderOptionsSuite; }
const AEGP_RenderSuite8* RenderSuite() { return &kRenderSuite; }
const AEGP_WorldSuite3* WorldSuite() { return &kWorldSuite; }

}  // namespace qlo::hostsim
