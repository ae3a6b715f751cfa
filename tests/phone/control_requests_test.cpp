// Command-line forms of the control actions, the JSON bodies they become, and the answer checks.
#include "phone/control_requests.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qlophone {
namespace {

using nlohmann::json;

HttpResponse Answer(int status, std::string body) {
    HttpResponse r;
    r.head.version = "HTTP/1.1";
    r.head.status = status;
    r.head.reason = status == 200 ? "OK" : "Not Found";
    r.body = std::move(body);
    return r;
}

TEST(ControlArguments, LensArgumentBecomesCameraPostWithDeviceName) {
    std::string error;
    auto lens = ParseLensArgument("zoom=1200.5,focusDistance=800,aperture=5.6,blurLevel=100,dof=true", error);
    ASSERT_TRUE(lens) << error;
    const HttpRequest r = ActionRequest(*lens, "Ann's Phone");
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.path, "/camera");
    const json body = json::parse(r.body);
    EXPECT_EQ(body, json::parse(R"({"zoom":1200.5,"focusDistance":800.0,"aperture":5.6,"blurLevel":100.0,
                                   "dof":true,"deviceName":"Ann's Phone"})"));

    auto onlyDof = ParseLensArgument("dof=off", error);
    ASSERT_TRUE(onlyDof);
    EXPECT_EQ(json::parse(ActionRequest(*onlyDof, "p").body), json::parse(R"({"dof":false,"deviceName":"p"})"));
}

