// The plumbing of the object model: classes as constructors and prototypes in each heap, host
// objects behind closed proxies, and the dispatch of property accessors and methods to the
// native functions.
//
// The functions Duktape calls here keep only plain data in their frames: an engine error (a
// long jump) or a cut-off by the watchdog may leave them at any Duktape call.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <exception>

#include "hostsim/script/engine_text.h"
#include "hostsim/script/object_model.h"
#include "hostsim/script/watchdog.h"

namespace qlo::hostsim::script {

namespace {

constexpr const char* kHiddenClass = DUK_HIDDEN_SYMBOL("cls");
constexpr const char* kHiddenId = DUK_HIDDEN_SYMBOL("id");
constexpr const char* kHiddenIndex = DUK_HIDDEN_SYMBOL("ix");
constexpr const char* kHiddenDef = DUK_HIDDEN_SYMBOL("def");
constexpr const char* kStashPrototypes = "qloPrototypes";
constexpr const char* kStashHandler = "qloHandler";

constexpr int kClassCount = static_cast<int>(HostClass::Count);

const ClassDef* const kClasses[kClassCount] = {
    &kApplicationClass, &kProjectClass,     &kItemClass,        &kAVItemClass,
    &kCompItemClass,    &kFootageItemClass, &kFolderItemClass,  &kLayerClass,
    &kAVLayerClass,     &kCameraLayerClass, &kLightLayerClass,  &kViewerClass,
    &kViewClass,
};

void PutHostRef(duk_context* ctx, duk_idx_t index, const HostRef& ref) {
    index = duk_normalize_index(ctx, index);
    duk_push_int(ctx, static_cast<int>(ref.cls));
    duk_put_prop_string(ctx, index, kHiddenClass);
    duk_push_number(ctx, ref.id);
    duk_put_prop_string(ctx, index, kHiddenId);
    duk_push_int(ctx, ref.index);
    duk_put_prop_string(ctx, index, kHiddenIndex);
}

bool ReadHostRef(duk_context* ctx, duk_idx_t index, HostRef* ref) {
    if (!duk_is_object(ctx, index)) return false;
    index = duk_normalize_index(ctx, index);
    duk_get_prop_string(ctx, index, kHiddenClass);
    const bool host = duk_is_number(ctx, -1) != 0;
    const int cls = duk_get_int_default(ctx, -1, -1);
    duk_pop(ctx);
    if (!host || cls < 0 || cls >= kClassCount) return false;
    ref->cls = static_cast<HostClass>(cls);
    duk_get_prop_string(ctx, index, kHiddenId);
    ref->id = duk_get_number_default(ctx, -1, 0);
    duk_pop(ctx);
    duk_get_prop_string(ctx, index, kHiddenIndex);
    ref->index = duk_get_int_default(ctx, -1, 0);
    duk_pop(ctx);
    return true;
}

// Pushes a script object for a host object: a target with the class's prototype behind the
// closing proxy.
void PushHostObject(duk_context* ctx, const HostRef& ref) {
    duk_push_object(ctx);
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kStashPrototypes);
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(ref.cls));
    duk_set_prototype(ctx, -4);
    duk_pop_2(ctx);
    PutHostRef(ctx, -1, ref);
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kStashHandler);
    duk_remove(ctx, -2);
    duk_push_proxy(ctx, 0);
    // Methods see the proxy as `this`, accessors the target: both carry the reference.
    PutHostRef(ctx, -1, ref);
}

void ReadArg(duk_context* ctx, duk_idx_t index, Value* arg) {
    switch (duk_get_type(ctx, index)) {
        case DUK_TYPE_NULL: arg->kind = Kind::Null; break;
        case DUK_TYPE_BOOLEAN:
            arg->kind = Kind::Bool;
            arg->boolean = duk_get_boolean(ctx, index) != 0;
            break;
        case DUK_TYPE_NUMBER:
            arg->kind = Kind::Number;
            arg->number = duk_get_number(ctx, index);
            break;
        case DUK_TYPE_STRING:
            if (duk_is_symbol(ctx, index)) {  // a symbol is no text
                arg->kind = Kind::Object;
                break;
            }
            arg->kind = Kind::String;
            arg->text = duk_get_lstring(ctx, index, &arg->length);
            break;
        case DUK_TYPE_OBJECT:
            arg->kind = Kind::Object;
            arg->isHost = ReadHostRef(ctx, index, &arg->ref);
            break;
        default: arg->kind = Kind::Undefined; break;
    }
}

