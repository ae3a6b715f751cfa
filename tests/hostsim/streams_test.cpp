// Streams: the model's values, keys and interpolation, and the Stream and Keyframe Suites that
// reach them (stream types, static values, inserting keys in any time scale, validation).
#include <limits>
#include <vector>

#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

double At(const Stream& s, double t) { return s.valueAt(t).x(); }

TEST(ModelStream, ValuesBetweenKeysLinearHeldAndPerChannel) {
    Stream s(AEGP_LayerStream_ZOOM, Value::One(42));
    EXPECT_EQ(std::tuple(At(s, -5), At(s, 1e6)), std::tuple(42.0, 42.0));
    s.setKeyframe(1, Value::One(0));
    s.setKeyframe(2, Value::One(10), AEGP_KeyInterp_LINEAR, AEGP_KeyInterp_HOLD);
    s.setKeyframe(3, Value::One(-10));
    s.setKeyframe(4, Value::One(10));
    const double kAt[][2] = {{0, 0}, {1.5, 5}, {2.999, 10}, {3, -10}, {3.25, -5}, {99, 10}};
    for (const auto& c : kAt) EXPECT_DOUBLE_EQ(At(s, c[0]), c[1]) << c[0];

    Stream p(AEGP_LayerStream_POSITION, Value{});
    p.setKeyframe(1.0, Value::Three(0, 10, -100));
    p.setKeyframe(3.0, Value::Three(100, 30, 100));
    EXPECT_EQ(p.valueAt(2.0), Value::Three(50, 20, 0));
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
    };
    for (const auto& c : kCases) {
        Stream s(AEGP_LayerStream_OPACITY, Value::One(0));
        for (double k : c.keys) s.setKeyframe(k, Value::One(k));
        const auto before = s.keyframes();
        EXPECT_EQ(s.insertKeyframe(c.probe), c.found) << c.probe;
        ASSERT_EQ(static_cast<size_t>(s.numKeyframes()), c.count);
        if (c.count == c.keys.size()) {
            EXPECT_EQ(s.keyframes(), before) << c.probe;
        }
        for (size_t k = 1; k < c.count; ++k) EXPECT_LT(s.keyframes()[k - 1].time, s.keyframes()[k].time);
    }
}

TEST(ModelTime, ATimeConversions) {
    EXPECT_DOUBLE_EQ(Seconds(A_Time{1, 30}), 1.0 / 30);
    EXPECT_EQ(std::pair(ToATime(2.5).value, ToATime(2.5).scale), std::pair(2500000, 1000000u));
    EXPECT_NEAR(Seconds(ToATime(100000.25)), 100000.25, 1e-2);  // does not fit microseconds in 31 bits
    EXPECT_NEAR(Seconds(ToATime(-3.000001)), -3.000001, 1e-9);
}

class StreamSuites : public SuitesTest {
protected:
    void SetUp() override {
        SuitesTest::SetUp();
        plane = layerNamed("Green Plane");
        ASSERT_NE(plane, nullptr);
    }
    AEGP_StreamRefH open(Layer& layer, AEGP_LayerStream which) {
        return OpenStream(LayerHandle(layer), which);
    }
    // A one-dimensional value of stream s, static (index < 0) or of key `index`.
    A_Err set(AEGP_StreamRefH s, double value, AEGP_KeyframeIndex index = -1) {
        AEGP_StreamValue2 v{};
        v.streamH = s;
        v.val.one_d = value;
        return index < 0 ? StreamSuite()->AEGP_SetStreamValue(kPlugin, s, &v)
                         : KeyframeSuite()->AEGP_SetKeyframeValue(s, index, &v);
    }
    AEGP_KeyframeIndex insert(AEGP_StreamRefH s, A_Time t, AEGP_LTimeMode mode = AEGP_LTimeMode_CompTime) {
        AEGP_KeyframeIndex index = -1;
        EXPECT_EQ(KeyframeSuite()->AEGP_InsertKeyframe(s, mode, &t, &index), A_Err_NONE);
        return index;
    }
    Layer* plane = nullptr;
};

