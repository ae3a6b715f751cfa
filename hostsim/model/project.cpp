// The project model: streams, layers, items, the project, the viewer and playback.
#include "hostsim/model/project.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>

namespace qlo::hostsim {

// ---- identities and time ----------------------------------------------------------------

ObjectId NewObjectId() {
    static std::atomic<ObjectId> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

double Seconds(const A_Time& t) {
    return static_cast<double>(t.value) / static_cast<double>(t.scale);
}

A_Time ToATime(double seconds) {
    A_u_long scale = 1000000;
    const double limit = static_cast<double>(std::numeric_limits<A_long>::max());
    while (scale > 1 && std::fabs(seconds * scale) > limit) scale /= 10;
    double v = std::round(seconds * scale);
    v = std::clamp(v, -limit, limit);
    return A_Time{static_cast<A_long>(v), scale};
}

// ---- stream values ----------------------------------------------------------------------

ValueKind ValueKindOf(AEGP_LayerStream stream) {
    switch (stream) {
    case AEGP_LayerStream_ANCHORPOINT:
    case AEGP_LayerStream_POSITION:
    case AEGP_LayerStream_SCALE:
    case AEGP_LayerStream_ORIENTATION:
        return ValueKind::ThreeD;
    case AEGP_LayerStream_COLOR:
        return ValueKind::Color;
    default:
        return ValueKind::OneD;
    }
}

namespace {
struct StreamNameEntry {
    AEGP_LayerStream id;
    const char* name;
};
constexpr StreamNameEntry kStreamNames[] = {
    {AEGP_LayerStream_ANCHORPOINT, "anchorPoint"},
    {AEGP_LayerStream_POSITION, "position"},
    {AEGP_LayerStream_SCALE, "scale"},
    {AEGP_LayerStream_ROTATION, "rotationZ"},
    {AEGP_LayerStream_OPACITY, "opacity"},
    {AEGP_LayerStream_ROTATE_X, "rotationX"},
    {AEGP_LayerStream_ROTATE_Y, "rotationY"},
    {AEGP_LayerStream_ORIENTATION, "orientation"},
    {AEGP_LayerStream_ZOOM, "zoom"},
    {AEGP_LayerStream_DEPTH_OF_FIELD, "depthOfField"},
    {AEGP_LayerStream_FOCUS_DISTANCE, "focusDistance"},
    {AEGP_LayerStream_APERTURE, "aperture"},
    {AEGP_LayerStream_BLUR_LEVEL, "blurLevel"},
    {AEGP_LayerStream_INTENSITY, "intensity"},
    {AEGP_LayerStream_COLOR, "color"},
};
}  // namespace

std::string StreamName(AEGP_LayerStream stream) {
    for (const auto& e : kStreamNames)
        if (e.id == stream) return e.name;
    return {};
}

AEGP_LayerStream StreamFromName(const std::string& name) {
    for (const auto& e : kStreamNames)
        if (name == e.name) return e.id;
    return AEGP_LayerStream_NONE;
}

// ---- streams ----------------------------------------------------------------------------

Stream::Stream(AEGP_LayerStream id, Value staticValue) : id_(id), static_(staticValue) {}

bool Stream::setStaticValue(const Value& value) {
    if (animated()) return false;
    static_ = value;
    return true;
}

Value Stream::valueAt(double t) const {
    if (keys_.empty()) return static_;
    if (t <= keys_.front().time) return keys_.front().value;
    if (t >= keys_.back().time) return keys_.back().value;
    // The first key after t; keys_[i - 1].time < t < keys_[i].time (or t equals a key time,
    // which the interpolation below handles: f = 0 gives the earlier key exactly).
    auto it = std::upper_bound(keys_.begin(), keys_.end(), t,
                               [](double time, const Keyframe& k) { return time < k.time; });
    const Keyframe& b = *it;
    const Keyframe& a = *(it - 1);
    if (a.outInterp == AEGP_KeyInterp_HOLD) return a.value;
    const double f = (t - a.time) / (b.time - a.time);
    Value out;
    for (size_t i = 0; i < out.v.size(); ++i) out.v[i] = a.value.v[i] + (b.value.v[i] - a.value.v[i]) * f;
    return out;
}

namespace {
// Index of the key at `t`, or -1; *insertAt receives where a key at t goes in time order. A key
// is at t when it is closer than kTimeEpsilon (the nearest such key). Keys are always at least
// kTimeEpsilon apart, since a time within it of a key names that key.
int FindKey(const std::vector<Keyframe>& keys, double t, size_t* insertAt) {
    const auto it = std::lower_bound(keys.begin(), keys.end(), t,
                                     [](const Keyframe& k, double time) { return k.time < time; });
    const size_t at = static_cast<size_t>(it - keys.begin());
    if (insertAt) *insertAt = at;
    int best = -1;
    double bestDistance = kTimeEpsilon;
    for (size_t i = at > 0 ? at - 1 : 0; i < keys.size() && i <= at; ++i) {
        const double distance = std::fabs(keys[i].time - t);
        if (distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}
}  // namespace

int Stream::insertKeyframe(double t) {
    size_t at = 0;
    int existing = FindKey(keys_, t, &at);
    if (existing >= 0) return existing;
    Keyframe k;
    k.time = t;
    k.value = valueAt(t);
    // Like a host whose default follows the stream's keys: the key before (or, first, after).
    if (!keys_.empty()) {
        const Keyframe& like = keys_[at > 0 ? at - 1 : 0];
        k.inInterp = like.inInterp;
        k.outInterp = like.outInterp;
    }
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(at), k);
    return static_cast<int>(at);
}

int Stream::setKeyframe(double t, const Value& value, AEGP_KeyframeInterpolationType in,
                        AEGP_KeyframeInterpolationType out) {
    size_t at = 0;
    int existing = FindKey(keys_, t, &at);
    if (existing >= 0) {
        Keyframe& k = keys_[static_cast<size_t>(existing)];
        k.value = value;
        k.inInterp = in;
        k.outInterp = out;
        return existing;
    }
    keys_.insert(keys_.begin() + static_cast<std::ptrdiff_t>(at), Keyframe{t, value, in, out});
    return static_cast<int>(at);
}

bool Stream::deleteKeyframe(int index) {
    if (index < 0 || index >= numKeyframes()) return false;
    if (keys_.size() == 1) static_ = keys_.front().value;
    keys_.erase(keys_.begin() + index);
    return true;
}

bool Stream::setKeyframeValue(int index, const Value& value) {
    if (index < 0 || index >= numKeyframes()) return false;
    keys_[static_cast<size_t>(index)].value = value;
    return true;
}

bool Stream::setKeyframeInterpolation(int index, AEGP_KeyframeInterpolationType in,
                                      AEGP_KeyframeInterpolationType out) {
    if (index < 0 || index >= numKeyframes()) return false;
    keys_[static_cast<size_t>(index)].inInterp = in;
    keys_[static_cast<size_t>(index)].outInterp = out;
    return true;
}

bool Stream::operator==(const Stream& o) const {
    if (id_ != o.id_ || keys_ != o.keys_) return false;
    // The static value of an animated stream is not observable.
    return animated() || static_ == o.static_;
}

// ---- layers -----------------------------------------------------------------------------

const char* LayerTypeName(LayerType type) {
    switch (type) {
    case LayerType::Camera: return "camera";
    case LayerType::Solid: return "solid";
    case LayerType::Light: return "light";
    case LayerType::Null: return "null";
    }
    return "?";
}

bool LayerTypeFromName(const std::string& name, LayerType* type) {
    for (LayerType t : {LayerType::Camera, LayerType::Solid, LayerType::Light, LayerType::Null}) {
        if (name == LayerTypeName(t)) {
            *type = t;
            return true;
        }
    }
    return false;
}

std::vector<AEGP_LayerStream> StreamsOf(LayerType type) {
    std::vector<AEGP_LayerStream> s = {
        AEGP_LayerStream_ANCHORPOINT, AEGP_LayerStream_POSITION,    AEGP_LayerStream_SCALE,
        AEGP_LayerStream_ROTATE_X,    AEGP_LayerStream_ROTATE_Y,    AEGP_LayerStream_ROTATION,
        AEGP_LayerStream_ORIENTATION, AEGP_LayerStream_OPACITY,
    };
    if (type == LayerType::Camera) {
        s.insert(s.end(), {AEGP_LayerStream_ZOOM, AEGP_LayerStream_DEPTH_OF_FIELD,
                           AEGP_LayerStream_FOCUS_DISTANCE, AEGP_LayerStream_APERTURE,
                           AEGP_LayerStream_BLUR_LEVEL});
    } else if (type == LayerType::Light) {
        s.insert(s.end(), {AEGP_LayerStream_INTENSITY, AEGP_LayerStream_COLOR});
    }
    return s;
}

double DefaultCameraZoom(int compWidth) {
    constexpr double kPi = 3.14159265358979323846;
    return (compWidth / 2.0) / std::tan(39.6 / 2.0 * kPi / 180.0);
}

namespace {
Value DefaultStreamValue(AEGP_LayerStream id) {
    switch (id) {
    case AEGP_LayerStream_SCALE: return Value::Three(100, 100, 100);
    case AEGP_LayerStream_OPACITY: return Value::One(100);
    case AEGP_LayerStream_ZOOM: return Value::One(DefaultCameraZoom(1920));
    case AEGP_LayerStream_FOCUS_DISTANCE: return Value::One(DefaultCameraZoom(1920));
    case AEGP_LayerStream_APERTURE: return Value::One(25.3);
    case AEGP_LayerStream_BLUR_LEVEL: return Value::One(100);
    case AEGP_LayerStream_INTENSITY: return Value::One(100);
    case AEGP_LayerStream_COLOR: return Value::Rgba(1, 1, 1, 1);
    default: return Value{};
    }
}
}  // namespace

Layer::Layer(LayerType type, std::string name_)
    : name(std::move(name_)), id_(NewObjectId()), type_(type) {
    for (AEGP_LayerStream s : StreamsOf(type)) streams_.emplace(s, Stream(s, DefaultStreamValue(s)));
    switch (type) {
    case LayerType::Camera:
    case LayerType::Light:
        flags |= AEGP_LayerFlag_LAYER_IS_3D;
        break;
    case LayerType::Null:
        flags |= AEGP_LayerFlag_NULL_LAYER;
        set(AEGP_LayerStream_ANCHORPOINT, Value::Three(width / 2.0, height / 2.0, 0));
        break;
    case LayerType::Solid:
        break;
    }
}

AEGP_ObjectType Layer::objectType() const {
    switch (type_) {
    case LayerType::Camera: return AEGP_ObjectType_CAMERA;
    case LayerType::Light: return AEGP_ObjectType_LIGHT;
    default: return AEGP_ObjectType_AV;
    }
}

Stream* Layer::stream(AEGP_LayerStream id) {
    auto it = streams_.find(id);
    return it == streams_.end() ? nullptr : &it->second;
}

const Stream* Layer::stream(AEGP_LayerStream id) const {
    auto it = streams_.find(id);
    return it == streams_.end() ? nullptr : &it->second;
}

void Layer::set(AEGP_LayerStream id, const Value& value) {
    Stream* s = stream(id);
    if (!s) throw std::logic_error(std::string(LayerTypeName(type_)) + " layer has no stream " + StreamName(id));
    if (!s->setStaticValue(value))
        throw std::logic_error("stream " + StreamName(id) + " is animated");
}

Value Layer::get(AEGP_LayerStream id, double seconds) const {
    const Stream* s = stream(id);
    if (!s) throw std::logic_error(std::string(LayerTypeName(type_)) + " layer has no stream " + StreamName(id));
    return s->valueAt(seconds);
}

// ---- items ------------------------------------------------------------------------------

const char* ItemTypeName(ItemType type) {
    switch (type) {
    case ItemType::Folder: return "folder";
    case ItemType::Composition: return "composition";
    case ItemType::Footage: return "footage";
    }
    return "?";
}

Item::Item(ItemType type, std::string name_) : name(std::move(name_)), id_(NewObjectId()), type_(type) {}

AEGP_ItemType Item::sdkType() const {
    switch (type_) {
    case ItemType::Folder: return AEGP_ItemType_FOLDER;
    case ItemType::Composition: return AEGP_ItemType_COMP;
    case ItemType::Footage: return AEGP_ItemType_FOOTAGE;
    }
    return AEGP_ItemType_NONE;
}

Composition* Item::asComposition() {
    return type_ == ItemType::Composition ? static_cast<Composition*>(this) : nullptr;
}

const Composition* Item::asComposition() const {
    return type_ == ItemType::Composition ? static_cast<const Composition*>(this) : nullptr;
}

Composition::Composition(std::string name_, int width_, int height_, double frameRate_, double duration_)
    : Item(ItemType::Composition, std::move(name_)),
      width(width_),
      height(height_),
      frameRate(frameRate_),
      duration(duration_),
      currentTime(0) {}

Layer* Composition::layerAt(size_t index) {
    return index < layers_.size() ? layers_[index].get() : nullptr;
}

const Layer* Composition::layerAt(size_t index) const {
    return index < layers_.size() ? layers_[index].get() : nullptr;
}

Layer* Composition::findLayer(ObjectId id) {
    int i = indexOf(id);
    return i < 0 ? nullptr : layers_[static_cast<size_t>(i)].get();
}

int Composition::indexOf(ObjectId id) const {
    for (size_t i = 0; i < layers_.size(); ++i)
        if (layers_[i]->id() == id) return static_cast<int>(i);
    return -1;
}

Layer& Composition::addLayer(std::unique_ptr<Layer> layer, size_t index) {
    index = std::min(index, layers_.size());
    Layer& ref = *layer;
    layers_.insert(layers_.begin() + static_cast<std::ptrdiff_t>(index), std::move(layer));
    return ref;
}

Layer& Composition::addSolid(const std::string& name_, const Value& rgba, int w, int h, size_t index) {
    auto layer = std::make_unique<Layer>(LayerType::Solid, name_);
    layer->sourceName = name_;
    layer->color = rgba;
    layer->width = w;
    layer->height = h;
    layer->set(AEGP_LayerStream_ANCHORPOINT, Value::Three(w / 2.0, h / 2.0, 0));
    layer->set(AEGP_LayerStream_POSITION, Value::Three(width / 2.0, height / 2.0, 0));
    return addLayer(std::move(layer), index);
}

Layer& Composition::addNull(const std::string& name_, size_t index) {
    auto layer = std::make_unique<Layer>(LayerType::Null, name_);
    layer->sourceName = name_;
    layer->set(AEGP_LayerStream_POSITION, Value::Three(width / 2.0, height / 2.0, 0));
    return addLayer(std::move(layer), index);
}

Layer& Composition::addLight(const std::string& name_, A_FloatPoint centre, size_t index) {
    auto layer = std::make_unique<Layer>(LayerType::Light, name_);
    layer->flags |= AEGP_LayerFlag_LOOK_AT_POI;
    layer->set(AEGP_LayerStream_ANCHORPOINT, Value::Three(centre.x, centre.y, 0));
    layer->set(AEGP_LayerStream_POSITION, Value::Three(centre.x, centre.y - 400, -600));
    return addLayer(std::move(layer), index);
}

Layer& Composition::addCamera(const std::string& name_, A_FloatPoint centre, size_t index) {
    auto layer = std::make_unique<Layer>(LayerType::Camera, name_);
    const double zoom = DefaultCameraZoom(width);
    layer->flags |= AEGP_LayerFlag_LOOK_AT_POI;
    layer->set(AEGP_LayerStream_ANCHORPOINT, Value::Three(centre.x, centre.y, 0));
    layer->set(AEGP_LayerStream_POSITION, Value::Three(centre.x, centre.y, -zoom));
    layer->set(AEGP_LayerStream_ZOOM, Value::One(zoom));
    layer->set(AEGP_LayerStream_FOCUS_DISTANCE, Value::One(zoom));
    layer->set(AEGP_LayerStream_APERTURE, Value::One(25.3));
    layer->set(AEGP_LayerStream_BLUR_LEVEL, Value::One(100));
    layer->set(AEGP_LayerStream_DEPTH_OF_FIELD, Value::One(0));
    return addLayer(std::move(layer), index);
}

bool Composition::removeLayer(ObjectId id) {
    int i = indexOf(id);
    if (i < 0) return false;
    layers_.erase(layers_.begin() + i);
    return true;
}

// ---- the project ------------------------------------------------------------------------

Project::Project() : id_(NewObjectId()) {}

Item* Project::itemAt(size_t index) { return index < items_.size() ? items_[index].get() : nullptr; }
const Item* Project::itemAt(size_t index) const {
    return index < items_.size() ? items_[index].get() : nullptr;
}

int Project::indexOf(ObjectId id) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i]->id() == id) return static_cast<int>(i);
    return -1;
}

