// Keyframe primitives and the preview-keyframe scheme on a camera's streams, including that a
// preview keyframe never outlives the layer handle it was made on.
#include "engine/plugin_fixture.h"
#include "hostsim/suite_faults.h"
#include "rig/camera_layers.h"
#include "rig/keyframes.h"
#include "rig/preview_keyframes.h"

namespace {

std::vector<double> Times(const qh::Stream* s) {
    std::vector<double> t;
    for (const qh::Keyframe& k : s->keyframes()) t.push_back(k.time);
    return t;
}

// Camera 1's handle and streams, and phone "P" showing its orientation live on the camera it
// targets.
class KeyframeTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        h = qh::LayerHandle(*layer("Camera 1"));
        zoom = layer("Camera 1")->stream(AEGP_LayerStream_ZOOM);
        orient = layer("Camera 1")->stream(AEGP_LayerStream_ORIENTATION);
    }
    void show(float y, A_long secs) {
        ApplyPreview3D(EnsurePhoneCamera(compH(), itemH(), "P"), AEGP_LayerStream_ORIENTATION, 0, y, 0,
                       A_Time{secs, 1}, secs, entry().orientPreview);
    }
    PhoneCameraEntry& entry() { return g_phoneCameras["P"]; }
    AEGP_LayerH h = nullptr;
    qh::Stream *zoom = nullptr, *orient = nullptr;
};

}  // namespace

TEST_F(KeyframeTest, KeyframeTimesMatchWithinATenthOfAMillisecond) {
    for (double t : {0.0, 1.0, 1.00005, 2.0, 3.0}) zoom->setKeyframe(t, qh::Value::One(t));
    EXPECT_TRUE(HasKeyframeAtSecs(h, AEGP_LayerStream_ZOOM, 1.0));
    EXPECT_FALSE(HasKeyframeAtSecs(h, AEGP_LayerStream_ZOOM, 0.9998));
    DeleteKeyframesAtSecs(h, AEGP_LayerStream_ZOOM, 1.0);
    EXPECT_EQ(Times(zoom), (std::vector<double>{0, 2, 3}));
    DeleteKeyframesExceptAtSecs(h, AEGP_LayerStream_ZOOM, 2.0);
    SetStream1D(h, AEGP_LayerStream_ZOOM, 9);  // animated: left alone
    EXPECT_EQ(Times(zoom), std::vector<double>{2});
    EXPECT_EQ(zoom->valueAt(0), qh::Value::One(2));
}

// The host's default interpolation for a new key follows the stream's keys (here the user's
// hold and Bezier keys); the keys the plug-in inserts are linear whatever that default is.
TEST_F(KeyframeTest, InsertedKeyframesAreLinear) {
    zoom->setKeyframe(0, qh::Value::One(100), AEGP_KeyInterp_HOLD, AEGP_KeyInterp_HOLD);
    zoom->setKeyframe(4, qh::Value::One(500), AEGP_KeyInterp_BEZIER, AEGP_KeyInterp_BEZIER);
    ASSERT_TRUE(InsertKeyframe1D(h, AEGP_LayerStream_ZOOM, 300, A_Time{2, 1}));
    ASSERT_TRUE(InsertKeyframe1D(h, AEGP_LayerStream_ZOOM, 700, A_Time{6, 1}));
    ASSERT_EQ(Times(zoom), (std::vector<double>{0, 2, 4, 6}));
    for (size_t i : {1, 3}) {  // the inserted keys, after the hold key and after the Bezier key
        EXPECT_EQ(zoom->keyframes()[i].inInterp, AEGP_KeyInterp_LINEAR) << i;
        EXPECT_EQ(zoom->keyframes()[i].outInterp, AEGP_KeyInterp_LINEAR) << i;
    }
}

TEST_F(KeyframeTest, PreviewKeyframesShowLiveValuesAndLeaveTheUsersKeysAlone) {
    PreviewKFState state;
    const auto show = [&](float value, bool changed, A_long secs) {
        ApplyProp1D(h, AEGP_LayerStream_ZOOM, value, changed, A_Time{secs, 1}, secs, state);
    };
    show(500, true, 2);  // a static stream takes the value as it is
    EXPECT_EQ(zoom->staticValue(), qh::Value::One(500));
    EXPECT_FALSE(state.active);

    zoom->setKeyframe(0, qh::Value::One(100));
    zoom->setKeyframe(5, qh::Value::One(200));
    show(600, true, 2);
    show(700, false, 2);  // unchanged: the preview stays
    show(650, true, 2);   // replaced at the same time
    EXPECT_TRUE(state.active);
    EXPECT_EQ(Times(zoom), (std::vector<double>{0, 2, 5}));
    EXPECT_EQ(zoom->keyframes()[1], (qh::Keyframe{2, qh::Value::One(650)}));

    show(800, true, 5);  // the user's key at that time: the old preview goes, nothing is shown
    EXPECT_FALSE(state.active);
    EXPECT_EQ(zoom->keyframes(), (std::vector<qh::Keyframe>{{0, qh::Value::One(100)}, {5, qh::Value::One(200)}}));
}

