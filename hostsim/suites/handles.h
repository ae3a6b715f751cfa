// Internal to the model suites: handle tokens and the tables that map them back.
//
// A token is  kTag | serial << 4 | kind : the top byte 0xA5 makes it a non-canonical address
// on 64-bit machines (dereferencing it faults), the low four bits name what kind of handle it
// is, the serial number in between is an ObjectId (model objects) or a table key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "hostsim/model/project.h"
#include "hostsim/model/world.h"
#include "sdk/AE_SDK.h"

namespace qlo::hostsim::detail {

enum class Kind : std::uint64_t {
    Project = 1,
    Item = 2,
    Comp = 3,
    Layer = 4,
    View = 5,
    Stream = 6,
    Mem = 7,
    Options = 8,
    Receipt = 9,
    World = 10,
};

inline constexpr std::uint64_t kTag = 0xA5ull << 56;
inline constexpr std::uint64_t kSerialMask = (1ull << 52) - 1;

template <class H>
H Encode(Kind kind, std::uint64_t serial) {
    const std::uint64_t bits = kTag | ((serial & kSerialMask) << 4) | static_cast<std::uint64_t>(kind);
    return reinterpret_cast<H>(static_cast<std::uintptr_t>(bits));
}

// The serial of a token of that kind; 0 for anything else (null included).
template <class H>
std::uint64_t Decode(H handle, Kind kind) {
    const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
    if ((bits & (0xFFull << 56)) != kTag || (bits & 0xF) != static_cast<std::uint64_t>(kind)) return 0;
    return (bits >> 4) & kSerialMask;
}

// ---- model objects (A_Err_NONE, A_Err_PARAMETER for null, A_Err_STRUCT when stale) ------

A_Err ResolveProject(AEGP_ProjectH h, Project** out);
A_Err ResolveItem(AEGP_ItemH h, Item** out);
A_Err ResolveComp(AEGP_CompH h, Composition** out);
A_Err ResolveLayer(AEGP_LayerH h, Layer** out, Composition** owner = nullptr);
A_Err ResolveView(AEGP_ItemViewP h, Composition** out);

// ---- stream references --------------------------------------------------------------------

struct StreamRef {
    ObjectId layer = 0;
    AEGP_LayerStream stream = AEGP_LayerStream_NONE;
};
AEGP_StreamRefH NewStreamRef(ObjectId layer, AEGP_LayerStream stream);
// Resolves the reference and the stream it names (A_Err_STRUCT when disposed or when the
// layer is gone).
A_Err ResolveStream(AEGP_StreamRefH h, Stream** stream, Layer** layer = nullptr, Composition** owner = nullptr);
// Drops the record; A_Err_PARAMETER for null, A_Err_STRUCT when unknown or when its layer is
// gone (the record is dropped all the same).
A_Err DisposeStreamRef(AEGP_StreamRefH h);

// ---- memory -------------------------------------------------------------------------------

struct MemBlock {
    std::unique_ptr<unsigned char[]> data;
    size_t size = 0;
    int locks = 0;
    AEGP_PluginID plugin = 0;
    std::string what;
};
AEGP_MemHandle NewMem(AEGP_PluginID plugin, const char* what, size_t size, bool clear);
MemBlock* FindMem(AEGP_MemHandle h);
void EraseMem(AEGP_MemHandle h);

// ---- render options, receipts, worlds -----------------------------------------------------

struct RenderOptions {
    ObjectId item = 0;
    double time = 0;
    AEGP_WorldType worldType = AEGP_WorldType_8;
    A_short downsampleX = 1;
    A_short downsampleY = 1;
};
AEGP_RenderOptionsH NewOptions(const RenderOptions& options);
RenderOptions* FindOptions(AEGP_RenderOptionsH h);
void EraseOptions(AEGP_RenderOptionsH h);

struct Receipt {
    AEGP_WorldH world = nullptr;
};
AEGP_FrameReceiptH NewReceipt(AEGP_WorldH world);
Receipt* FindReceipt(AEGP_FrameReceiptH h);
void EraseReceipt(AEGP_FrameReceiptH h);  // disposes its world too

// A world record; `receiptOwned` worlds are freed with their receipt.
AEGP_WorldH NewWorldRecord(std::unique_ptr<World> world, bool receiptOwned);

}  // namespace qlo::hostsim::detail