TEST(ControlArguments, RejectsBadLensTimelineRecordAndGetTexts) {
    std::string error;
    for (const char* bad : {"", "zoom", "zoom=", "zoom=abc", "zoom=1,zoom=2", "dof=maybe", "fov=3", "zoom=inf",
                            "zoom=1,,dof=true"}) {
        error.clear();
        EXPECT_FALSE(ParseLensArgument(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    for (const char* bad : {"seek", "seek:", "seek:abc", "Play", "rewind", ""}) EXPECT_FALSE(ParseTimelineArgument(bad, error)) << bad;
    for (const char* bad : {"", "Single", "pause"}) EXPECT_FALSE(ParseRecordArgument(bad, error)) << bad;
    for (const char* bad : {"", "stream", "/info"}) EXPECT_FALSE(ParseGetArgument(bad, error)) << bad;
}

TEST(ControlArguments, TimelineRecordAndGetRequests) {
    std::string error;
    auto seek = ParseTimelineArgument("seek:2.5", error);
    ASSERT_TRUE(seek);
    HttpRequest r = ActionRequest(*seek, "p");
    EXPECT_EQ(r.path, "/timeline");
    EXPECT_EQ(json::parse(r.body), json::parse(R"({"action":"seek","time":2.5})"));
    for (const char* plain : {"play", "pause", "stepForward", "stepBack", "goToStart", "goToEnd"}) {
        auto a = ParseTimelineArgument(plain, error);
        ASSERT_TRUE(a) << plain;
        EXPECT_EQ(json::parse(ActionRequest(*a, "p").body), json({{"action", plain}}));
    }
    auto record = ParseRecordArgument("start", error);
    ASSERT_TRUE(record);
    r = ActionRequest(*record, "p");
    EXPECT_EQ(r.path, "/record");
    EXPECT_EQ(json::parse(r.body), json::parse(R"({"mode":"start"})"));
    auto get = ParseGetArgument("cameras", error);
    ASSERT_TRUE(get);
    r = ActionRequest(*get, "p");
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.path, "/cameras");
    EXPECT_TRUE(r.body.empty());
}

TEST(ControlRequests, BodiesCarryNoRouteTextsYetDecodeToTheNames) {
    // The server routes by searching the whole request for texts like "POST /camera".
    const HttpRequest r = RegisterRequest("POST /camera", "GET /cameras \"x\"");
    for (const char* route : {"POST /camera", "POST /register", "GET /cameras", "GET /timeline", "POST /timeline",
                              "POST /record", "GET /info"}) {
        EXPECT_EQ(r.body.find(route), std::string::npos) << route;
    }
    const json body = json::parse(r.body);
    EXPECT_EQ(body, json({{"deviceName", "POST /camera"}, {"cameraName", "GET /cameras \"x\""}}));
    EXPECT_EQ(r.path, "/register");
}

TEST(AnswerChecks, AcceptTheServersAnswers) {
    EXPECT_FALSE(CheckRegisterAnswer(Answer(200, R"({"ok":true})")));
    EXPECT_FALSE(CheckOkAnswer(Answer(200, "OK")));
    InfoAnswer info;
    EXPECT_FALSE(CheckInfoAnswer(
        Answer(200, R"({"service":"quillo","version":"4.0","port":8254,"controlPort":0,"clients":2})"), &info));
    EXPECT_EQ(info.port, 8254);
    EXPECT_EQ(info.controlPort, 0);
    EXPECT_EQ(info.clients, 2);
    std::vector<std::string> names;
    EXPECT_FALSE(CheckCamerasAnswer(Answer(200, R"({"cameras":["Camera 1","Phone \"A\""]})"), &names));
    EXPECT_EQ(names, (std::vector<std::string>{"Camera 1", "Phone \"A\""}));
    EXPECT_FALSE(CheckCamerasAnswer(Answer(200, R"({"cameras":[]})")));
    EXPECT_FALSE(CheckTimelineAnswer(
        Answer(200, R"({"currentTime":0.000000,"duration":10.000000,"fps":30.00,"playing":false})")));
}

TEST(AnswerChecks, RefuseWrongStatusOrBodies) {
    const std::vector<std::pair<const char*, Failure>> cases = {
        {"register 404", CheckRegisterAnswer(Answer(404, R"({"ok":true})"))},
        {"register not ok", CheckRegisterAnswer(Answer(200, R"({"ok":false})"))},
        {"register not JSON", CheckRegisterAnswer(Answer(200, "OK"))},
        {"ok body differs", CheckOkAnswer(Answer(200, "OK\n"))},
        {"ok status differs", CheckOkAnswer(Answer(500, "OK"))},
        {"info wrong service", CheckInfoAnswer(Answer(200, R"({"service":"other","port":1,"controlPort":0,"clients":0})"))},
        {"info port out of range", CheckInfoAnswer(Answer(200, R"({"service":"quillo","port":70000,"controlPort":0,"clients":0})"))},
        {"info negative clients", CheckInfoAnswer(Answer(200, R"({"service":"quillo","port":1,"controlPort":0,"clients":-1})"))},
        {"info text port", CheckInfoAnswer(Answer(200, R"({"service":"quillo","port":"8254","controlPort":0,"clients":0})"))},
        {"cameras not list", CheckCamerasAnswer(Answer(200, R"({"cameras":"Camera 1"})"))},
        {"cameras number", CheckCamerasAnswer(Answer(200, R"({"cameras":[1]})"))},
        {"timeline top-level array", CheckTimelineAnswer(Answer(200, "[1,2]"))},
        {"timeline playing text", CheckTimelineAnswer(Answer(200, R"({"currentTime":0,"duration":0,"fps":30,"playing":"no"})"))},
        {"timeline missing fps", CheckTimelineAnswer(Answer(200, R"({"currentTime":0,"duration":0,"playing":true})"))},
    };
    for (const auto& [what, failure] : cases) {
        EXPECT_EQ(failure.kind, FailureKind::Protocol) << what;
        EXPECT_FALSE(failure.message.empty()) << what;
    }
    const Failure camera = CheckAnswerFor(HttpRequest{"POST", "/camera", "{}", "application/json"}, Answer(200, "NO"));
    EXPECT_EQ(camera.kind, FailureKind::Protocol);
    EXPECT_EQ(camera.message.rfind("POST /camera:", 0), 0u) << camera.message;
}

}  // namespace
}  // namespace qlophone
