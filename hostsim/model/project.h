// The project model of quillo-host, the stand-in host application: a project of items
// (compositions, footage, folders), the layers of each composition and their animatable
// streams, the active item, the viewer and playback.
//
// The host SDK suites (hostsim/suites/) work on the process-wide current project,
// CurrentProject(): suite functions are plain C function pointers and carry no context. The
// model itself knows nothing of SDK handles; the suites map their opaque handles to the
// ObjectIds below, so that a handle whose object was deleted simply fails to resolve.
//
// Everything here is used on the host's main thread only.
//
// Units: times are seconds (double); sizes and positions are composition pixels; angles are
// degrees; scale, opacity, blur level and light intensity are percent; colours are 0..1.
//
// Layer time: layers in quillo-host all start at composition time 0 and are not time-stretched,
// so layer time equals composition time (AEGP_LTimeMode_LayerTime and _CompTime are the same).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sdk/AE_SDK.h"

namespace qlo::hostsim {

// ---- identities and time ----------------------------------------------------------------

// Identity of a project, item or layer. Process-wide unique and never reused (not even by a
// project loaded later), so a stale identity never names a new object. 0 names nothing.
using ObjectId = std::uint64_t;
ObjectId NewObjectId();

// Two times closer than this are the same time (keyframe times, A_Time conversions).
inline constexpr double kTimeEpsilon = 5e-7;

// Seconds of an A_Time (value / scale). The scale must not be 0.
double Seconds(const A_Time& t);
// The A_Time of a time in seconds: scale 1,000,000 (microseconds) when it fits an A_long, else
// the largest power of ten that fits.
A_Time ToATime(double seconds);

// ---- stream values ----------------------------------------------------------------------

// How many numbers a stream's value has, and what they mean.
enum class ValueKind {
    OneD,    // v[0]
    ThreeD,  // v[0..2] = x, y, z
    Color    // v[0..3] = red, green, blue, alpha (0..1)
};

// One stream value. Unused components are 0.
struct Value {
    std::array<double, 4> v{};

    static Value One(double x) { return Value{{x, 0, 0, 0}}; }
    static Value Three(double x, double y, double z) { return Value{{x, y, z, 0}}; }
    static Value Rgba(double r, double g, double b, double a = 1.0) { return Value{{r, g, b, a}}; }

    double x() const { return v[0]; }
    double y() const { return v[1]; }
    double z() const { return v[2]; }
    bool operator==(const Value& o) const = default;
};

// The value kind of each layer stream (ANCHORPOINT, POSITION, SCALE, ORIENTATION: ThreeD;
// COLOR: Color; the rest OneD).
ValueKind ValueKindOf(AEGP_LayerStream stream);
// Readable name of a layer stream as used in project files ("position", "rotationX", ...);
// empty for an unknown stream. StreamFromName gives AEGP_LayerStream_NONE for an unknown name.
std::string StreamName(AEGP_LayerStream stream);
AEGP_LayerStream StreamFromName(const std::string& name);

struct Keyframe {
    double time = 0;  // seconds, composition time
    Value value;
    AEGP_KeyframeInterpolationType inInterp = AEGP_KeyInterp_LINEAR;
    AEGP_KeyframeInterpolationType outInterp = AEGP_KeyInterp_LINEAR;
    bool operator==(const Keyframe& o) const = default;
};

// One animatable property of a layer: a static value, or keyframes (then it is "animated").
class Stream {
public:
    Stream(AEGP_LayerStream id, Value staticValue);

    AEGP_LayerStream id() const { return id_; }
    ValueKind kind() const { return ValueKindOf(id_); }

    bool animated() const { return !keys_.empty(); }
    const Value& staticValue() const { return static_; }
    // Sets the static value; false (and nothing changes) when the stream is animated.
    bool setStaticValue(const Value& value);

    // The value at a time. Static streams: the static value. Animated: held before the first
    // and after the last key; between two keys linear interpolation, except that a key whose
    // out interpolation is HOLD holds its value up to the next key. BEZIER is treated as
    // LINEAR (there are no tangents in this model).
    Value valueAt(double seconds) const;

