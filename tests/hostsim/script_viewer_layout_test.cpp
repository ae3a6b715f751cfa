// The viewer layout script the plug-in assembles for the cameras of its phones, run against the
// demo project: its logged result, the viewer's layout and each view's camera afterwards.
#include <string>
#include <vector>

#include "script_fixture.h"

namespace {

using namespace scripttest;

// The script, piece by piece as the plug-in writes it.
std::string ViewerSyncScript(const std::vector<std::string>& cams) {
    const size_t n = cams.size();
    const char* variants = n <= 1   ? "['1 View']"
                           : n == 2 ? "['2 Views Horizontal','2 Views','2 Views Vertical']"
                                    : "['4 Views']";
    std::string list;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) list += ",";
        list += "\"";
        for (char c : cams[i]) {
            if (c == '\\' || c == '"') list += '\\';
            list += c;
        }
        list += "\"";
    }
    std::string s;
    s += "(function(){\n";
    s += "  var log = [];\n";
    s += "  var comp = app.project.activeItem;\n";
    s += "  if (!(comp instanceof CompItem)) return 'no-comp';\n";
    s += "  var v = comp.openInViewer(); if (!v) return 'no-viewer';\n";
    s += "  log.push('phones=" + std::to_string(n) + "');\n";
    s += "  log.push('views=' + v.views.length);\n";
    s += std::string("  var layoutVariants = ") + variants + ";\n";
    s += "  var lid = 0, lname = '';\n";
    s += "  for (var k = 0; k < layoutVariants.length; k++) {\n";
    s += "    var t = app.findMenuCommandId(layoutVariants[k]);\n";
    s += "    if (t) { lid = t; lname = layoutVariants[k]; break; }\n";
    s += "  }\n";
    s += "  var goToTimeId = app.findMenuCommandId('Go to Time...') || app.findMenuCommandId('Go to Time');\n";
    s += "  if (lid && lid !== goToTimeId) { app.executeCommand(lid); log.push('layout=' + lname + '/' + lid); }\n";
    s += "  else if (lid && lid === goToTimeId) log.push('layout-blocked(would-be-goto-time)/' + lid);\n";
    s += "  else log.push('layout-not-found');\n";
    s += "  v = comp.openInViewer();\n";
    s += "  log.push('views2=' + v.views.length);\n";
    s += "  var cams = [" + list + "];\n";
    s += "  if (v.views.length > 0) {\n";
    s += "    var view0 = v.views[0];\n";
    s += "    var vp = []; for (var k in view0) vp.push(k);\n";
    s += "    log.push('viewProps=' + vp.join(','));\n";
    s += "    var vrp = []; for (var k in v) vrp.push(k);\n";
    s += "    log.push('viewerProps=' + vrp.join(','));\n";
    s += "  }\n";
    s += "  for (var i = 0; i < cams.length; i++) {\n";
    s += "    if (i >= v.views.length) break;\n";
    s += "    try { v.views[i].setActive(); } catch(e) { log.push('setActive'+i+'-err'); }\n";
    s += "    var nm = cams[i];\n";
    s += "    // Assign the camera via direct property write only — NEVER\n";
    s += "    // via app.executeCommand(findMenuCommandId(nm)), which can\n";
    s += "    // open modal dialogs if the layer name collides with a menu.\n";
    s += "    var cl = comp.layer(nm);\n";
    s += "    if (cl) {\n";
    s += "      var tries = ['activeCamera','camera','sourceCamera','cameraLayer'];\n";
    s += "      for (var j = 0; j < tries.length; j++) {\n";
    s += "        try { v.views[i][tries[j]] = cl; log.push('set/'+tries[j]+'=ok'); }\n";
    s += "        catch(e) { log.push('set/'+tries[j]+'-err'); }\n";
    s += "      }\n";
    s += "    } else log.push('layer-not-found(' + nm + ')');\n";
    s += "  }\n";
    s += "  return log.join('|');\n";
    s += "})()";
    return s;
}

const std::string kAssigned = "|set/activeCamera=ok|set/camera-err|set/sourceCamera-err|set/cameraLayer-err";
const std::string kProps = "|viewProps=active,activeCamera|viewerProps=views,active,activeViewIndex";

