// Renderer tests: a 1920 x 1080 composition on a 0.2 grey background, rendered at a quarter.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "hostsim/model/project.h"
#include "hostsim/render/scene_renderer.h"

namespace qlo::hostsim::testing {

inline constexpr PF_Pixel8 kBackground{255, 51, 51, 51};
inline constexpr PF_Pixel8 kRed{255, 255, 0, 0};
inline constexpr PF_Pixel8 kGreen{255, 0, 255, 0};
inline const double kZoom = DefaultCameraZoom(1920);

class RenderTest : public ::testing::Test {
protected:
    RenderTest() : comp(project.addComposition("C", 1920, 1080, 30, 10)) {
        comp.backgroundColor = Value::Rgba(0.2, 0.2, 0.2);
    }
    // A 3-D solid centred on (x, y, z), facing the default view.
    Layer& solid(PF_Pixel8 c, int w, int h, double x, double y, double z) {
        Layer& l = comp.addSolid("S", Value::Rgba(c.red / 255.0, c.green / 255.0, c.blue / 255.0), w, h);
        l.flags |= AEGP_LayerFlag_LAYER_IS_3D;
        l.set(AEGP_LayerStream_POSITION, Value::Three(x, y, z));
        return l;
    }
    // A camera as the host makes one, aimed at (x, y, 0), on top; `aimed` false: orientation aims.
    Layer& camera(double x, double y, bool aimed = true) {
        Layer& cam = comp.addCamera("Cam", A_FloatPoint{x, y});
        if (!aimed) cam.flags &= ~AEGP_LayerFlag_LOOK_AT_POI;
        return cam;
    }
    World frame(double t = 0) {
        World w(AEGP_WorldType_8, 480, 270);
        renderer.render8(comp, t, 4, 4, w);
        return w;
    }
    static ::testing::AssertionResult Is(const World& w, int x, int y, PF_Pixel8 c, int tolerance = 1) {
        const PF_Pixel8 p = *w.pixel8(x, y);
        return Near(p, c, tolerance) ? ::testing::AssertionSuccess()
                                     : ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << int(p.red)
                                                                     << "," << int(p.green) << "," << int(p.blue);
    }
    static bool Near(const PF_Pixel8& a, const PF_Pixel8& b, int tolerance = 1) {
        return a.alpha == 255 && std::max({std::abs(a.red - b.red), std::abs(a.green - b.green), std::abs(a.blue - b.blue)}) <= tolerance;
    }
    // The first and last column of row y of colour c; (-1, -1) when there is none.
    static std::pair<int, int> Run(const World& w, int y, PF_Pixel8 c) {
        std::pair<int, int> r{-1, -1};
        for (int x = 0; x < w.width(); ++x) r = Near(*w.pixel8(x, y), c) ? std::pair{r.first < 0 ? x : r.first, x} : r;
        return r;
    }

    Project project;
    Composition& comp;
    render::SceneRenderer renderer;
};

}  // namespace qlo::hostsim::testing
