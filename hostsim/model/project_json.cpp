// Project files: the JSON document of docs/project-format.md, saved and loaded.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "hostsim/model/json_position.h"
#include "hostsim/model/project.h"
#include "platform/utf.h"

namespace qlo::hostsim {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "quillo-host project";
constexpr int kVersion = 1;

// ---- flags and interpolation names ------------------------------------------------------

struct FlagName {
    AEGP_LayerFlags flag;
    const char* name;
};
constexpr FlagName kFlagNames[] = {
    {AEGP_LayerFlag_VIDEO_ACTIVE, "video"},
    {AEGP_LayerFlag_LAYER_IS_3D, "3d"},
    {AEGP_LayerFlag_LOOK_AT_POI, "lookAtPoi"},
    {AEGP_LayerFlag_NULL_LAYER, "null"},
};

const char* InterpName(AEGP_KeyframeInterpolationType t) {
    switch (t) {
    case AEGP_KeyInterp_LINEAR: return "linear";
    case AEGP_KeyInterp_BEZIER: return "bezier";
    case AEGP_KeyInterp_HOLD: return "hold";
    default: return "linear";
    }
}

bool InterpFromName(const std::string& s, AEGP_KeyframeInterpolationType* t) {
    for (AEGP_KeyframeInterpolationType i : {AEGP_KeyInterp_LINEAR, AEGP_KeyInterp_BEZIER, AEGP_KeyInterp_HOLD}) {
        if (s == InterpName(i)) {
            *t = i;
            return true;
        }
    }
    return false;
}

// ---- writing ----------------------------------------------------------------------------

Json ValueToJson(ValueKind kind, const Value& v) {
    switch (kind) {
    case ValueKind::OneD: return v.v[0];
    case ValueKind::ThreeD: return Json::array({v.v[0], v.v[1], v.v[2]});
    case ValueKind::Color:
        if (v.v[3] == 1.0) return Json::array({v.v[0], v.v[1], v.v[2]});
        return Json::array({v.v[0], v.v[1], v.v[2], v.v[3]});
    }
    return nullptr;
}

Json StreamToJson(const Stream& s) {
    Json j = Json::object();
    if (!s.animated()) {
        j["value"] = ValueToJson(s.kind(), s.staticValue());
        return j;
    }
    Json keys = Json::array();
    for (const Keyframe& k : s.keyframes()) {
        Json key = Json::object();
        key["time"] = k.time;
        key["value"] = ValueToJson(s.kind(), k.value);
        key["in"] = InterpName(k.inInterp);
        key["out"] = InterpName(k.outInterp);
        keys.push_back(std::move(key));
    }
    j["keyframes"] = std::move(keys);
    return j;
}

Json LayerToJson(const Layer& layer) {
    Json j = Json::object();
    j["name"] = layer.name;
    j["type"] = LayerTypeName(layer.type());
    if (!layer.sourceName.empty()) j["sourceName"] = layer.sourceName;
    Json flags = Json::object();
    for (const FlagName& f : kFlagNames) flags[f.name] = layer.hasFlag(f.flag);
    j["flags"] = std::move(flags);
    if (layer.type() == LayerType::Solid) j["color"] = ValueToJson(ValueKind::Color, layer.color);
    if (layer.type() == LayerType::Solid && layer.grid != SolidGrid{}) {
        Json grid = Json::object();
        grid["spacing"] = layer.grid.spacing;
        grid["lineWidth"] = layer.grid.lineWidth;
        grid["color"] = ValueToJson(ValueKind::Color, layer.grid.color);
        j["grid"] = std::move(grid);
    }
    if (layer.type() == LayerType::Solid || layer.type() == LayerType::Null) {
        j["width"] = layer.width;
        j["height"] = layer.height;
    }
    Json streams = Json::object();
    for (AEGP_LayerStream id : StreamsOf(layer.type()))
        streams[StreamName(id)] = StreamToJson(*layer.stream(id));
    j["streams"] = std::move(streams);
    return j;
}

Json ProjectToJson(const Project& project) {
    Json j = Json::object();
    j["format"] = kFormat;
    j["version"] = kVersion;
    Json items = Json::array();
    const Item* active = project.activeItem();
    const auto& viewer = project.viewerOrder();
    for (const auto& itemPtr : project.items()) {
        const Item& item = *itemPtr;
        Json ji = Json::object();
        ji["type"] = ItemTypeName(item.type());
        ji["name"] = item.name;
        if (&item == active) ji["active"] = true;
        if (const Composition* comp = item.asComposition()) {
            ji["width"] = comp->width;
            ji["height"] = comp->height;
            ji["frameRate"] = comp->frameRate;
            ji["duration"] = comp->duration;
            ji["currentTime"] = comp->currentTime;
            ji["backgroundColor"] = ValueToJson(ValueKind::Color, comp->backgroundColor);
            for (size_t rank = 0; rank < viewer.size(); ++rank)
                if (viewer[rank] == comp->id()) ji["viewerRank"] = rank;
            Json layers = Json::array();
            for (const auto& layer : comp->layers()) layers.push_back(LayerToJson(*layer));
            ji["layers"] = std::move(layers);
        } else if (item.type() == ItemType::Footage) {
            const auto& footage = static_cast<const Footage&>(item);
            ji["width"] = footage.width;
            ji["height"] = footage.height;
        }
        items.push_back(std::move(ji));
    }
    j["items"] = std::move(items);
    return j;
}

// Pretty printing: a container goes on one line when that line fits kWidth columns, else
// each element on its own line, indented by two spaces.
constexpr size_t kWidth = 100;

std::string OneLine(const Json& v) {
    if (v.is_object()) {
        if (v.empty()) return "{}";
        std::string s = "{";
        bool first = true;
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (!first) s += ", ";
            first = false;
            s += Json(it.key()).dump() + ": " + OneLine(it.value());
        }
        return s + "}";
    }
    if (v.is_array()) {
        if (v.empty()) return "[]";
        std::string s = "[";
        bool first = true;
        for (const auto& e : v) {
            if (!first) s += ", ";
            first = false;
            s += OneLine(e);
        }
        return s + "]";
    }
    return v.dump();
}