    // Keys, sorted by time, no two at the same time (kTimeEpsilon).
    const std::vector<Keyframe>& keyframes() const { return keys_; }
    int numKeyframes() const { return static_cast<int>(keys_.size()); }
    // Inserts a key at the time holding valueAt(time) and gives its index. Its interpolation is
    // the host's default, which follows the stream: that of the key before it (of the first key
    // when it comes first), LINEAR on a stream without keys; so a caller that needs a certain
    // interpolation sets it. When a key already stands at that time, gives its index and
    // changes nothing.
    int insertKeyframe(double seconds);
    // Inserts a key with the given value and interpolation, or replaces the key at that time;
    // gives its index. For building projects (demo, loader, tests).
    int setKeyframe(double seconds, const Value& value,
                    AEGP_KeyframeInterpolationType in = AEGP_KeyInterp_LINEAR,
                    AEGP_KeyframeInterpolationType out = AEGP_KeyInterp_LINEAR);
    // Deletes a key; false for an index out of range. Deleting the last key makes the stream
    // static, holding the deleted key's value.
    bool deleteKeyframe(int index);
    bool setKeyframeValue(int index, const Value& value);
    bool setKeyframeInterpolation(int index, AEGP_KeyframeInterpolationType in,
                                  AEGP_KeyframeInterpolationType out);

    // Equal id and keys, and equal static values unless animated.
    bool operator==(const Stream& o) const;

private:
    AEGP_LayerStream id_;
    Value static_;
    std::vector<Keyframe> keys_;
};

// ---- layers -----------------------------------------------------------------------------

enum class LayerType { Camera, Solid, Light, Null };
// "camera", "solid", "light", "null"; LayerTypeFromName gives false for an unknown name.
const char* LayerTypeName(LayerType type);
bool LayerTypeFromName(const std::string& name, LayerType* type);

// Which streams a layer type has: every layer ANCHORPOINT, POSITION, SCALE, ROTATE_X,
// ROTATE_Y, ROTATION (Z), ORIENTATION, OPACITY; cameras also ZOOM, DEPTH_OF_FIELD,
// FOCUS_DISTANCE, APERTURE, BLUR_LEVEL; lights also INTENSITY, COLOR.
std::vector<AEGP_LayerStream> StreamsOf(LayerType type);

// Grid lines on a solid, in the solid's own pixels: lines parallel to both edges, one through
// the solid's top-left corner and one every `spacing` pixels from there, each `lineWidth`
// pixels wide and centred on its place, in `color` (its alpha mixes it with the solid's colour).
struct SolidGrid {
    double spacing = 0;  // 0: no grid
    double lineWidth = 4;
    Value color = Value::Rgba(1, 1, 1, 1);
    bool enabled() const { return spacing > 0; }
    bool operator==(const SolidGrid& o) const = default;
};

// A layer of a composition. For cameras and lights the anchor point stream is the point of
// interest (as in the real host).
class Layer {
public:
    Layer(LayerType type, std::string name);  // with the type's streams at their defaults

    ObjectId id() const { return id_; }
    LayerType type() const { return type_; }
    AEGP_ObjectType objectType() const;  // CAMERA, LIGHT, or AV for solids and nulls

    std::string name;        // UTF-8
    std::string sourceName;  // UTF-8; empty for a layer without a source (cameras, lights)
    // AEGP_LayerFlag_* bits. New layers: VIDEO_ACTIVE; cameras and lights also LAYER_IS_3D;
    // nulls also NULL_LAYER.
    AEGP_LayerFlags flags = AEGP_LayerFlag_VIDEO_ACTIVE;
    bool hasFlag(AEGP_LayerFlags flag) const { return (flags & flag) != 0; }

    // Solids: colour and size in pixels (nulls: 100 x 100; unused by cameras and lights).
    Value color = Value::Rgba(1, 1, 1, 1);
    int width = 100;
    int height = 100;
    // Solids: lines drawn over the colour (a floor's grid); none unless spacing > 0.
    SolidGrid grid;

    bool hasStream(AEGP_LayerStream id) const { return streams_.count(id) != 0; }
    Stream* stream(AEGP_LayerStream id);  // null when the layer does not have it
    const Stream* stream(AEGP_LayerStream id) const;
    const std::map<AEGP_LayerStream, Stream>& streams() const { return streams_; }

