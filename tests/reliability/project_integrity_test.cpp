// The user's project after a phone session, for every way the session ends or changes: it holds
// what the user made plus what was recorded, nothing else. A phone looks through the user's
// animated camera and shows its pose and lens live on it; then the session ends. Afterwards the
// saved project equals the one before the session (apart from the phones' own camera layers),
// also when the host refused to take the live keyframes away or to put the camera switches
// back while the session ended: then they are given back as soon as the host allows it.
#include <nlohmann/json.hpp>

#include <functional>

#include "hostsim/model/project.h"
#include "reliability_fixture.h"

namespace {

// The saved project without the phones' own camera layers, the active item and the viewer (the
// user's choices while the session runs) and the compositions' time.
nlohmann::json Saved() {
    nlohmann::json j = nlohmann::json::parse(qh::SerializeProject(qh::CurrentProject()));
    for (auto& item : j["items"]) {
        for (const char* key : {"currentTime", "active", "viewerRank"}) item.erase(key);
        if (!item.contains("layers")) continue;
        auto& layers = item["layers"];
        for (auto it = layers.begin(); it != layers.end();)
            it = (*it)["name"] == "A" || (*it)["name"] == "B" ? layers.erase(it) : it + 1;
    }
    return j;
}

}  // namespace

class ProjectIntegrityTest : public ReliabilityTest {
protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        // The user's camera, animated on every stream a phone writes; a second camera above it,
        // which the phone's renders switch off; another composition, a folder and footage.
        animate("Camera 1");
        comp->addCamera("Camera 2", A_FloatPoint{960, 540});
        qh::CurrentProject().addComposition("Other", 640, 360, 25, 5);
        comp->currentTime = 1.3;
        before = Saved();
    }

    // Phone A looks through Camera 1 and shows its pose and lens live: a live key at 1.3 s on
    // each of the seven streams, between the user's keys; Camera 2 is switched off.
    Phone& startSession() {
        Phone& a = connect("127.0.0.2", "?deviceName=A&cameraName=Camera%201", "A", 1);
        moveAndWait(a, {10, 20, 30, 4, 5, 6});
        control(qlotest::Post("/camera", R"({"zoom":1500,"focusDistance":900,"aperture":9,"blurLevel":70,"dof":true,"deviceName":"A"})"),
                "127.0.0.2");
        pass(2);
        for (AEGP_LayerStream s : kRigStreams) EXPECT_EQ(layer("Camera 1")->stream(s)->numKeyframes(), 3) << s;
        EXPECT_FALSE(on("Camera 2"));
        EXPECT_NE(Saved(), before);
        return a;
    }

    nlohmann::json before;
};

// A switch the plug-in cannot read is not changed (it could not be put back as the user left
// it): renders wait until it can be read.
TEST_F(ProjectIntegrityTest, ACameraSwitchThatCannotBeReadIsLeftAsTheUserMadeIt) {
    layer("Camera 2")->flags &= ~AEGP_LayerFlag_VIDEO_ACTIVE;
    before = Saved();
    qh::SuiteFaults::instance().arm({"GetLayerFlags", 0, A_Err_GENERIC});
    Phone& a = connect("127.0.0.2", "?deviceName=A&cameraName=Camera%201", "A", 1);
    pass(3);
    EXPECT_GT(qh::SuiteFaults::instance().injected("GetLayerFlags"), 0);
    qh::SuiteFaults::instance().clear();
    const size_t frames = a.count();
    pass(3);
    EXPECT_TRUE(WaitFor([&] { return a.count() > frames; })) << "renders go on once the switch is read";
    disconnect(a, 0);
    pass(3);
    EXPECT_EQ(Saved(), before);
}

// One way a session ends, and what lets the plug-in give back what the host refused meanwhile.
class SessionEnds;
using SessionStep = std::function<void(SessionEnds&, Phone&)>;
struct SessionEnd {
    const char* name;
    SessionStep end, giveBack;
};

