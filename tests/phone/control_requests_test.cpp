// The requests the phone sends: command-line forms of the control actions and the JSON bodies
// they become, names escaped in the stream query, no route text in a request's body or line;
// and the checks of the server's answers.
#include "phone/control_requests.h"
#include "phone/options.h"
#include "phone/percent_encoding.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace qlophone {
namespace {

using nlohmann::json;

HttpResponse Answer(int status, std::string body) {
    HttpResponse r;
    r.head.status = status;
    r.body = std::move(body);
    return r;
}

// The command-line form of an action, as the phone's options read it, and the request it becomes.
TEST(ControlArguments, BecomeRequestsWithTheirJsonBodies) {
    auto request = [](const std::string& option, const std::string& text) {
        const ParsedOptions parsed = ParseOptions({option, text});
        EXPECT_FALSE(parsed.failure) << option << " " << text << ": " << parsed.failure.message;
        return ActionRequest(parsed.options.actions.at(0), "Ann's");
    };
    struct Case {
        const char* option;
        const char* text;
        const char* method;
        const char* path;
        const char* body;
    };
    const Case cases[] = {
        {"--lens", "zoom=1200.5,focusDistance=800,aperture=5.6,blurLevel=100,dof=true", "POST", "/camera",
         R"({"zoom":1200.5,"focusDistance":800.0,"aperture":5.6,"blurLevel":100.0,"dof":true,)"
         R"("deviceName":"Ann's"})"},
        {"--timeline", "seek:2.5", "POST", "/timeline", R"({"action":"seek","time":2.5})"},
        {"--record", "start", "POST", "/record", R"({"mode":"start"})"},
        {"--get", "cameras", "GET", "/cameras", ""},
    };
    for (const Case& c : cases) {
        const HttpRequest r = request(c.option, c.text);
        EXPECT_EQ(r.method, c.method) << c.text;
        EXPECT_EQ(r.path, c.path) << c.text;
        if (*c.body) EXPECT_EQ(json::parse(r.body), json::parse(c.body)) << c.text;
        else EXPECT_TRUE(r.body.empty()) << c.text;
    }
    for (const char* plain : {"play", "pause", "stepForward", "stepBack", "goToStart", "goToEnd"})
        EXPECT_EQ(json::parse(request("--timeline", plain).body), json({{"action", plain}}));
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

// Each answer is checked by the route it answers; a refusal names that route.
TEST(AnswerChecks, AcceptTheServersAnswersAndRefuseOthers) {
    struct Case {
        const char* route;
        int status;
        const char* body;
        bool accepted;
    };
    const Case cases[] = {
        {"POST /register", 200, R"({"ok":true})", true},
        {"POST /register", 404, R"({"ok":true})", false},
        {"POST /camera", 200, "OK", true},
        {"POST /camera", 200, "OK\n", false},
        {"GET /info", 200, R"({"service":"quillo","port":8254,"controlPort":0,"clients":2})", true},
        {"GET /info", 200, R"({"service":"quillo","port":70000,"controlPort":0,"clients":0})", false},
        {"GET /cameras", 200, R"({"cameras":["Camera 1","Phone \"A\""]})", true},
        {"GET /cameras", 200, R"({"cameras":[1]})", false},
        {"GET /timeline", 200, R"({"currentTime":0.000000,"duration":10.0,"fps":30.00,"playing":false})", true},
        {"GET /timeline", 200, R"({"currentTime":0,"duration":0,"playing":true})", false},  // no fps
    };
    for (const Case& c : cases) {
        const std::string route = c.route;
        const size_t space = route.find(' ');
        const HttpRequest request{route.substr(0, space), route.substr(space + 1), "", ""};
        const Failure f = CheckAnswerFor(request, Answer(c.status, c.body));
        EXPECT_EQ(f.kind, c.accepted ? FailureKind::None : FailureKind::Protocol) << route << " " << c.body;
        if (!c.accepted) {
            EXPECT_EQ(f.message.rfind(route + ": ", 0), 0u) << f.message;
        }
    }
    InfoAnswer info;
    EXPECT_FALSE(CheckInfoAnswer(Answer(200, R"({"service":"quillo","port":8254,"controlPort":9,"clients":2})"),
                                 &info));
    EXPECT_EQ(info.port, 8254);
    EXPECT_EQ(info.controlPort, 9);
    EXPECT_EQ(info.clients, 2);
    std::vector<std::string> names;
    EXPECT_FALSE(CheckCamerasAnswer(Answer(200, R"({"cameras":["Camera 1","Phone \"A\""]})"), &names));
    EXPECT_EQ(names, (std::vector<std::string>{"Camera 1", "Phone \"A\""}));
}

}  // namespace
}  // namespace qlophone
