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

TEST_F(StreamSuites, StreamsTheLayerHasNot) {
    AEGP_StreamRefH s = reinterpret_cast<AEGP_StreamRefH>(0x1);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, LayerHandle(*plane), AEGP_LayerStream_ZOOM, &s),
              A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewLayerStream(kPlugin, LayerHandle(*plane), AEGP_LayerStream_NUM_STREAMS, &s),
              A_Err_PARAMETER);
    EXPECT_EQ(s, reinterpret_cast<AEGP_StreamRefH>(0x1));
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

TEST_F(StreamSuites, StreamTypes) {
    struct Case {
        Layer* layer;
        AEGP_LayerStream stream;
        AEGP_StreamType type;
    };
    Layer& flat = comp->addNull("flat");  // a 2-D layer
    Layer* camera = comp->layerAt(1);     // "Camera 1" (the null went on top)
    Layer* light = layerNamed("Light 1");
    for (const Case& c : {Case{plane, AEGP_LayerStream_POSITION, AEGP_StreamType_ThreeD_SPATIAL},
                          Case{plane, AEGP_LayerStream_ANCHORPOINT, AEGP_StreamType_ThreeD_SPATIAL},
                          Case{plane, AEGP_LayerStream_SCALE, AEGP_StreamType_ThreeD},
                          Case{plane, AEGP_LayerStream_ORIENTATION, AEGP_StreamType_ThreeD},
                          Case{plane, AEGP_LayerStream_OPACITY, AEGP_StreamType_OneD},
                          Case{plane, AEGP_LayerStream_ROTATE_X, AEGP_StreamType_OneD},
                          Case{&flat, AEGP_LayerStream_POSITION, AEGP_StreamType_TwoD_SPATIAL},
                          Case{&flat, AEGP_LayerStream_SCALE, AEGP_StreamType_TwoD},
                          Case{camera, AEGP_LayerStream_ZOOM, AEGP_StreamType_OneD},
                          Case{light, AEGP_LayerStream_COLOR, AEGP_StreamType_COLOR}}) {
        AEGP_StreamRefH s = open(*c.layer, c.stream);
        AEGP_StreamType type = -1;
        EXPECT_EQ(StreamSuite()->AEGP_GetStreamType(s, &type), A_Err_NONE);
        EXPECT_EQ(type, c.type) << c.layer->name << " " << StreamName(c.stream);
        EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(s), A_Err_NONE);
    }
}

TEST_F(StreamSuites, StaticValueReadAndWritten) {
    AEGP_StreamRefH pos = open(*plane, AEGP_LayerStream_POSITION);
    const AEGP_ThreeDVal p = at(pos, 3).three_d;
    EXPECT_EQ(p.x, 960);
    EXPECT_EQ(p.y, 650);
    EXPECT_EQ(p.z, 400);
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
}

TEST_F(StreamSuites, ColourChannelsMapToTheSdkOrder) {
    Layer* light = layerNamed("Light 1");
    light->set(AEGP_LayerStream_COLOR, Value::Rgba(0.25, 0.5, 0.75, 1));
    AEGP_StreamRefH s = open(*light, AEGP_LayerStream_COLOR);
    const AEGP_ColorVal c = at(s, 0).color;
    EXPECT_EQ(c.alphaF, 1);
    EXPECT_EQ(c.redF, 0.25);
    EXPECT_EQ(c.greenF, 0.5);
    EXPECT_EQ(c.blueF, 0.75);
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, SetStreamValueFailsOnAnAnimatedStream) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_KeyframeIndex index = -1;
    ASSERT_EQ(insert(s, 1.0, &index), A_Err_NONE);
    AEGP_StreamValue2 v{};
    v.streamH = s;
    v.val.one_d = 5;
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, s, &v), A_Err_GENERIC);
    EXPECT_EQ(at(s, 1.0).one_d, 100);  // unchanged
    ASSERT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(s, 0), A_Err_NONE);
    EXPECT_EQ(StreamSuite()->AEGP_SetStreamValue(kPlugin, s, &v), A_Err_NONE);  // static again
    EXPECT_EQ(at(s, 1.0).one_d, 5);
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, ValuesInterpolateBetweenKeysInCompAndLayerTime) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_ROTATE_Y);
    AEGP_KeyframeIndex i0 = -1, i1 = -1;
    ASSERT_EQ(insert(s, 2.0, &i0), A_Err_NONE);
    ASSERT_EQ(insert(s, 4.0, &i1), A_Err_NONE);
    EXPECT_EQ(i0, 0);
    EXPECT_EQ(i1, 1);
    ASSERT_EQ(setKey(s, 0, 10), A_Err_NONE);
    ASSERT_EQ(setKey(s, 1, 30), A_Err_NONE);
    EXPECT_EQ(at(s, 0).one_d, 10);
    EXPECT_EQ(at(s, 2).one_d, 10);
    EXPECT_DOUBLE_EQ(at(s, 3).one_d, 20);
    EXPECT_DOUBLE_EQ(at(s, 3.5).one_d, 25);
    EXPECT_DOUBLE_EQ(at(s, 3.5, AEGP_LTimeMode_LayerTime).one_d, 25);  // layer time = comp time
    EXPECT_EQ(at(s, 9).one_d, 30);
    // Times in any scale.
    AEGP_StreamValue2 v{};
    const A_Time thirtieth{90, 30};  // 3 s
    ASSERT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, AEGP_LTimeMode_CompTime, &thirtieth, 1, &v),
              A_Err_NONE);
    EXPECT_DOUBLE_EQ(v.val.one_d, 20);
    const A_Time zeroScale{1, 0};
    EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, AEGP_LTimeMode_CompTime, &zeroScale, 0, &v),
              A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, 7, &thirtieth, 0, &v), A_Err_PARAMETER);
    EXPECT_EQ(StreamSuite()->AEGP_GetNewStreamValue(kPlugin, s, AEGP_LTimeMode_CompTime, nullptr, 0, &v),
              A_Err_PARAMETER);
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

