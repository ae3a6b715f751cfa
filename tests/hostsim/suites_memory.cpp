// RegisterModelSuites offers every model suite under its name and version from AE_Suites.h, with
// every slot of every table filled. The Memory Suite: real blocks, nested locks, unlock, free,
// and the count of live handles.
#include <cstring>

#include "hostsim/suite_registry.h"
#include "platform/log.h"
#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

TEST(RegisterModelSuites, EveryTableUnderItsNameAndVersionWithNoEmptySlots) {
    SuiteRegistry& registry = SuiteRegistry::instance();
    registry.clear();
    RegisterModelSuites(registry);
    SPBasicSuite* basic = registry.basic();
    const struct { const char* name; int32_t version; const void* table; size_t size; } expected[] = {
        {kAEGPItemSuite, kAEGPItemSuiteVersion14, ItemSuite(), sizeof(AEGP_ItemSuite14)},
        {kAEGPItemViewSuite, kAEGPItemViewSuiteVersion1, ItemViewSuite(), sizeof(AEGP_ItemViewSuite1)},
        {kAEGPCompSuite, kAEGPCompSuiteVersion25, CompSuite(), sizeof(AEGP_CompSuite25)},
        {kAEGPProjSuite, kAEGPProjSuiteVersion9, ProjSuite(), sizeof(AEGP_ProjSuite9)},
        {kAEGPLayerSuite, kAEGPLayerSuiteVersion15, LayerSuite(), sizeof(AEGP_LayerSuite15)},
        {kAEGPStreamSuite, kAEGPStreamSuiteVersion11, StreamSuite(), sizeof(AEGP_StreamSuite11)},
        {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion5, KeyframeSuite(), sizeof(AEGP_KeyframeSuite5)},
        {kAEGPMemorySuite, kAEGPMemorySuiteVersion1, MemorySuite(), sizeof(AEGP_MemorySuite1)},
        {kAEGPRenderOptionsSuite, kAEGPRenderOptionsSuiteVersion3, RenderOptionsSuite(), sizeof(AEGP_RenderOptionsSuite3)},
        {kAEGPRenderSuite, kAEGPRenderSuiteVersion8, RenderSuite(), sizeof(AEGP_RenderSuite8)},
        {kAEGPWorldSuite, kAEGPWorldSuiteVersion3, WorldSuite(), sizeof(AEGP_WorldSuite3)},
        {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion13, UtilitySuite(), sizeof(AEGP_UtilitySuite13)},
    };
    for (const auto& e : expected) {
        const void* table = nullptr;
        ASSERT_EQ(basic->AcquireSuite(e.name, e.version, &table), kSPNoError) << e.name;
        EXPECT_EQ(table, e.table) << e.name;
        EXPECT_EQ(basic->ReleaseSuite(e.name, e.version), kSPNoError);
        const auto* slots = static_cast<void* const*>(table);
        for (size_t i = 0; i < e.size / sizeof(void*); ++i) EXPECT_NE(slots[i], nullptr) << e.name << " slot " << i;
    }
    const void* table = nullptr;
    EXPECT_NE(basic->AcquireSuite(kAEGPLayerSuite, 14, &table), kSPNoError) << "only the versions offered";
    registry.clear();
}

class MemorySuites : public SuitesTest {};

TEST_F(MemorySuites, AllocateLockWriteReadFree) {
    const auto* mem = MemorySuite();
    AEGP_MemHandle h = nullptr;
    ASSERT_EQ(mem->AEGP_NewMemHandle(kPlugin, "buffer", 100, AEGP_MemFlag_CLEAR, &h), A_Err_NONE);
    EXPECT_EQ(std::pair(LiveMemHandles(kPlugin), LiveMemHandles(kPlugin + 1)), std::pair(1ul, 0ul));
    AEGP_MemSize size = 0;
    ASSERT_EQ(mem->AEGP_GetMemHandleSize(h, &size), A_Err_NONE);
    EXPECT_EQ(size, 100u);
    void* p = nullptr;
    ASSERT_EQ(mem->AEGP_LockMemHandle(h, &p), A_Err_NONE);
    const auto* bytes = static_cast<unsigned char*>(p);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], 0) << "CLEAR gives zeroes";
    std::memset(p, 0xAB, 100);  // the whole block is writable

    // Locks nest (h is locked once): each needs an unlock before the block can be freed.
    void* again = nullptr;
    ASSERT_EQ(mem->AEGP_LockMemHandle(h, &again), A_Err_NONE);
    EXPECT_EQ(std::tuple(again, MemHandleLockCount(h), static_cast<unsigned char*>(again)[99]),
              std::tuple(p, 2, 0xAB));
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_NONE);
    log::SetStderrEnabled(false);
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_GENERIC) << "still locked once";
    EXPECT_EQ(LiveMemHandles(), 1u);
    EXPECT_EQ(mem->AEGP_UnlockMemHandle(h), A_Err_NONE);
    EXPECT_EQ(mem->AEGP_FreeMemHandle(h), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