void Pretty(const Json& v, size_t indent, size_t prefixLength, std::string& out) {
    std::string line = OneLine(v);
    if (!v.is_structured() || indent + prefixLength + line.size() <= kWidth) {
        out += line;
        return;
    }
    const std::string pad(indent + 2, ' ');
    const bool object = v.is_object();
    out += object ? "{\n" : "[\n";
    size_t n = 0;
    for (auto it = v.begin(); it != v.end(); ++it, ++n) {
        out += pad;
        std::string prefix;
        if (object) prefix = Json(it.key()).dump() + ": ";
        out += prefix;
        Pretty(it.value(), indent + 2, prefix.size(), out);
        if (n + 1 < v.size()) out += ",";
        out += "\n";
    }
    out += std::string(indent, ' ') + (object ? "}" : "]");
}

// ---- reading ----------------------------------------------------------------------------

// Where a value is: its JSON pointer, and a readable label of the item/layer it belongs to.
struct Ctx {
    std::string ptr;
    std::string label;
};

// A text in double quotes for a message; a long one is cut (a file may hold names of any length).
constexpr size_t kQuotedLimit = 64;
std::string Quote(const std::string& s) {
    const auto quoted = [](std::string_view t) {
        return Json(std::string(t)).dump(-1, ' ', false, Json::error_handler_t::replace);
    };
    if (s.size() <= kQuotedLimit) return quoted(s);
    size_t end = kQuotedLimit;
    while (end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80) --end;
    return quoted(std::string_view(s).substr(0, end)) + "... (" + std::to_string(s.size()) + " bytes)";
}

class Reader {
public:
    Reader(std::string file, const std::string& text) : file_(std::move(file)), text_(text) {}

    // Positions are looked up only for the one error reported.
    [[noreturn]] void fail(const std::string& pointer, const std::string& label, const std::string& message) const {
        auto [line, column] = FindJsonPointer(text_, pointer);
        throw ProjectFileError(file_, line, column, label.empty() ? message : label + ": " + message);
    }