class ViewerSync : public ScriptFixture {
protected:
    void SetUp() override {
        ScriptFixture::SetUp();
        const char* names[] = {"Phone A", "Phone B", "Phone C", "Phone D", "Phone E"};
        for (const char* name : names) phones.push_back(name);
        for (const std::string& name : phones) AddCamera(name);
    }
    std::vector<std::string> First(size_t n) const {
        return std::vector<std::string>(phones.begin(), phones.begin() + static_cast<long>(n));
    }
    std::vector<std::string> Cameras() const {
        std::vector<std::string> names;
        const ViewerState state = app.viewerState();
        for (const ViewerPane& pane : state.panes) names.push_back(Viewer::CameraName(demo->id(), pane));
        return names;
    }
    std::vector<std::string> phones;
};

TEST_F(ViewerSync, NoCameraGivesOneViewAndAssignsNothing) {
    app.setViewerLayout(ViewLayout::FourViews);
    EXPECT_EQ(Eval(ViewerSyncScript({})), "phones=0|views=4|layout=1 View/3201|views2=1" + kProps);
    EXPECT_EQ(app.viewerState().layout, ViewLayout::OneView);
    EXPECT_EQ(Cameras(), std::vector<std::string>{"Active Camera"});
}

TEST_F(ViewerSync, OneAndTwoCamerasGetOneAndTwoViews) {
    EXPECT_EQ(Eval(ViewerSyncScript(First(1))),
              "phones=1|views=1|layout=1 View/3201|views2=1" + kProps + kAssigned);
    EXPECT_EQ(Cameras(), First(1));

    EXPECT_EQ(Eval(ViewerSyncScript(First(2))),
              "phones=2|views=1|layout=2 Views Horizontal/3202|views2=2" + kProps + kAssigned + kAssigned);
    EXPECT_EQ(app.viewerState().layout, ViewLayout::TwoViewsHorizontal);
    EXPECT_EQ(Cameras(), First(2));
    EXPECT_EQ(app.viewerState().activePane, 1) << "the last view set up is the active one";

    // The same cameras in the other order go to the other views.
    EXPECT_EQ(Eval(ViewerSyncScript({"Phone B", "Phone A"})),
              "phones=2|views=2|layout=2 Views Horizontal/3202|views2=2" + kProps + kAssigned + kAssigned);
    EXPECT_EQ(Cameras(), (std::vector<std::string>{"Phone B", "Phone A"}));
}

TEST_F(ViewerSync, ThreeToFiveCamerasGetFourViewsFilledInOrder) {
    EXPECT_EQ(Eval(ViewerSyncScript(First(3))),
              "phones=3|views=1|layout=4 Views/3205|views2=4" + kProps + kAssigned + kAssigned + kAssigned);
    std::vector<std::string> expected = First(3);
    expected.push_back("Active Camera");
    EXPECT_EQ(Cameras(), expected) << "the fourth view keeps its camera";

    EXPECT_EQ(Eval(ViewerSyncScript(First(4))),
              "phones=4|views=4|layout=4 Views/3205|views2=4" + kProps + kAssigned + kAssigned +
                  kAssigned + kAssigned);
    EXPECT_EQ(Cameras(), First(4));

    Eval(ViewerSyncScript({"Phone E", "Phone D", "Phone C", "Phone B", "Phone A"}));
    EXPECT_EQ(Cameras(), (std::vector<std::string>{"Phone E", "Phone D", "Phone C", "Phone B"}))
        << "the fifth name has no view";
}

TEST_F(ViewerSync, NamesWithQuotesAndBackslashesReachTheirLayers) {
    const std::string odd = "Cam \"5\" \\ back";
    AddCamera(odd);
    EXPECT_EQ(Eval(ViewerSyncScript({odd, "Nobody"})),
              "phones=2|views=1|layout=2 Views Horizontal/3202|views2=2" + kProps + kAssigned +
                  "|layer-not-found(Nobody)");
    EXPECT_EQ(Cameras(), (std::vector<std::string>{odd, "Active Camera"}));
}

TEST_F(ViewerSync, WithoutACompositionTheScriptSaysSo) {
    ASSERT_TRUE(CurrentProject().selectItem("Quillo Logo.png"));
    EXPECT_EQ(Eval(ViewerSyncScript(First(2))), "no-comp");
    ASSERT_TRUE(CurrentProject().setActiveItem(0));
    EXPECT_EQ(Eval(ViewerSyncScript(First(2))), "no-comp");
    EXPECT_EQ(app.viewerState().layout, ViewLayout::OneView);
}

}  // namespace
