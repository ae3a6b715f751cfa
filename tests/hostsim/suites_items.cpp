// Item Suite, Item View Suite, Comp Suite and Proj Suite over the demo project, playback as
// the item view reports it.
#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class ItemSuites : public SuitesTest {};

TEST_F(ItemSuites, OneProjectWhoseItemsWalkInOrder) {
    A_long n = 0;
    ASSERT_EQ(ProjSuite()->AEGP_GetNumProjects(&n), A_Err_NONE);
    EXPECT_EQ(n, 1);
    AEGP_ProjectH project = nullptr;
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    std::vector<std::u16string> names;
    std::vector<AEGP_ItemType> types;
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &item), A_Err_NONE);
    while (item) {
        AEGP_ItemType type;
        ASSERT_EQ(ItemSuite()->AEGP_GetItemType(item, &type), A_Err_NONE);
        types.push_back(type);
        AEGP_MemHandle name = nullptr;
        ASSERT_EQ(ItemSuite()->AEGP_GetItemName(kPlugin, item, &name), A_Err_NONE);
        names.push_back(TakeUtf16(name));
        ASSERT_EQ(ItemSuite()->AEGP_GetNextProjItem(project, item, &item), A_Err_NONE);
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Solids", u"Demo", u"Quillo Logo.png"}));
    EXPECT_EQ(types, (std::vector<AEGP_ItemType>{AEGP_ItemType_FOLDER, AEGP_ItemType_COMP, AEGP_ItemType_FOOTAGE}));

    SetCurrentProject(nullptr);  // an empty project
    ASSERT_EQ(ProjSuite()->AEGP_GetProjectByIndex(0, &project), A_Err_NONE);
    item = reinterpret_cast<AEGP_ItemH>(0x1);
    ASSERT_EQ(ItemSuite()->AEGP_GetFirstProjItem(project, &item), A_Err_NONE);
    EXPECT_EQ(item, nullptr);
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
    EXPECT_EQ(item, nullptr);
}

TEST_F(ItemSuites, ActiveCompositionAndItsProperties) {
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
    ASSERT_EQ(ItemFromHandle(item), comp);
    A_long w = 0, h = 0;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemDimensions(item, &w, &h), A_Err_NONE);
    EXPECT_EQ(std::pair(w, h), std::pair(1920, 1080));
    A_Time d{};
    ASSERT_EQ(ItemSuite()->AEGP_GetItemDuration(item, &d), A_Err_NONE);
    EXPECT_DOUBLE_EQ(Seconds(d), 10);
    AEGP_CompH c = nullptr;
    ASSERT_EQ(CompSuite()->AEGP_GetCompFromItem(item, &c), A_Err_NONE);
    A_FpLong fps = 0;
    ASSERT_EQ(CompSuite()->AEGP_GetCompFramerate(c, &fps), A_Err_NONE);
    EXPECT_EQ(fps, 30);
    AEGP_ItemH back = nullptr;
    ASSERT_EQ(CompSuite()->AEGP_GetItemFromComp(c, &back), A_Err_NONE);
    EXPECT_EQ(back, item);
}

TEST_F(ItemSuites, FootageFoldersAndClosedCompositionsHaveNoCompOrView) {
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    AEGP_ItemH footage = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&footage), A_Err_NONE);
    EXPECT_EQ(ItemFromHandle(footage)->name, "Quillo Logo.png");
    AEGP_ItemH folder = ItemHandle(*CurrentProject().findItemByName("Solids"));
    A_long w = 0, h = 0;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemDimensions(footage, &w, &h), A_Err_NONE);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemDimensions(folder, &w, &h), A_Err_PARAMETER);
    AEGP_CompH c = nullptr;
    EXPECT_EQ(CompSuite()->AEGP_GetCompFromItem(footage, &c), A_Err_PARAMETER) << "not a composition";
    EXPECT_EQ(c, nullptr);
    CurrentProject().closeViewer(comp->id());
    for (AEGP_ItemH item : {footage, ItemHandle(*comp)}) {
        AEGP_ItemViewP view = reinterpret_cast<AEGP_ItemViewP>(0x1);
        ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
        EXPECT_EQ(view, nullptr);
    }
}

TEST_F(ItemSuites, PlaybackAsTheViewAndTheItemReportIt) {
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(ItemHandle(*comp), &view), A_Err_NONE);
    A_Boolean previewing = 7;
    A_Time viewTime{}, itemTime{};
    comp->currentTime = 1.0;
    ASSERT_TRUE(CurrentProject().togglePlayback(50.0));
    CurrentProject().advance(52.0);
    ASSERT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &viewTime), A_Err_NONE);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemCurrentTime(ItemHandle(*comp), &itemTime), A_Err_NONE);
    EXPECT_DOUBLE_EQ(Seconds(viewTime), 3.0);
    EXPECT_TRUE(previewing);
    EXPECT_DOUBLE_EQ(Seconds(itemTime), 1.0) << "the item's current time stays until playback stops";

    EXPECT_FALSE(CurrentProject().togglePlayback(52.25));
    ASSERT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &viewTime), A_Err_NONE);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemCurrentTime(ItemHandle(*comp), &itemTime), A_Err_NONE);
    EXPECT_NEAR(Seconds(viewTime), 3.25, 1e-6);
    EXPECT_FALSE(previewing);
    EXPECT_NEAR(Seconds(itemTime), 3.25, 1e-6);
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, nullptr, &viewTime), A_Err_PARAMETER);
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(nullptr, &previewing, &viewTime), A_Err_PARAMETER);
}

}  // namespace
}  // namespace qlo::hostsim::testing
