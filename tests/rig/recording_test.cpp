// Recording through POST /record: single keys, continuous recording paced by motion, the last
// frame, phones without motion of their own, lens keys and preview keys that become real.
#include <span>

#include "hostsim/suite_faults.h"
#include "recording_http.h"

using Keys = std::vector<long>;

TEST_F(RigTest, SingleRecordKeysEveryAllowedPhoneAndStepsOneFrame) {
    Phone& a = connect("127.0.0.2", "?deviceName=A", "A", 1);
    connect("127.0.0.3", "?deviceName=B", "B", 2);
    Phone& c = connect("127.0.0.4", "?deviceName=C", "C", 3);
    moveAndWait(a, {1, 2, 3, 10, 0, 0});
    moveAndWait(c, {7, 8, 9, 0, 0, 0});
    pass();
    record("single");
    EXPECT_TRUE(log.contains("[Quillo Record] Single keyframe at time 0.000"));
    // Each phone's key holds its own last motion; B, which never sent any, gets the latest.
    const std::pair<const char*, qh::Value> keyed[] = {
        {"A", qh::Value::Three(1, 2, 3)}, {"B", qh::Value::Three(7, 8, 9)}, {"C", qh::Value::Three(7, 8, 9)}};
    for (const auto& [phone, value] : keyed) {
        ASSERT_EQ(stream(phone, AEGP_LayerStream_ORIENTATION).numKeyframes(), 1) << phone;
        EXPECT_EQ(stream(phone, AEGP_LayerStream_ORIENTATION).keyframes()[0].value, value) << phone;
        EXPECT_FALSE(stream(phone, AEGP_LayerStream_ZOOM).animated()) << phone;  // no lens settings yet
    }
    ASSERT_EQ(keyFrames("A", AEGP_LayerStream_POSITION), Keys{0});
    EXPECT_EQ(stream("A", AEGP_LayerStream_POSITION).keyframes()[0].value.v[0], 970);
    EXPECT_EQ(frameNow(), 1);
    // One key only: later motion is shown live, not recorded, and goes with the phone.
    EXPECT_FALSE(g_recordState);
    moveAndWait(a, {4, 5, 6, 10, 0, 0});
    pass(2);
    disconnect(a, 2);
    pass();
    EXPECT_EQ(keyFrames("A", AEGP_LayerStream_ORIENTATION), Keys{0});
}

TEST_F(RigTest, ContinuousRecordingKeysOneFramePerPassWithMotionAndTheStoredLens) {
    Phone& a = connect("127.0.0.2", "?deviceName=A", "A", 1);
    record("start");
    EXPECT_TRUE(g_recordState);
    // Lens settings arriving while recording are stored, not shown live, and keyed with each frame.
    post("/camera", R"({"zoom":500,"focusDistance":600,"aperture":7,"blurLevel":50,"dof":true})");
    EXPECT_FALSE(stream("A", AEGP_LayerStream_ZOOM).animated());
    EXPECT_NE(stream("A", AEGP_LayerStream_ZOOM).staticValue().v[0], 500);
    // Two seconds of motion at 30 fps; passes without motion record nothing.
    for (int i = 1; i <= 60; ++i) {
        moveAndWait(a, {0, static_cast<float>(i), 0, static_cast<float>(i), 0, 0});
        pass(2);
    }
    record("stop");
    EXPECT_FALSE(g_recordState);
    EXPECT_TRUE(log.contains("[Quillo HTTP] POST /record body={\"mode\":\"stop\"}"));
    EXPECT_TRUE(log.contains("[Quillo Record] Continuous recording started at time 0.000"));
    EXPECT_TRUE(log.contains("[Quillo Record] Continuous recording stopped at time 2.033"));
    Keys expected(62);
    for (long f = 0; f < 62; ++f) expected[f] = f;
    EXPECT_EQ(keyFrames("A", AEGP_LayerStream_ORIENTATION), expected);
    EXPECT_EQ(stream("A", AEGP_LayerStream_ORIENTATION).valueAt(30.0 / 30).v[1], 30);
    EXPECT_EQ(frameNow(), 62);
    // Position and lens from the first frame after the start on.
    expected.erase(expected.begin());
    EXPECT_EQ(keyFrames("A", AEGP_LayerStream_POSITION), expected);
    const double lens[] = {500, 600, 7, 50, 1};  // zoom, focus, aperture, blur, depth of field
    for (size_t i = 0; i < std::size(lens); ++i) {
        const AEGP_LayerStream s = kRigStreams[i + 2];
        EXPECT_EQ(keyFrames("A", s), expected) << "stream " << s;
        EXPECT_EQ(stream("A", s).valueAt(1.0).v[0], lens[i]) << "stream " << s;
    }
}

TEST_F(RigTest, APreviewKeyThatWasTheOnlyKeyBecomesReal) {
    Phone& a = connect("127.0.0.2", "?deviceName=A", "A", 1);
    turn(a, 1);
    qh::Stream* orient = layer("A")->stream(AEGP_LayerStream_ORIENTATION);
    orient->setKeyframe(5.0, qh::Value::Three(0, 0, 0));  // the user's key makes the stream animated
    turn(a, 4);  // a preview key at 0
    orient->deleteKeyframe(1);  // the user removes their key: the preview key stands alone
    ASSERT_EQ(keyFrames("A", AEGP_LayerStream_ORIENTATION), Keys{0});
    record("single");
    turn(a, 6);  // a new preview key at frame 1; the recorded key at 0 stays
    EXPECT_EQ(keyFrames("A", AEGP_LayerStream_ORIENTATION), (Keys{0, 1}));
    EXPECT_EQ(orient->keyframes()[0].value, qh::Value::Three(0, 4, 0));
}