TEST_F(KeyframeTest, LettingGoOfALayerTakesItsPreviewKeyframesAlong) {
    qh::Layer& two = comp->addCamera("Camera 2", A_FloatPoint{960, 540});
    qh::Stream* orient2 = two.stream(AEGP_LayerStream_ORIENTATION);
    for (qh::Stream* s : {orient, orient2}) s->setKeyframe(0, qh::Value::Three(0, 0, 0));
    entry().targetCam = "Camera 1";
    show(30, 1);
    EXPECT_EQ(Times(orient), (std::vector<double>{0, 1}));

    RetargetPhoneCamera(entry(), "Camera 2");  // the preview leaves with the handle
    EXPECT_EQ(Times(orient), std::vector<double>{0});
    orient2->setKeyframe(1, qh::Value::Three(0, 3, 0));  // the user's key at the old preview's time
    show(40, 3);
    EXPECT_EQ(Times(orient2), (std::vector<double>{0, 1, 3}));

    EXPECT_TRUE(entry().orientPreview.active);
    const size_t queued = g_liveKeysToTakeAway.size();
    qh::CurrentProject().deleteLayer(two.id());  // a vanished layer: its preview state is let go
    EnsurePhoneCamera(compH(), itemH(), "P");
    EXPECT_FALSE(entry().orientPreview.active);
    EXPECT_EQ(g_liveKeysToTakeAway.size(), queued) << "the key went with its layer: nothing left to take away";
}

// What the user does to the live key at 1 s before the phone shows its next value: a new value,
// or the same value at 2 s.
TEST_F(KeyframeTest, AKeyNoLongerAsTheLiveKeyWasLeftIsNeverTakenAway) {
    entry().targetCam = "Camera 1";
    for (bool moved : {false, true}) {
        SCOPED_TRACE(moved ? "moved to 2 s" : "value changed");
        while (orient->numKeyframes() > 0) orient->deleteKeyframe(0);
        orient->setKeyframe(0, qh::Value::Three(0, 0, 0));
        orient->setKeyframe(5, qh::Value::Three(0, 0, 0));
        show(30, 1);
        ASSERT_EQ(Times(orient), (std::vector<double>{0, 1, 5}));
        if (moved) {
            orient->deleteKeyframe(1);
            orient->setKeyframe(2, qh::Value::Three(0, 30, 0));
        } else {
            orient->setKeyframeValue(1, qh::Value::Three(0, 7, 0));
        }
        const std::vector<qh::Keyframe> edited = orient->keyframes();
        show(40, 3);  // the next live value, at another time
        LetGoOfLiveKeys(entry());
        EXPECT_EQ(orient->keyframes(), edited);
    }
}

// A key the host refuses to make, or whose value it refuses to set, is reported as not made.
TEST_F(KeyframeTest, AKeyTheHostRefusesIsNotLeftBehind) {
    zoom->setKeyframe(0, qh::Value::One(100));
    zoom->setKeyframe(5, qh::Value::One(200));
    const std::vector<qh::Keyframe> users = zoom->keyframes();
    for (const char* refused : {"InsertKeyframe", "SetKeyframeValue"}) {
        SCOPED_TRACE(refused);
        qh::SuiteFaults::instance().arm({refused, 0, A_Err_GENERIC});
        PreviewKFState state;
        ApplyProp1D(h, AEGP_LayerStream_ZOOM, 900, true, A_Time{2, 1}, 2, state);
        EXPECT_FALSE(InsertKeyframe1D(h, AEGP_LayerStream_ZOOM, 900, A_Time{0, 1}));
        qh::SuiteFaults::instance().clear();
        EXPECT_FALSE(state.active);
        EXPECT_EQ(zoom->keyframes(), users);  // no new key at 2 s, and the user's key at 0 s kept
    }
}

TEST_F(KeyframeTest, ALiveKeyTheHostCannotReadIsTakenAwayLater) {
    entry().targetCam = "Camera 1";
    orient->setKeyframe(0, qh::Value::Three(0, 0, 0));
    for (const char* unreadable : {"GetKeyframeTime", "GetNewKeyframeValue"}) {
        SCOPED_TRACE(unreadable);
        show(30, 1);
        ASSERT_EQ(Times(orient), (std::vector<double>{0, 1}));
        qh::SuiteFaults::instance().arm({unreadable, 0, A_Err_GENERIC});
        LetGoOfLiveKeys(entry());
        qh::SuiteFaults::instance().clear();
        EXPECT_EQ(Times(orient), (std::vector<double>{0, 1}));  // not found, so not forgotten either
        TakeAwayLiveKeysNotShown({}, compH());
        EXPECT_EQ(Times(orient), std::vector<double>{0});
    }
}

// A live key the host would not take away waits for a later pass; a new load of the plug-in
// starts without it, since its handles name objects of the earlier load's host.
TEST_F(KeyframeTest, ANewLoadForgetsTheKeysTheEarlierOneCouldNotTakeAway) {
    entry().targetCam = "Camera 1";
    orient->setKeyframe(0, qh::Value::Three(0, 0, 0));
    show(30, 1);
    qh::SuiteFaults::instance().arm({"DeleteKeyframe", 0, A_Err_GENERIC});
    LetGoOfLiveKeys(entry());
    app.reset();
    qh::SuiteFaults::instance().clear();
    ASSERT_TRUE(AnyLiveKeys()) << "the unload could not take it away either";
    loadPlugin();
    EXPECT_FALSE(AnyLiveKeys());
}