TEST_F(StreamSuites, StaticValuesReadAndWrittenUnlessAnimated) {
    AEGP_StreamRefH none = nullptr;  // a plane has no zoom
    const AEGP_LayerH h = LayerHandle(*plane);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, h, AEGP_LayerStream_ZOOM, &none), A_Err_PARAMETER);
    const AEGP_ThreeDVal p = ValueOf(LayerHandle(*plane), AEGP_LayerStream_POSITION, 3).three_d;
    EXPECT_EQ(std::tuple(p.x, p.y, p.z), std::tuple(960.0, 650.0, 400.0));
    AEGP_StreamRefH pos = open(*plane, AEGP_LayerStream_POSITION);
    AEGP_StreamValue2 v{};
    v.streamH = pos;
    v.val.three_d = AEGP_ThreeDVal{1, 2, 3};
    ASSERT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, pos, &v), A_Err_NONE);
    v.val.three_d.x = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, pos, &v), A_Err_PARAMETER);
    EXPECT_EQ(plane->get(AEGP_LayerStream_POSITION), Value::Three(1, 2, 3));
    StreamSuite()->AEGP_DisposeStream(pos);

    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    insert(s, Sec(1));
    EXPECT_EQ(set(s, 5), A_Err_GENERIC);
    EXPECT_EQ(ValueAt(s, Sec(1)).one_d, 100);  // unchanged
    StreamSuite()->AEGP_DisposeStream(s);
}

// A key inserted between two holds the value there; deleting the last key leaves its value.
TEST_F(StreamSuites, InsertedKeysInAnyTimeScaleAndTwoReferencesSeeOneStream) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_StreamRefH other = open(*plane, AEGP_LayerStream_OPACITY);
    EXPECT_EQ(insert(s, Sec(4)), 0);
    ASSERT_EQ(set(s, 0, 0), A_Err_NONE);
    EXPECT_EQ(insert(s, A_Time{0, 30}), 0);  // before: the other moves up
    ASSERT_EQ(set(s, 100, 0), A_Err_NONE);
    EXPECT_DOUBLE_EQ(ValueAt(s, A_Time{90, 30}).one_d, 25);
    EXPECT_EQ(insert(s, A_Time{30, 30}), 1);  // between: holds the interpolated 75
    EXPECT_EQ(insert(s, A_Time{120, 30}, AEGP_LTimeMode_LayerTime), 2) << "an existing key's index";
    AEGP_StreamValue2 v{};
    ASSERT_EQ(KeyframeSuite()->AEGP_GetNewKeyframeValue(kPlugin, s, 1, &v), A_Err_NONE);
    EXPECT_EQ(std::pair(v.val.one_d, v.streamH), std::pair(75.0, s));
    const auto setInterp = KeyframeSuite()->AEGP_SetKeyframeInterpolation;
    EXPECT_EQ(setInterp(s, 0, AEGP_KeyInterp_LINEAR, 42), A_Err_PARAMETER);
    ASSERT_EQ(setInterp(s, 0, AEGP_KeyInterp_BEZIER, AEGP_KeyInterp_HOLD), A_Err_NONE);
    EXPECT_EQ(insert(s, A_Time{15, 30}), 1);
    EXPECT_EQ(insert(s, A_Time{-30, 30}), 0);
    std::vector<double> times;
    for (AEGP_KeyframeIndex i = 0; i < 5; ++i) {
        A_Time t{};
        EXPECT_EQ(KeyframeSuite()->AEGP_GetKeyframeTime(s, i, AEGP_LTimeMode_CompTime, &t), A_Err_NONE);
        times.push_back(Seconds(t));
    }
    EXPECT_EQ(times, (std::vector<double>{-1, 0, 0.5, 1, 4}));

    // Each call has exactly one thing wrong: a time of scale 0, an unknown time mode, a null.
    const A_Time zeroScale{1, 0}, one = Sec(1);
    const auto getValue = StreamSuite()->AEGP_GetNewStreamValue;
    EXPECT_EQ(getValue(kPlugin, s, AEGP_LTimeMode_CompTime, &zeroScale, 0, &v), A_Err_PARAMETER);
    EXPECT_EQ(getValue(kPlugin, s, 7, &one, 0, &v), A_Err_PARAMETER);
    AEGP_KeyframeIndex index;
    EXPECT_EQ(KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_CompTime, nullptr, &index),
              A_Err_PARAMETER);
    for (int k = 0; k < 5; ++k) ASSERT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(s, 0), A_Err_NONE);
    EXPECT_EQ(ValueAt(s, Sec(0)).one_d, 0) << "deleting the last key leaves its value";
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
    A_long n = -1;
    ASSERT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(other, &n), A_Err_NONE);
    EXPECT_EQ(n, 0) << "the other reference sees the same stream";
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(other), A_Err_NONE);
}

}  // namespace
}  // namespace qlo::hostsim::testing
