// JPEG encode of one phone frame (the demo scene, 480 x 270), side by side: the plug-in's encoder
// (platform/jpeg, called as a phone's sender calls it) and bare TurboJPEG on the same pixels
// with the same settings (XRGB read at the row bytes, 4:2:0, quality 45, a preallocated output
// buffer, one compressor kept between frames). And what the main thread does with one frame
// instead: copy the world's pixels out for the sender.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include "bench/demo_scene.h"
#include "engine/render_push.h"
#include "link/outgoing_frame.h"
#include "platform/jpeg.h"

namespace {

struct Frame {
    std::unique_ptr<qlo::hostsim::Project> project = qlo::bench::MakeScene(0);
    std::unique_ptr<qlo::hostsim::World> world;

    Frame() {
        qlo::hostsim::render::SceneRenderer renderer;
        world = qlo::bench::MakePhoneWorld(qlo::bench::SceneComp(*project));
        qlo::bench::RenderPhoneFrame(renderer, qlo::bench::SceneComp(*project), 2.5, *world);
    }
};

const Frame& DemoFrame() {
    static const Frame frame;
    return frame;
}

void BM_EncodeQuillo(benchmark::State& state) {
    const qlo::hostsim::World& world = *DemoFrame().world;
    qlo::jpeg::Encoder encoder;
    size_t bytes = 0;
    for (auto _ : state) {
        if (!encoder.encodeARGB(world.data(), world.width(), world.height(), world.rowBytes(), kFrameQuality)) {
            state.SkipWithError(encoder.error().c_str());
            return;
        }
        bytes = encoder.size();
        benchmark::DoNotOptimize(encoder.data());
    }
    state.counters["jpeg_bytes"] = static_cast<double>(bytes);
    state.counters["width"] = world.width();
    state.counters["height"] = world.height();
}
BENCHMARK(BM_EncodeQuillo)->Unit(benchmark::kMicrosecond);

void BM_EncodeTurboJPEG(benchmark::State& state) {
    const qlo::hostsim::World& world = *DemoFrame().world;
    tjhandle handle = tjInitCompress();
    unsigned long capacity = tjBufSize(world.width(), world.height(), TJSAMP_420);
    unsigned char* buffer = tjAlloc(static_cast<int>(capacity));
    unsigned long size = 0;
    for (auto _ : state) {
        size = capacity;
        if (tjCompress2(handle, world.data(), world.width(), static_cast<int>(world.rowBytes()), world.height(),
                        TJPF_XRGB, &buffer, &size, TJSAMP_420, qlo::jpeg::TurboQuality(kFrameQuality),
                        TJFLAG_NOREALLOC) != 0) {
            state.SkipWithError(tjGetErrorStr2(handle));
            break;
        }
        benchmark::DoNotOptimize(buffer);
    }
    state.counters["jpeg_bytes"] = static_cast<double>(size);
    tjFree(buffer);
    tjDestroy(handle);
}
BENCHMARK(BM_EncodeTurboJPEG)->Unit(benchmark::kMicrosecond);

// The main thread's part of one phone's frame: the copy handed to the sender (its buffer goes
// back to the pool when the copy is dropped, as after a sender encoded it).
void BM_FrameCopyForSender(benchmark::State& state) {
    const qlo::hostsim::World& world = *DemoFrame().world;
    for (auto _ : state) {
        auto frame = OutgoingFrame::CopyARGB(world.data(), world.width(), world.height(), world.rowBytes(), kFrameQuality);
        benchmark::DoNotOptimize(frame.get());
    }
}
BENCHMARK(BM_FrameCopyForSender)->Unit(benchmark::kMicrosecond);

}  // namespace