duk_ret_t PushResult(duk_context* ctx, const Value& result) {
    if (result.arrayCount >= 0) {
        duk_push_array(ctx);
        for (int i = 0; i < result.arrayCount; ++i) {
            PushHostObject(ctx, HostRef{result.ref.cls, result.ref.id, i});
            duk_put_prop_index(ctx, -2, static_cast<duk_uarridx_t>(i));
        }
        return 1;
    }
    switch (result.kind) {
        case Kind::Undefined: return 0;
        case Kind::Null: duk_push_null(ctx); return 1;
        case Kind::Bool: duk_push_boolean(ctx, result.boolean); return 1;
        case Kind::Number: duk_push_number(ctx, result.number); return 1;
        case Kind::String: duk_push_lstring(ctx, result.text, result.length); return 1;
        case Kind::Object: PushHostObject(ctx, result.ref); return 1;
    }
    return 0;
}

bool Invoke(NativeFn fn, NativeCall& call) noexcept {
    try {
        return fn(call);
    } catch (const std::exception& e) {
        call.error = "internal error of the host";
        try {
            return Fail(call, std::string("internal error of the host: ") + e.what());
        } catch (...) {
            return false;
        }
    } catch (...) {
        call.error = "internal error of the host";
        return false;
    }
}

// Runs a native function for the current call: its `this` and up to two arguments.
duk_ret_t RunNative(duk_context* ctx, NativeFn fn) {
    NativeCall call{};
    call.result.arrayCount = -1;
    duk_push_this(ctx);
    call.hasSelf = ReadHostRef(ctx, -1, &call.self);
    duk_pop(ctx);
    const duk_idx_t top = duk_get_top(ctx);
    call.argc = top < 2 ? static_cast<int>(top) : 2;
    for (int i = 0; i < call.argc; ++i) {
        ReadArg(ctx, i, &call.args[i]);
        if (call.args[i].kind != Kind::String) continue;
        // Text reaches the host as UTF-8: a string that has no UTF-8 form is refused here.
        const TextFault fault = FindTextFault(call.args[i].text, call.args[i].length);
        if (fault.kind == TextFaultKind::LoneSurrogate) {
            return duk_error(ctx, DUK_ERR_TYPE_ERROR,
                             "text with a lone surrogate (\\u%04X at index %lu) cannot be passed to the host",
                             fault.value, static_cast<unsigned long>(fault.index));
        }
        if (fault.kind == TextFaultKind::NotText) {
            return duk_error(ctx, DUK_ERR_TYPE_ERROR,
                             "text that is not Unicode (byte 0x%02X at index %lu) cannot be passed to the host",
                             fault.value, static_cast<unsigned long>(fault.index));
        }
    }

    watchdog::BeginHostCall();
    const bool ok = Invoke(fn, call);
    watchdog::EndHostCall();
    if (!ok) return duk_error(ctx, DUK_ERR_ERROR, "%s", call.error != nullptr ? call.error : "host call failed");
    return PushResult(ctx, call.result);
}

const void* CurrentDef(duk_context* ctx) {
    duk_push_current_function(ctx);
    duk_get_prop_string(ctx, -1, kHiddenDef);
    const void* def = duk_get_pointer(ctx, -1);
    duk_pop_2(ctx);
    return def;
}

duk_ret_t GetterDispatch(duk_context* ctx) {
    const auto* def = static_cast<const PropertyDef*>(CurrentDef(ctx));
    return RunNative(ctx, def->get);
}

duk_ret_t SetterDispatch(duk_context* ctx) {
    const auto* def = static_cast<const PropertyDef*>(CurrentDef(ctx));
    return RunNative(ctx, def->set);
}

duk_ret_t MethodDispatch(duk_context* ctx) {
    const auto* def = static_cast<const MethodDef*>(CurrentDef(ctx));
    return RunNative(ctx, def->call);
}

duk_ret_t NotConstructible(duk_context* ctx) {
    const auto* def = static_cast<const ClassDef*>(CurrentDef(ctx));
    return duk_error(ctx, DUK_ERR_TYPE_ERROR, "%s objects are made by the host, not by scripts", def->name);
}

duk_ret_t HostToString(duk_context* ctx) {
    HostRef ref{};
    duk_push_this(ctx);
    const bool host = ReadHostRef(ctx, -1, &ref);
    duk_pop(ctx);
    duk_push_sprintf(ctx, "[object %s]", host ? ClassDefOf(ref.cls).name : "Object");
    return 1;
}

const PropertyDef* FindProperty(HostClass cls, const char* name) {
    for (int c = static_cast<int>(cls); c < kClassCount; c = static_cast<int>(ClassDefOf(static_cast<HostClass>(c)).parent)) {
        for (const PropertyDef& p : ClassDefOf(static_cast<HostClass>(c)).properties) {
            if (std::strcmp(p.name, name) == 0) return &p;
        }
    }
    return nullptr;
}

