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

// A command line's control actions, in both spellings and the timeline shortcuts, become these
// requests in command-line order; lens settings carry the phone's name.
TEST(ControlArguments, BecomeRequestsInCommandLineOrder) {
    const ParsedOptions parsed = ParseOptions(
        {"--lens", "zoom=1200.5,focusDistance=800,aperture=5.6,blurLevel=100,dof=true", "--record", "start",
         "--get", "cameras", "--get=info", "--timeline=seek:2.5", "--seek", "1", "--play", "--step", "back",
         "--go-to=end", "--pause", "--step", "forward", "--go-to", "start", "--timeline", "play"});
    ASSERT_FALSE(parsed.failure) << parsed.failure.message;
    std::vector<std::pair<std::string, std::string>> expected = {
        {"POST /camera", R"({"zoom":1200.5,"focusDistance":800.0,"aperture":5.6,"blurLevel":100.0,"dof":true,)"
                         R"("deviceName":"Ann's"})"},
        {"POST /record", R"({"mode":"start"})"}, {"GET /cameras", ""}, {"GET /info", ""},
        {"POST /timeline", R"({"action":"seek","time":2.5})"},
        {"POST /timeline", R"({"action":"seek","time":1})"},
    };
    for (const char* action : {"play", "stepBack", "goToEnd", "pause", "stepForward", "goToStart", "play"})
        expected.emplace_back("POST /timeline", R"({"action":")" + std::string(action) + R"("})");
    ASSERT_EQ(parsed.options.actions.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const HttpRequest r = ActionRequest(parsed.options.actions[i], "Ann's");
        EXPECT_EQ(r.method + " " + r.path, expected[i].first) << i;
        if (!expected[i].second.empty()) EXPECT_EQ(json::parse(r.body), json::parse(expected[i].second)) << i;
        else EXPECT_TRUE(r.body.empty()) << i;
    }
}

// The server routes by searching the whole request for texts like "POST /camera"; every route
// text holds " /". Names carry none of them into the body or the stream's request line.
TEST(ControlRequests, NamesCarryNoRouteTextsYetDecodeToThemselves) {
    const HttpRequest r = RegisterRequest("POST /camera", "GET /cameras \"x\"");
    EXPECT_EQ(r.body.find(" /"), std::string::npos) << r.body;
    EXPECT_EQ(json::parse(r.body), json({{"deviceName", "POST /camera"}, {"cameraName", "GET /cameras \"x\""}}));
    EXPECT_EQ(BuildStreamPath("GET /info", "POST /camera"),
              "/stream?deviceName=GET%20%2Finfo&cameraName=POST%20%2Fcamera");
    // Every byte outside the unreserved set is escaped, also bytes above 0x7F and zero.
    EXPECT_EQ(PercentEncode(std::string("Az09-._~&=?#+%\xF0\0", 16)), "Az09-._~%26%3D%3F%23%2B%25%F0%00");
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
    EXPECT_EQ((std::vector<int64_t>{info.port, info.controlPort, info.clients}),
              (std::vector<int64_t>{8254, 9, 2}));
    std::vector<std::string> names;
    EXPECT_FALSE(CheckCamerasAnswer(Answer(200, R"({"cameras":["Camera 1","Phone \"A\""]})"), &names));
    EXPECT_EQ(names, (std::vector<std::string>{"Camera 1", "Phone \"A\""}));
}

}  // namespace
}  // namespace qlophone
