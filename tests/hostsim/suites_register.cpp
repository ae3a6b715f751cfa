// RegisterModelSuites offers every model suite under its name and version from AE_Suites.h, with
// every slot of every table filled.
#include "hostsim/suite_registry.h"
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

}  // namespace
}  // namespace qlo::hostsim::testing
