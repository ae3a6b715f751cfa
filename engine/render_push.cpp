#include "engine/render_push.h"

#include "base/host_handles.h"
#include "base/plugin_state.h"
#include "base/suite_handler.h"
#include "link/mjpeg_server.h"
#include "link/outgoing_frame.h"

namespace {

// Copies the world's pixels out (the host gets its world back right after) and hands them to the
// phones' senders, which encode and send them on their own threads.
std::shared_ptr<OutgoingFrame> CopyAndPush(AEGP_SuiteHandler& suites, AEGP_WorldH world, int target, uint64_t batch) {
    const AEGP_WorldSuite3* worlds = suites.WorldSuite3();
    A_long width = 0;
    A_long height = 0;
    A_u_long rowBytes = 0;
    AEGP_WorldType type = AEGP_WorldType_NONE;
    PF_Pixel8* base = nullptr;
    worlds->AEGP_GetSize(world, &width, &height);
    worlds->AEGP_GetRowBytes(world, &rowBytes);
    worlds->AEGP_GetType(world, &type);
    if (type == AEGP_WorldType_8) worlds->AEGP_GetBaseAddr8(world, &base);
    if (base == nullptr || width < 1 || height < 1 || g_server == nullptr) return nullptr;

    std::shared_ptr<OutgoingFrame> frame = OutgoingFrame::CopyARGB(base, width, height, rowBytes, kFrameQuality);
    if (!frame) return nullptr;
    if (batch != 0) frame->joinBatch(batch);
    if (target >= 0) {
        g_server->pushFrameToClient(target, frame);
    } else {
        g_server->pushFrame(frame);
    }
    return frame;
}

}  // namespace

std::shared_ptr<OutgoingFrame> RenderAndPushFrame(AEGP_SuiteHandler& suites, AEGP_ItemH item, A_Time time, int target,
                                                  uint64_t batch) {
    // Every suite the render uses is acquired before anything is taken from the host; what is
    // taken goes back through its owner (the frame checked in, then the options disposed of) on
    // every way out, also when a suite turns out missing.
    const AEGP_RenderOptionsSuite3* options = suites.RenderOptionsSuite3();
    const AEGP_RenderSuite8* render = suites.RenderSuite8();
    suites.WorldSuite3();
    HostRenderOptions optionsH(options);
    if (options->AEGP_NewFromItem(g_pluginID, item, optionsH.out()) != A_Err_NONE || !optionsH) return nullptr;
    options->AEGP_SetTime(optionsH.get(), time);
    options->AEGP_SetDownsampleFactor(optionsH.get(), 4, 4);
    options->AEGP_SetWorldType(optionsH.get(), AEGP_WorldType_8);

    HostFrameReceipt receipt(render);
    if (render->AEGP_RenderAndCheckoutFrame(optionsH.get(), nullptr, nullptr, receipt.out()) != A_Err_NONE ||
        !receipt) {
        return nullptr;
    }
    AEGP_WorldH world = nullptr;
    if (render->AEGP_GetReceiptWorld(receipt.get(), &world) != A_Err_NONE || world == nullptr) return nullptr;
    return CopyAndPush(suites, world, target, batch);
}