    // ---- fields of an object ----
    void checkFields(const Json& o, const Ctx& ctx, std::initializer_list<const char*> allowed) const {
        for (auto it = o.begin(); it != o.end(); ++it) {
            bool known = false;
            for (const char* a : allowed) known = known || it.key() == a;
            if (!known) {
                std::string list;
                for (const char* a : allowed) list += std::string(list.empty() ? "" : ", ") + a;
                fail(ctx.ptr + "/" + JsonPointerToken(it.key()), ctx.label,
                     "unknown field " + Quote(it.key()) + " (known fields: " + list + ")");
            }
        }
    }
    const Json* optional(const Json& o, const char* key) const {
        auto it = o.find(key);
        return it == o.end() ? nullptr : &*it;
    }
    const Json& required(const Json& o, const Ctx& ctx, const char* key) const {
        const Json* v = optional(o, key);
        if (!v) fail(ctx.ptr, ctx.label, std::string("missing field ") + Quote(key));
        return *v;
    }
    std::string fieldPtr(const Ctx& ctx, const char* key) const { return ctx.ptr + "/" + JsonPointerToken(key); }
    [[noreturn]] void wrongType(const Json& v, const Ctx& ctx, const char* key, const char* expected) const {
        fail(fieldPtr(ctx, key), ctx.label,
             std::string("field ") + Quote(key) + ": expected " + expected + ", found " + Describe(v));
    }
    static std::string Describe(const Json& v) {
        if (v.is_string()) return "the string " + Quote(v.get<std::string>());
        if (v.is_number()) return "the number " + v.dump();
        if (v.is_boolean()) return v.get<bool>() ? "true" : "false";
        if (v.is_null()) return "null";
        return std::string("an ") + v.type_name();
    }
    std::string string(const Json& o, const Ctx& ctx, const char* key) const {
        const Json& v = required(o, ctx, key);
        if (!v.is_string()) wrongType(v, ctx, key, "a string");
        return v.get<std::string>();
    }
    // A name: plug-ins get names as zero-terminated text, so U+0000 would cut it short there
    // (and make different names look the same).
    std::string name(const Json& o, const Ctx& ctx, const char* key) const {
        std::string s = string(o, ctx, key);
        if (s.find('\0') != std::string::npos)
            fail(fieldPtr(ctx, key), ctx.label,
                 std::string("field ") + Quote(key) + ": a name cannot hold U+0000, found " + Quote(s));
        return s;
    }
    double number(const Json& v, const Ctx& ctx, const char* key) const {
        if (!v.is_number()) wrongType(v, ctx, key, "a number");
        return v.get<double>();
    }
    double number(const Json& o, const Ctx& ctx, const char* key, double min, bool minExclusive) const {
        const double d = number(required(o, ctx, key), ctx, key);
        if (!std::isfinite(d) || d < min || (minExclusive && d == min))
            fail(fieldPtr(ctx, key), ctx.label,
                 std::string("field ") + Quote(key) + ": " + Json(d).dump() + " is out of range (must be " +
                     (minExclusive ? "> " : ">= ") + Json(min).dump() + ")");
        return d;
    }
    int positiveInt(const Json& o, const Ctx& ctx, const char* key) const {
        const Json& v = required(o, ctx, key);
        if (!v.is_number_integer()) wrongType(v, ctx, key, "a whole number");
        const auto n = v.get<int64_t>();
        if (n < 1 || n > 1000000)
            fail(fieldPtr(ctx, key), ctx.label, std::string("field ") + Quote(key) + ": " + std::to_string(n) +
                                                    " is out of range (1 to 1000000)");
        return static_cast<int>(n);
    }
    bool boolean(const Json& v, const Ctx& ctx, const char* key) const {
        if (!v.is_boolean()) wrongType(v, ctx, key, "true or false");
        return v.get<bool>();
    }
    const Json& array(const Json& o, const Ctx& ctx, const char* key) const {
        const Json& v = required(o, ctx, key);
        if (!v.is_array()) wrongType(v, ctx, key, "an array");
        return v;
    }
    const Json& object(const Json& v, const Ctx& ctx, const char* key) const {
        if (!v.is_object()) wrongType(v, ctx, key, "an object");
        return v;
    }

