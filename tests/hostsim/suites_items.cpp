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
    EXPECT_EQ(w, 1920);
    EXPECT_EQ(h, 1080);
    A_Time d{};
    ASSERT_EQ(ItemSuite()->AEGP_GetItemDuration(item, &d), A_Err_NONE);
    EXPECT_DOUBLE_EQ(Seconds(d), 10);
    comp->currentTime = 1.5;
    A_Time t{};
    ASSERT_EQ(ItemSuite()->AEGP_GetItemCurrentTime(item, &t), A_Err_NONE);
    EXPECT_DOUBLE_EQ(Seconds(t), 1.5);
    AEGP_CompH c = nullptr;
    ASSERT_EQ(CompSuite()->AEGP_GetCompFromItem(item, &c), A_Err_NONE);
    A_FpLong fps = 0;
    ASSERT_EQ(CompSuite()->AEGP_GetCompFramerate(c, &fps), A_Err_NONE);
    EXPECT_EQ(fps, 30);
    AEGP_ItemH back = nullptr;
    ASSERT_EQ(CompSuite()->AEGP_GetItemFromComp(c, &back), A_Err_NONE);
    EXPECT_EQ(back, item);
}

TEST_F(ItemSuites, FootageAndFolders) {
    AEGP_ItemH footage = ItemHandle(*CurrentProject().findItemByName("Quillo Logo.png"));
    AEGP_ItemH folder = ItemHandle(*CurrentProject().findItemByName("Solids"));
    A_long w = 0, h = 0;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemDimensions(footage, &w, &h), A_Err_NONE);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(ItemSuite()->AEGP_GetItemDimensions(folder, &w, &h), A_Err_PARAMETER);
    AEGP_CompH c = nullptr;
    EXPECT_EQ(CompSuite()->AEGP_GetCompFromItem(footage, &c), A_Err_PARAMETER) << "not a composition";
    EXPECT_EQ(c, nullptr);
    AEGP_ItemViewP view = reinterpret_cast<AEGP_ItemViewP>(0x1);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(footage, &view), A_Err_NONE);
    EXPECT_EQ(view, nullptr);
}

TEST_F(ItemSuites, SelectingChangesTheActiveItem) {
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    AEGP_ItemH item = nullptr;
    ASSERT_EQ(ItemSuite()->AEGP_GetActiveItem(&item), A_Err_NONE);
    AEGP_ItemType type;
    ASSERT_EQ(ItemSuite()->AEGP_GetItemType(item, &type), A_Err_NONE);
    EXPECT_EQ(type, AEGP_ItemType_FOOTAGE);
}

TEST_F(ItemSuites, ClosedCompositionHasNoView) {
    CurrentProject().closeViewer(comp->id());
    AEGP_ItemViewP view = reinterpret_cast<AEGP_ItemViewP>(0x1);
    ASSERT_EQ(ItemSuite()->AEGP_GetItemMRUView(ItemHandle(*comp), &view), A_Err_NONE);
    EXPECT_EQ(view, nullptr);
}

// ---- playback through the view --------------------------------------------------------------

class Playback : public SuitesTest {
protected:
    AEGP_ItemViewP view() {
        AEGP_ItemViewP v = nullptr;
        EXPECT_EQ(ItemSuite()->AEGP_GetItemMRUView(ItemHandle(*comp), &v), A_Err_NONE);
        return v;
    }
    double viewTime(bool* previewing) {
        A_Boolean p = 7;
        A_Time t{};
        EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view(), &p, &t), A_Err_NONE);
        *previewing = p != 0;
        return Seconds(t);
    }
    double itemTime() {
        A_Time t{};
        EXPECT_EQ(ItemSuite()->AEGP_GetItemCurrentTime(ItemHandle(*comp), &t), A_Err_NONE);
        return Seconds(t);
    }
};

TEST_F(Playback, ToggleAdvanceToggle) {
    Project& project = CurrentProject();
    comp->currentTime = 1.0;
    bool previewing = true;
    EXPECT_DOUBLE_EQ(viewTime(&previewing), 1.0);
    EXPECT_FALSE(previewing);

    ASSERT_TRUE(project.togglePlayback(50.0));
    ASSERT_TRUE(project.playing());
    project.advance(50.5);
    EXPECT_DOUBLE_EQ(viewTime(&previewing), 1.5);
    EXPECT_TRUE(previewing);
    project.advance(52.0);
    EXPECT_DOUBLE_EQ(viewTime(&previewing), 3.0);
    EXPECT_DOUBLE_EQ(itemTime(), 1.0) << "the item's current time stays until playback stops";

    project.advance(60.0);  // 1 + 10 = 11 -> loops to 1
    EXPECT_NEAR(viewTime(&previewing), 1.0, 1e-6);

    EXPECT_FALSE(project.togglePlayback(60.25));
    EXPECT_FALSE(project.playing());
    EXPECT_NEAR(viewTime(&previewing), 1.25, 1e-6);
    EXPECT_FALSE(previewing);
    EXPECT_NEAR(itemTime(), 1.25, 1e-6);
}

TEST_F(Playback, NullOutPointers) {
    A_Time t;
    A_Boolean p;
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view(), nullptr, &t), A_Err_PARAMETER);
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(view(), &p, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(ItemViewSuite()->AEGP_GetItemViewPlaybackTime(nullptr, &p, &t), A_Err_PARAMETER);
}

}  // namespace
}  // namespace qlo::hostsim::testing