class SessionEnds : public ProjectIntegrityTest, public ::testing::WithParamInterface<SessionEnd> {
public:
    void leave(Phone& a) { disconnect(a, 0); }
    void passes(Phone&) { pass(3); }
    void replaceByB(Phone&) { connect("127.0.0.2", "?deviceName=B", "B", 1); }  // same address: A is evicted
    void hidePanel(Phone&) { app->chooseMenuCommand(kQLOPanelName); }
    void showPanel(Phone&) {
        phones.clear();
        startServices();
    }
    void unload(Phone&) { app->unloadPlugins(); }
    void chooseCamera2ThenLeave(Phone& a) {
        control(qlotest::Post("/register", R"({"deviceName":"A","cameraName":"Camera 2"})"), "127.0.0.2");
        pass(2);
        leave(a);
    }
    // The phone seeks to 2.5 s, shows its next pose there, and leaves.
    void seekAndMoveThenLeave(Phone& a) {
        control(qlotest::Post("/timeline", R"({"action":"seek","time":2.5})"), "127.0.0.2");
        pass();
        moveAndWait(a, {11, 21, 31, 4, 5, 6});
        pass();
        leave(a);
    }
};

class SessionEndTest : public SessionEnds {};
class RefusedSessionEndTest : public SessionEnds {};

TEST_P(SessionEndTest, LeavesTheProjectAsTheUserMadeIt) {
    Phone& a = startSession();
    GetParam().end(*this, a);
    pass(3);
    EXPECT_EQ(Saved(), before);
}

TEST_P(RefusedSessionEndTest, GivesBackWhatTheHostRefusedAsSoonAsItAllowsIt) {
    Phone& a = startSession();
    // The host refuses to delete keys and to set switches.
    for (const char* name : {"DeleteKeyframe", "SetLayerFlag"})
        qh::SuiteFaults::instance().arm({name, 0, A_Err_GENERIC});
    GetParam().end(*this, a);
    pass(3);
    EXPECT_GT(qh::SuiteFaults::instance().injectedTotal(), 0);
    EXPECT_NE(Saved(), before);  // live keys and switches still there, and remembered
    qh::SuiteFaults::instance().clear();
    GetParam().giveBack(*this, a);  // the phone may be gone: no give-back step uses it
    EXPECT_EQ(Saved(), before);
}

namespace {

SessionStep Select(const char* item) {
    return [item](SessionEnds&, Phone&) { qh::CurrentProject().selectItem(item); };
}

using S = SessionEnds;
const SessionEnd kLeaves{"PhoneLeaves", &S::leave, &S::passes};
const SessionEnd kLeavesThenUnload{"PhoneLeavesThenPluginUnloads", &S::leave, &S::unload};
const SessionEnd kReplaced{"PhoneReplacedByAnotherFromItsAddress", &S::replaceByB, &S::passes};
const SessionEnd kPanelHidden{"PanelHidden", &S::hidePanel, &S::showPanel};
const SessionEnd kUnload{"PluginUnloads", &S::unload, nullptr};
const SessionEnd kOtherComp{"AnotherCompositionActive", Select("Other"), &S::passes};
const SessionEnd kFootage{"FootageActive", Select("Quillo Logo.png"), &S::passes};
const SessionEnd kCameraChoice{"CameraChoiceChangesThenPhoneLeaves", &S::chooseCamera2ThenLeave, &S::passes};
const SessionEnd kTimeChanges{"TimeChangesThenPhoneLeaves", &S::seekAndMoveThenLeave, &S::passes};

std::string Name(const ::testing::TestParamInfo<SessionEnd>& info) { return info.param.name; }

}  // namespace

INSTANTIATE_TEST_SUITE_P(EveryWay, SessionEndTest,
                         ::testing::Values(kLeaves, kReplaced, kPanelHidden, kUnload, kOtherComp, kFootage,
                                           kCameraChoice, kTimeChanges),
                         Name);
// Nothing runs after an unload, so what the host refuses then stays; what it refused before is
// given back by the unload.
INSTANTIATE_TEST_SUITE_P(EveryWay, RefusedSessionEndTest,
                         ::testing::Values(kLeaves, kLeavesThenUnload, kReplaced, kPanelHidden, kOtherComp, kFootage,
                                           kCameraChoice, kTimeChanges),
                         Name);
