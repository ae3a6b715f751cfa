// Renders the demo scene (alone and with 16 extra solids) from many views into one file of raw
// frames, and compares two such files: how a change to quillo-host's renderer moves the picture.
//
//   render_views --write FILE          the frames of every view, 480 x 270, ARGB bytes
//   render_views --compare OLD NEW     the largest per-channel difference, and how many
//                                      channels differ by 1, 2 or more
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/demo_scene.h"
#include "hostsim/render/scene_view.h"

namespace {

namespace hs = qlo::hostsim;
namespace render = qlo::hostsim::render;

// Views orbiting the floor's centre at several heights, distances and zooms, one looking
// along the floor from just above it and one straight down, at several times of the turning
// red plane.
std::vector<render::CameraView> Views() {
    std::vector<render::CameraView> views;
    const render::Vec3 centre{960, 800, 1200};
    for (int k = 0; k < 48; ++k) {
        const double angle = k * 7.5 * 3.14159265358979 / 180;
        const double radius = 1500 + 900 * (k % 4);
        const double height = 50 + 350 * (k % 3);
        render::CameraView view;
        view.position = {centre.x + radius * std::sin(angle), centre.y - height, centre.z - radius * std::cos(angle)};
        view.rotation = render::AimRotation(view.position, {centre.x, centre.y - 150 * (k % 2), centre.z});
        view.zoom = 1200 + 800 * (k % 5);
        views.push_back(view);
    }
    render::CameraView grazing;
    grazing.position = {960, 798, -1700};
    grazing.rotation = render::AimRotation(grazing.position, {1000, 799, 4000});
    grazing.zoom = 2666.7;
    views.push_back(grazing);
    render::CameraView down;
    down.position = {960, -2500, 1200};
    down.rotation = render::AimRotation(down.position, {960, 800, 1201});
    down.zoom = 2000;
    views.push_back(down);
    for (render::CameraView& v : views) v.worldToCamera = v.rotation.transposed();
    return views;
}

int Write(const char* path) {
    std::ofstream out(path, std::ios::binary);
    int frames = 0;
    for (int extra : {0, 16}) {
        std::unique_ptr<hs::Project> project = qlo::bench::MakeScene(extra);
        const hs::Composition& comp = qlo::bench::SceneComp(*project);
        render::SceneRenderer renderer;
        std::vector<render::CameraView> views = Views();
        for (size_t i = 0; i < views.size(); ++i) {
            std::unique_ptr<hs::World> world = qlo::bench::MakePhoneWorld(comp);
            renderer.render8(comp, views[i], 0.37 * static_cast<double>(i), qlo::bench::kPhoneDownsample,
                             qlo::bench::kPhoneDownsample, *world);
            for (int y = 0; y < world->height(); ++y)
                out.write(reinterpret_cast<const char*>(world->pixel8(0, y)),
                          static_cast<std::streamsize>(world->width() * sizeof(PF_Pixel8)));
            ++frames;
        }
        // The composition's own camera at a few times.
        for (double t : {0.0, 2.5, 7.0}) {
            std::unique_ptr<hs::World> world = qlo::bench::MakePhoneWorld(comp);
            qlo::bench::RenderPhoneFrame(renderer, comp, t, *world);
            for (int y = 0; y < world->height(); ++y)
                out.write(reinterpret_cast<const char*>(world->pixel8(0, y)),
                          static_cast<std::streamsize>(world->width() * sizeof(PF_Pixel8)));
            ++frames;
        }
    }
    std::printf("%d frames written to %s\n", frames, path);
    return out ? 0 : 1;
}

std::vector<unsigned char> Read(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Compare(const char* a, const char* b) {
    const std::vector<unsigned char> x = Read(a), y = Read(b);
    if (x.size() != y.size() || x.empty()) {
        std::printf("sizes differ or empty: %zu and %zu bytes\n", x.size(), y.size());
        return 1;
    }
    size_t counts[3] = {0, 0, 0};
    int largest = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        const int d = std::abs(int(x[i]) - int(y[i]));
        if (d == 0) continue;
        largest = std::max(largest, d);
        ++counts[std::min(d, 3) - 1];
    }
    std::printf("%zu channels: largest difference %d; differing by 1: %zu, by 2: %zu, by more: %zu\n", x.size(),
                largest, counts[0], counts[1], counts[2]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) return Write(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--compare") == 0) return Compare(argv[2], argv[3]);
    std::fprintf(stderr, "usage: render_views --write FILE | --compare OLD NEW\n");
    return 2;
}
