// The user's project after a phone session, for every way the session ends or changes: it holds
// what the user made plus what was recorded, nothing else. A phone looks through the user's
// animated camera and shows its pose and lens live on it; then the session ends. Afterwards the
// saved project equals the one before the session (apart from the phones' own camera layers),
// also when the host refused to take the live keyframes away or to put the camera switches
// back while the session ended: then they are given back as soon as the host allows it.
#include <functional>

#include "hostsim/model/project.h"
#include "reliability_fixture.h"

namespace {

// Every stream the phones write into, live or recorded.
constexpr AEGP_LayerStream kRigStreams[] = {
    AEGP_LayerStream_ORIENTATION,  AEGP_LayerStream_POSITION,    AEGP_LayerStream_ZOOM,
    AEGP_LayerStream_FOCUS_DISTANCE, AEGP_LayerStream_APERTURE,  AEGP_LayerStream_BLUR_LEVEL,
    AEGP_LayerStream_DEPTH_OF_FIELD};

// The saved project without the phones' own camera layers, the active item and the viewer (the
// user's choices while the session runs) and the compositions' time.
nlohmann::json Saved(const std::vector<std::string>& phoneLayers = {"A", "B"}) {
    nlohmann::json j = nlohmann::json::parse(qh::SerializeProject(qh::CurrentProject()));
    for (auto& item : j["items"]) {
        for (const char* key : {"currentTime", "active", "viewerRank"}) item.erase(key);
        if (!item.contains("layers")) continue;
        auto& layers = item["layers"];
        for (auto it = layers.begin(); it != layers.end();) {
            const bool phone = std::ranges::count(phoneLayers, (*it)["name"].get<std::string>()) > 0;
            it = phone ? layers.erase(it) : it + 1;
        }
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
        qh::Layer& camera = *layer("Camera 1");
        for (AEGP_LayerStream s : kRigStreams) {
            qh::Stream& stream = *camera.stream(s);
            const qh::Value start = stream.valueAt(0);
            qh::Value end = start;
            end.v[0] += 1;
            stream.setKeyframe(0, start);
            stream.setKeyframe(5, end);
        }
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

    // The host refuses to delete keys and to set switches.
    void refuse() {
        auto& faults = qh::SuiteFaults::instance();
        for (const char* name : {"DeleteKeyframe", "SetLayerFlag"}) faults.arm({name, 0, A_Err_GENERIC});
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
struct SessionEnd {
    const char* name;
    std::function<void(SessionEnds&, Phone&)> end;
    std::function<void(SessionEnds&)> giveBack;
};

class SessionEnds : public ProjectIntegrityTest, public ::testing::WithParamInterface<SessionEnd> {
public:
    void leave(Phone& a) { disconnect(a, 0); }
    void passes() { pass(3); }
    void replaceByB() { connect("127.0.0.2", "?deviceName=B", "B", 1); }  // same address: A is evicted
    void hidePanel() { app->chooseMenuCommand(kQLOPanelName); }
    void showPanel() {
        phones.clear();
        startServices();
    }
    void unload() { app->unloadPlugins(); }
    void select(const char* item) { qh::CurrentProject().selectItem(item); }
    // The phone seeks to 2.5 s and shows its next pose there.
    void seekAndMove(Phone& a) {
        control(qlotest::Post("/timeline", R"({"action":"seek","time":2.5})"), "127.0.0.2");
        pass();
        moveAndWait(a, {11, 21, 31, 4, 5, 6});
        pass();
    }
    void chooseCamera2() {
        control(qlotest::Post("/register", R"({"deviceName":"A","cameraName":"Camera 2"})"), "127.0.0.2");
        pass(2);
    }
};

class SessionEndTest : public SessionEnds {};
class RefusedSessionEndTest : public SessionEnds {};

TEST_P(SessionEndTest, LeavesTheProjectAsTheUserMadeIt) {
    Phone& a = startSession();
    GetParam().end(*this, a);
    passes();
    EXPECT_EQ(Saved(), before);
}

TEST_P(RefusedSessionEndTest, GivesBackWhatTheHostRefusedAsSoonAsItAllowsIt) {
    Phone& a = startSession();
    refuse();
    GetParam().end(*this, a);
    passes();
    EXPECT_GT(qh::SuiteFaults::instance().injectedTotal(), 0);
    EXPECT_NE(Saved(), before);  // live keys and switches still there, and remembered
    qh::SuiteFaults::instance().clear();
    GetParam().giveBack(*this);
    EXPECT_EQ(Saved(), before);
}

namespace {

const SessionEnd kLeaves{"PhoneLeaves", [](SessionEnds& t, Phone& a) { t.leave(a); },
                         [](SessionEnds& t) { t.passes(); }};
const SessionEnd kLeavesThenUnload{"PhoneLeavesThenPluginUnloads", [](SessionEnds& t, Phone& a) { t.leave(a); },
                                   [](SessionEnds& t) { t.unload(); }};
const SessionEnd kReplaced{"PhoneReplacedByAnotherFromItsAddress", [](SessionEnds& t, Phone&) { t.replaceByB(); },
                           [](SessionEnds& t) { t.passes(); }};
const SessionEnd kPanelHidden{"PanelHidden", [](SessionEnds& t, Phone&) { t.hidePanel(); },
                              [](SessionEnds& t) { t.showPanel(); }};
const SessionEnd kUnload{"PluginUnloads", [](SessionEnds& t, Phone&) { t.unload(); }, nullptr};
const SessionEnd kOtherComp{"AnotherCompositionActive", [](SessionEnds& t, Phone&) { t.select("Other"); },
                            [](SessionEnds& t) { t.passes(); }};
const SessionEnd kFootage{"FootageActive", [](SessionEnds& t, Phone&) { t.select("Quillo Logo.png"); },
                          [](SessionEnds& t) { t.passes(); }};
const SessionEnd kFolder{"FolderActive", [](SessionEnds& t, Phone&) { t.select("Solids"); },
                         [](SessionEnds& t) { t.passes(); }};
const SessionEnd kCameraChoice{"CameraChoiceChangesThenPhoneLeaves",
                               [](SessionEnds& t, Phone& a) {
                                   t.chooseCamera2();
                                   t.leave(a);
                               },
                               [](SessionEnds& t) { t.passes(); }};

const SessionEnd kTimeChanges{"TimeChangesThenPhoneLeaves",
                              [](SessionEnds& t, Phone& a) {
                                  t.seekAndMove(a);
                                  t.leave(a);
                              },
                              [](SessionEnds& t) { t.passes(); }};

std::string Name(const ::testing::TestParamInfo<SessionEnd>& info) {
    return info.param.name;
}

}  // namespace

INSTANTIATE_TEST_SUITE_P(EveryWay, SessionEndTest,
                         ::testing::Values(kLeaves, kReplaced, kPanelHidden, kUnload, kOtherComp, kFootage, kFolder,
                                           kCameraChoice, kTimeChanges),
                         Name);
// Nothing runs after an unload, so what the host refuses then stays; what it refused before is
// given back by the unload.
INSTANTIATE_TEST_SUITE_P(EveryWay, RefusedSessionEndTest,
                         ::testing::Values(kLeaves, kLeavesThenUnload, kReplaced, kPanelHidden, kOtherComp, kFootage,
                                           kFolder, kCameraChoice, kTimeChanges),
                         Name);