bool HasMethod(HostClass cls, const char* name) {
    if (std::strcmp(name, "toString") == 0 || std::strcmp(name, "constructor") == 0) return true;
    for (int c = static_cast<int>(cls); c < kClassCount; c = static_cast<int>(ClassDefOf(static_cast<HostClass>(c)).parent)) {
        for (const MethodDef& m : ClassDefOf(static_cast<HostClass>(c)).methods) {
            if (std::strcmp(m.name, name) == 0) return true;
        }
    }
    return false;
}

// The proxies' set trap (target, key, value, receiver): a property with a setter is written
// on the target (running the setter); anything else throws.
duk_ret_t SetTrap(duk_context* ctx) {
    HostRef ref{};
    const char* key = duk_get_string(ctx, 1);
    if (!ReadHostRef(ctx, 0, &ref) || key == nullptr) {
        return duk_error(ctx, DUK_ERR_TYPE_ERROR, "property not supported");
    }
    const PropertyDef* property = FindProperty(ref.cls, key);
    if (property != nullptr && property->set != nullptr) {
        duk_dup(ctx, 0);
        duk_dup(ctx, 1);
        duk_dup(ctx, 2);
        duk_put_prop(ctx, -3);
        duk_push_true(ctx);
        return 1;
    }
    if (property != nullptr || HasMethod(ref.cls, key)) {
        return duk_error(ctx, DUK_ERR_ERROR, "%s.%s is read-only", ClassDefOf(ref.cls).name, key);
    }
    return duk_error(ctx, DUK_ERR_ERROR, "property not supported: %s.%s", ClassDefOf(ref.cls).name, key);
}

void PushFunctionWithDef(duk_context* ctx, duk_c_function fn, duk_idx_t nargs, const void* def) {
    duk_push_c_function(ctx, fn, nargs);
    duk_push_pointer(ctx, const_cast<void*>(def));
    duk_put_prop_string(ctx, -2, kHiddenDef);
}

// Defines the prototype of a class (on top of the stack): accessors, methods, toString.
void DefineMembers(duk_context* ctx, const ClassDef& def) {
    const duk_idx_t proto = duk_get_top_index(ctx);
    for (const PropertyDef& p : def.properties) {
        duk_push_string(ctx, p.name);
        PushFunctionWithDef(ctx, &GetterDispatch, 0, &p);
        duk_uint_t flags = DUK_DEFPROP_HAVE_GETTER | DUK_DEFPROP_SET_ENUMERABLE |
                           DUK_DEFPROP_CLEAR_CONFIGURABLE;
        if (p.set != nullptr) {
            PushFunctionWithDef(ctx, &SetterDispatch, 1, &p);
            flags |= DUK_DEFPROP_HAVE_SETTER;
        }
        duk_def_prop(ctx, proto, flags);
    }
    for (const MethodDef& m : def.methods) {
        duk_push_string(ctx, m.name);
        PushFunctionWithDef(ctx, &MethodDispatch, m.nargs, &m);
        duk_def_prop(ctx, proto, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_ENUMERABLE |
                                     DUK_DEFPROP_CLEAR_WRITABLE | DUK_DEFPROP_CLEAR_CONFIGURABLE);
    }
    duk_push_string(ctx, "toString");
    duk_push_c_function(ctx, &HostToString, 0);
    duk_def_prop(ctx, proto, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_ENUMERABLE |
                                 DUK_DEFPROP_CLEAR_WRITABLE | DUK_DEFPROP_CLEAR_CONFIGURABLE);
}

}  // namespace

const ClassDef& ClassDefOf(HostClass cls) {
    return *kClasses[static_cast<int>(cls)];
}

bool IsA(HostClass cls, HostClass base) {
    for (int c = static_cast<int>(cls); c < kClassCount;
         c = static_cast<int>(ClassDefOf(static_cast<HostClass>(c)).parent)) {
        if (c == static_cast<int>(base)) return true;
    }
    return false;
}

