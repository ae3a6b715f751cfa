// Memory Suite 1: real allocations with lock counting. A memory handle is a token naming a
// block in the host's table; freeing it (or ResetHandleTables) makes it stale.
#include "hostsim/suites/handles.h"
#include "hostsim/suites/model_suites.h"
#include "hostsim/suites/suite_util.h"
#include "platform/log.h"

namespace qlo::hostsim {

using namespace detail;

namespace {

A_Err ResolveMem(AEGP_MemHandle memH, MemBlock** out) {
    if (!memH) return A_Err_PARAMETER;
    MemBlock* block = FindMem(memH);
    if (!block) return A_Err_STRUCT;
    *out = block;
    return A_Err_NONE;
}

// Without AEGP_MemFlag_CLEAR the block's contents are a fill pattern (0xCD), not zeroes.
A_Err NewMemHandle(AEGP_PluginID plugin_id, const A_char* whatZ, AEGP_MemSize size, AEGP_MemFlag flags,
                   AEGP_MemHandle* memPH) {
    return Guard([&]() -> A_Err {
        QLO_NEED(memPH);
        QLO_NEED((flags & ~AEGP_MemFlag_CLEAR) == 0);
        AEGP_MemHandle mem = NewMem(plugin_id, whatZ, size, (flags & AEGP_MemFlag_CLEAR) != 0);
        if (!mem) return A_Err_ALLOC;
        *memPH = mem;
        return A_Err_NONE;
    });
}

A_Err FreeMemHandle(AEGP_MemHandle memH) {
    return Guard([&]() -> A_Err {
        MemBlock* block = nullptr;
        QLO_TRY(ResolveMem(memH, &block));
        if (block->locks > 0) {
            log::Log("[host] AEGP_FreeMemHandle: memory handle \"%s\" of plug-in %d is still locked (%d)",
                     block->what.c_str(), static_cast<int>(block->plugin), block->locks);
            return A_Err_GENERIC;
        }
        EraseMem(memH);
        return A_Err_NONE;
    });
}

A_Err LockMemHandle(AEGP_MemHandle memH, void** ptr_to_ptr) {
    return Guard([&]() -> A_Err {
        MemBlock* block = nullptr;
        QLO_TRY(ResolveMem(memH, &block));
        QLO_NEED(ptr_to_ptr);
        ++block->locks;
        *ptr_to_ptr = block->data.get();
        return A_Err_NONE;
    });
}

A_Err UnlockMemHandle(AEGP_MemHandle memH) {
    return Guard([&]() -> A_Err {
        MemBlock* block = nullptr;
        QLO_TRY(ResolveMem(memH, &block));
        if (block->locks == 0) {
            log::Log("[host] AEGP_UnlockMemHandle: memory handle \"%s\" of plug-in %d is not locked",
                     block->what.c_str(), static_cast<int>(block->plugin));
            return A_Err_GENERIC;
        }
        --block->locks;
        return A_Err_NONE;
    });
}

A_Err GetMemHandleSize(AEGP_MemHandle memH, AEGP_MemSize* sizeP) {
    return Guard([&]() -> A_Err {
        MemBlock* block = nullptr;
        QLO_TRY(ResolveMem(memH, &block));
        QLO_NEED(sizeP);
        *sizeP = static_cast<AEGP_MemSize>(block->size);
        return A_Err_NONE;
    });
}

const AEGP_MemorySuite1 kMemorySuite = {NewMemHandle, FreeMemHandle, LockMemHandle, UnlockMemHandle,
                                        GetMemHandleSize};

}  // namespace

const AEGP_MemorySuite1* MemorySuite() { return &kMemorySuite; }

}  // namespace qlo::hostsim
