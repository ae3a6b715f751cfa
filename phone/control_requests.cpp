#include "phone/control_requests.h"

#include "phone/number_text.h"

#include <nlohmann/json.hpp>

namespace qlophone {

namespace {

using nlohmann::json;

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

std::optional<bool> ParseBool(std::string_view text) {
    if (text == "true" || text == "1" || text == "on" || text == "yes") return true;
    if (text == "false" || text == "0" || text == "off" || text == "no") return false;
    return std::nullopt;
}

Failure Protocol(const std::string& what, const std::string& message) {
    return {FailureKind::Protocol, what + ": " + message};
}

std::string Shorten(const std::string& body) {
    return body.size() > 200 ? body.substr(0, 200) + "..." : body;
}

// Status 200 and a body that is a JSON object; fills `object`.
Failure ExpectJsonObject(const std::string& what, const HttpResponse& response, json& object) {
    if (response.head.status != 200) return Protocol(what, "answer is \"" + response.head.statusLine() + "\"");
    object = json::parse(response.body, nullptr, false);
    if (object.is_discarded() || !object.is_object()) {
        return Protocol(what, "answer body is not a JSON object: \"" + Shorten(response.body) + "\"");
    }
    return {};
}

bool IsInteger(const json& value) { return value.is_number_integer() || value.is_number_unsigned(); }

}  // namespace

std::optional<LensAction> ParseLensArgument(std::string_view text, std::string& error) {
    LensAction lens;
    if (text.empty()) {
        error = "--lens needs KEY=VALUE pairs, e.g. zoom=1200,dof=true";
        return std::nullopt;
    }
    for (std::string_view item : Split(text, ',')) {
        const size_t eq = item.find('=');
        if (eq == std::string_view::npos) {
            error = "--lens item \"" + std::string(item) + "\" is not KEY=VALUE";
            return std::nullopt;
        }
        const std::string_view key = item.substr(0, eq);
        const std::string_view value = item.substr(eq + 1);
        std::optional<double>* number = key == "zoom"            ? &lens.zoom
                                        : key == "focusDistance" ? &lens.focusDistance
                                        : key == "aperture"      ? &lens.aperture
                                        : key == "blurLevel"     ? &lens.blurLevel
                                                                 : nullptr;
        if (number) {
            if (number->has_value()) {
                error = "--lens names \"" + std::string(key) + "\" twice";
                return std::nullopt;
            }
            *number = ParseFiniteDouble(value);
            if (!*number) {
                error = "--lens " + std::string(key) + " needs a number, not \"" + std::string(value) + "\"";
                return std::nullopt;
            }
        } else if (key == "dof") {
            if (lens.dof) {
                error = "--lens names \"dof\" twice";
                return std::nullopt;
            }
            lens.dof = ParseBool(value);
            if (!lens.dof) {
                error = "--lens dof needs true or false, not \"" + std::string(value) + "\"";
                return std::nullopt;
            }
        } else {
            error = "--lens key \"" + std::string(key) + "\" is not one of zoom, focusDistance, aperture, blurLevel, dof";
            return std::nullopt;
        }
    }
    return lens;
}

std::optional<TimelineAction> ParseTimelineArgument(std::string_view text, std::string& error) {
    static constexpr std::string_view kPlain[] = {"play", "pause", "stepForward", "stepBack", "goToStart", "goToEnd"};
    if (text.starts_with("seek:")) {
        auto time = ParseFiniteDouble(text.substr(5));
        if (!time) {
            error = "--timeline seek needs a time in seconds, e.g. seek:2.5";
            return std::nullopt;
        }
        return TimelineAction{"seek", time};
    }
    for (std::string_view plain : kPlain) {
        if (text == plain) return TimelineAction{std::string(plain), std::nullopt};
    }
    error = "--timeline takes seek:SECONDS, play, pause, stepForward, stepBack, goToStart or goToEnd, not \"" +
            std::string(text) + "\"";
    return std::nullopt;
}

std::optional<RecordAction> ParseRecordArgument(std::string_view text, std::string& error) {
    if (text == "single" || text == "start" || text == "stop") return RecordAction{std::string(text)};
    error = "--record takes single, start or stop, not \"" + std::string(text) + "\"";
    return std::nullopt;
}

std::optional<GetAction> ParseGetArgument(std::string_view text, std::string& error) {
    if (text == "info" || text == "cameras" || text == "timeline") return GetAction{std::string(text)};
    error = "--get takes info, cameras or timeline, not \"" + std::string(text) + "\"";
    return std::nullopt;
}

std::string RouteSafeJson(const std::string& compactJson) {
    std::string out;
    out.reserve(compactJson.size());
    for (char c : compactJson) {
        if (c == '/') out += '\\';
        out += c;
    }
    return out;
}

HttpRequest RegisterRequest(const std::string& deviceName, const std::string& cameraName) {
    json body = {{"deviceName", deviceName}, {"cameraName", cameraName}};
    return {"POST", "/register", RouteSafeJson(body.dump()), "application/json"};
}

HttpRequest InfoRequest() { return {"GET", "/info", "", ""}; }

HttpRequest ActionRequest(const ControlAction& action, const std::string& deviceName) {
    if (const auto* get = std::get_if<GetAction>(&action)) return {"GET", "/" + get->what, "", ""};
    json body = json::object();
    std::string path;
    if (const auto* lens = std::get_if<LensAction>(&action)) {
        path = "/camera";
        if (lens->zoom) body["zoom"] = *lens->zoom;
        if (lens->focusDistance) body["focusDistance"] = *lens->focusDistance;
        if (lens->aperture) body["aperture"] = *lens->aperture;
        if (lens->blurLevel) body["blurLevel"] = *lens->blurLevel;
        if (lens->dof) body["dof"] = *lens->dof;
        body["deviceName"] = deviceName;
    } else if (const auto* timeline = std::get_if<TimelineAction>(&action)) {
        path = "/timeline";
        body["action"] = timeline->action;
        if (timeline->time) body["time"] = *timeline->time;
    } else if (const auto* record = std::get_if<RecordAction>(&action)) {
        path = "/record";
        body["mode"] = record->mode;
    }
    return {"POST", path, RouteSafeJson(body.dump()), "application/json"};
}

Failure CheckRegisterAnswer(const HttpResponse& response) {
    json object;
    if (Failure f = ExpectJsonObject("POST /register", response, object)) return f;
    auto ok = object.find("ok");
    if (ok == object.end() || !ok->is_boolean() || !ok->get<bool>()) {
        return Protocol("POST /register", "answer lacks \"ok\":true: " + Shorten(response.body));
    }
    return {};
}

Failure CheckOkAnswer(const HttpResponse& response) {
    if (response.head.status != 200) return Protocol("control request", "answer is \"" + response.head.statusLine() + "\"");
    if (response.body != "OK") return Protocol("control request", "answer body is \"" + Shorten(response.body) + "\", not \"OK\"");
    return {};
}

Failure CheckInfoAnswer(const HttpResponse& response, InfoAnswer* parsed) {
    json object;
    if (Failure f = ExpectJsonObject("GET /info", response, object)) return f;
    InfoAnswer info;
    const auto service = object.find("service");
    if (service == object.end() || *service != "quillo") return Protocol("GET /info", "\"service\" is not \"quillo\"");
    const auto version = object.find("version");
    if (version != object.end() && version->is_string()) info.version = version->get<std::string>();
    const auto port = object.find("port");
    if (port == object.end() || !IsInteger(*port) || *port < 1 || *port > 65535) {
        return Protocol("GET /info", "\"port\" is not a port number");
    }
    const auto control = object.find("controlPort");
    if (control == object.end() || !IsInteger(*control) || *control < 0 || *control > 65535) {
        return Protocol("GET /info", "\"controlPort\" is not 0 or a port number");
    }
    const auto clients = object.find("clients");
    if (clients == object.end() || !IsInteger(*clients) || *clients < 0) {
        return Protocol("GET /info", "\"clients\" is not a count");
    }
    info.port = port->get<uint16_t>();
    info.controlPort = control->get<uint16_t>();
    info.clients = clients->get<int64_t>();
    if (parsed) *parsed = info;
    return {};
}

Failure CheckCamerasAnswer(const HttpResponse& response, std::vector<std::string>* names) {
    json object;
    if (Failure f = ExpectJsonObject("GET /cameras", response, object)) return f;
    const auto cameras = object.find("cameras");
    if (cameras == object.end() || !cameras->is_array()) return Protocol("GET /cameras", "\"cameras\" is not a list");
    std::vector<std::string> list;
    for (const auto& name : *cameras) {
        if (!name.is_string()) return Protocol("GET /cameras", "a camera name is not a text");
        list.push_back(name.get<std::string>());
    }
    if (names) *names = std::move(list);
    return {};
}

Failure CheckTimelineAnswer(const HttpResponse& response) {
    json object;
    if (Failure f = ExpectJsonObject("GET /timeline", response, object)) return f;
    for (const char* key : {"currentTime", "duration", "fps"}) {
        const auto value = object.find(key);
        if (value == object.end() || !value->is_number()) return Protocol("GET /timeline", std::string("\"") + key + "\" is not a number");
    }
    const auto playing = object.find("playing");
    if (playing == object.end() || !playing->is_boolean()) return Protocol("GET /timeline", "\"playing\" is not true or false");
    return {};
}

Failure CheckAnswerFor(const HttpRequest& request, const HttpResponse& response) {
    if (request.method == "GET") {
        if (request.path == "/info") return CheckInfoAnswer(response);
        if (request.path == "/cameras") return CheckCamerasAnswer(response);
        if (request.path == "/timeline") return CheckTimelineAnswer(response);
    }
    if (request.path == "/register") return CheckRegisterAnswer(response);
    Failure f = CheckOkAnswer(response);
    if (f) f.message = request.method + " " + request.path + f.message.substr(f.message.find(':'));
    return f;
}

}  // namespace qlophone