TEST_F(StreamSuites, InsertedKeysStaySortedAndHoldTheCurrentValue) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
    AEGP_KeyframeIndex index = -1;
    ASSERT_EQ(insert(s, 4.0, &index), A_Err_NONE);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(setKey(s, 0, 0), A_Err_NONE);
    ASSERT_EQ(insert(s, 0.0, &index), A_Err_NONE);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(setKey(s, 0, 100), A_Err_NONE);
    ASSERT_EQ(insert(s, 1.0, &index), A_Err_NONE);  // between: holds the interpolated 75
    EXPECT_EQ(index, 1);
    AEGP_StreamValue2 v{};
    ASSERT_EQ(KeyframeSuite()->AEGP_GetNewKeyframeValue(kPlugin, s, 1, &v), A_Err_NONE);
    EXPECT_DOUBLE_EQ(v.val.one_d, 75);
    EXPECT_EQ(v.streamH, s);
    const double expected[] = {0, 1, 4};
    for (AEGP_KeyframeIndex i = 0; i < 3; ++i) {
        A_Time t{};
        ASSERT_EQ(KeyframeSuite()->AEGP_GetKeyframeTime(s, i, AEGP_LTimeMode_CompTime, &t), A_Err_NONE);
        EXPECT_DOUBLE_EQ(Seconds(t), expected[i]);
    }
    ASSERT_EQ(KeyframeSuite()->AEGP_DeleteKeyframe(s, 0), A_Err_NONE);
    A_Time t{};
    ASSERT_EQ(KeyframeSuite()->AEGP_GetKeyframeTime(s, 0, AEGP_LTimeMode_CompTime, &t), A_Err_NONE);
    EXPECT_DOUBLE_EQ(Seconds(t), 1);
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, KeyframeInterpolationIsValidated) {
    AEGP_StreamRefH s = open(*plane, AEGP_LayerStream_OPACITY);
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
    EXPECT_EQ(plane->stream(AEGP_LayerStream_OPACITY)->numKeyframes(), 1);
    StreamSuite()->AEGP_DisposeStream(s);
}

TEST_F(StreamSuites, TwoReferencesSeeOneStream) {
    AEGP_StreamRefH a = open(*plane, AEGP_LayerStream_SCALE);
    AEGP_StreamRefH b = open(*plane, AEGP_LayerStream_SCALE);
    EXPECT_NE(a, b);
    EXPECT_EQ(LiveStreamRefs(), 2u);
    AEGP_KeyframeIndex index;
    ASSERT_EQ(insert(a, 1.0, &index), A_Err_NONE);
    A_long n = 0;
    ASSERT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(b, &n), A_Err_NONE);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(a), A_Err_NONE);
    EXPECT_EQ(KeyframeSuite()->AEGP_GetStreamNumKFs(b, &n), A_Err_NONE);
    EXPECT_EQ(StreamSuite()->AEGP_DisposeStream(b), A_Err_NONE);
    EXPECT_EQ(LiveStreamRefs(), 0u);
}

}  // namespace
}  // namespace qlo::hostsim::testing