    // Convenience for building: the stream's static value (the stream must exist).
    void set(AEGP_LayerStream id, const Value& value);
    Value get(AEGP_LayerStream id, double seconds = 0) const;

private:
    ObjectId id_;
    LayerType type_;
    std::map<AEGP_LayerStream, Stream> streams_;
};

// The host's default camera zoom for a composition width: (width / 2) / tan(39.6 deg / 2),
// a 50 mm-like lens; about 2666.7 for 1920.
double DefaultCameraZoom(int compWidth);

// ---- items ------------------------------------------------------------------------------

enum class ItemType { Folder, Composition, Footage };
const char* ItemTypeName(ItemType type);  // "folder", "composition", "footage"

class Composition;

class Item {
public:
    virtual ~Item() = default;
    ObjectId id() const { return id_; }
    ItemType type() const { return type_; }
    AEGP_ItemType sdkType() const;  // AEGP_ItemType_FOLDER / _COMP / _FOOTAGE

    Composition* asComposition();  // null unless a composition
    const Composition* asComposition() const;

    std::string name;  // UTF-8

protected:
    explicit Item(ItemType type, std::string name);

private:
    ObjectId id_;
    ItemType type_;
};

class Folder : public Item {
public:
    explicit Folder(std::string name) : Item(ItemType::Folder, std::move(name)) {}
};

// A footage item (a still): only a name and a size.
class Footage : public Item {
public:
    Footage(std::string name, int width, int height)
        : Item(ItemType::Footage, std::move(name)), width(width), height(height) {}
    int width;
    int height;
};

class Composition : public Item {
public:
    Composition(std::string name, int width, int height, double frameRate, double duration);

    int width;
    int height;
    double frameRate;    // frames per second
    double duration;     // seconds
    double currentTime;  // seconds, the current-time indicator; 0 when created
    // What shows where no layer covers the frame (rendered opaque; the alpha is not used).
    static constexpr Value kDefaultBackground{{0.16, 0.16, 0.16, 1.0}};
    Value backgroundColor = kDefaultBackground;

    // Layers, index 0 = top of the stack.
    size_t numLayers() const { return layers_.size(); }
    Layer* layerAt(size_t index);  // null when out of range
    const Layer* layerAt(size_t index) const;
    Layer* findLayer(ObjectId id);
    int indexOf(ObjectId layer) const;  // -1 when not here
    const std::vector<std::unique_ptr<Layer>>& layers() const { return layers_; }

    // Inserts a layer at `index` (0 = top; past the end = bottom) and returns it.
    Layer& addLayer(std::unique_ptr<Layer> layer, size_t index = 0);
    // Builders; each inserts at `index` (default: top).
    Layer& addSolid(const std::string& name, const Value& rgba, int width, int height,
                    size_t index = 0);
    Layer& addNull(const std::string& name, size_t index = 0);
    // A light at (centre.x, centre.y - 400, -600) aimed at its point of interest `centre`.
    Layer& addLight(const std::string& name, A_FloatPoint centre, size_t index = 0);
    // A camera with the host's defaults (as AEGP_CreateCameraInComp): position
    // (centre.x, centre.y, -zoom), point of interest (centre.x, centre.y, 0), LOOK_AT_POI,
    // zoom DefaultCameraZoom(width), focus distance = zoom, aperture 25.3, blur level 100,
    // depth of field 0.
    Layer& addCamera(const std::string& name, A_FloatPoint centre, size_t index = 0);

    // Removes a layer; false when it is not in this composition.
    bool removeLayer(ObjectId id);

private:
    std::vector<std::unique_ptr<Layer>> layers_;
};

// ---- the project ------------------------------------------------------------------------

class Project {
public:
    Project();
    Project(const Project&) = delete;
    Project& operator=(const Project&) = delete;

    ObjectId id() const { return id_; }

    // Items in project order (the order AEGP_GetFirstProjItem / GetNextProjItem walk).
    const std::vector<std::unique_ptr<Item>>& items() const { return items_; }
    size_t numItems() const { return items_.size(); }
    Item* itemAt(size_t index);  // null when out of range
    const Item* itemAt(size_t index) const;
    int indexOf(ObjectId item) const;  // -1 when not here
    Item* findItem(ObjectId id);
    const Item* findItem(ObjectId id) const;
    Item* findItemByName(const std::string& name);  // the first in project order
    Composition* findComposition(ObjectId id);      // null unless a composition
    // A layer of any composition; *owner (when given) receives its composition.
    Layer* findLayer(ObjectId id, Composition** owner = nullptr);

    // Adders append at the end of the project order.
    Composition& addComposition(const std::string& name, int width, int height,
                                double frameRate, double duration);
    Footage& addFootage(const std::string& name, int width, int height);
    Folder& addFolder(const std::string& name);
    Item& addItem(std::unique_ptr<Item> item);