    Value value(const Json& v, const Ctx& ctx, const char* key, ValueKind kind) const {
        auto component = [&](size_t i) {
            if (!v[i].is_number() || !std::isfinite(v[i].get<double>()))
                fail(fieldPtr(ctx, key) + "/" + std::to_string(i), ctx.label,
                     std::string("field ") + Quote(key) + ": element " + std::to_string(i) +
                         " must be a number, found " + Describe(v[i]));
            return v[i].get<double>();
        };
        switch (kind) {
        case ValueKind::OneD: {
            const double d = number(v, ctx, key);
            if (!std::isfinite(d)) wrongType(v, ctx, key, "a finite number");
            return Value::One(d);
        }
        case ValueKind::ThreeD:
            if (!v.is_array() || v.size() != 3) wrongType(v, ctx, key, "an array of 3 numbers [x, y, z]");
            return Value::Three(component(0), component(1), component(2));
        case ValueKind::Color:
            if (!v.is_array() || (v.size() != 3 && v.size() != 4))
                wrongType(v, ctx, key, "a colour [red, green, blue] or [red, green, blue, alpha]");
            return Value::Rgba(component(0), component(1), component(2), v.size() == 4 ? component(3) : 1.0);
        }
        return {};
    }

    // ---- the document ----
    std::unique_ptr<Project> project(const Json& doc) const {
        Ctx root{"", ""};
        if (!doc.is_object()) fail("", "", "the document must be an object, found " + Describe(doc));
        checkFields(doc, root, {"format", "version", "items"});
        const std::string format = string(doc, root, "format");
        if (format != kFormat)
            fail("/format", "", "field \"format\": expected " + Quote(kFormat) + ", found " + Quote(format));
        const Json& version = required(doc, root, "version");
        if (!version.is_number_integer() || version.get<int64_t>() != kVersion)
            fail("/version", "", "field \"version\": this host reads version " + std::to_string(kVersion) +
                                     ", found " + Describe(version));
        auto project = std::make_unique<Project>();
        const Json& items = array(doc, root, "items");
        ObjectId activeId = 0;
        std::string activePtr;
        std::map<int64_t, std::pair<ObjectId, std::string>> viewer;  // rank -> (comp, pointer)
        for (size_t i = 0; i < items.size(); ++i) {
            Ctx ctx{"/items/" + std::to_string(i), "items[" + std::to_string(i) + "]"};
            const Json& ji = items[i];
            if (!ji.is_object()) fail(ctx.ptr, ctx.label, "an item must be an object, found " + Describe(ji));
            const std::string type = string(ji, ctx, "type");
            const std::string name = this->name(ji, ctx, "name");
            ctx.label += " (" + type + " " + Quote(name) + ")";
            Item* item = nullptr;
            if (type == "folder") {
                checkFields(ji, ctx, {"type", "name", "active"});
                item = &project->addFolder(name);
            } else if (type == "footage") {
                checkFields(ji, ctx, {"type", "name", "active", "width", "height"});
                item = &project->addFootage(name, positiveInt(ji, ctx, "width"), positiveInt(ji, ctx, "height"));
            } else if (type == "composition") {
                checkFields(ji, ctx, {"type", "name", "active", "width", "height", "frameRate", "duration",
                                      "currentTime", "backgroundColor", "viewerRank", "layers"});
                item = &composition(ji, ctx, name, *project);
                if (const Json* rank = optional(ji, "viewerRank")) {
                    if (!rank->is_number_integer() || rank->get<int64_t>() < 0)
                        wrongType(*rank, ctx, "viewerRank", "a whole number >= 0");
                    const int64_t r = rank->get<int64_t>();
                    if (viewer.count(r))
                        fail(fieldPtr(ctx, "viewerRank"), ctx.label,
                             "field \"viewerRank\": " + std::to_string(r) + " is already the rank of " +
                                 viewer[r].second);
                    viewer[r] = {item->id(), ctx.label};
                }
            } else {
                fail(fieldPtr(ctx, "type"), ctx.label,
                     "field \"type\": unknown item type " + Quote(type) +
                         "; expected \"composition\", \"footage\" or \"folder\"");
            }
            if (const Json* active = optional(ji, "active")) {
                if (boolean(*active, ctx, "active")) {
                    if (activeId)
                        fail(fieldPtr(ctx, "active"), ctx.label,
                             "field \"active\": only one item can be active, and " + activePtr + " already is");
                    activeId = item->id();
                    activePtr = ctx.label;
                }
            }
        }
        // Open views, least recently used first, so that rank 0 ends up in front.
        for (auto it = viewer.rbegin(); it != viewer.rend(); ++it) project->openInViewer(it->second.first);
        project->setActiveItem(activeId);
        return project;
    }

