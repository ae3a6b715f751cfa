// Project files: saving and loading round-trips exactly.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <random>
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
        EXPECT_EQ(std::tuple(cx->width, cx->height, cx->frameRate, cx->duration, cx->currentTime, cx->backgroundColor),
                  std::tuple(cy->width, cy->height, cy->frameRate, cy->duration, cy->currentTime, cy->backgroundColor));
        EXPECT_EQ(a.isOpenInViewer(cx->id()), b.isOpenInViewer(cy->id()));
        ASSERT_EQ(cx->numLayers(), cy->numLayers());
        for (size_t l = 0; l < cx->numLayers(); ++l) {
            const Layer& lx = *cx->layerAt(l);
            const Layer& ly = *cy->layerAt(l);
            SCOPED_TRACE("layer " + lx.name);
            EXPECT_EQ(std::tuple(lx.name, lx.sourceName, lx.type(), lx.flags),
                      std::tuple(ly.name, ly.sourceName, ly.type(), ly.flags));
            if (lx.type() == LayerType::Solid) {
                EXPECT_EQ(std::tuple(lx.color, lx.width, lx.height, lx.grid), std::tuple(ly.color, ly.width, ly.height, ly.grid));
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
    const std::string path = TempPath("demo.json");
    SaveProject(*MakeDemoProject(), path);
    const auto loaded = LoadProject(path);
    ExpectSameProject(*MakeDemoProject(), *loaded);
    EXPECT_EQ(ReadFile(path), SerializeProject(*loaded)) << "saving the loaded project writes the same file";
    std::remove(path.c_str());
}

// Generated projects: everything the model can hold, in awkward values.
class ProjectGenerator {
public:
    explicit ProjectGenerator(unsigned seed) : rng_(seed) {}

    std::unique_ptr<Project> make() {
        auto p = std::make_unique<Project>();
        std::vector<ObjectId> comps;
        for (int i = 0, n = pick(0, 5); i < n; ++i) {
            switch (pick(0, 3)) {
            case 0: p->addFolder(name()); break;
            case 1: p->addFootage(name(), pick(1, 1000000), pick(1, 4000)); break;
            default: {
                const double duration = std::fabs(number());
                Composition& c = p->addComposition(name(), pick(1, 1000000), pick(1, 4000),
                                                   std::fabs(number()) + 1e-3, duration);
                c.currentTime = std::min(duration, duration * pick(0, 100) / 100);
                if (pick(0, 1)) c.backgroundColor = Value::Rgba(number(), number(), number(), pick(0, 1) ? 1 : number());
                for (int l = 0, m = pick(0, 6); l < m; ++l) c.addLayer(layer(), c.numLayers());
                comps.push_back(c.id());
            }
            }
        }
        for (ObjectId c : comps)
            if (pick(0, 1)) p->openInViewer(c);
        if (p->numItems() > 0 && pick(0, 1)) p->setActiveItem(p->itemAt(pick(0, static_cast<int>(p->numItems()) - 1))->id());
        return p;
    }

private:
    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }

    std::string name() {
        static const char* const kPieces[] = {"Cam", " ", "\xC3\xA9", "\xF0\x9F\x93\xB1", "\"", "\\", "/", "~",
                                              "\t", "\x01", "\xE2\x80\xA8", "1", ""};
        std::string s;
        for (int i = 0, n = pick(0, 6); i < n; ++i) s += kPieces[pick(0, 12)];
        return s;
    }

    double number() {
        switch (pick(0, 7)) {
        case 0: return 0;
        case 1: return -0.0;
        case 2: return 1e-300 * pick(1, 9);
        case 3: return 1e300 / pick(1, 9);
        case 4: return 0.1 * pick(-30, 30);
        case 5: return pick(-5000, 5000);
        default: return std::uniform_real_distribution<double>(-1e4, 1e4)(rng_);
        }
    }

    // Key times that crowd together: whole and odd values, and neighbours at and around the
    // time tolerance.
    double time(double previous) {
        switch (pick(0, 5)) {
        case 0: return previous + kTimeEpsilon;
        case 1: return previous + kTimeEpsilon * 0.999;
        case 2: return previous - kTimeEpsilon * 1.5;
        case 3: return 2147.483648 + pick(-2, 2) * 5e-7;
        default: return std::uniform_real_distribution<double>(-10, 3000)(rng_);
        }
    }

    Value value(ValueKind kind) {
        switch (kind) {
        case ValueKind::OneD: return Value::One(number());
        case ValueKind::ThreeD: return Value::Three(number(), number(), number());
        case ValueKind::Color: return Value::Rgba(number(), number(), number(), pick(0, 1) ? 1 : number());
        }
        return {};
    }

    std::unique_ptr<Layer> layer() {
        const LayerType type = static_cast<LayerType>(pick(0, 3));
        auto l = std::make_unique<Layer>(type, name());
        if (pick(0, 1)) l->sourceName = name();
        if (pick(0, 1)) l->flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
        if (type == LayerType::Solid || type == LayerType::Null) {
            if (pick(0, 1)) l->flags ^= AEGP_LayerFlag_LAYER_IS_3D;
            if (pick(0, 1)) l->flags |= AEGP_LayerFlag_LOOK_AT_POI;
            l->width = pick(1, 1000000);
            l->height = pick(1, 1000000);
        }
        if (type == LayerType::Solid) {
            l->color = value(ValueKind::Color);
            if (pick(0, 1)) l->grid = SolidGrid{std::fabs(number()), std::fabs(number()) + 1e-9, value(ValueKind::Color)};
        }
        for (const auto& [id, unused] : l->streams()) {
            Stream& stream = *l->stream(id);
            if (pick(0, 2) == 0) {
                stream.setStaticValue(value(stream.kind()));
                continue;
            }
            double t = 0;
            for (int k = 0, n = pick(1, 6); k < n; ++k) {
                t = time(t);
                stream.setKeyframe(t, value(stream.kind()), static_cast<AEGP_KeyframeInterpolationType>(pick(1, 3)),
                                   static_cast<AEGP_KeyframeInterpolationType>(pick(1, 3)));
            }
        }
        return l;
    }

    std::mt19937 rng_;
};

