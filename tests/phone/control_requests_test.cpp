// The requests the phone sends: command-line forms of the control actions and the JSON bodies
// they become, names escaped in the stream query, no route text in a request's body or line;
// and the checks of the server's answers.
#include "phone/control_requests.h"
#include "phone/percent_encoding.h"

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

ControlAction Parse(const std::string& kind, const std::string& text) {
    std::string error;
    std::optional<ControlAction> a;
    if (kind == "lens") a = ParseLensArgument(text, error);
    if (kind == "timeline") a = ParseTimelineArgument(text, error);
    if (kind == "record") a = ParseRecordArgument(text, error);
    if (kind == "get") a = ParseGetArgument(text, error);
    EXPECT_TRUE(a) << kind << " " << text << ": " << error;
    return a.value_or(GetAction{});
}

TEST(ControlArguments, BecomeRequestsWithTheirJsonBodies) {
    struct Case {
        const char* kind;
        const char* text;
        const char* method;
        const char* path;
        const char* body;
    };
    const Case cases[] = {
        {"lens", "zoom=1200.5,focusDistance=800,aperture=5.6,blurLevel=100,dof=true", "POST", "/camera",
         R"({"zoom":1200.5,"focusDistance":800.0,"aperture":5.6,"blurLevel":100.0,"dof":true,"deviceName":"Ann's"})"},
        {"timeline", "seek:2.5", "POST", "/timeline", R"({"action":"seek","time":2.5})"},
        {"record", "start", "POST", "/record", R"({"mode":"start"})"},
        {"get", "cameras", "GET", "/cameras", ""},
    };
    for (const Case& c : cases) {
        const HttpRequest r = ActionRequest(Parse(c.kind, c.text), "Ann's");
        EXPECT_EQ(r.method, c.method) << c.text;
        EXPECT_EQ(r.path, c.path) << c.text;
        if (*c.body) EXPECT_EQ(json::parse(r.body), json::parse(c.body)) << c.text;
        else EXPECT_TRUE(r.body.empty()) << c.text;
    }
    for (const char* plain : {"play", "pause", "stepForward", "stepBack", "goToStart", "goToEnd"})
        EXPECT_EQ(json::parse(ActionRequest(Parse("timeline", plain), "p").body), json({{"action", plain}}));
}

TEST(ControlArguments, RejectsBadTexts) {
    std::string error;
    for (const char* bad : {"", "zoom=abc", "zoom=1,zoom=2", "dof=maybe", "fov=3", "zoom=inf"}) {
        error.clear();
        EXPECT_FALSE(ParseLensArgument(bad, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    for (const char* bad : {"seek", "seek:abc", "Play"}) EXPECT_FALSE(ParseTimelineArgument(bad, error)) << bad;
    for (const char* bad : {"Single", "pause"}) EXPECT_FALSE(ParseRecordArgument(bad, error)) << bad;
    for (const char* bad : {"stream", "/info"}) EXPECT_FALSE(ParseGetArgument(bad, error)) << bad;
}

// The server routes by searching the whole request for texts like "POST /camera"; every route
// text holds " /". Names carry none of them into the body or the stream's request line.
TEST(ControlRequests, NamesCarryNoRouteTextsYetDecodeToThemselves) {
    const HttpRequest r = RegisterRequest("POST /camera", "GET /cameras \"x\"");
    EXPECT_EQ(r.body.find(" /"), std::string::npos) << r.body;
    EXPECT_EQ(json::parse(r.body), json({{"deviceName", "POST /camera"}, {"cameraName", "GET /cameras \"x\""}}));
    EXPECT_EQ(r.path, "/register");
    EXPECT_EQ(BuildStreamPath("GET /info", "POST /camera"), "/stream?deviceName=GET%20%2Finfo&cameraName=POST%20%2Fcamera");
    EXPECT_EQ(BuildStreamPath("Phone", ""), "/stream?deviceName=Phone&cameraName=");
    // Every byte outside the unreserved set is escaped.
    EXPECT_EQ(PercentEncode("a&b=c?d/e#f+g%h"), "a%26b%3Dc%3Fd%2Fe%23f%2Bg%25h");
    EXPECT_EQ(PercentEncode("\xF0\x9F\x93\xB7"), "%F0%9F%93%B7");  // a 4-byte UTF-8 emoji
    EXPECT_EQ(PercentEncode(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(PercentEncode("Az09-._~"), "Az09-._~");
}

TEST(AnswerChecks, AcceptTheServersAnswersAndRefuseOthers) {
    EXPECT_FALSE(CheckRegisterAnswer(Answer(200, R"({"ok":true})")));
    EXPECT_FALSE(CheckOkAnswer(Answer(200, "OK")));
    InfoAnswer info;
    EXPECT_FALSE(CheckInfoAnswer(
        Answer(200, R"({"service":"quillo","version":"4.0","port":8254,"controlPort":0,"clients":2})"), &info));
    EXPECT_EQ(info.port, 8254);
    EXPECT_EQ(info.clients, 2);
    std::vector<std::string> names;
    EXPECT_FALSE(CheckCamerasAnswer(Answer(200, R"({"cameras":["Camera 1","Phone \"A\""]})"), &names));
    EXPECT_EQ(names, (std::vector<std::string>{"Camera 1", "Phone \"A\""}));
    EXPECT_FALSE(CheckTimelineAnswer(
        Answer(200, R"({"currentTime":0.000000,"duration":10.000000,"fps":30.00,"playing":false})")));

    const std::vector<std::pair<const char*, Failure>> refused = {
        {"register 404", CheckRegisterAnswer(Answer(404, R"({"ok":true})"))},
        {"ok body differs", CheckOkAnswer(Answer(200, "OK\n"))},
        {"info port out of range", CheckInfoAnswer(Answer(200, R"({"service":"quillo","port":70000,"controlPort":0,"clients":0})"))},
        {"cameras number", CheckCamerasAnswer(Answer(200, R"({"cameras":[1]})"))},
        {"timeline missing fps", CheckTimelineAnswer(Answer(200, R"({"currentTime":0,"duration":0,"playing":true})"))},
    };
    for (const auto& [what, failure] : refused) {
        EXPECT_EQ(failure.kind, FailureKind::Protocol) << what;
        EXPECT_FALSE(failure.message.empty()) << what;
    }
    const Failure camera = CheckAnswerFor(HttpRequest{"POST", "/camera", "{}", "application/json"}, Answer(200, "NO"));
    EXPECT_EQ(camera.kind, FailureKind::Protocol);
    EXPECT_EQ(camera.message.rfind("POST /camera:", 0), 0u) << camera.message;
}

}  // namespace
}  // namespace qlophone