    Composition& composition(const Json& ji, const Ctx& ctx, const std::string& name, Project& project) const {
        const int width = positiveInt(ji, ctx, "width");
        const int height = positiveInt(ji, ctx, "height");
        const double fps = number(ji, ctx, "frameRate", 0, true);
        const double duration = number(ji, ctx, "duration", 0, false);
        Composition& comp = project.addComposition(name, width, height, fps, duration);
        if (optional(ji, "currentTime")) {
            comp.currentTime = number(ji, ctx, "currentTime", 0, false);
            if (comp.currentTime > duration)
                fail(fieldPtr(ctx, "currentTime"), ctx.label,
                     "field \"currentTime\": " + Json(comp.currentTime).dump() +
                         " is past the duration " + Json(duration).dump());
        }
        if (const Json* bg = optional(ji, "backgroundColor"))
            comp.backgroundColor = value(*bg, ctx, "backgroundColor", ValueKind::Color);
        if (optional(ji, "layers")) {
            const Json& layers = array(ji, ctx, "layers");
            for (size_t i = 0; i < layers.size(); ++i) {
                Ctx lctx{ctx.ptr + "/layers/" + std::to_string(i),
                         ctx.label + ", layers[" + std::to_string(i) + "]"};
                comp.addLayer(layer(layers[i], lctx), comp.numLayers());
            }
        }
        return comp;
    }

    std::unique_ptr<Layer> layer(const Json& jl, Ctx ctx) const {
        if (!jl.is_object()) fail(ctx.ptr, ctx.label, "a layer must be an object, found " + Describe(jl));
        const std::string name = this->name(jl, ctx, "name");
        const std::string typeName = string(jl, ctx, "type");
        ctx.label += " (" + typeName + " " + Quote(name) + ")";
        LayerType type;
        if (!LayerTypeFromName(typeName, &type))
            fail(fieldPtr(ctx, "type"), ctx.label,
                 "field \"type\": unknown layer type " + Quote(typeName) +
                     "; expected \"camera\", \"solid\", \"light\" or \"null\"");
        switch (type) {
        case LayerType::Solid:
            checkFields(jl, ctx, {"name", "type", "sourceName", "flags", "color", "grid", "width", "height", "streams"});
            break;
        case LayerType::Null:
            checkFields(jl, ctx, {"name", "type", "sourceName", "flags", "width", "height", "streams"});
            break;
        default:
            checkFields(jl, ctx, {"name", "type", "sourceName", "flags", "streams"});
            break;
        }
        auto layer = std::make_unique<Layer>(type, name);
        if (optional(jl, "sourceName")) layer->sourceName = this->name(jl, ctx, "sourceName");
        if (const Json* c = optional(jl, "color")) layer->color = value(*c, ctx, "color", ValueKind::Color);
        if (optional(jl, "width")) layer->width = positiveInt(jl, ctx, "width");
        if (optional(jl, "height")) layer->height = positiveInt(jl, ctx, "height");
        if (const Json* g = optional(jl, "grid")) grid(object(*g, ctx, "grid"), ctx, *layer);
        if (const Json* f = optional(jl, "flags")) flags(object(*f, ctx, "flags"), ctx, *layer);
        if (const Json* s = optional(jl, "streams")) streams(object(*s, ctx, "streams"), ctx, *layer);
        return layer;
    }

    void grid(const Json& jg, const Ctx& layerCtx, Layer& layer) const {
        Ctx ctx{layerCtx.ptr + "/grid", layerCtx.label + ", grid"};
        checkFields(jg, ctx, {"spacing", "lineWidth", "color"});
        layer.grid.spacing = number(jg, ctx, "spacing", 0, false);
        if (optional(jg, "lineWidth")) layer.grid.lineWidth = number(jg, ctx, "lineWidth", 0, true);
        if (const Json* c = optional(jg, "color")) layer.grid.color = value(*c, ctx, "color", ValueKind::Color);
    }