// Whatever the host saves it opens again, and saving that writes the same bytes.
TEST(ProjectJsonRoundTrip, GeneratedProjectsReopenAndResaveByteForByte) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::unique_ptr<Project> p = ProjectGenerator(seed).make();
        const std::string saved = SerializeProject(*p);
        std::unique_ptr<Project> loaded;
        try {
            loaded = ParseProject(saved, "generated.json");
        } catch (const ProjectFileError& e) {
            ADD_FAILURE() << e.what();
            continue;
        }
        ExpectSameProject(*p, *loaded);
        ASSERT_EQ(SerializeProject(*loaded), saved);  // the keys' order and spacing: ModelStream's tests
    }
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
    EXPECT_EQ(box->flags, AEGP_LayerFlag_VIDEO_ACTIVE | AEGP_LayerFlag_LAYER_IS_3D);
    EXPECT_EQ(box->color, Value::Rgba(1, 0, 0, 1));
    EXPECT_EQ(box->grid, (SolidGrid{50, 4, Value::Rgba(1, 1, 1)}));
    EXPECT_EQ(c->backgroundColor, Value::Rgba(0.16, 0.16, 0.16));
    EXPECT_EQ(box->get(AEGP_LayerStream_POSITION, 1), Value::Three(50, 0, 0));
    EXPECT_EQ(box->stream(AEGP_LayerStream_POSITION)->keyframes()[1].outInterp, AEGP_KeyInterp_HOLD);
    EXPECT_EQ(box->stream(AEGP_LayerStream_POSITION)->keyframes()[0].inInterp, AEGP_KeyInterp_LINEAR);
}

}  // namespace
}  // namespace qlo::hostsim
