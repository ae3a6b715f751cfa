// Project files: saving and loading round-trips exactly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <iterator>
#include <tuple>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "/qlo_project_" + std::to_string(::getpid()) + "_" + name;
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
        EXPECT_EQ(cx->backgroundColor, cy->backgroundColor);
        EXPECT_EQ(a.isOpenInViewer(cx->id()), b.isOpenInViewer(cy->id()));
        ASSERT_EQ(cx->numLayers(), cy->numLayers());
        for (size_t l = 0; l < cx->numLayers(); ++l) {
            const Layer& lx = *cx->layerAt(l);
            const Layer& ly = *cy->layerAt(l);
            SCOPED_TRACE("layer " + lx.name);
            EXPECT_EQ(std::tuple(lx.name, lx.sourceName, lx.type(), lx.flags),
                      std::tuple(ly.name, ly.sourceName, ly.type(), ly.flags));
            if (lx.type() == LayerType::Solid) {
                EXPECT_EQ(std::tuple(lx.color, lx.width, lx.height, lx.grid),
                          std::tuple(ly.color, ly.width, ly.height, ly.grid));
            }
            EXPECT_EQ(lx.streams(), ly.streams());
        }
    }
    std::vector<std::string> va, vb;
    for (ObjectId id : a.viewerOrder()) va.push_back(a.findItem(id)->name);
    for (ObjectId id : b.viewerOrder()) vb.push_back(b.findItem(id)->name);
    EXPECT_EQ(va, vb);
}

// A project holding everything the model can: every kind of item and layer, flags on and off,
// grids, names with quotes, escapes, control and line-separator characters and characters outside
// the basic plane, numbers of every magnitude and -0, and keys of every interpolation at times
// exactly one time tolerance apart.
std::unique_ptr<Project> AwkwardProject() {
    static const double kNumbers[] = {0, -0.0, 3e-300, 1e300 / 7, -2.9, 4999, -1234.5678901234567, 0.1};
    static const std::string kNames[] = {
        "Cam \"1\" \\ / ~", "\t\x01 \xE2\x80\xA8", "\xC3\xA9\xF0\x9F\x93\xB1", ""};
    constexpr double t = 2147.483648;
    const double kTimes[] = {-10, 0, kTimeEpsilon, t - kTimeEpsilon, t, t + kTimeEpsilon, 2999.999999};
    int next = 0;
    const auto number = [&] { return kNumbers[next++ % std::size(kNumbers)]; };
    const auto name = [&] { return kNames[next++ % std::size(kNames)]; };
    const auto value = [&](ValueKind kind) {
        return kind == ValueKind::OneD    ? Value::One(number())
               : kind == ValueKind::ThreeD ? Value::Three(number(), number(), number())
                                           : Value::Rgba(number(), number(), number(), number());
    };
    auto p = std::make_unique<Project>();
    p->addFolder(name());
    p->addFootage(name(), 1000000, 1);
    Composition& empty = p->addComposition(name(), 1, 1, 1e-3, 0);
    Composition& c = p->addComposition(name(), 1000000, 4000, 29.97, 3000);
    c.currentTime = t;
    c.backgroundColor = value(ValueKind::Color);
    for (LayerType type : {LayerType::Camera, LayerType::Solid, LayerType::Light, LayerType::Null}) {
        for (bool variant : {false, true}) {
            auto l = std::make_unique<Layer>(type, name());
            if (variant) {
                l->sourceName = name();
                l->flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
            }
            if (type == LayerType::Solid || type == LayerType::Null) {
                if (variant) l->flags ^= AEGP_LayerFlag_LAYER_IS_3D | AEGP_LayerFlag_LOOK_AT_POI;
                l->width = 1000000;
                l->height = 7;
            }
            if (type == LayerType::Solid) {
                l->color = value(ValueKind::Color);
                if (variant) l->grid = SolidGrid{1e-300, 123.456, value(ValueKind::Color)};
            }
            int n = 0;  // every third stream static, the others keyed
            for (const auto& [id, unused] : l->streams()) {
                Stream& stream = *l->stream(id);
                if (n++ % 3 == 0) stream.setStaticValue(value(stream.kind()));
                for (size_t k = 0; n % 3 != 1 && k < std::size(kTimes); ++k) {
                    const auto in = AEGP_KeyframeInterpolationType(1 + k % 3);  // linear, bezier, hold
                    const auto out = AEGP_KeyframeInterpolationType(1 + (k + n) % 3);
                    stream.setKeyframe(kTimes[k], value(stream.kind()), in, out);
                }
            }
            c.addLayer(std::move(l), c.numLayers());
        }
    }
    p->openInViewer(c.id());
    p->openInViewer(empty.id());
    p->setActiveItem(c.id());
    return p;
}

// Whatever the host saves it opens again, and saving that writes the same bytes.
TEST(ProjectJsonRoundTrip, EverythingTheModelHoldsReopensAndResavesByteForByte) {
    const std::string path = TempPath("saved.json");
    for (const auto& p : {AwkwardProject(), MakeDemoProject(), std::make_unique<Project>()}) {
        SaveProject(*p, path);
        const std::unique_ptr<Project> loaded = LoadProject(path);
        ExpectSameProject(*p, *loaded);
        EXPECT_EQ(SerializeProject(*loaded), SerializeProject(*p));
    }
    std::remove(path.c_str());
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
        "flags": {"3d": true}, "grid": {"spacing": 50},
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
    EXPECT_EQ(box->color, Value::Rgba(1, 0, 0, 1));
    EXPECT_EQ(box->grid.spacing, 50);
    EXPECT_EQ(box->stream(AEGP_LayerStream_POSITION)->keyframes()[1].outInterp, AEGP_KeyInterp_HOLD);
    EXPECT_EQ(box->stream(AEGP_LayerStream_POSITION)->keyframes()[0].inInterp, AEGP_KeyInterp_LINEAR);
}

}  // namespace
}  // namespace qlo::hostsim
