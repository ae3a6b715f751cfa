// GET /cameras: the named cameras of the active composition in layer order, else of the
// remembered composition while it still exists, else of the first composition in the project.
#include "hostsim/suite_faults.h"
#include "timeline_control.h"

class CameraListTest : public ControlTest {
protected:
    std::string refresh() {
        s_camRefreshTick = 0;
        app->runRounds(1);
        return get("/cameras");
    }
    // A footage item, then one composition per name with a camera named after it, then a folder (active).
    void project(const V& comps) {
        auto p = std::make_unique<qh::Project>();
        p->addFootage("Still", 64, 64);
        for (const auto& name : comps) p->addComposition(name, 64, 64, 25, 10).addCamera(name, {32, 32});
        p->setActiveItem(p->addFolder("Folder").id());
        qh::SetCurrentProject(std::move(p));
    }
    void activate(const std::string& name) { qh::CurrentProject().setActiveItem(qh::CurrentProject().findItemByName(name)->id()); }
    void remove(const std::string& name) { ASSERT_TRUE(qh::CurrentProject().deleteItem(qh::CurrentProject().findItemByName(name)->id())); }
};

TEST_F(CameraListTest, NamedCamerasInLayerOrder) {
    pass();  // behind us: the first timeline pass, which asks for an early refresh
    for (const char* name : {"B", "", "A"}) comp->addCamera(name, {0, 0}, 0);
    comp->addNull("Null", 0);
    EXPECT_EQ(refresh(), R"({"cameras":["A","B","Camera 1"]})");
    s_camRefreshTick = INT32_MAX;  // wraps to the most negative value without overflowing
    app->runRounds(2);
    EXPECT_EQ(s_camRefreshTick, INT32_MIN + 1);
}

TEST_F(CameraListTest, TheRememberedCompositionServesOnlyWhileItExistsThenTheProjectIsScanned) {
    pass();
    project({"First", "Second"});
    activate("Second");
    EXPECT_EQ(refresh(), R"({"cameras":["Second"]})");
    activate("Folder");  // no active composition: the remembered one, not the first
    EXPECT_EQ(refresh(), R"({"cameras":["Second"]})");
    // The host cannot say whether it still exists: it is not used, the scan finds the first one.
    qh::SuiteFaults::instance().arm({"GetFirstProjItem", 1, A_Err_GENERIC});
    EXPECT_EQ(refresh(), R"({"cameras":["First"]})");
    qh::SuiteFaults::instance().clear();
    remove("First");  // the remembered one is gone: the scan finds the other
    EXPECT_EQ(refresh(), R"({"cameras":["Second"]})");
    remove("Second");  // no composition anywhere: the list is left as it was
    EXPECT_EQ(refresh(), R"({"cameras":["Second"]})");
}