    void flags(const Json& jf, const Ctx& layerCtx, Layer& layer) const {
        Ctx ctx{layerCtx.ptr + "/flags", layerCtx.label + ", flags"};
        checkFields(jf, ctx, {"video", "3d", "lookAtPoi", "null"});
        for (const FlagName& f : kFlagNames) {
            const Json* v = optional(jf, f.name);
            if (!v) continue;
            if (boolean(*v, ctx, f.name))
                layer.flags |= f.flag;
            else
                layer.flags &= ~f.flag;
        }
        const bool isNull = layer.hasFlag(AEGP_LayerFlag_NULL_LAYER);
        if (isNull != (layer.type() == LayerType::Null))
            fail(fieldPtr(ctx, "null"), ctx.label,
                 std::string("field \"null\": ") +
                     (isNull ? "only null layers are null layers" : "a null layer is always a null layer"));
        if ((layer.type() == LayerType::Camera || layer.type() == LayerType::Light) &&
            !layer.hasFlag(AEGP_LayerFlag_LAYER_IS_3D))
            fail(fieldPtr(ctx, "3d"), ctx.label,
                 std::string("field \"3d\": a ") + LayerTypeName(layer.type()) + " layer is always 3-D");
    }

    void streams(const Json& js, const Ctx& layerCtx, Layer& layer) const {
        Ctx ctx{layerCtx.ptr + "/streams", layerCtx.label + ", streams"};
        for (auto it = js.begin(); it != js.end(); ++it) {
            const std::string& key = it.key();
            const AEGP_LayerStream id = StreamFromName(key);
            if (id == AEGP_LayerStream_NONE || !layer.hasStream(id)) {
                std::string list;
                for (AEGP_LayerStream s : StreamsOf(layer.type()))
                    list += (list.empty() ? "" : ", ") + StreamName(s);
                fail(ctx.ptr + "/" + JsonPointerToken(key), ctx.label,
                     (id == AEGP_LayerStream_NONE ? "unknown stream " + Quote(key)
                                                  : std::string(LayerTypeName(layer.type())) +
                                                        " layers have no stream " + Quote(key)) +
                         " (streams of this layer: " + list + ")");
            }
            Ctx sctx{ctx.ptr + "/" + JsonPointerToken(key), layerCtx.label + ", stream " + Quote(key)};
            const Json& jstream = object(it.value(), ctx, key.c_str());
            checkFields(jstream, sctx, {"value", "keyframes"});
            const Json* v = optional(jstream, "value");
            const Json* k = optional(jstream, "keyframes");
            if ((v != nullptr) == (k != nullptr))
                fail(sctx.ptr, sctx.label, "a stream has either a \"value\" or \"keyframes\", not both or neither");
            Stream& stream = *layer.stream(id);
            if (v) {
                stream.setStaticValue(value(*v, sctx, "value", stream.kind()));
                continue;
            }
            const Json& keys = array(jstream, sctx, "keyframes");
            if (keys.empty()) fail(sctx.ptr + "/keyframes", sctx.label, "field \"keyframes\" is empty (use \"value\")");
            for (size_t i = 0; i < keys.size(); ++i) {
                Ctx kctx{sctx.ptr + "/keyframes/" + std::to_string(i),
                         sctx.label + ", keyframes[" + std::to_string(i) + "]"};
                const Json& jk = keys[i];
                if (!jk.is_object()) fail(kctx.ptr, kctx.label, "a keyframe must be an object, found " + Describe(jk));
                checkFields(jk, kctx, {"time", "value", "in", "out"});
                const double time = number(required(jk, kctx, "time"), kctx, "time");
                if (!std::isfinite(time)) wrongType(jk["time"], kctx, "time", "a finite number");
                const Value val = value(required(jk, kctx, "value"), kctx, "value", stream.kind());
                AEGP_KeyframeInterpolationType in = AEGP_KeyInterp_LINEAR, out = AEGP_KeyInterp_LINEAR;
                for (auto [field, target] : {std::pair<const char*, AEGP_KeyframeInterpolationType*>{"in", &in},
                                             std::pair<const char*, AEGP_KeyframeInterpolationType*>{"out", &out}}) {
                    if (!optional(jk, field)) continue;
                    const std::string s = string(jk, kctx, field);
                    if (!InterpFromName(s, target))
                        fail(fieldPtr(kctx, field), kctx.label,
                             std::string("field ") + Quote(field) + ": unknown interpolation " + Quote(s) +
                                 "; expected \"linear\", \"bezier\" or \"hold\"");
                }
                const int before = stream.numKeyframes();
                stream.setKeyframe(time, val, in, out);
                if (stream.numKeyframes() == before)
                    fail(fieldPtr(kctx, "time"), kctx.label,
                         "field \"time\": another keyframe of this stream is already at " + Json(time).dump());
            }
        }
    }

private:
    std::string file_;
    const std::string& text_;
};

}  // namespace

