// Per-call cache of host suites. Every hook and stage creates one on the stack, asks it for the
// suites it needs, and the destructor releases all of them. A suite the host cannot give throws
// (see MissingSuiteError); the hook boundaries catch it (see boundary.h).
#pragma once

#include "sdk/AE_SDK.h"

// Throws the missing-suite error (an int exception with the value 516).
[[noreturn]] void MissingSuiteError();

class AEGP_SuiteHandler {
public:
    // A null basic suite is itself a missing suite.
    explicit AEGP_SuiteHandler(const SPBasicSuite* basic);
    ~AEGP_SuiteHandler();
    AEGP_SuiteHandler(const AEGP_SuiteHandler&) = delete;
    AEGP_SuiteHandler& operator=(const AEGP_SuiteHandler&) = delete;

    const AEGP_CommandSuite1* CommandSuite1();
    const AEGP_RegisterSuite6* RegisterSuite6();
    const AEGP_WorkspacePanelSuite1* WorkspacePanelSuite1();
    const AEGP_ItemSuite14* ItemSuite14();
    const AEGP_ItemViewSuite1* ItemViewSuite1();
    const AEGP_CompSuite25* CompSuite25();
    const AEGP_ProjSuite9* ProjSuite9();
    const AEGP_LayerSuite15* LayerSuite15();
    const AEGP_StreamSuite11* StreamSuite11();
    const AEGP_KeyframeSuite5* KeyframeSuite5();
    const AEGP_MemorySuite1* MemorySuite1();
    const AEGP_RenderOptionsSuite3* RenderOptionsSuite3();
    const AEGP_RenderSuite8* RenderSuite8();
    const AEGP_WorldSuite3* WorldSuite3();
    const AEGP_UtilitySuite13* UtilitySuite13();

private:
    // One cached pointer per suite; acquired on first use, released by ReleaseAllSuites.
    struct Slot {
        const char* name;
        int32_t version;
        const void* suite;
    };
    enum SlotIndex {
        kCommand, kRegister, kWorkspacePanel, kItem, kItemView, kComp, kProj, kLayer, kStream,
        kKeyframe, kMemory, kRenderOptions, kRender, kWorld, kUtility, kSlotCount
    };

    const void* Get(SlotIndex index);
    const void* LoadSuite(const char* name, int32_t version);
    void ReleaseAllSuites();

    const SPBasicSuite* basic_;
    Slot slots_[kSlotCount];
};
