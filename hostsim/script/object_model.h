// The host's object model as scripts see it, and the plumbing between Duktape and the host.
//
// Classes (constructors are globals, usable with instanceof; scripts cannot create objects):
//   Application (the global `app`), Project, Item > AVItem > CompItem | FootageItem,
//   Item > FolderItem, Layer > AVLayer | CameraLayer | LightLayer, Viewer, View.
// Each object names a host object by identity; when that object is gone, using it throws
// "Object is invalid". Properties are accessors on the prototypes (enumerable: for-in lists
// them); methods are not enumerable.
//
// Host objects are closed: assigning a property they do not have throws
// "property not supported: Class.name", assigning one without a setter throws
// "Class.name is read-only" (a Proxy with a set trap stands in front of every object).
//
// Host calls. A native function first reads its arguments into plain data (NativeCall), then
// runs the host code with the watchdog told (no cut-off there), then hands its result back to
// the engine. Native functions are C++ (they may use the host's classes freely) but never call
// the Duktape API: the engine's errors are long jumps, which must not cross C++ frames.
#pragma once

#include <duktape.h>

#include <cstddef>
#include <span>
#include <string>
#include <type_traits>

#include "hostsim/model/project.h"

namespace qlo::hostsim::script {

enum class HostClass : int {
    Application,
    Project,
    Item,
    AVItem,
    CompItem,
    FootageItem,
    FolderItem,
    Layer,
    AVLayer,
    CameraLayer,
    LightLayer,
    Viewer,
    View,
    Count
};

// What a script object names: a class, an object identity (an ObjectId; for Viewer and View
// the composition's) and an index (View: the view's place, from 0).
struct HostRef {
    HostClass cls;
    double id;
    int index;
};

enum class Kind { Undefined, Null, Bool, Number, String, Object };

// A value passed in or handed back, as plain data. Text points into the engine's heap (an
// argument) or into the run's scratch text (a result).
struct Value {
    Kind kind;
    bool boolean;
    double number;
    const char* text;
    size_t length;
    bool isHost;        // an object of the host (ref is valid)
    HostRef ref;
    int arrayCount;     // results only: >= 0 gives an array of `arrayCount` objects of class
                        // ref.cls and identity ref.id, with indexes 0 .. arrayCount - 1
};

struct NativeCall {
    bool hasSelf;
    HostRef self;
    int argc;
    Value args[2];
    Value result;
    const char* error;  // the message when the call fails
};
static_assert(std::is_trivially_destructible_v<NativeCall>);

using NativeFn = bool (*)(NativeCall& call);

struct PropertyDef {
    const char* name;
    NativeFn get;
    NativeFn set;  // null: read-only
};
struct MethodDef {
    const char* name;
    NativeFn call;
    int nargs;
};
struct ClassDef {
    HostClass cls;
    const char* name;
    HostClass parent;  // Count: none
    std::span<const PropertyDef> properties;
    std::span<const MethodDef> methods;
};

// The class tables (app_natives.cpp, item_natives.cpp, viewer_natives.cpp).
extern const ClassDef kApplicationClass, kProjectClass;
extern const ClassDef kItemClass, kAVItemClass, kCompItemClass, kFootageItemClass,
    kFolderItemClass, kLayerClass, kAVLayerClass, kCameraLayerClass, kLightLayerClass;
extern const ClassDef kViewerClass, kViewClass;

const ClassDef& ClassDefOf(HostClass cls);
bool IsA(HostClass cls, HostClass base);

// Sets up the classes and `app` in a fresh heap (a duk_safe_call function).
duk_ret_t InstallObjectModel(duk_context* ctx, void* udata);

// ---- for native functions ----------------------------------------------------------------

bool ReturnUndefined(NativeCall& call);
bool ReturnNull(NativeCall& call);
bool ReturnBool(NativeCall& call, bool value);
bool ReturnNumber(NativeCall& call, double value);
bool ReturnText(NativeCall& call, const std::string& text);
bool ReturnObject(NativeCall& call, HostRef ref);
bool ReturnArray(NativeCall& call, HostClass cls, double id, int count);
// Fails the call with a message (false, for `return Fail(...)`).
bool Fail(NativeCall& call, const std::string& message);

// A number argument (a number, or text holding one); false when there is none.
bool NumberArg(const NativeCall& call, int index, double* value);
// A text argument; false when it is not text.
bool TextArg(const NativeCall& call, int index, std::string* value);

// References to model objects.
HostRef RefOfItem(const Item& item);
HostRef RefOfLayer(const Layer& layer);
ObjectId IdOf(const HostRef& ref);

}  // namespace qlo::hostsim::script
