// Project files: saving and loading round-trips exactly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <tuple>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "/qlo_project_" + std::to_string(::getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Everything the model holds, compared field by field.
void ExpectSameProject(const Project& a, const Project& b) {
    ASSERT_EQ(a.numItems(), b.numItems());
    for (size_t i = 0; i < a.numItems(); ++i) {
        const Item& x = *a.itemAt(i);
        const Item& y = *b.itemAt(i);
        SCOPED_TRACE("item " + x.name);
        EXPECT_EQ(x.type(), y.type());
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(a.activeItem() == &x, b.activeItem() == &y);
        if (x.type() == ItemType::Footage) {
            const auto &fx = static_cast<const Footage&>(x), &fy = static_cast<const Footage&>(y);
            EXPECT_EQ(std::pair(fx.width, fx.height), std::pair(fy.width, fy.height));
        }
        const Composition* cx = x.asComposition();
        const Composition* cy = y.asComposition();
        if (!cx) continue;
        ASSERT_NE(cy, nullptr);
        EXPECT_EQ(std::tuple(cx->width, cx->height, cx->frameRate, cx->duration, cx->currentTime),
                  std::tuple(cy->width, cy->height, cy->frameRate, cy->duration, cy->currentTime));
        EXPECT_EQ(a.isOpenInViewer(cx->id()), b.isOpenInViewer(cy->id()));
        ASSERT_EQ(cx->numLayers(), cy->numLayers());
        for (size_t l = 0; l < cx->numLayers(); ++l) {
            const Layer& lx = *cx->layerAt(l);
            const Layer& ly = *cy->layerAt(l);
            SCOPED_TRACE("layer " + lx.name);
            EXPECT_EQ(std::tuple(lx.name, lx.sourceName, lx.type(), lx.flags),
                      std::tuple(ly.name, ly.sourceName, ly.type(), ly.flags));
            if (lx.type() == LayerType::Solid) {
                EXPECT_EQ(std::tuple(lx.color, lx.width, lx.height), std::tuple(ly.color, ly.width, ly.height));
            }
            EXPECT_EQ(lx.streams(), ly.streams());
        }
    }
    std::vector<std::string> va, vb;
    for (ObjectId id : a.viewerOrder()) va.push_back(a.findItem(id)->name);
    for (ObjectId id : b.viewerOrder()) vb.push_back(b.findItem(id)->name);
    EXPECT_EQ(va, vb);
}

TEST(ProjectJsonRoundTrip, DemoProjectSavesAndLoadsExactly) {
    auto demo = MakeDemoProject();
    const std::string path = TempPath("demo.json");
    SaveProject(*demo, path);
    auto loaded = LoadProject(path);
    ExpectSameProject(*demo, *loaded);
    const std::string again = TempPath("demo2.json");
    SaveProject(*loaded, again);
    EXPECT_EQ(ReadFile(path), ReadFile(again)) << "saving the loaded project writes the same file";
    std::remove(path.c_str());
    std::remove(again.c_str());
}

