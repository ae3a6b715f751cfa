// The model's streams: static values, keyframes, interpolation.
#include <gtest/gtest.h>

#include <vector>

#include "hostsim/model/project.h"

namespace qlo::hostsim {
namespace {

TEST(ModelStream, StaticValueEverywhereAndRejectedWhileAnimated) {
    Stream s(AEGP_LayerStream_OPACITY, Value::One(42));
    EXPECT_FALSE(s.animated());
    EXPECT_EQ(s.valueAt(-5).x(), 42);
    EXPECT_EQ(s.valueAt(1e6).x(), 42);
    EXPECT_TRUE(s.setStaticValue(Value::One(7)));
    EXPECT_EQ(s.valueAt(3).x(), 7);
    s.insertKeyframe(0);
    EXPECT_FALSE(s.setStaticValue(Value::One(99)));
    EXPECT_EQ(s.valueAt(0).x(), 7);
}

TEST(ModelStream, LinearInterpolationHeldOutside) {
    Stream s(AEGP_LayerStream_POSITION, Value{});
    s.setKeyframe(1.0, Value::Three(0, 10, -100));
    s.setKeyframe(3.0, Value::Three(100, 30, 100));
    EXPECT_EQ(s.valueAt(0.0), Value::Three(0, 10, -100));   // held before the first
    EXPECT_EQ(s.valueAt(1.0), Value::Three(0, 10, -100));
    EXPECT_EQ(s.valueAt(2.0), Value::Three(50, 20, 0));
    EXPECT_DOUBLE_EQ(s.valueAt(1.5).x(), 25);
    EXPECT_DOUBLE_EQ(s.valueAt(1.5).z(), -50);
    EXPECT_EQ(s.valueAt(3.0), Value::Three(100, 30, 100));
    EXPECT_EQ(s.valueAt(99.0), Value::Three(100, 30, 100));  // held after the last
}

TEST(ModelStream, KeysPickTheRightSegmentHoldAndInterpolateEveryChannel) {
    Stream s(AEGP_LayerStream_ZOOM, Value::One(0));
    s.setKeyframe(0, Value::One(0));
    s.setKeyframe(1, Value::One(10), AEGP_KeyInterp_LINEAR, AEGP_KeyInterp_HOLD);
    s.setKeyframe(2, Value::One(-10));
    s.setKeyframe(3, Value::One(10));
    EXPECT_DOUBLE_EQ(s.valueAt(0.5).x(), 5);
    EXPECT_DOUBLE_EQ(s.valueAt(1.999).x(), 10);  // held to the next key
    EXPECT_DOUBLE_EQ(s.valueAt(2).x(), -10);
    EXPECT_DOUBLE_EQ(s.valueAt(2.25).x(), -5);

    Stream c(AEGP_LayerStream_COLOR, Value::Rgba(1, 1, 1));
    c.setKeyframe(0, Value::Rgba(0, 0, 0, 0));
    c.setKeyframe(1, Value::Rgba(1, 0.5, 0.25, 1));
    EXPECT_EQ(c.valueAt(0.5), Value::Rgba(0.5, 0.25, 0.125, 0.5));
}

TEST(ModelStream, InsertKeyframeKeepsOrderAndShiftsIndices) {
    Stream s(AEGP_LayerStream_OPACITY, Value::One(50));
    EXPECT_EQ(s.insertKeyframe(2.0), 0);  // holds the static value
    EXPECT_TRUE(s.animated());
    EXPECT_EQ(s.keyframes()[0].value.x(), 50);
    EXPECT_TRUE(s.setKeyframeValue(0, Value::One(100)));
    EXPECT_EQ(s.insertKeyframe(4.0), 1);
    EXPECT_EQ(s.insertKeyframe(1.0), 0);  // before: the others move up
    ASSERT_EQ(s.numKeyframes(), 3);
    EXPECT_EQ(s.keyframes()[0].time, 1.0);
    EXPECT_EQ(s.keyframes()[1].time, 2.0);
    EXPECT_EQ(s.keyframes()[2].time, 4.0);
    // New keys hold the value the stream had there.
    EXPECT_EQ(s.keyframes()[0].value.x(), 100);
    EXPECT_TRUE(s.setKeyframeValue(2, Value::One(0)));
    EXPECT_EQ(s.insertKeyframe(3.0), 2);
    EXPECT_DOUBLE_EQ(s.keyframes()[2].value.x(), 50);
    EXPECT_EQ(s.keyframes()[3].time, 4.0);
    // A new key's interpolation follows the key before it (the first key's when it comes first).
    EXPECT_TRUE(s.setKeyframeInterpolation(0, AEGP_KeyInterp_HOLD, AEGP_KeyInterp_BEZIER));
    const Keyframe& made = s.keyframes()[static_cast<size_t>(s.insertKeyframe(1.5))];
    EXPECT_EQ(made.inInterp, AEGP_KeyInterp_HOLD);
    EXPECT_EQ(made.outInterp, AEGP_KeyInterp_BEZIER);
    EXPECT_EQ(s.keyframes()[static_cast<size_t>(s.insertKeyframe(0.5))].outInterp, AEGP_KeyInterp_BEZIER);
}

TEST(ModelStream, InsertKeyframeAtAnExistingTimeChangesNothing) {
    Stream s(AEGP_LayerStream_OPACITY, Value::One(0));
    s.setKeyframe(0, Value::One(0));
    s.setKeyframe(1, Value::One(30), AEGP_KeyInterp_HOLD, AEGP_KeyInterp_BEZIER);
    s.setKeyframe(2, Value::One(60));
    const auto before = s.keyframes();
    EXPECT_EQ(s.insertKeyframe(1.0), 1);
    EXPECT_EQ(s.insertKeyframe(1.0 + kTimeEpsilon / 4), 1);  // within the time tolerance
    EXPECT_EQ(s.keyframes(), before);
}

// One tolerance decides "the same time": keys exactly kTimeEpsilon apart are two keys, in time
// order; a time between two keys names the nearer one when it lies within the tolerance.
TEST(ModelStream, KeysAtTheToleranceStayOrderedAndTheNearestKeyIsFound) {
    const double t = 2147.483648;
    const struct {
        std::vector<double> keys;  // set in this order
        double probe;
        int found;                 // insertKeyframe(probe)'s index
        size_t count;              // keys after it
    } kCases[] = {
        {{t, t + kTimeEpsilon}, t + kTimeEpsilon, 1, 2},
        {{t + kTimeEpsilon, t}, t, 0, 2},
        {{0, 9e-7}, 5e-7, 1, 2},                       // nearer to the later key
        {{0, 9e-7}, 4e-7, 0, 2},
        {{0, 1e-6}, 5e-7, 1, 3},                       // exactly between, at the tolerance: new
        {{1, 2}, 1.5, 1, 3},
    };
    for (const auto& c : kCases) {
        Stream s(AEGP_LayerStream_OPACITY, Value::One(0));
        for (double k : c.keys) s.setKeyframe(k, Value::One(k));
        EXPECT_EQ(s.numKeyframes(), static_cast<int>(c.keys.size()));
        EXPECT_EQ(s.insertKeyframe(c.probe), c.found) << c.probe;
        ASSERT_EQ(static_cast<size_t>(s.numKeyframes()), c.count);
        for (size_t k = 1; k < c.count; ++k) EXPECT_LT(s.keyframes()[k - 1].time, s.keyframes()[k].time);
    }
}

TEST(ModelStream, DeletingTheLastKeyLeavesItsValue) {
    Stream s(AEGP_LayerStream_OPACITY, Value::One(10));
    s.setKeyframe(0, Value::One(20));
    s.setKeyframe(1, Value::One(30));
    EXPECT_FALSE(s.deleteKeyframe(2));
    EXPECT_FALSE(s.deleteKeyframe(-1));
    EXPECT_TRUE(s.deleteKeyframe(0));
    EXPECT_TRUE(s.deleteKeyframe(0));
    EXPECT_FALSE(s.animated());
    EXPECT_EQ(s.valueAt(0).x(), 30);
}

TEST(ModelTime, ATimeConversions) {
    EXPECT_DOUBLE_EQ(Seconds(A_Time{1, 30}), 1.0 / 30);
    const A_Time t = ToATime(2.5);
    EXPECT_EQ(t.scale, 1000000u);
    EXPECT_EQ(t.value, 2500000);
    const A_Time big = ToATime(100000.25);  // does not fit microseconds in 31 bits
    EXPECT_NEAR(Seconds(big), 100000.25, 1e-2);
    EXPECT_NEAR(Seconds(ToATime(-3.000001)), -3.000001, 1e-9);
}

}  // namespace
}  // namespace qlo::hostsim