Item* Project::findItem(ObjectId id) {
    int i = indexOf(id);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

const Item* Project::findItem(ObjectId id) const {
    int i = indexOf(id);
    return i < 0 ? nullptr : items_[static_cast<size_t>(i)].get();
}

Item* Project::findItemByName(const std::string& name) {
    for (auto& item : items_)
        if (item->name == name) return item.get();
    return nullptr;
}

Composition* Project::findComposition(ObjectId id) {
    Item* item = findItem(id);
    return item ? item->asComposition() : nullptr;
}

Layer* Project::findLayer(ObjectId id, Composition** owner) {
    if (id == 0) return nullptr;
    for (auto& item : items_) {
        Composition* comp = item->asComposition();
        if (!comp) continue;
        if (Layer* layer = comp->findLayer(id)) {
            if (owner) *owner = comp;
            return layer;
        }
    }
    return nullptr;
}

Composition& Project::addComposition(const std::string& name, int width, int height,
                                     double frameRate, double duration) {
    return static_cast<Composition&>(
        addItem(std::make_unique<Composition>(name, width, height, frameRate, duration)));
}

Footage& Project::addFootage(const std::string& name, int width, int height) {
    return static_cast<Footage&>(addItem(std::make_unique<Footage>(name, width, height)));
}

Folder& Project::addFolder(const std::string& name) {
    return static_cast<Folder&>(addItem(std::make_unique<Folder>(name)));
}

Item& Project::addItem(std::unique_ptr<Item> item) {
    items_.push_back(std::move(item));
    return *items_.back();
}

bool Project::deleteItem(ObjectId id) {
    int i = indexOf(id);
    if (i < 0) return false;
    if (playingComp_ == id) playingComp_ = 0;
    if (active_ == id) active_ = 0;
    closeViewer(id);
    items_.erase(items_.begin() + i);
    return true;
}

bool Project::deleteLayer(ObjectId id) {
    Composition* owner = nullptr;
    if (!findLayer(id, &owner)) return false;
    return owner->removeLayer(id);
}

Item* Project::activeItem() { return active_ ? findItem(active_) : nullptr; }
const Item* Project::activeItem() const { return active_ ? findItem(active_) : nullptr; }

bool Project::setActiveItem(ObjectId id) {
    if (id == 0) {
        active_ = 0;
        return true;
    }
    if (!findItem(id)) return false;
    active_ = id;
    return true;
}

bool Project::selectItem(const std::string& name) {
    Item* item = findItemByName(name);
    if (!item) return false;
    active_ = item->id();
    if (item->asComposition()) openInViewer(item->id());
    return true;
}

bool Project::isOpenInViewer(ObjectId comp) const {
    return std::find(viewer_.begin(), viewer_.end(), comp) != viewer_.end();
}

bool Project::openInViewer(ObjectId comp) {
    Item* item = findItem(comp);
    if (!item || !item->asComposition()) return false;
    closeViewer(comp);
    viewer_.insert(viewer_.begin(), comp);
    return true;
}

void Project::closeViewer(ObjectId comp) {
    viewer_.erase(std::remove(viewer_.begin(), viewer_.end(), comp), viewer_.end());
}

bool Project::togglePlayback(double now) {
    if (playing()) {
        stopPlayback(now);
        return false;
    }
    Item* item = activeItem();
    Composition* comp = item ? item->asComposition() : nullptr;
    if (!comp) return false;
    if (!isOpenInViewer(comp->id())) openInViewer(comp->id());
    double start = comp->currentTime;
    if (start < 0 || start >= comp->duration - kTimeEpsilon) start = 0;
    playingComp_ = comp->id();
    playStartWall_ = now;
    playStartTime_ = start;
    playbackTime_ = start;
    return true;
}

void Project::advance(double now) {
    if (!playing()) return;
    Composition* comp = findComposition(playingComp_);
    if (!comp) {
        playingComp_ = 0;
        return;
    }
    const double elapsed = std::max(0.0, now - playStartWall_);
    double t = playStartTime_ + elapsed;
    if (comp->duration > 0) {
        t = std::fmod(t, comp->duration);
    } else {
        t = 0;
    }
    playbackTime_ = t;
}

void Project::stopPlayback(double now) {
    if (!playing()) return;
    advance(now);
    if (Composition* comp = findComposition(playingComp_)) comp->currentTime = playbackTime_;
    playingComp_ = 0;
}

double Project::viewTime(const Composition& comp, bool* previewing) const {
    const bool isPlaying = playingComp_ != 0 && playingComp_ == comp.id();
    if (previewing) *previewing = isPlaying;
    return isPlaying ? playbackTime_ : comp.currentTime;
}

// ---- the process-wide current project ---------------------------------------------------

namespace {
std::unique_ptr<Project>& CurrentSlot() {
    static std::unique_ptr<Project> project;
    return project;
}
}  // namespace

Project& CurrentProject() {
    auto& slot = CurrentSlot();
    if (!slot) slot = std::make_unique<Project>();
    return *slot;
}

void SetCurrentProject(std::unique_ptr<Project> project) {
    CurrentSlot() = project ? std::move(project) : std::make_unique<Project>();
}

// ---- errors -----------------------------------------------------------------------------

namespace {
std::string FormatError(const std::string& file, int line, int column, const std::string& message) {
    std::string s = file;
    if (line > 0) {
        s += ":" + std::to_string(line);
        if (column > 0) s += ":" + std::to_string(column);
    }
    return s + ": " + message;
}
}  // namespace

ProjectFileError::ProjectFileError(std::string file, int line, int column, std::string message)
    : std::runtime_error(FormatError(file, line, column, message)),
      file_(std::move(file)),
      line_(line),
      column_(column),
      message_(std::move(message)) {}

}  // namespace qlo::hostsim
