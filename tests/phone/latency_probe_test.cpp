// The latency probe and its change detector on synthetic JPEG frames: a bright block on a noisy
// background whose place follows the phone's pan, shown a fixed delay after the pose was sent.
#include "phone/latency_probe.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <random>

namespace qlophone {
namespace {

using namespace std::chrono_literals;
using Clock = LatencyProbe::Clock;

// A 160x120 grey picture: the block's left edge at 40 + pan pixels, every pixel jittered by up to
// 12 grey levels, encoded at quality 45 as the plug-in does.
std::vector<uint8_t> Frame(double pan, std::mt19937& random) {
    const int w = 160, h = 120;
    std::vector<uint8_t> pixels(w * h);
    std::uniform_int_distribution<int> jitter(-12, 12);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool block = x >= 40 + pan && x < 80 + pan && y >= 30 && y < 90;
            pixels[y * w + x] = static_cast<uint8_t>(std::clamp((block ? 200 : 60) + jitter(random), 0, 255));
        }
    }
    tjhandle tj = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(tj, pixels.data(), w, w, h, TJPF_GRAY, &out, &size, TJSAMP_GRAY, 45, 0), 0);
    std::vector<uint8_t> jpeg(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return jpeg;
}

// A stand-in plug-in on a simulated clock: 60 frames per second, each showing the pose that was
// sent at least `delay` before it.
struct SimulatedStream {
    std::chrono::milliseconds delay{50};
    bool followsMotion = true;
    Clock::time_point now{};
    std::vector<std::pair<Clock::time_point, float>> sent;  // (time, pan)
    std::mt19937 random{11};

    LatencyResult run(LatencyProbeSettings settings, int maxFrames) {
        LatencyProbe probe(settings, [this](const MotionSample& pose) {
            sent.emplace_back(now, pose.orientY);
            return now;
        });
        probe.start(now);
        for (int i = 0; i < maxFrames && !probe.finished(); ++i) {
            now += 16667us;
            float pan = 0.0f;
            for (const auto& [at, value] : sent) {
                if (at + delay <= now && followsMotion) pan = value;
            }
            probe.onFrame(now, Frame(pan, random));
        }
        EXPECT_TRUE(probe.finished());
        return probe.result();
    }
};

TEST(LatencyProbe, MeasuresTheDelayOfEveryStepWithoutFalseTriggers) {
    SimulatedStream stream;
    LatencyProbeSettings settings;
    settings.steps = 8;
    const LatencyResult r = stream.run(settings, 3000);
    EXPECT_TRUE(r.problem.empty()) << r.problem;
    ASSERT_EQ(r.count(), 8u);
    EXPECT_EQ(r.missed, 0u);
    // Noise between still frames stays below the smallest threshold; a step stands out.
    EXPECT_GT(r.noise, 0.0);
    EXPECT_LT(r.noise, settings.minThreshold);
    EXPECT_GT(r.stepChange, 10.0);
    // A frame that shows the change arrives within one frame period after the delay; a false
    // trigger on noise would give a shorter time.
    for (double ms : r.samplesMs) {
        EXPECT_GE(ms, 50.0);
        EXPECT_LE(ms, 50.0 + 16.7 + 0.01);
    }
    EXPECT_EQ(stream.sent.size(), 1u + 8u);  // the first pose, then one per step
}

TEST(LatencyProbe, GivesUpWhenThePictureIgnoresTheMotion) {
    SimulatedStream stream;
    stream.followsMotion = false;
    const LatencyResult r = stream.run(LatencyProbeSettings{}, 3000);
    EXPECT_EQ(r.count(), 0u);
    EXPECT_EQ(r.missed, 3u);
    EXPECT_NE(r.problem.find("did not change"), std::string::npos);
}


}  // namespace
}  // namespace qlophone
