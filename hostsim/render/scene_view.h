// The scene as the renderer sees it at one time: the camera the composition is seen through,
// and where each layer lies in the composition's 3-D space. docs/rendering.md describes the
// conventions.
#pragma once

#include "hostsim/model/project.h"
#include "hostsim/render/geometry.h"

namespace qlo::hostsim::render {

// A camera: where it is, how it is turned, and its zoom.
struct CameraView {
    Vec3 position;
    // Camera-to-world rotation: its columns are the camera's right, down and viewing directions
    // in composition space.
    Mat3 rotation = Mat3::Identity();
    double zoom = 1;   // focal distance in composition pixels
    ObjectId layer = 0;  // the camera layer; 0 for the host's default view
    // Depth of field (lens_blur.h): on when the camera's Depth of Field stream is >= 0.5; the
    // focus distance and aperture in composition pixels, the blur level in percent.
    bool depthOfField = false;
    double focusDistance = 0;
    double aperture = 0;
    double blurLevel = 0;

    // A composition-space point in camera space (x right, y down, z along the view).
    Vec3 toCamera(const Vec3& world) const { return worldToCamera * (world - position); }
    Mat3 worldToCamera = Mat3::Identity();  // rotation transposed
};

// The composition's top-most camera layer (lowest index) whose video switch is on; null when
// there is none.
const Layer* ActiveCamera(const Composition& comp);

// The host's default view: from (width / 2, height / 2, -zoom) along +z, unturned, with
// zoom DefaultCameraZoom(width).
CameraView DefaultView(const Composition& comp);

// A camera layer's view at a time (zoom below 1 pixel is taken as 1), with its lens settings.
CameraView CameraViewOf(const Layer& camera, double seconds);

// What the composition is seen through at a time: ActiveCamera's view, or DefaultView.
CameraView ViewAt(const Composition& comp, double seconds);

// The rotation that turns the viewing direction (+z) from `from` towards `to` with no roll:
// the camera's right axis stays level (perpendicular to y). Identity when the points coincide.
Mat3 AimRotation(const Vec3& from, const Vec3& to);

// A layer's own rotation at a time: orientation, then the X, Y and Z rotation streams,
// RotationXYZ(orientation) * RotationXYZ(rotation x, y, z).
Mat3 LayerRotation(const Layer& layer, double seconds);

// Where a layer's own pixels land: composition point = origin + axes * (u, v, 0) for the point
// (u, v) of the layer (0..width across, 0..height down).
struct Placement {
    Vec3 origin;  // where the layer's top-left corner (0, 0) lands
    Mat3 axes;    // columns: the steps of one layer pixel along u, v and the layer's normal
};

// A 3-D layer: position + rotation * scale * (point - anchor point).
Placement Place3D(const Layer& layer, double seconds);
// A 2-D layer, flat in the frame: only x and y of position, anchor point and scale, and the
// Z rotation, count; z is 0.
Placement Place2D(const Layer& layer, double seconds);

}  // namespace qlo::hostsim::render
