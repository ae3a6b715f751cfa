// Handle tokens and tables of the model suites, the public handle helpers, accounting, and
// UTF-8 / UTF-16 conversion.
#include "hostsim/suites/handles.h"

#include <cstring>
#include <new>

#include "hostsim/suites/model_suites.h"
#include "platform/utf.h"

namespace qlo::hostsim {

namespace detail {

namespace {

struct WorldRecord {
    std::unique_ptr<World> world;
    bool receiptOwned = false;
};

struct Tables {
    std::unordered_map<std::uint64_t, StreamRef> streams;
    std::unordered_map<std::uint64_t, MemBlock> mem;
    std::unordered_map<std::uint64_t, RenderOptions> options;
    std::unordered_map<std::uint64_t, Receipt> receipts;
    std::unordered_map<std::uint64_t, WorldRecord> worlds;
};

Tables& T() {
    static Tables tables;
    return tables;
}

}  // namespace

A_Err ResolveProject(AEGP_ProjectH h, Project** out) {
    if (!h) return A_Err_PARAMETER;
    Project& project = CurrentProject();
    if (Decode(h, Kind::Project) != project.id()) return A_Err_STRUCT;
    *out = &project;
    return A_Err_NONE;
}

A_Err ResolveItem(AEGP_ItemH h, Item** out) {
    if (!h) return A_Err_PARAMETER;
    const std::uint64_t id = Decode(h, Kind::Item);
    Item* item = id ? CurrentProject().findItem(id) : nullptr;
    if (!item) return A_Err_STRUCT;
    *out = item;
    return A_Err_NONE;
}

A_Err ResolveComp(AEGP_CompH h, Composition** out) {
    if (!h) return A_Err_PARAMETER;
    const std::uint64_t id = Decode(h, Kind::Comp);
    Composition* comp = id ? CurrentProject().findComposition(id) : nullptr;
    if (!comp) return A_Err_STRUCT;
    *out = comp;
    return A_Err_NONE;
}

A_Err ResolveLayer(AEGP_LayerH h, Layer** out, Composition** owner) {
    if (!h) return A_Err_PARAMETER;
    const std::uint64_t id = Decode(h, Kind::Layer);
    Composition* comp = nullptr;
    Layer* layer = id ? CurrentProject().findLayer(id, &comp) : nullptr;
    if (!layer) return A_Err_STRUCT;
    *out = layer;
    if (owner) *owner = comp;
    return A_Err_NONE;
}

A_Err ResolveView(AEGP_ItemViewP h, Composition** out) {
    if (!h) return A_Err_PARAMETER;
    const std::uint64_t id = Decode(h, Kind::View);
    Project& project = CurrentProject();
    Composition* comp = id ? project.findComposition(id) : nullptr;
    if (!comp || !project.isOpenInViewer(id)) return A_Err_STRUCT;
    *out = comp;
    return A_Err_NONE;
}

AEGP_StreamRefH NewStreamRef(ObjectId layer, AEGP_LayerStream stream) {
    const std::uint64_t key = NewObjectId();
    T().streams[key] = StreamRef{layer, stream};
    return Encode<AEGP_StreamRefH>(Kind::Stream, key);
}

A_Err ResolveStream(AEGP_StreamRefH h, Stream** stream, Layer** layerOut, Composition** owner) {
    if (!h) return A_Err_PARAMETER;
    const std::uint64_t key = Decode(h, Kind::Stream);
    auto it = key ? T().streams.find(key) : T().streams.end();
    if (it == T().streams.end()) return A_Err_STRUCT;
    Composition* comp = nullptr;
    Layer* layer = CurrentProject().findLayer(it->second.layer, &comp);
    Stream* s = layer ? layer->stream(it->second.stream) : nullptr;
    if (!s) return A_Err_STRUCT;
    *stream = s;
    if (layerOut) *layerOut = layer;
    if (owner) *owner = comp;
    return A_Err_NONE;
}

A_Err DisposeStreamRef(AEGP_StreamRefH h) {
    if (!h) return A_Err_PARAMETER;
    const std::uint64_t key = Decode(h, Kind::Stream);
    auto it = key ? T().streams.find(key) : T().streams.end();
    if (it == T().streams.end()) return A_Err_STRUCT;
    const bool alive = CurrentProject().findLayer(it->second.layer) != nullptr;
    T().streams.erase(it);
    return alive ? A_Err_NONE : A_Err_STRUCT;
}

AEGP_MemHandle NewMem(AEGP_PluginID plugin, const char* what, size_t size, bool clear) {
    MemBlock block;
    // Exactly `size` bytes, so that AddressSanitizer catches a plug-in writing past the end.
    block.data.reset(new (std::nothrow) unsigned char[size == 0 ? 1 : size]);
    if (!block.data) return nullptr;
    block.size = size;
    block.plugin = plugin;
    block.what = what ? what : "";
    // Without AEGP_MemFlag_CLEAR the contents are undefined: fill them with a pattern so that a
    // plug-in relying on zeroes shows itself.
    std::memset(block.data.get(), clear ? 0 : 0xCD, size == 0 ? 1 : size);
    const std::uint64_t key = NewObjectId();
    T().mem.emplace(key, std::move(block));
    return Encode<AEGP_MemHandle>(Kind::Mem, key);
}

MemBlock* FindMem(AEGP_MemHandle h) {
    const std::uint64_t key = Decode(h, Kind::Mem);
    if (!key) return nullptr;
    auto it = T().mem.find(key);
    return it == T().mem.end() ? nullptr : &it->second;
}

void EraseMem(AEGP_MemHandle h) { T().mem.erase(Decode(h, Kind::Mem)); }

AEGP_RenderOptionsH NewOptions(const RenderOptions& options) {
    const std::uint64_t key = NewObjectId();
    T().options[key] = options;
    return Encode<AEGP_RenderOptionsH>(Kind::Options, key);
}

RenderOptions* FindOptions(AEGP_RenderOptionsH h) {
    const std::uint64_t key = Decode(h, Kind::Options);
    if (!key) return nullptr;
    auto it = T().options.find(key);
    return it == T().options.end() ? nullptr : &it->second;
}

void EraseOptions(AEGP_RenderOptionsH h) { T().options.erase(Decode(h, Kind::Options)); }

AEGP_FrameReceiptH NewReceipt(AEGP_WorldH world) {
    const std::uint64_t key = NewObjectId();
    T().receipts[key] = Receipt{world};
    return Encode<AEGP_FrameReceiptH>(Kind::Receipt, key);
}

Receipt* FindReceipt(AEGP_FrameReceiptH h) {
    const std::uint64_t key = Decode(h, Kind::Receipt);
    if (!key) return nullptr;
    auto it = T().receipts.find(key);
    return it == T().receipts.end() ? nullptr : &it->second;
}

void EraseReceipt(AEGP_FrameReceiptH h) {
    auto it = T().receipts.find(Decode(h, Kind::Receipt));
    if (it == T().receipts.end()) return;
    T().worlds.erase(Decode(it->second.world, Kind::World));
    T().receipts.erase(it);
}

AEGP_WorldH NewWorldRecord(std::unique_ptr<World> world, bool receiptOwned) {
    const std::uint64_t key = NewObjectId();
    T().worlds[key] = WorldRecord{std::move(world), receiptOwned};
    return Encode<AEGP_WorldH>(Kind::World, key);
}

namespace {
WorldRecord* FindWorldRecord(AEGP_WorldH h) {
    const std::uint64_t key = Decode(h, Kind::World);
    if (!key) return nullptr;
    auto it = T().worlds.find(key);
    return it == T().worlds.end() ? nullptr : &it->second;
}
}  // namespace

}  // namespace detail

using namespace detail;

// ---- public handle helpers ------------------------------------------------------------------

AEGP_ProjectH ProjectHandle(const Project& p) { return Encode<AEGP_ProjectH>(Kind::Project, p.id()); }
AEGP_ItemH ItemHandle(const Item& item) { return Encode<AEGP_ItemH>(Kind::Item, item.id()); }
AEGP_CompH CompHandle(const Composition& comp) { return Encode<AEGP_CompH>(Kind::Comp, comp.id()); }
AEGP_LayerH LayerHandle(const Layer& layer) { return Encode<AEGP_LayerH>(Kind::Layer, layer.id()); }
AEGP_ItemViewP ViewHandle(const Composition& comp) { return Encode<AEGP_ItemViewP>(Kind::View, comp.id()); }

Item* ItemFromHandle(AEGP_ItemH h) {
    Item* item = nullptr;
    return ResolveItem(h, &item) == A_Err_NONE ? item : nullptr;
}

Composition* CompFromHandle(AEGP_CompH h) {
    Composition* comp = nullptr;
    return ResolveComp(h, &comp) == A_Err_NONE ? comp : nullptr;
}

Layer* LayerFromHandle(AEGP_LayerH h) {
    Layer* layer = nullptr;
    return ResolveLayer(h, &layer) == A_Err_NONE ? layer : nullptr;
}

// ---- accounting -------------------------------------------------------------------------------

size_t LiveMemHandles() { return T().mem.size(); }

size_t LiveMemHandles(AEGP_PluginID plugin) {
    size_t n = 0;
    for (const auto& [key, block] : T().mem) n += block.plugin == plugin ? 1 : 0;
    return n;
}

int MemHandleLockCount(AEGP_MemHandle mem) {
    const MemBlock* block = FindMem(mem);
    return block ? block->locks : -1;
}

size_t LiveStreamRefs() { return T().streams.size(); }
size_t LiveRenderOptions() { return T().options.size(); }
size_t LiveFrameReceipts() { return T().receipts.size(); }
size_t LiveWorlds() { return T().worlds.size(); }

void ResetHandleTables() {
    Tables& t = T();
    t.streams.clear();
    t.mem.clear();
    t.options.clear();
    t.receipts.clear();
    t.worlds.clear();
}

// ---- worlds -----------------------------------------------------------------------------------

AEGP_WorldH NewWorld(AEGP_WorldType type, int width, int height) {
    try {
        return NewWorldRecord(std::make_unique<World>(type, width, height), false);
    } catch (const std::exception&) {
        return nullptr;
    }
}

World* LookupWorld(AEGP_WorldH h) {
    WorldRecord* record = FindWorldRecord(h);
    return record ? record->world.get() : nullptr;
}

bool DisposeWorld(AEGP_WorldH h) {
    WorldRecord* record = FindWorldRecord(h);
    if (!record || record->receiptOwned) return false;
    T().worlds.erase(Decode(h, Kind::World));
    return true;
}

// ---- text -------------------------------------------------------------------------------------

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    auto cont = [&](size_t k) { return i + k < s.size() && (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80; };
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0xFFFD;
        size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && cont(1)) {
            cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3F);
            len = 2;
            if (cp < 0x80) cp = 0xFFFD;
        } else if ((c & 0xF0) == 0xE0 && cont(1) && cont(2)) {
            cp = ((c & 0x0Fu) << 12) | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3F);
            len = 3;
            if (cp < 0x800 || (cp >= 0xD800 && cp < 0xE000)) cp = 0xFFFD;
        } else if ((c & 0xF8) == 0xF0 && cont(1) && cont(2) && cont(3)) {
            cp = ((c & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) | (s[i + 3] & 0x3F);
            len = 4;
            if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    return text::Utf16ToUtf8(s);
}

std::u16string Utf16FromZ(const A_UTF16Char* z, size_t maxChars) {
    std::u16string out;
    if (!z) return out;
    for (size_t i = 0; i < maxChars && z[i] != 0; ++i) out += static_cast<char16_t>(z[i]);
    return out;
}

AEGP_MemHandle NewUtf16Handle(AEGP_PluginID plugin, std::string_view utf8) {
    const std::u16string text = Utf8ToUtf16(utf8);
    const size_t bytes = (text.size() + 1) * sizeof(A_UTF16Char);
    AEGP_MemHandle h = NewMem(plugin, "UTF-16 text", bytes, true);
    if (h) std::memcpy(FindMem(h)->data.get(), text.data(), text.size() * sizeof(A_UTF16Char));
    return h;
}

AEGP_MemHandle NewTextHandle(AEGP_PluginID plugin, std::string_view text) {
    AEGP_MemHandle h = NewMem(plugin, "text", text.size() + 1, true);
    if (h) std::memcpy(FindMem(h)->data.get(), text.data(), text.size());
    return h;
}

}  // namespace qlo::hostsim
