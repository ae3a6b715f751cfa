#include "hostsim/render/scene_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "hostsim/render/lens_blur.h"
#include "hostsim/render/raster.h"
#include "hostsim/render/scene_view.h"

namespace qlo::hostsim::render {

namespace {

// Points closer to the camera than this (composition pixels along the view) are cut away.
constexpr double kNearPlane = 1.0;

double Clamp01(double v) { return std::isfinite(v) ? std::clamp(v, 0.0, 1.0) : 0.0; }

// Whether a layer is drawn at all: solids with their video switch on. Cameras, lights and
// nulls are never drawn.
bool Drawn(const Layer& layer) {
    return layer.type() == LayerType::Solid && layer.hasFlag(AEGP_LayerFlag_VIDEO_ACTIVE);
}

Paint PaintOf(const Layer& layer, double t, bool threeD) {
    Paint p;
    p.red = Clamp01(layer.color.v[0]);
    p.green = Clamp01(layer.color.v[1]);
    p.blue = Clamp01(layer.color.v[2]);
    p.alpha = Clamp01(layer.get(AEGP_LayerStream_OPACITY, t).x() / 100.0) * Clamp01(layer.color.v[3]);
    if (layer.grid.enabled() && std::isfinite(layer.grid.spacing) && std::isfinite(layer.grid.lineWidth)) {
        p.gridSpacing = layer.grid.spacing;
        p.gridLineWidth = layer.grid.lineWidth;
        p.lineRed = Clamp01(layer.grid.color.v[0]);
        p.lineGreen = Clamp01(layer.grid.color.v[1]);
        p.lineBlue = Clamp01(layer.grid.color.v[2]);
        p.lineAlpha = Clamp01(layer.grid.color.v[3]);
    }
    p.depthTest = threeD;
    p.depthWrite = threeD && p.alpha >= 1.0;
    return p;
}

// The part of a camera-space polygon at z >= kNearPlane (Sutherland-Hodgman against one
// plane). A convex polygon stays convex and gains at most one point.
template <size_t N>
size_t ClipNear(const std::array<Vec3, N>& in, size_t n, std::array<Vec3, N + 1>& out) {
    size_t m = 0;
    for (size_t k = 0; k < n; ++k) {
        const Vec3& a = in[k];
        const Vec3& b = in[(k + 1) % n];
        const bool aIn = a.z >= kNearPlane, bIn = b.z >= kNearPlane;
        if (aIn) out[m++] = a;
        if (aIn != bIn) {
            const double f = (kNearPlane - a.z) / (b.z - a.z);
            out[m++] = a + (b - a) * f;
        }
    }
    return m;
}

// A 3-D layer waiting to be drawn, and the camera-space depth of its centre.
struct Job {
    const Layer* layer;
    Placement place;
    double depth;
};

class Drawer {
public:
    Drawer(Canvas& canvas, World& out, std::vector<float>& depth, LensBuffers& lens, const Composition& comp,
           const CameraView& view, double t, int dsx, int dsy)
        : canvas_(canvas), out_(out), depth_(depth), lens_(lens), comp_(comp), t_(t), dsx_(dsx), dsy_(dsy),
          view_(view) {
        // Pixel position (x, y, 1) -> the camera-space ray (a, b, 1) through it.
        const double cx = comp.width / 2.0, cy = comp.height / 2.0, z = view_.zoom;
        pixelToRay_ = Mat3{{{{dsx / z, 0, -cx / z}, {0, dsy / z, -cy / z}, {0, 0, 1}}}};
    }

    Job job(const Layer& layer) const {
        const Placement place = Place3D(layer, t_);
        const Vec3 centre = place.origin + place.axes * Vec3{layer.width / 2.0, layer.height / 2.0, 0};
        return Job{&layer, place, view_.toCamera(centre).z};
    }

