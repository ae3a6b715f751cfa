#include "link/http_request.h"

#include <array>
#include <limits>
#include <utility>

namespace {

constexpr std::array<std::pair<std::string_view, RequestRoute>, 7> kRoutes = {{
    {"POST /camera", RequestRoute::CameraPost},
    {"POST /register", RequestRoute::RegisterPost},
    {"GET /cameras", RequestRoute::CamerasGet},
    {"GET /timeline", RequestRoute::TimelineGet},
    {"POST /timeline", RequestRoute::TimelinePost},
    {"POST /record", RequestRoute::RecordPost},
    {"GET /info", RequestRoute::Info},
}};

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsAtoiBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi's reading of the text at `pos`, saturating instead of overflowing.
int64_t ReadDecimal(std::string_view text, size_t pos) {
    while (pos < text.size() && IsAtoiBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        const int digit = text[pos] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

}  // namespace

RequestRoute RouteRequest(std::string_view request) {
    for (const auto& [text, route] : kRoutes) {
        if (request.find(text) != std::string_view::npos) return route;
    }
    return RequestRoute::Stream;
}

std::string_view FirstLine(std::string_view request) {
    const size_t end = request.find("\r\n");
    return end == std::string_view::npos ? request : request.substr(0, end);
}

std::string DecodeQueryValue(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const char c = raw[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < raw.size() && HexDigitValue(raw[i + 1]) >= 0 &&
                   HexDigitValue(raw[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(raw[i + 1]) * 16 + HexDigitValue(raw[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string QueryParameter(std::string_view firstLine, std::string_view key) {
    const size_t mark = firstLine.find('?');
    if (mark == std::string_view::npos) return std::string();
    const size_t space = firstLine.find(' ', mark);
    const std::string_view query = space == std::string_view::npos
                                       ? firstLine.substr(mark + 1)
                                       : firstLine.substr(mark + 1, space - mark - 1);
    std::string pattern(key);
    pattern += '=';
    size_t at = query.find(pattern);
    while (at != std::string_view::npos && at != 0 && query[at - 1] != '&') {
        at = query.find(pattern, at + 1);
    }
    if (at == std::string_view::npos) return std::string();
    const size_t valueStart = at + pattern.size();
    const size_t valueEnd = query.find('&', valueStart);
    const std::string_view raw = valueEnd == std::string_view::npos
                                     ? query.substr(valueStart)
                                     : query.substr(valueStart, valueEnd - valueStart);
    return DecodeQueryValue(raw);
}

std::string_view BodyStart(std::string_view request) {
    const size_t end = request.find("\r\n\r\n");
    return end == std::string_view::npos ? std::string_view() : request.substr(end + 4);
}

int64_t ExpectedContentLength(std::string_view request) {
    constexpr std::string_view kExact = "Content-Length:";
    constexpr std::string_view kLower = "content-length:";
    size_t at = request.find(kExact);
    if (at != std::string_view::npos) return ReadDecimal(request, at + kExact.size());
    at = request.find(kLower);
    if (at != std::string_view::npos) return ReadDecimal(request, at + kLower.size());
    return 0;
}

std::optional<nlohmann::json> ParseJsonBody(std::string_view body) {
    // No exceptions: a parse error yields a discarded value. Comments are not accepted.
    nlohmann::json value = nlohmann::json::parse(body.begin(), body.end(), nullptr,
                                                 /*allow_exceptions=*/false,
                                                 /*ignore_comments=*/false);
    if (value.is_discarded()) return std::nullopt;
    if (!value.is_object() && !value.is_array()) return std::nullopt;
    return value;
}
