#include "base/suite_handler.h"

#include "base/main_thread.h"

void MissingSuiteError() {
    throw static_cast<int>(A_Err_MISSING_SUITE);
}

AEGP_SuiteHandler::AEGP_SuiteHandler(const SPBasicSuite* basic)
    : basic_(basic),
      slots_{
          {kAEGPCommandSuite, kAEGPCommandSuiteVersion1, nullptr},
          {kAEGPRegisterSuite, kAEGPRegisterSuiteVersion6, nullptr},
          {kAEGPWorkspacePanelSuite, kAEGPWorkspacePanelSuiteVersion1, nullptr},
          {kAEGPItemSuite, kAEGPItemSuiteVersion14, nullptr},
          {kAEGPItemViewSuite, kAEGPItemViewSuiteVersion1, nullptr},
          {kAEGPCompSuite, kAEGPCompSuiteVersion25, nullptr},
          {kAEGPProjSuite, kAEGPProjSuiteVersion9, nullptr},
          {kAEGPLayerSuite, kAEGPLayerSuiteVersion15, nullptr},
          {kAEGPStreamSuite, kAEGPStreamSuiteVersion11, nullptr},
          {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion5, nullptr},
          {kAEGPMemorySuite, kAEGPMemorySuiteVersion1, nullptr},
          {kAEGPRenderOptionsSuite, kAEGPRenderOptionsSuiteVersion3, nullptr},
          {kAEGPRenderSuite, kAEGPRenderSuiteVersion8, nullptr},
          {kAEGPWorldSuite, kAEGPWorldSuiteVersion3, nullptr},
          {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion13, nullptr},
      } {
    QLO_MAIN_THREAD_ONLY("A host suite");
    if (basic_ == nullptr) MissingSuiteError();
}

AEGP_SuiteHandler::~AEGP_SuiteHandler() {
    ReleaseAllSuites();
}

const void* AEGP_SuiteHandler::LoadSuite(const char* name, int32_t version) {
    const void* suite = nullptr;
    SPErr err = basic_->AcquireSuite(name, version, &suite);
    if (err != kSPNoError || suite == nullptr) MissingSuiteError();
    return suite;
}

const void* AEGP_SuiteHandler::Get(SlotIndex index) {
    Slot& slot = slots_[index];
    if (slot.suite == nullptr) slot.suite = LoadSuite(slot.name, slot.version);
    return slot.suite;
}

void AEGP_SuiteHandler::ReleaseAllSuites() {
    for (Slot& slot : slots_) {
        if (slot.suite != nullptr) {
            basic_->ReleaseSuite(slot.name, slot.version);
            slot.suite = nullptr;
        }
    }
}

#define QLO_SUITE_ACCESSOR(Type, Method, Index) \
    const Type* AEGP_SuiteHandler::Method() { return static_cast<const Type*>(Get(Index)); }

QLO_SUITE_ACCESSOR(AEGP_CommandSuite1, CommandSuite1, kCommand)
QLO_SUITE_ACCESSOR(AEGP_RegisterSuite6, RegisterSuite6, kRegister)
QLO_SUITE_ACCESSOR(AEGP_WorkspacePanelSuite1, WorkspacePanelSuite1, kWorkspacePanel)
QLO_SUITE_ACCESSOR(AEGP_ItemSuite14, ItemSuite14, kItem)
QLO_SUITE_ACCESSOR(AEGP_ItemViewSuite1, ItemViewSuite1, kItemView)
QLO_SUITE_ACCESSOR(AEGP_CompSuite25, CompSuite25, kComp)
QLO_SUITE_ACCESSOR(AEGP_ProjSuite9, ProjSuite9, kProj)
QLO_SUITE_ACCESSOR(AEGP_LayerSuite15, LayerSuite15, kLayer)
QLO_SUITE_ACCESSOR(AEGP_StreamSuite11, StreamSuite11, kStream)
QLO_SUITE_ACCESSOR(AEGP_KeyframeSuite5, KeyframeSuite5, kKeyframe)
QLO_SUITE_ACCESSOR(AEGP_MemorySuite1, MemorySuite1, kMemory)
QLO_SUITE_ACCESSOR(AEGP_RenderOptionsSuite3, RenderOptionsSuite3, kRenderOptions)
QLO_SUITE_ACCESSOR(AEGP_RenderSuite8, RenderSuite8, kRender)
QLO_SUITE_ACCESSOR(AEGP_WorldSuite3, WorldSuite3, kWorld)
QLO_SUITE_ACCESSOR(AEGP_UtilitySuite13, UtilitySuite13, kUtility)

#undef QLO_SUITE_ACCESSOR