TEST(ProjectJsonRoundTrip, AwkwardValuesSurviveBitForBit) {
    Project p;
    p.addFolder("Ordner \xC3\xBC / \"quoted\" \\ tab\t");
    Composition& c = p.addComposition("Comp \xE5\x90\x8D \xF0\x9F\x8E\xA5", 1001, 7, 29.97002997002997, 1.0 / 3);
    c.currentTime = 0.1 + 0.2;
    Composition& other = p.addComposition("Other", 10, 10, 23.976, 100);
    p.addFootage("still", 3, 4);
    Layer& solid = c.addSolid("s", Value::Rgba(0.1, 0.2, 0.3, 0.4), 33, 44);
    solid.sourceName.clear();
    solid.set(AEGP_LayerStream_POSITION, Value::Three(1e-300, -0.0, 123456789.123456789));
    Stream* op = solid.stream(AEGP_LayerStream_OPACITY);
    op->setKeyframe(0.1, Value::One(1.0 / 7), AEGP_KeyInterp_HOLD, AEGP_KeyInterp_BEZIER);
    op->setKeyframe(2.0 / 3, Value::One(std::numbers::pi), AEGP_KeyInterp_BEZIER, AEGP_KeyInterp_HOLD);
    Layer& light = c.addLight("l", A_FloatPoint{1, 2});
    light.stream(AEGP_LayerStream_COLOR)->setKeyframe(0, Value::Rgba(1, 0, 0, 0.5));
    light.stream(AEGP_LayerStream_COLOR)->setKeyframe(1, Value::Rgba(0, 1, 0));
    light.flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
    Layer& n = c.addNull("n");
    n.flags |= AEGP_LayerFlag_LAYER_IS_3D;
    n.width = 5;
    c.addCamera("cam", A_FloatPoint{0.5, 0.25}).flags &= ~AEGP_LayerFlag_LOOK_AT_POI;
    p.openInViewer(c.id());
    p.openInViewer(other.id());  // other in front, c behind
    p.setActiveItem(p.itemAt(3)->id());

    EXPECT_EQ(ParseProject(SerializeProject(Project()), "empty.json")->numItems(), 0u);
    auto loaded = ParseProject(SerializeProject(p), "mem.json");
    ExpectSameProject(p, *loaded);
    const Stream* lop = loaded->findComposition(loaded->itemAt(1)->id())->layerAt(3)->stream(AEGP_LayerStream_OPACITY);
    ASSERT_EQ(lop->numKeyframes(), 2);
    EXPECT_EQ(lop->keyframes()[1].time, 2.0 / 3);
    EXPECT_EQ(lop->keyframes()[1].value.x(), std::numbers::pi);
    EXPECT_EQ(SerializeProject(*loaded), SerializeProject(p));
}

TEST(ProjectJsonRoundTrip, HandWrittenMinimalFileUsesDefaults) {
    const std::string text = R"({
  "format": "quillo-host project",
  "version": 1,
  "items": [
    {"type": "composition", "name": "Main", "width": 1280, "height": 720, "frameRate": 25, "duration": 4,
     "active": true, "viewerRank": 0,
     "layers": [
       {"name": "Cam", "type": "camera"},
       {"name": "Box", "type": "solid", "color": [1, 0, 0], "width": 100, "height": 100,
        "flags": {"3d": true},
        "streams": {"position": {"keyframes": [{"time": 0, "value": [0, 0, 0]},
                                               {"time": 2, "value": [100, 0, 0], "out": "hold"}]}}}
     ]}
  ]
})";
    auto p = ParseProject(text, "minimal.json");
    Composition* c = p->activeItem()->asComposition();
    ASSERT_NE(c, nullptr);
    EXPECT_TRUE(p->isOpenInViewer(c->id()));
    EXPECT_EQ(c->currentTime, 0);
    EXPECT_EQ(c->layerAt(0)->flags, AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_LAYER_IS_3D);
    EXPECT_NEAR(c->layerAt(0)->get(AEGP_LayerStream_ZOOM).x(), 2666.5, 0.1);
    const Layer* box = c->layerAt(1);
    EXPECT_EQ(box->flags, AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_LAYER_IS_3D);
    EXPECT_EQ(box->color, Value::Rgba(1, 0, 0, 1));
    EXPECT_EQ(box->get(AEGP_LayerStream_POSITION, 1), Value::Three(50, 0, 0));
    EXPECT_EQ(box->stream(AEGP_LayerStream_POSITION)->keyframes()[1].outInterp, AEGP_KeyInterp_HOLD);
    EXPECT_EQ(box->stream(AEGP_LayerStream_POSITION)->keyframes()[0].inInterp, AEGP_KeyInterp_LINEAR);
}

}  // namespace
}  // namespace qlo::hostsim