std::string SerializeProject(const Project& project) {
    std::string out;
    Pretty(ProjectToJson(project), 0, 0, out);
    out += "\n";
    return out;
}

namespace {

// Builds the document as nlohmann's own parser does, and keeps the first error (a syntax error,
// or a number beyond double range) with where it is, instead of throwing it.
class DocumentBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
public:
    explicit DocumentBuilder(Json& doc) : json_sax_dom_parser(doc, false) {}

    bool parse_error(std::size_t position, const std::string& lastToken, const nlohmann::detail::exception& e) {
        failed_ = true;
        message_ = e.what();
        // A syntax error is where reading stopped (the offending byte); a number out of range
        // is where the number starts.
        const bool number = dynamic_cast<const nlohmann::detail::out_of_range*>(&e) != nullptr;
        const size_t at = position > 0 ? position - 1 : 0;
        offset_ = number && lastToken.size() <= position ? position - lastToken.size() : at;
        return false;
    }
    bool failed() const { return failed_; }
    size_t offset() const { return offset_; }

    // The message without the library's prefix, and with the text it last read cut short.
    std::string message() const {
        std::string m = message_;
        if (const size_t at = m.find("] "); m.rfind("[json.exception.", 0) == 0 && at != std::string::npos)
            m.erase(0, at + 2);
        if (m.rfind("parse error", 0) == 0) {
            if (const size_t colon = m.find(": "); colon != std::string::npos) m.erase(0, colon + 2);
        }
        if (const size_t read = m.find("; last read: '"); read != std::string::npos) {
            const size_t start = read + std::strlen("; last read: '");
            std::string token = m.substr(start);
            if (!token.empty() && token.back() == '\'') token.pop_back();
            m = m.substr(0, start) + CappedText(token) + "'";
        }
        return CappedText(m, 400);
    }

private:
    bool failed_ = false;
    size_t offset_ = 0;
    std::string message_;
};

}  // namespace

std::unique_ptr<Project> ParseProject(const std::string& text, const std::string& file) {
    Json doc;
    DocumentBuilder builder(doc);
    // nlohmann's parser keeps its nesting on the heap, so depth costs memory, not stack.
    const bool parsed = Json::sax_parse(text, &builder);
    if (!parsed || builder.failed()) {
        const auto [line, column] = LineColumnAt(text, builder.offset());
        throw ProjectFileError(file, line, column, builder.message());
    }
    return Reader(file, text).project(doc);
}

std::unique_ptr<Project> LoadProject(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ProjectFileError(path, 0, 0, std::string("cannot open the file: ") + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw ProjectFileError(path, 0, 0, "cannot read the file");
    return ParseProject(text.str(), path);
}

void SaveProject(const Project& project, const std::string& path) {
    const std::string text = SerializeProject(project);
    // Written beside the target and renamed over it, so a failed save leaves the old file.
    const std::string tmp = path + ".saving";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        if (!out) throw ProjectFileError(path, 0, 0, std::string("cannot write the file: ") + std::strerror(errno));
        out << text;
        out.flush();
        if (!out) {
            std::remove(tmp.c_str());
            throw ProjectFileError(path, 0, 0, "cannot write the file");
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        std::remove(tmp.c_str());
        throw ProjectFileError(path, 0, 0, std::string("cannot write the file: ") + std::strerror(err));
    }
}

}  // namespace qlo::hostsim
