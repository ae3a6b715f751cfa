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

// Dimensions of compositions and footage, a composition's duration and frame rate, and the way
// between a composition and its item, playback; folders and footage have no composition, closed
// compositions no view.
TEST_F(ItemSuites, PropertiesOfEachKindOfItem) {
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
    ASSERT_EQ(ItemFromHandle(item), comp);
    AEGP_ItemH footage = ItemHandle(*CurrentProject().findItemByName("Quillo Logo.png"));
    AEGP_ItemH folder = ItemHandle(*CurrentProject().findItemByName("Solids"));
    A_long w = 0, h = 0, fw = 0, fh = 0;
    A_Time d{};
    AEGP_CompH c = nullptr;
    A_FpLong fps = 0;
    AEGP_ItemH back = nullptr;
    // In this order (&& sequences the calls): the composition's handle is used by the last two.
    ASSERT_TRUE(ItemSuite()->AEGP_GetItemDimensions(item, &w, &h) == A_Err_NONE &&
                ItemSuite()->AEGP_GetItemDimensions(footage, &fw, &fh) == A_Err_NONE &&
                ItemSuite()->AEGP_GetItemDuration(item, &d) == A_Err_NONE &&
                CompSuite()->AEGP_GetCompFromItem(item, &c) == A_Err_NONE &&
                CompSuite()->AEGP_GetCompFramerate(c, &fps) == A_Err_NONE &&
                CompSuite()->AEGP_GetItemFromComp(c, &back) == A_Err_NONE);
    EXPECT_EQ(std::tuple(w, h, fw, Seconds(d), fps, back), std::tuple(1920, 1080, 512, 10.0, 30.0, item));
    EXPECT_EQ(ItemSuite()->AEGP_GetItemDimensions(folder, &w, &h), A_Err_PARAMETER);
    c = nullptr;
    EXPECT_EQ(CompSuite()->AEGP_GetCompFromItem(footage, &c), A_Err_PARAMETER) << "not a composition";
    EXPECT_EQ(c, nullptr);

    // Playback as the view reports it; the item's current time stays until playback stops.
    AEGP_ItemViewP view = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(item, &view), A_Err_NONE);
    A_Boolean previewing = 7;
    A_Time viewTime{}, itemTime{};
    comp->currentTime = 1.0;
    ASSERT_TRUE(CurrentProject().togglePlayback(50.0));
    CurrentProject().advance(52.0);
    ASSERT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, &previewing, &viewTime), A_Err_NONE);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemCurrentTime(item, &itemTime), A_Err_NONE);
    EXPECT_EQ(std::tuple(Seconds(viewTime), previewing, Seconds(itemTime)),
              std::tuple(3.0, A_Boolean{1}, 1.0));
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view, nullptr, &viewTime), A_Err_PARAMETER);
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(nullptr, &previewing, &viewTime),
              A_Err_PARAMETER);

    CurrentProject().closeViewer(comp->id());
    for (AEGP_ItemH i : {footage, item}) {
        view = reinterpret_cast<AEGP_ItemViewP>(0x1);
        ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(i, &view), A_Err_NONE);
        EXPECT_EQ(view, nullptr);
    }
}

}  // namespace
}  // namespace qlo::hostsim::testing
