// Stream Suite and Keyframe Suite: values at times, static values, keyframes.
#include <limits>

#include "suites_fixture.h"

namespace qlo::hostsim::testing {
namespace {

class StreamSuites : public SuitesTest {
protected:
    void SetUp() override {
        SuitesTest::SetUp();
        plane = layerNamed("Green Plane");
        ASSERT_NE(plane, nullptr);
    }
    AEGP_StreamRefH open(Layer& layer, AEGP_LayerStream which) {
        AEGP_StreamRefH s = nullptr;
        EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, LayerHandle(layer), which, &s), A_Err_NONE);
        return s;
    }
    AEGP_StreamVal2 at(AEGP_StreamRefH s, double seconds, AEGP_LTimeMode mode = AEGP_LTimeMode_CompTime) {
        AEGP_StreamValue2 v{};
        const A_Time t = Sec(seconds);
        EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, mode, &t, 0, &v), A_Err_NONE);
        EXPECT_EQ(v.streamH, s);
        EXPECT_EQ(StreamSuite()->AEGP_DisposeStreamValue(&v), A_Err_NONE);
        return v.val;
    }
    A_Err insert(AEGP_StreamRefH s, double seconds, AEGP_KeyframeIndex* index) {
        const A_Time t = Sec(seconds);
        return KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_CompTime, &t, index);
    }
    A_Err setKey(AEGP_StreamRefH s, AEGP_KeyframeIndex index, double value) {
        AEGP_StreamValue2 v{};
        v.streamH = s;
        v.val.one_d = value;
        return KeyframeSuite()->AEGP_SetKeyframeValue(s, index, &v);
    }
    Layer* plane = nullptr;
};

TEST_F(StreamSuites, StreamTypes) {
    struct Case {
        Layer* layer;
        AEGP_LayerStream stream;
        AEGP_StreamType type;
    };
    Layer& flat = comp->addNull("flat");  // a 2-D layer
    Layer* light = layerNamed("Light 1");
    for (const Case& c : {Case{plane, AEGP_LayerStream_POSITION, AEGP_StreamType_ThreeD_SPATIAL},
                          Case{plane, AEGP_LayerStream_OPACITY, AEGP_StreamType_OneD},
                          Case{&flat, AEGP_LayerStream_POSITION, AEGP_StreamType_TwoD_SPATIAL},
                          Case{&flat, AEGP_LayerStream_SCALE, AEGP_StreamType_TwoD},
                          Case{light, AEGP_LayerStream_COLOR, AEGP_StreamType_COLOR}}) {
        AEGP_StreamRefH s = open(*c.layer, c.stream);
        AEGP_StreamType type = -1;
        EXPECT_EQ(StreamSuite()->AEGP_GetStreamType(s, &type), A_Err_NONE);
        EXPECT_EQ(type, c.type) << c.layer->name << " " << StreamName(c.stream);
        EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
    }
    // Streams the layer has not.
    AEGP_StreamRefH s = reinterpret_cast<AEGP_StreamRefH>(0x1);
    for (AEGP_LayerStream which : {AEGP_LayerStream_ZOOM, AEGP_LayerStream_NUM_STREAMS})
        EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, LayerHandle(*plane), which, &s), A_Err_PARAMETER);
    EXPECT_EQ(s, reinterpret_cast<AEGP_StreamRefH>(0x1));
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