duk_ret_t InstallObjectModel(duk_context* ctx, void*) {
    duk_push_global_stash(ctx);
    const duk_idx_t stash = duk_get_top_index(ctx);

    // The proxies' handler, shared by every host object.
    duk_push_object(ctx);
    duk_push_c_function(ctx, &SetTrap, 4);
    duk_put_prop_string(ctx, -2, "set");
    duk_put_prop_string(ctx, stash, kStashHandler);

    // Prototypes, parents first (the class order), and a constructor per class.
    duk_push_array(ctx);
    const duk_idx_t protos = duk_get_top_index(ctx);
    for (int c = 0; c < kClassCount; ++c) {
        const ClassDef& def = *kClasses[c];
        duk_push_object(ctx);
        if (def.parent != HostClass::Count) {
            duk_get_prop_index(ctx, protos, static_cast<duk_uarridx_t>(def.parent));
            duk_set_prototype(ctx, -2);
        }
        DefineMembers(ctx, def);

        PushFunctionWithDef(ctx, &NotConstructible, 0, &def);
        duk_push_string(ctx, "prototype");
        duk_dup(ctx, -3);
        duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_WRITABLE |
                                  DUK_DEFPROP_CLEAR_ENUMERABLE | DUK_DEFPROP_CLEAR_CONFIGURABLE);
        duk_push_string(ctx, "constructor");
        duk_dup(ctx, -2);
        duk_def_prop(ctx, -4, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_CLEAR_ENUMERABLE |
                                  DUK_DEFPROP_CLEAR_WRITABLE | DUK_DEFPROP_CLEAR_CONFIGURABLE);
        duk_put_global_string(ctx, def.name);
        duk_put_prop_index(ctx, protos, static_cast<duk_uarridx_t>(c));
    }
    duk_put_prop_string(ctx, stash, kStashPrototypes);
    duk_pop(ctx);

    PushHostObject(ctx, HostRef{HostClass::Application, 0, 0});
    duk_put_global_string(ctx, "app");
    return 0;
}

// ---- for native functions ----------------------------------------------------------------

namespace {

Value Plain(Kind kind) {
    Value v{};
    v.kind = kind;
    v.arrayCount = -1;
    return v;
}

std::string& Scratch() {
    static std::string outside;  // a call outside any run (tests of natives)
    RunState* run = watchdog::Current();
    return run != nullptr ? run->scratch : outside;
}

}  // namespace

bool ReturnUndefined(NativeCall& call) {
    call.result = Plain(Kind::Undefined);
    return true;
}

bool ReturnNull(NativeCall& call) {
    call.result = Plain(Kind::Null);
    return true;
}

bool ReturnBool(NativeCall& call, bool value) {
    call.result = Plain(Kind::Bool);
    call.result.boolean = value;
    return true;
}

bool ReturnNumber(NativeCall& call, double value) {
    call.result = Plain(Kind::Number);
    call.result.number = value;
    return true;
}

bool ReturnText(NativeCall& call, const std::string& text) {
    std::string& scratch = Scratch();
    scratch = ToEngineText(text);
    call.result = Plain(Kind::String);
    call.result.text = scratch.data();
    call.result.length = scratch.size();
    return true;
}

bool ReturnObject(NativeCall& call, HostRef ref) {
    call.result = Plain(Kind::Object);
    call.result.isHost = true;
    call.result.ref = ref;
    return true;
}

bool ReturnArray(NativeCall& call, HostClass cls, double id, int count) {
    call.result = Plain(Kind::Object);
    call.result.ref = HostRef{cls, id, 0};
    call.result.arrayCount = count;
    return true;
}

bool Fail(NativeCall& call, const std::string& message) {
    std::string& scratch = Scratch();
    scratch = ToEngineText(message);
    call.error = scratch.c_str();
    return false;
}

bool NumberArg(const NativeCall& call, int index, double* value) {
    if (index >= call.argc) return false;
    const Value& arg = call.args[index];
    if (arg.kind == Kind::Number) {
        *value = arg.number;
        return true;
    }
    if (arg.kind != Kind::String || arg.length == 0) return false;
    const std::string text(arg.text, arg.length);
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0') return false;
    *value = parsed;
    return true;
}

bool TextArg(const NativeCall& call, int index, std::string* value) {
    if (index >= call.argc || call.args[index].kind != Kind::String) return false;
    *value = FromEngineText(std::string_view(call.args[index].text, call.args[index].length));
    return true;
}

HostRef RefOfItem(const Item& item) {
    HostClass cls = HostClass::FolderItem;
    if (item.type() == ItemType::Composition) cls = HostClass::CompItem;
    if (item.type() == ItemType::Footage) cls = HostClass::FootageItem;
    return HostRef{cls, static_cast<double>(item.id()), 0};
}

HostRef RefOfLayer(const Layer& layer) {
    HostClass cls = HostClass::AVLayer;
    if (layer.type() == LayerType::Camera) cls = HostClass::CameraLayer;
    if (layer.type() == LayerType::Light) cls = HostClass::LightLayer;
    return HostRef{cls, static_cast<double>(layer.id()), 0};
}

ObjectId IdOf(const HostRef& ref) {
    return ref.id > 0 ? static_cast<ObjectId>(ref.id) : 0;
}

}  // namespace qlo::hostsim::script