// A record command waits while no phone is allowed; at the last frame a record stays there and a
// second one overwrites the first.
TEST_F(RigTest, ARecordWaitsForAnAllowedPhoneAndAtTheLastFrameStaysThere) {
    Phone& a = connect("127.0.0.2", "?deviceName=A", "A", 1);
    comp->currentTime = comp->duration - 1.0 / 30;
    turn(a, 5);
    allow("A", false);
    record("single");
    pass(2);
    EXPECT_FALSE(stream("A", AEGP_LayerStream_ORIENTATION).animated());
    allow("A", true);
    pass();
    EXPECT_EQ(keyFrames("A", AEGP_LayerStream_ORIENTATION), Keys{299});
    turn(a, 7);
    record("single");
    ASSERT_EQ(keyFrames("A", AEGP_LayerStream_ORIENTATION), Keys{299});
    EXPECT_EQ(stream("A", AEGP_LayerStream_ORIENTATION).keyframes()[0].value.v[1], 7);
    EXPECT_EQ(frameNow(), 299);
}

TEST_F(RigTest, AKeyRecordedIntoAnotherPhonesLiveKeyIsNeverTakenAwayAsLive) {
    // P1 shows its pose live on Camera 1 at 1 s; then, while P1 is blocked or gone, P3 records
    // into that key; when P1 moves again, the recorded key stays as P3 recorded it.
    for (bool p1Leaves : {false, true}) {
        SCOPED_TRACE(p1Leaves ? "P1 leaves and comes back" : "P1 blocked and allowed again");
        qh::Stream* orient = layer("Camera 1")->stream(AEGP_LayerStream_ORIENTATION);
        while (orient->numKeyframes() > 0) orient->deleteKeyframe(0);
        orient->setKeyframe(0, qh::Value::Three(0, 0, 0));
        orient->setKeyframe(5, qh::Value::Three(0, 50, 0));
        comp->currentTime = 1.0;
        Phone* p1 = &connect("127.0.0.2", "?deviceName=P1&cameraName=Camera%201", "P1", 1);
        turn(*p1, 11);
        ASSERT_EQ(keyFrames("Camera 1", AEGP_LayerStream_ORIENTATION), (Keys{0, 30, 150}));
        if (p1Leaves) {
            disconnect(*p1, 0);
        } else {
            allow("P1", false);
        }
        Phone& p3 = connect("127.0.0.4", "?deviceName=P3&cameraName=Camera%201", "P3", p1Leaves ? 1 : 2);
        turn(p3, 33);
        record("single");
        ASSERT_EQ(keyFrames("Camera 1", AEGP_LayerStream_ORIENTATION), (Keys{0, 30, 150}));
        disconnect(p3, p1Leaves ? 0 : 1);
        if (p1Leaves) {
            p1 = &connect("127.0.0.2", "?deviceName=P1&cameraName=Camera%201", "P1", 1);
        } else {
            allow("P1", true);
        }
        turn(*p1, 12);
        EXPECT_EQ(orient->valueAt(1.0), qh::Value::Three(0, 33, 0));
        disconnect(*p1, 0);
        pass();  // the server may drop the phone after a pass read its list: the next one ends its session
        EXPECT_EQ(keyFrames("Camera 1", AEGP_LayerStream_ORIENTATION), (Keys{0, 30, 150}));
    }
}

// Recording into the user's animation on Camera 1 at 2 s: the lens keys shown live there become
// the recorded ones and the user's keys stay; the phone's live key at 1 s is no key of the record's,
// so it stays live and goes when the phone moves.
TEST_F(RigTest, RecordingIntoTheUsersAnimationKeepsTheirKeysAndTakesOnlyLiveKeysAtItsTime) {
    animate("Camera 1");
    comp->currentTime = 1.0;
    Phone& a = connect("127.0.0.2", "?deviceName=A&cameraName=Camera%201", "A", 1);
    turn(a, 3);  // shown live at 1 s
    ASSERT_EQ(keyFrames("Camera 1", AEGP_LayerStream_ORIENTATION), (Keys{0, 30, 150}));
    comp->currentTime = 2.0;  // the user moves the time, then the lens and the record come
    post("/camera", R"({"zoom":1500,"focusDistance":900,"aperture":9,"blurLevel":70,"dof":true})");
    // The host cannot count the first stream's keys: that stream's keys are kept all the same.
    qh::SuiteFaults::instance().arm({"GetStreamNumKFs", 1, A_Err_GENERIC});
    record("single");
    EXPECT_EQ(qh::SuiteFaults::instance().injected("GetStreamNumKFs"), 1);
    qh::SuiteFaults::instance().clear();
    for (AEGP_LayerStream s : std::span(kRigStreams).subspan(2))
        EXPECT_EQ(keyFrames("Camera 1", s), (Keys{0, 60, 150})) << "stream " << s;
    EXPECT_EQ(stream("Camera 1", AEGP_LayerStream_ZOOM).valueAt(2.0), qh::Value::One(1500));
    EXPECT_EQ(stream("Camera 1", AEGP_LayerStream_ORIENTATION).valueAt(2.0), qh::Value::Three(0, 3, 0));
    turn(a, 4);  // shown live at the next frame; the live key at 1 s goes, the recorded one stays
    EXPECT_EQ(keyFrames("Camera 1", AEGP_LayerStream_ORIENTATION), (Keys{0, 60, 61, 150}));
}