TEST_F(StreamSuites, StaticValuesReadAndWrittenUnlessAnimated) {
    AEGP_StreamRefH pos = open(*plane, AEGP_LayerStream_POSITION);
    const AEGP_ThreeDVal p = at(pos, 3).three_d;
    EXPECT_EQ(std::tuple(p.x, p.y, p.z), std::tuple(960.0, 650.0, 400.0));
    AEGP_StreamValue2 v{};
    v.streamH = pos;
    v.val.three_d = AEGP_ThreeDVal{1, 2, 3};
    ASSERT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, pos, &v), A_Err_NONE);
    EXPECT_EQ(plane->get(AEGP_LayerStream_POSITION), Value::Three(1, 2, 3));
    v.val.three_d.x = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, pos, &v), A_Err_PARAMETER);
    EXPECT_EQ(plane->get(AEGP_LayerStream_POSITION), Value::Three(1, 2, 3));
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, pos, nullptr), A_Err_PARAMETER);
    StreamSuite()->AEGP_DisposeStream(pos);

    // Colour channels in the SDK's order.
    Layer* light = layerNamed("Light 1");
    light->set(AEGP_LayerStream_COLOR, Value::Rgba(0.25, 0.5, 0.75, 1));
    AEGP_StreamRefH colour = open(*light, AEGP_LayerStream_COLOR);
    const AEGP_ColorVal c = at(colour, 0).color;
    EXPECT_EQ(std::tuple(c.alphaF, c.redF, c.greenF, c.blueF), std::tuple(1.0, 0.25, 0.5, 0.75));
    StreamSuite()->AEGP_DisposeStream(colour);

    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_KeyframeIndex index = -1;
    ASSERT_EQ(insert(s, 1.0, &index), A_Err_NONE);
    v.streamH = s;
    v.val.one_d = 5;
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, s, &v), A_Err_GENERIC);
    EXPECT_EQ(at(s, 1.0).one_d, 100);  // unchanged
    ASSERT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(s, 0), A_Err_NONE);
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, s, &v), A_Err_NONE);  // static again
    EXPECT_EQ(at(s, 1.0).one_d, 5);
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, InsertedKeysStaySortedHoldTheCurrentValueAndInterpolateInAnyTimeScale) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_KeyframeIndex index = -1;
    ASSERT_EQ(insert(s, 4.0, &index), A_Err_NONE);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(setKey(s, 0, 0), A_Err_NONE);
    ASSERT_EQ(insert(s, 0.0, &index), A_Err_NONE);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(setKey(s, 0, 100), A_Err_NONE);
    EXPECT_DOUBLE_EQ(at(s, 3).one_d, 25);
    EXPECT_DOUBLE_EQ(at(s, 3, AEGP_LTimeMode_LayerTime).one_d, 25);  // layer time = comp time
    EXPECT_EQ(at(s, 9).one_d, 0);
    AEGP_StreamValue2 v{};
    const A_Time thirtieth{90, 30};  // 3 s
    ASSERT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, AEGP_LTimeMode_CompTime, &thirtieth, 1, &v), A_Err_NONE);
    EXPECT_DOUBLE_EQ(v.val.one_d, 25);
    const A_Time zeroScale{1, 0};
    EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, AEGP_LTimeMode_CompTime, &zeroScale, 0, &v),
              A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, 7, &thirtieth, 0, &v), A_Err_PARAMETER);

    ASSERT_EQ(insert(s, 1.0, &index), A_Err_NONE);  // between: holds the interpolated 75
    EXPECT_EQ(index, 1);
    ASSERT_EQ(KeyframeSuite()->AEGP_GetNewKeyframeValue(kPlugin, s, 1, &v), A_Err_NONE);
    EXPECT_DOUBLE_EQ(v.val.one_d, 75);
    EXPECT_EQ(v.streamH, s);
    const double expected[] = {0, 1, 4};
    for (AEGP_KeyframeIndex i = 0; i < 3; ++i) {
        A_Time t{};
        ASSERT_EQ(KeyframeSuite()->AEGP_GetKeyframeTime(s, i, AEGP_LTimeMode_CompTime, &t), A_Err_NONE);
        EXPECT_DOUBLE_EQ(Seconds(t), expected[i]);
    }
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, InsertKeyframeAtAnExistingTimeReturnsThatIndex) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_KeyframeIndex index = -1;
    ASSERT_EQ(insert(s, 1.0, &index), A_Err_NONE);
    ASSERT_EQ(insert(s, 3.0, &index), A_Err_NONE);
    ASSERT_EQ(insert(s, 5.0, &index), A_Err_NONE);
    ASSERT_EQ(setKey(s, 1, 42), A_Err_NONE);
    ASSERT_EQ(KeyframeSuite()->AEGP_SetKeyframeInterpolation(s, 1, AEGP_KeyInterp_HOLD, AEGP_KeyInterp_BEZIER),
              A_Err_NONE);
    const std::vector<Keyframe> before = plane->stream(AEGP_LayerStream_OPACITY)->keyframes();

    index = -1;
    ASSERT_EQ(insert(s, 3.0, &index), A_Err_NONE);
    EXPECT_EQ(index, 1);
    const A_Time sameInFrames{90, 30};
    ASSERT_EQ(KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_LayerTime, &sameInFrames, &index), A_Err_NONE);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(plane->stream(AEGP_LayerStream_OPACITY)->keyframes(), before) << "nothing changed";
    A_long n = 0;
    ASSERT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(s, &n), A_Err_NONE);
    EXPECT_EQ(n, 3);
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, KeyframeInterpolationIsValidatedAndTwoReferencesSeeOneStream) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_StreamRefH other = open(*plane, AEGP_LayerStream_OPACITY);
    EXPECT_NE(s, other);
    AEGP_KeyframeIndex index;
    ASSERT_EQ(insert(s, 0.0, &index), A_Err_NONE);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeInterpolation(s, 0, AEGP_KeyInterp_NONE, AEGP_KeyInterp_LINEAR),
              A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeInterpolation(s, 0, AEGP_KeyInterp_LINEAR, 42), A_Err_PARAMETER);
    EXPECT_EQ(KeyframeSuite()->AEGP_SetKeyframeInterpolation(s, 0, AEGP_KeyInterp_BEZIER, AEGP_KeyInterp_HOLD),
              A_Err_NONE);
    const Keyframe& k = plane->stream(AEGP_LayerStream_OPACITY)->keyframes()[0];
    EXPECT_EQ(k.inInterp, AEGP_KeyInterp_BEZIER);
    EXPECT_EQ(k.outInterp, AEGP_KeyInterp_HOLD);
    EXPECT_EQ(KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_CompTime, nullptr, &index), A_Err_PARAMETER);
    const A_Time t = Sec(2);
    EXPECT_EQ(KeyframeSuite()->AEGP_InsertKeyframe(s, AEGP_LTimeMode_CompTime, &t, nullptr), A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
    A_long n = 0;
    ASSERT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(other, &n), A_Err_NONE);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(other), A_Err_NONE);
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

}  // namespace
}  // namespace qlo::hostsim::testing
