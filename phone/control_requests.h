// The phone's short control requests and the checks of their answers: POST /register, POST
// /camera (lens settings), POST /timeline, POST /record, GET /info, GET /cameras, GET /timeline.
// Command-line texts ("zoom=1200,dof=true", "seek:2.5", "single", "cameras") are parsed here
// into actions. Request bodies are compact JSON in which every "/" is written "\/" (equal in
// JSON), so no name can put a text such as "GET /info" into a request the server routes by
// substring.
#pragma once

#include "phone/failure.h"
#include "phone/http_client.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qlophone {

struct LensAction {
    std::optional<double> zoom, focusDistance, aperture, blurLevel;
    std::optional<bool> dof;
};

struct TimelineAction {
    std::string action;         // seek, play, pause, stepForward, stepBack, goToStart, goToEnd
    std::optional<double> time; // seek only
};

struct RecordAction {
    std::string mode;  // single, start, stop
};

struct GetAction {
    std::string what;  // info, cameras, timeline
};

using ControlAction = std::variant<GetAction, LensAction, TimelineAction, RecordAction>;

// Parsers of the command-line forms; empty with `error` on a bad text.
std::optional<LensAction> ParseLensArgument(std::string_view text, std::string& error);
std::optional<TimelineAction> ParseTimelineArgument(std::string_view text, std::string& error);
std::optional<RecordAction> ParseRecordArgument(std::string_view text, std::string& error);
std::optional<GetAction> ParseGetArgument(std::string_view text, std::string& error);

// Compact JSON with "/" escaped as "\/".
std::string RouteSafeJson(const std::string& compactJson);

HttpRequest RegisterRequest(const std::string& deviceName, const std::string& cameraName);
HttpRequest InfoRequest();
// The request for an action; lens settings carry the phone's deviceName.
HttpRequest ActionRequest(const ControlAction& action, const std::string& deviceName);

// What the server said to GET /info.
struct InfoAnswer {
    std::string version;
    uint16_t port = 0;
    uint16_t controlPort = 0;  // 0: no motion receiver running
    int64_t clients = 0;
};

// Answer checks: status 200 and the body each endpoint gives. Failure kind Protocol otherwise.
Failure CheckRegisterAnswer(const HttpResponse& response);
Failure CheckOkAnswer(const HttpResponse& response);
Failure CheckInfoAnswer(const HttpResponse& response, InfoAnswer* parsed = nullptr);
Failure CheckCamerasAnswer(const HttpResponse& response, std::vector<std::string>* names = nullptr);
Failure CheckTimelineAnswer(const HttpResponse& response);
// The check that belongs to `request` (by method and path).
Failure CheckAnswerFor(const HttpRequest& request, const HttpResponse& response);

}  // namespace qlophone