    void draw3D(const Job& job) {
        const Layer& layer = *job.layer;
        const Placement& pl = job.place;
        const double w = layer.width, h = layer.height;
        const std::array<Vec3, 4> corners = {
            view_.toCamera(pl.origin), view_.toCamera(pl.origin + pl.axes * Vec3{w, 0, 0}),
            view_.toCamera(pl.origin + pl.axes * Vec3{w, h, 0}), view_.toCamera(pl.origin + pl.axes * Vec3{0, h, 0})};
        std::array<Vec3, 5> clipped;
        const size_t n = ClipNear(corners, corners.size(), clipped);
        if (n < 3) return;
        std::array<Vec2, 5> screen;
        const double cx = comp_.width / 2.0, cy = comp_.height / 2.0;
        for (size_t k = 0; k < n; ++k) {
            const Vec3& c = clipped[k];
            screen[k] = {(cx + view_.zoom * c.x / c.z) / dsx_, (cy + view_.zoom * c.y / c.z) / dsy_};
        }
        // The layer's plane in camera space: (x, y, z) = M (u, v, 1), so a pixel's ray (a, b, 1)
        // meets it at M^-1 (a, b, 1) = (u, v, 1) / z.
        const Mat3 layerToCamera = Mat3::FromColumns(view_.worldToCamera * pl.axes.column(0),
                                                     view_.worldToCamera * pl.axes.column(1), corners[0]);
        Mat3 cameraToLayer;
        if (!layerToCamera.inverse(&cameraToLayer)) return;  // seen edge-on, or scaled to nothing
        const std::span<const Vec2> polygon(screen.data(), n);
        const Mat3 toLayer = cameraToLayer * pixelToRay_;
        // Depth of field: one blur for the whole layer, by the depth of its centre.
        const double radius = BlurRadius(view_, job.depth);
        if (BoxHalfWidth(radius / dsx_) == 0 && BoxHalfWidth(radius / dsy_) == 0) {
            canvas_.fillConvex(polygon, toLayer, PaintOf(layer, t_, true));
            return;
        }
        drawBlurred(polygon, toLayer, PaintOf(layer, t_, true), radius / dsx_, radius / dsy_);
    }

    // A layer out of focus: drawn alone (hidden where something drawn before is nearer),
    // blurred with what it covers, and laid over the frame.
    void drawBlurred(std::span<const Vec2> polygon, const Mat3& toLayer, const Paint& paint, double rx, double ry) {
        const int width = canvas_.width(), height = canvas_.height();
        double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
        for (const Vec2& p : polygon) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minY = std::min(minY, p.y);
            maxY = std::max(maxY, p.y);
        }
        // The blur reaches three box half-widths beyond the layer.
        const double mx = 3.0 * BoxHalfWidth(rx) + 1, my = 3.0 * BoxHalfWidth(ry) + 1;
        const auto clampTo = [](double v, int limit) { return static_cast<int>(std::clamp(v, 0.0, static_cast<double>(limit))); };
        const int x0 = clampTo(std::floor(minX - mx), width), x1 = clampTo(std::ceil(maxX + mx), width);
        const int y0 = clampTo(std::floor(minY - my), height), y1 = clampTo(std::ceil(maxY + my), height);
        if (x0 >= x1 || y0 >= y1) return;

        World& alone = lens_.worldOf(width, height);
        for (int y = y0; y < y1; ++y) std::fill_n(alone.pixel8(x0, y), x1 - x0, PF_Pixel8{0, 0, 0, 0});
        Canvas layerCanvas(alone, depth_);
        // Its sharp outline records its depth (when opaque), so what is drawn after it and lies
        // behind it stays hidden there, as for a layer in focus.
        Paint solo = paint;
        solo.alpha = 1;
        solo.cover = true;
        layerCanvas.fillConvex(polygon, toLayer, solo);

        LayBlurred(alone, out_, x0, y0, x1, y1, rx, ry, static_cast<float>(std::clamp(paint.alpha, 0.0, 1.0)), lens_);
    }

    void draw2D(const Layer& layer) {
        const Placement pl = Place2D(layer, t_);
        const double w = layer.width, h = layer.height;
        std::array<Vec2, 4> screen;
        const std::array<Vec3, 4> corners = {pl.origin, pl.origin + pl.axes * Vec3{w, 0, 0},
                                             pl.origin + pl.axes * Vec3{w, h, 0}, pl.origin + pl.axes * Vec3{0, h, 0}};
        for (size_t k = 0; k < 4; ++k) screen[k] = {corners[k].x / dsx_, corners[k].y / dsy_};
        // Pixel position = S (u, v, 1), an affine map; its inverse finds the layer point.
        const Mat3 layerToPixel{{{{pl.axes.m[0][0] / dsx_, pl.axes.m[0][1] / dsx_, pl.origin.x / dsx_},
                                  {pl.axes.m[1][0] / dsy_, pl.axes.m[1][1] / dsy_, pl.origin.y / dsy_},
                                  {0, 0, 1}}}};
        Mat3 pixelToLayer;
        if (!layerToPixel.inverse(&pixelToLayer)) return;
        canvas_.fillConvex(screen, pixelToLayer, PaintOf(layer, t_, false));
    }

private:
    Canvas& canvas_;
    World& out_;
    std::vector<float>& depth_;
    LensBuffers& lens_;
    const Composition& comp_;
    double t_;
    int dsx_, dsy_;
    CameraView view_;
    Mat3 pixelToRay_;
};

bool AskedToCancel(AEGP_RenderSuiteCheckForCancellation cancel, AEGP_CancelRefcon refcon) {
    if (!cancel) return false;
    A_Boolean stop = 0;
    // A cancel function that fails is taken as a request to stop.
    return cancel(refcon, &stop) != A_Err_NONE || stop != 0;
}

// Copies an 8-bit world into a 16-bit (0..32768 per channel) or 32-bit (0..1 float) world of
// the same size, channel order alpha, red, green, blue kept.
void Widen(const World& from, World& to) {
    for (int y = 0; y < from.height(); ++y) {
        uint8_t* row = to.data() + static_cast<size_t>(y) * to.rowBytes();
        for (int x = 0; x < from.width(); ++x) {
            const PF_Pixel8& p = *from.pixel8(x, y);
            const uint8_t ch[4] = {p.alpha, p.red, p.green, p.blue};
            for (int c = 0; c < 4; ++c) {
                if (to.type() == AEGP_WorldType_16) {
                    const auto v = static_cast<uint16_t>((ch[c] * 32768 + 127) / 255);
                    std::memcpy(row + (static_cast<size_t>(x) * 4 + c) * 2, &v, 2);
                } else {
                    const float v = ch[c] / 255.0f;
                    std::memcpy(row + (static_cast<size_t>(x) * 4 + c) * 4, &v, 4);
                }
            }
        }
    }
}

}  // namespace

