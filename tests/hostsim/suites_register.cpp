// RegisterModelSuites offers every model suite under its name and version from AE_Suites.h.
#include "hostsim/suite_registry.h"
#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

TEST(RegisterModelSuites, EveryTableUnderItsNameAndVersion) {
    SuiteRegistry& registry = SuiteRegistry::instance();
    registry.clear();
    RegisterModelSuites(registry);
    SPBasicSuite* basic = registry.basic();
    struct Expect {
        const char* name;
        int32_t version;
        const void* table;
    };
    const Expect expected[] = {
        {kAEGPItemSuite, kAEGPItemSuiteVersion14, ItemSuite()},
        {kAEGPItemViewSuite, kAEGPItemViewSuiteVersion1, ItemViewSuite()},
        {kAEGPCompSuite, kAEGPCompSuiteVersion25, CompSuite()},
        {kAEGPProjSuite, kAEGPProjSuiteVersion9, ProjSuite()},
        {kAEGPLayerSuite, kAEGPLayerSuiteVersion15, LayerSuite()},
        {kAEGPStreamSuite, kAEGPStreamSuiteVersion11, StreamSuite()},
        {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion5, KeyframeSuite()},
        {kAEGPMemorySuite, kAEGPMemorySuiteVersion1, MemorySuite()},
        {kAEGPRenderOptionsSuite, kAEGPRenderOptionsSuiteVersion3, RenderOptionsSuite()},
        {kAEGPRenderSuite, kAEGPRenderSuiteVersion8, RenderSuite()},
        {kAEGPWorldSuite, kAEGPWorldSuiteVersion3, WorldSuite()},
        {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion13, UtilitySuite()},
    };
    for (const Expect& e : expected) {
        const void* table = nullptr;
        ASSERT_EQ(basic->AcquireSuite(e.name, e.version, &table), kSPNoError) << e.name;
        EXPECT_EQ(table, e.table) << e.name;
        EXPECT_EQ(basic->ReleaseSuite(e.name, e.version), kSPNoError);
    }
    const void* table = nullptr;
    EXPECT_NE(basic->AcquireSuite(kAEGPLayerSuite, 14, &table), kSPNoError) << "only the versions offered";
    registry.clear();
}

// Every slot of every table is filled.
TEST(RegisterModelSuites, NoEmptySlots) {
    auto check = [](const void* table, size_t size, const char* name) {
        const auto* slots = static_cast<void* const*>(table);
        for (size_t i = 0; i < size / sizeof(void*); ++i) EXPECT_NE(slots[i], nullptr) << name << " slot " << i;
    };
    check(ItemSuite(), sizeof(AEGP_ItemSuite14), "Item");
    check(ItemViewSuite(), sizeof(AEGP_ItemViewSuite1), "ItemView");
    check(CompSuite(), sizeof(AEGP_CompSuite25), "Comp");
    check(ProjSuite(), sizeof(AEGP_ProjSuite9), "Proj");
    check(LayerSuite(), sizeof(AEGP_LayerSuite15), "Layer");
    check(StreamSuite(), sizeof(AEGP_StreamSuite11), "Stream");
    check(KeyframeSuite(), sizeof(AEGP_KeyframeSuite5), "Keyframe");
    check(MemorySuite(), sizeof(AEGP_MemorySuite1), "Memory");
    check(RenderOptionsSuite(), sizeof(AEGP_RenderOptionsSuite3), "RenderOptions");
    check(RenderSuite(), sizeof(AEGP_RenderSuite8), "Render");
    check(WorldSuite(), sizeof(AEGP_WorldSuite3), "World");
    check(UtilitySuite(), sizeof(AEGP_UtilitySuite13), "Utility");
}

}  // namespace
}  // namespace qlo::hostsim::testing
