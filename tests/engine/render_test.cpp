// End to end with quillo-host's own renderer: two phones on their own addresses stream, move,
// and each receives JPEGs of a quarter of the composition's size that show its own camera's view.
#include <turbojpeg.h>

#include "hostsim/render/scene_renderer.h"
#include "plugin_fixture.h"

namespace {

// The frame's RGB pixels; empty unless it decodes as a 480 x 270 JPEG.
std::vector<unsigned char> Decode480x270(const std::string& jpeg) {
    tjhandle tj = tjInitDecompress();
    int w = 0, h = 0, sub = 0, space = 0;
    std::vector<unsigned char> rgb;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    if (tjDecompressHeader3(tj, data, jpeg.size(), &w, &h, &sub, &space) == 0 && w == 480 && h == 270) {
        rgb.resize(480 * 270 * 3);
        if (tjDecompress2(tj, data, jpeg.size(), rgb.data(), w, 0, h, TJPF_RGB, 0) != 0) rgb.clear();
    }
    tjDestroy(tj);
    return rgb;
}

// Mean absolute difference per channel of two frames.
double Difference(const std::string& a, const std::string& b) {
    const auto x = Decode480x270(a), y = Decode480x270(b);
    double sum = 0;
    for (size_t i = 0; i < x.size() && x.size() == y.size(); ++i) sum += std::abs(int(x[i]) - int(y[i]));
    return x.empty() ? 0 : sum / static_cast<double>(x.size());
}

}  // namespace

TEST_F(PluginTest, TwoPhonesStreamTheirOwnViewsAndTheViewTurnsWithThePhone) {
    qh::render::UseSceneRenderer();
    Phone& left = connect("127.0.0.2", "?deviceName=Left", "Left", 1);
    Phone& right = connect("127.0.0.3", "?deviceName=Right", "Right", 2);
    moveAndWait(left, {0, 0, 0, 0, 0, 0});
    moveAndWait(right, {0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(WaitFor([&] { return pass(), left.count() > 0 && right.count() > 0; }));
    const std::string leftBefore = left.frames().back();
    moveAndWait(left, {0, -25, 0, 0, 0, 0});
    moveAndWait(right, {0, 25, 0, -300, 0, 0});
    // A few frames each after the moves: the newest show the new poses.
    const size_t leftSeen = left.count(), rightSeen = right.count();
    ASSERT_TRUE(WaitFor([&] { return pass(), left.count() > leftSeen + 2 && right.count() > rightSeen + 2; }));
    const V leftFrames = left.frames(), rightFrames = right.frames();
    for (const V* frames : {&leftFrames, &rightFrames})
        for (const std::string& f : *frames) ASSERT_FALSE(Decode480x270(f).empty());
    EXPECT_GT(Difference(leftBefore, leftFrames.back()), 5.0);       // the left camera turned
    EXPECT_GT(Difference(leftFrames.back(), rightFrames.back()), 5.0);  // two different views
}
