#include "hostsim/render/scene_view.h"

#include <algorithm>
#include <cmath>

namespace qlo::hostsim::render {

namespace {

Vec3 ToVec(const Value& v) { return {v.x(), v.y(), v.z()}; }

Vec3 Stream3(const Layer& layer, AEGP_LayerStream id, double t) { return ToVec(layer.get(id, t)); }
double Stream1(const Layer& layer, AEGP_LayerStream id, double t) { return layer.get(id, t).x(); }

CameraView Finish(CameraView view) {
    view.worldToCamera = view.rotation.transposed();
    return view;
}

}  // namespace

const Layer* ActiveCamera(const Composition& comp) {
    for (const auto& layer : comp.layers())
        if (layer->type() == LayerType::Camera && layer->hasFlag(AEGP_LayerFlag_VIDEO_ACTIVE)) return layer.get();
    return nullptr;
}

CameraView DefaultView(const Composition& comp) {
    CameraView view;
    view.zoom = DefaultCameraZoom(comp.width);
    view.position = {comp.width / 2.0, comp.height / 2.0, -view.zoom};
    return Finish(view);
}

Mat3 AimRotation(const Vec3& from, const Vec3& to) {
    const Vec3 d = to - from;
    const double len = d.length();
    if (!(len > 1e-9)) return Mat3::Identity();
    const Vec3 forward = d * (1 / len);
    // Right = down x forward keeps the right axis level; looking straight up or down, the
    // composition's x axis serves as right.
    Vec3 right = Vec3{0, 1, 0}.cross(forward);
    const double rlen = right.length();
    right = rlen > 1e-9 ? right * (1 / rlen) : Vec3{1, 0, 0};
    const Vec3 down = forward.cross(right);
    return Mat3::FromColumns(right, down, forward);
}

Mat3 LayerRotation(const Layer& layer, double t) {
    const Vec3 rotation{Stream1(layer, AEGP_LayerStream_ROTATE_X, t), Stream1(layer, AEGP_LayerStream_ROTATE_Y, t),
                        Stream1(layer, AEGP_LayerStream_ROTATION, t)};
    return RotationXYZ(Stream3(layer, AEGP_LayerStream_ORIENTATION, t)) * RotationXYZ(rotation);
}

CameraView CameraViewOf(const Layer& camera, double t) {
    CameraView view;
    view.layer = camera.id();
    view.position = Stream3(camera, AEGP_LayerStream_POSITION, t);
    const double zoom = camera.hasStream(AEGP_LayerStream_ZOOM) ? Stream1(camera, AEGP_LayerStream_ZOOM, t) : 0;
    view.zoom = std::isfinite(zoom) ? std::max(zoom, 1.0) : 1.0;
    view.rotation = LayerRotation(camera, t);
    if (camera.hasStream(AEGP_LayerStream_DEPTH_OF_FIELD)) {
        view.depthOfField = Stream1(camera, AEGP_LayerStream_DEPTH_OF_FIELD, t) >= 0.5;  // 0 or 1; nearer 1
        view.focusDistance = Stream1(camera, AEGP_LayerStream_FOCUS_DISTANCE, t);
        view.aperture = Stream1(camera, AEGP_LayerStream_APERTURE, t);
        view.blurLevel = Stream1(camera, AEGP_LayerStream_BLUR_LEVEL, t);
    }
    if (camera.hasFlag(AEGP_LayerFlag_LOOK_AT_POI))
        view.rotation = AimRotation(view.position, Stream3(camera, AEGP_LayerStream_ANCHORPOINT, t)) * view.rotation;
    return Finish(view);
}

CameraView ViewAt(const Composition& comp, double t) {
    const Layer* camera = ActiveCamera(comp);
    return camera ? CameraViewOf(*camera, t) : DefaultView(comp);
}

Placement Place3D(const Layer& layer, double t) {
    const Vec3 scale = Stream3(layer, AEGP_LayerStream_SCALE, t) * 0.01;
    const Mat3 r = LayerRotation(layer, t);
    Placement p;
    p.axes = Mat3::FromColumns(r.column(0) * scale.x, r.column(1) * scale.y, r.column(2) * scale.z);
    p.origin = Stream3(layer, AEGP_LayerStream_POSITION, t) - p.axes * Stream3(layer, AEGP_LayerStream_ANCHORPOINT, t);
    return p;
}

Placement Place2D(const Layer& layer, double t) {
    const Vec3 scale = Stream3(layer, AEGP_LayerStream_SCALE, t) * 0.01;
    const Mat3 r = RotationZ(Stream1(layer, AEGP_LayerStream_ROTATION, t));
    Placement p;
    p.axes = Mat3::FromColumns(r.column(0) * scale.x, r.column(1) * scale.y, Vec3{0, 0, 1});
    Vec3 anchor = Stream3(layer, AEGP_LayerStream_ANCHORPOINT, t);
    anchor.z = 0;
    Vec3 position = Stream3(layer, AEGP_LayerStream_POSITION, t);
    position.z = 0;
    p.origin = position - p.axes * anchor;
    return p;
}

}  // namespace qlo::hostsim::render