void SceneRenderer::render8(const Composition& comp, double t, int dsx, int dsy, World& out,
                            AEGP_RenderSuiteCheckForCancellation cancel, AEGP_CancelRefcon refcon) {
    draw(comp, ViewAt(comp, t), t, dsx, dsy, out, cancel, refcon);
}

void SceneRenderer::render8(const Composition& comp, const CameraView& view, double t, int dsx,
                            int dsy, World& out) {
    draw(comp, view, t, dsx, dsy, out, nullptr, nullptr);
}

void SceneRenderer::draw(const Composition& comp, const CameraView& view, double t, int dsx, int dsy,
                         World& out, AEGP_RenderSuiteCheckForCancellation cancel,
                         AEGP_CancelRefcon refcon) {
    cancelled_ = false;
    Canvas canvas(out, depth_);
    const Value& bg = comp.backgroundColor;
    canvas.clear(Clamp01(bg.v[0]), Clamp01(bg.v[1]), Clamp01(bg.v[2]));
    Drawer drawer(canvas, out, depth_, lens_, comp, view, t, std::max(dsx, 1), std::max(dsy, 1));

    // Bottom of the stack first. A run of 3-D layers is drawn far to near by the depth of
    // their centres; a 2-D layer is drawn flat at its place in the stack, and everything above
    // it covers it (the depth buffer starts over).
    std::vector<Job> run;
    auto flush = [&]() {
        std::stable_sort(run.begin(), run.end(), [](const Job& a, const Job& b) { return a.depth > b.depth; });
        for (const Job& j : run) {
            if (AskedToCancel(cancel, refcon)) {
                cancelled_ = true;
                return;
            }
            drawer.draw3D(j);
        }
        run.clear();
    };
    const auto& layers = comp.layers();
    for (auto it = layers.rbegin(); it != layers.rend() && !cancelled_; ++it) {
        const Layer& layer = **it;
        if (!Drawn(layer)) continue;
        if (layer.hasFlag(AEGP_LayerFlag_LAYER_IS_3D)) {
            run.push_back(drawer.job(layer));
            continue;
        }
        flush();
        if (cancelled_ || AskedToCancel(cancel, refcon)) {
            cancelled_ = true;
            break;
        }
        drawer.draw2D(layer);
        canvas.resetDepth();
    }
    if (!cancelled_) flush();
}

A_Err SceneRenderer::render(Project& project, const RenderRequest& request, World& out) {
    const Composition* comp = project.findComposition(request.comp);
    if (!comp) return A_Err_PARAMETER;
    if (out.type() == AEGP_WorldType_8) {
        render8(*comp, request.time, request.downsampleX, request.downsampleY, out, request.cancel,
                request.cancelRefcon);
    } else {
        World narrow(AEGP_WorldType_8, out.width(), out.height());
        render8(*comp, request.time, request.downsampleX, request.downsampleY, narrow, request.cancel,
                request.cancelRefcon);
        if (!cancelled_) Widen(narrow, out);
    }
    return cancelled_ ? A_Err_GENERIC : A_Err_NONE;
}

FrameRenderer MakeSceneRenderer() {
    auto renderer = std::make_shared<SceneRenderer>();
    return [renderer](Project& project, const RenderRequest& request, World& out) {
        return renderer->render(project, request, out);
    };
}

void UseSceneRenderer() { SetFrameRenderer(MakeSceneRenderer()); }

}  // namespace qlo::hostsim::render
