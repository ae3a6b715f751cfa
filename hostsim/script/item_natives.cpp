// Items and layers:
//   Item:        name, id, typeName ("Composition", "Footage", "Folder")
//   AVItem:      width, height
//   CompItem:    time (settable: moves the composition's time, clamped to [0, duration]; while
//                the composition plays, playback goes on from there; reading gives the time the
//                viewer shows, the playback time while playing), frameDuration (1 / frameRate),
//                duration, frameRate, numLayers; layer(index from 1 | name) -> the layer or
//                null; openInViewer() -> the Viewer (the composition comes to the front of the
//                viewer and becomes the active item)
//   Layer:       name, index (from 1); AVLayer (solids, nulls), CameraLayer, LightLayer
#include <cmath>
#include <string>

#include "hostsim/app/comp_time.h"
#include "hostsim/app/host_app.h"
#include "hostsim/script/object_model.h"
#include "platform/runloop.h"

namespace qlo::hostsim::script {

namespace {

Item* SelfItem(NativeCall& call) {
    Item* item = call.hasSelf ? CurrentProject().findItem(IdOf(call.self)) : nullptr;
    if (item == nullptr) Fail(call, "Object is invalid");
    return item;
}

Composition* SelfComp(NativeCall& call) {
    Item* item = SelfItem(call);
    if (item == nullptr) return nullptr;
    Composition* comp = item->asComposition();
    if (comp == nullptr) Fail(call, "Object is invalid");
    return comp;
}

Layer* SelfLayer(NativeCall& call, Composition** owner) {
    Layer* layer = call.hasSelf ? CurrentProject().findLayer(IdOf(call.self), owner) : nullptr;
    if (layer == nullptr) Fail(call, "Object is invalid");
    return layer;
}

bool ItemName(NativeCall& call) {
    Item* item = SelfItem(call);
    return item != nullptr && ReturnText(call, item->name);
}

bool ItemId(NativeCall& call) {
    Item* item = SelfItem(call);
    return item != nullptr && ReturnNumber(call, static_cast<double>(item->id()));
}

bool ItemTypeName(NativeCall& call) {
    Item* item = SelfItem(call);
    if (item == nullptr) return false;
    switch (item->type()) {
        case ItemType::Composition: return ReturnText(call, "Composition");
        case ItemType::Footage: return ReturnText(call, "Footage");
        case ItemType::Folder: return ReturnText(call, "Folder");
    }
    return ReturnText(call, "Item");
}

bool AVItemWidth(NativeCall& call) {
    Item* item = SelfItem(call);
    if (item == nullptr) return false;
    if (const Composition* comp = item->asComposition()) return ReturnNumber(call, comp->width);
    if (item->type() == ItemType::Footage) return ReturnNumber(call, static_cast<Footage*>(item)->width);
    return Fail(call, "Object is invalid");
}

bool AVItemHeight(NativeCall& call) {
    Item* item = SelfItem(call);
    if (item == nullptr) return false;
    if (const Composition* comp = item->asComposition()) return ReturnNumber(call, comp->height);
    if (item->type() == ItemType::Footage) return ReturnNumber(call, static_cast<Footage*>(item)->height);
    return Fail(call, "Object is invalid");
}

bool CompTime(NativeCall& call) {
    Composition* comp = SelfComp(call);
    return comp != nullptr && ReturnNumber(call, CompositionTime(CurrentProject(), *comp));
}

bool CompSetTime(NativeCall& call) {
    Composition* comp = SelfComp(call);
    if (comp == nullptr) return false;
    double seconds = 0;
    if (!NumberArg(call, 0, &seconds) || !std::isfinite(seconds)) {
        return Fail(call, "CompItem.time: a number of seconds is needed");
    }
    SetCompositionTime(CurrentProject(), *comp, seconds, runloop::RunLoop::main().now());
    return ReturnUndefined(call);
}

bool CompFrameDuration(NativeCall& call) {
    Composition* comp = SelfComp(call);
    if (comp == nullptr) return false;
    return ReturnNumber(call, comp->frameRate > 0 ? 1.0 / comp->frameRate : 0.0);
}

bool CompDuration(NativeCall& call) {
    Composition* comp = SelfComp(call);
    return comp != nullptr && ReturnNumber(call, comp->duration);
}

bool CompFrameRate(NativeCall& call) {
    Composition* comp = SelfComp(call);
    return comp != nullptr && ReturnNumber(call, comp->frameRate);
}

bool CompNumLayers(NativeCall& call) {
    Composition* comp = SelfComp(call);
    return comp != nullptr && ReturnNumber(call, static_cast<double>(comp->numLayers()));
}

bool CompLayer(NativeCall& call) {
    Composition* comp = SelfComp(call);
    if (comp == nullptr) return false;
    if (call.argc > 0 && call.args[0].kind == Kind::Number) {
        const double index = call.args[0].number;
        if (index != std::floor(index) || index < 1 || index > static_cast<double>(comp->numLayers())) {
            return ReturnNull(call);
        }
        return ReturnObject(call, RefOfLayer(*comp->layerAt(static_cast<size_t>(index) - 1)));
    }
    std::string name;
    if (!TextArg(call, 0, &name)) return Fail(call, "CompItem.layer: an index or a name is needed");
    for (const auto& layer : comp->layers()) {
        if (layer->name == name) return ReturnObject(call, RefOfLayer(*layer));
    }
    return ReturnNull(call);
}

bool CompOpenInViewer(NativeCall& call) {
    Composition* comp = SelfComp(call);
    if (comp == nullptr) return false;
    Project& project = CurrentProject();
    project.openInViewer(comp->id());
    project.setActiveItem(comp->id());
    if (HostApp* app = HostApp::current()) app->viewer().window();
    return ReturnObject(call, HostRef{HostClass::Viewer, static_cast<double>(comp->id()), 0});
}

bool LayerName(NativeCall& call) {
    Layer* layer = SelfLayer(call, nullptr);
    return layer != nullptr && ReturnText(call, layer->name);
}

bool LayerIndex(NativeCall& call) {
    Composition* owner = nullptr;
    Layer* layer = SelfLayer(call, &owner);
    return layer != nullptr && ReturnNumber(call, owner->indexOf(layer->id()) + 1);
}

constexpr PropertyDef kItemProperties[] = {
    {"name", &ItemName, nullptr},
    {"id", &ItemId, nullptr},
    {"typeName", &ItemTypeName, nullptr},
};
constexpr PropertyDef kAVItemProperties[] = {
    {"width", &AVItemWidth, nullptr},
    {"height", &AVItemHeight, nullptr},
};
constexpr PropertyDef kCompProperties[] = {
    {"time", &CompTime, &CompSetTime},
    {"frameDuration", &CompFrameDuration, nullptr},
    {"duration", &CompDuration, nullptr},
    {"frameRate", &CompFrameRate, nullptr},
    {"numLayers", &CompNumLayers, nullptr},
};
constexpr MethodDef kCompMethods[] = {
    {"layer", &CompLayer, 1},
    {"openInViewer", &CompOpenInViewer, 0},
};
constexpr PropertyDef kLayerProperties[] = {
    {"name", &LayerName, nullptr},
    {"index", &LayerIndex, nullptr},
};

}  // namespace

const ClassDef kItemClass{HostClass::Item, "Item", HostClass::Count, kItemProperties, {}};
const ClassDef kAVItemClass{HostClass::AVItem, "AVItem", HostClass::Item, kAVItemProperties, {}};
const ClassDef kCompItemClass{HostClass::CompItem, "CompItem", HostClass::AVItem, kCompProperties,
                               kCompMethods};
const ClassDef kFootageItemClass{HostClass::FootageItem, "FootageItem", HostClass::AVItem, {}, {}};
const ClassDef kFolderItemClass{HostClass::FolderItem, "FolderItem", HostClass::Item, {}, {}};
const ClassDef kLayerClass{HostClass::Layer, "Layer", HostClass::Count, kLayerProperties, {}};
const ClassDef kAVLayerClass{HostClass::AVLayer, "AVLayer", HostClass::Layer, {}, {}};
const ClassDef kCameraLayerClass{HostClass::CameraLayer, "CameraLayer", HostClass::Layer, {}, {}};
const ClassDef kLightLayerClass{HostClass::LightLayer, "LightLayer", HostClass::Layer, {}, {}};

}  // namespace qlo::hostsim::script