    // Deleting makes every SDK handle naming the object (and, for a composition, its layers,
    // their streams, its view) stale. Deleting the active item leaves no item active; deleting
    // the playing composition stops playback. False when there is no such object.
    bool deleteItem(ObjectId id);
    bool deleteLayer(ObjectId id);

    // The active item (the one the user last selected); null when none.
    Item* activeItem();
    const Item* activeItem() const;
    // Makes an item active (0: none); false when there is no such item.
    bool setActiveItem(ObjectId id);
    // Makes the first item of that name active and, for a composition, opens it in the viewer
    // (as double-clicking it in the project panel does). False when no item has that name.
    bool selectItem(const std::string& name);

    // The viewer: compositions open in it, most recently used first. A composition open in
    // the viewer has an item view (AEGP_GetItemMRUView); a closed one has none.
    bool isOpenInViewer(ObjectId comp) const;
    // Opens a composition in the viewer (or brings it to the front); false for a non-comp.
    bool openInViewer(ObjectId comp);
    void closeViewer(ObjectId comp);
    const std::vector<ObjectId>& viewerOrder() const { return viewer_; }

    // Playback of the active composition. togglePlayback starts playback when stopped (true
    // is returned; the composition is opened in the viewer when it is not) and stops it when
    // playing (false is returned). It does nothing and gives false when stopped and no
    // composition is active. nowSeconds is a monotonic wall-clock time.
    //
    // While playing, advance(now) sets the playback time to the current time at start plus
    // the wall-clock time elapsed, looping at the composition's duration; the composition's
    // view reports that time with previewing = true. The composition's currentTime stays
    // where it was while playing (as the real host's current-time item does not follow a
    // preview); stopping advances to `now` and puts currentTime where playback stopped.
    bool togglePlayback(double nowSeconds);
    void advance(double nowSeconds);
    void stopPlayback(double nowSeconds);  // toggles only when playing
    bool playing() const { return playingComp_ != 0; }
    ObjectId playingComposition() const { return playingComp_; }

    // What a composition's view shows: the playback time while that composition plays,
    // otherwise its current time. *previewing (when given) is whether it is playing.
    double viewTime(const Composition& comp, bool* previewing = nullptr) const;

private:
    ObjectId id_;
    std::vector<std::unique_ptr<Item>> items_;
    ObjectId active_ = 0;
    std::vector<ObjectId> viewer_;
    ObjectId playingComp_ = 0;
    double playStartWall_ = 0;
    double playStartTime_ = 0;
    double playbackTime_ = 0;
};

// The demo project: composition "Demo" 1920 x 1080, 30 fps, 10 s, dark blue-grey background,
// with coloured 3-D solids at varying depths and heights ("Red Plane" turning, "Green Plane",
// "Blue Plane", a see-through "Cyan Float", "Purple Wall", "Yellow Pillar"), a grey floor
// rotated flat with a grid, a light and a camera "Camera 1" looking down at the green plane;
// "Demo" is active and open in the viewer. Also a footage item and a folder.
std::unique_ptr<Project> MakeDemoProject();

// ---- the process-wide current project ---------------------------------------------------

// The project the suites work on. An empty project until one is set.
Project& CurrentProject();
// Replaces the current project (null: an empty one). Every handle into the old project goes
// stale.
void SetCurrentProject(std::unique_ptr<Project> project);

// ---- project files (JSON; docs/project-format.md) ---------------------------------------

// A project file that cannot be read, parsed or understood. line and column are 1-based, 0
// when not applicable. what() is "file:line:column: message" (line/column left out when 0).
class ProjectFileError : public std::runtime_error {
public:
    ProjectFileError(std::string file, int line, int column, std::string message);
    const std::string& file() const { return file_; }
    int line() const { return line_; }
    int column() const { return column_; }
    const std::string& message() const { return message_; }

private:
    std::string file_;
    int line_;
    int column_;
    std::string message_;
};

// Loads a project file; throws ProjectFileError.
std::unique_ptr<Project> LoadProject(const std::string& path);
// Parses a project document; `file` names it in errors. Throws ProjectFileError.
std::unique_ptr<Project> ParseProject(const std::string& text, const std::string& file);
// Saves a project file (pretty-printed JSON); throws ProjectFileError when it cannot write.
void SaveProject(const Project& project, const std::string& path);
// The document SaveProject writes.
std::string SerializeProject(const Project& project);

}  // namespace qlo::hostsim
