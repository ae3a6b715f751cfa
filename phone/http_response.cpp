#include "phone/http_response.h"

#include "phone/number_text.h"

namespace qlophone {

namespace {

bool IsTokenChar(char c) {
    return c > 32 && c < 127 && c != ':' && c != '(' && c != ')' && c != ',' && c != ';' && c != '"';
}

// A printable excerpt of what arrived, for error messages.
std::string Excerpt(std::string_view s) {
    std::string out;
    for (char c : s.substr(0, 60)) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) out += '?';
        else out += c;
    }
    return out;
}

}  // namespace

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

const std::string* HttpResponseHead::find(std::string_view name) const {
    for (const auto& h : headers) {
        if (EqualsIgnoreCase(h.name, name)) return &h.value;
    }
    return nullptr;
}

std::string HttpResponseHead::statusLine() const {
    std::string line = version + " " + std::to_string(status);
    if (!reason.empty()) line += " " + reason;
    return line;
}

size_t FindHeadEnd(std::string_view data) {
    size_t pos = data.find("\r\n\r\n");
    return pos == std::string_view::npos ? pos : pos + 4;
}

bool ParseResponseHead(std::string_view head, HttpResponseHead& out, std::string& error) {
    out = HttpResponseHead{};
    while (head.size() >= 2 && head.substr(head.size() - 2) == "\r\n") head.remove_suffix(2);
    std::vector<std::string_view> lines;
    for (size_t start = 0;;) {
        size_t end = head.find("\r\n", start);
        lines.push_back(head.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos) break;
        start = end + 2;
    }
    for (auto line : lines) {
        if (line.find_first_of("\r\n") != std::string_view::npos) {
            error = "line break without CR LF in answer head: \"" + Excerpt(line) + "\"";
            return false;
        }
    }
    // Status line: HTTP/1.x SP 3DIGIT [SP reason]
    std::string_view status = lines.front();
    if (status.size() < 12 || status.substr(0, 7) != "HTTP/1." || status[8] != ' ') {
        error = "not an HTTP answer: \"" + Excerpt(status) + "\"";
        return false;
    }
    auto code = ParseUnsigned(status.substr(9, 3), 100, 599);
    if (!code || (status.size() > 12 && status[12] != ' ')) {
        error = "bad status line: \"" + Excerpt(status) + "\"";
        return false;
    }
    out.version = std::string(status.substr(0, 8));
    out.status = static_cast<int>(*code);
    out.reason = status.size() > 13 ? std::string(status.substr(13)) : std::string();
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            error = "bad header line: \"" + Excerpt(line) + "\"";
            return false;
        }
        std::string_view name = line.substr(0, colon);
        for (char c : name) {
            if (!IsTokenChar(c)) {
                error = "bad header name: \"" + Excerpt(name) + "\"";
                return false;
            }
        }
        out.headers.push_back({std::string(name), std::string(TrimBlanks(line.substr(colon + 1)))});
    }
    return true;
}

HttpResponseReader::Progress HttpResponseReader::fail(std::string message) {
    error_ = std::move(message);
    progress_ = Progress::Error;
    return progress_;
}

HttpResponseReader::Progress HttpResponseReader::takeBody(std::string_view data) {
    if (lengthKnown_) {
        const size_t room = expected_ - response_.body.size();
        response_.body.append(data.substr(0, room));
        if (response_.body.size() == expected_) progress_ = Progress::Complete;
        return progress_;
    }
    if (response_.body.size() + data.size() > maxBody_) {
        return fail("answer body larger than " + std::to_string(maxBody_) + " bytes");
    }
    response_.body.append(data);
    return progress_;
}

HttpResponseReader::Progress HttpResponseReader::feed(std::string_view data) {
    if (progress_ != Progress::NeedMore) return progress_;
    if (headDone_) return takeBody(data);

    const size_t before = headBuffer_.size();
    headBuffer_.append(data);
    const size_t end = FindHeadEnd(headBuffer_);
    if (end == std::string::npos) {
        if (headBuffer_.size() > kMaxResponseHeadBytes) {
            return fail("answer head longer than " + std::to_string(kMaxResponseHeadBytes) + " bytes");
        }
        return progress_;
    }
    std::string parseError;
    if (!ParseResponseHead(std::string_view(headBuffer_).substr(0, end), response_.head, parseError)) {
        return fail(parseError);
    }
    headDone_ = true;
    if (response_.head.find("Transfer-Encoding")) return fail("chunked or encoded answers are not supported");
    for (const auto& h : response_.head.headers) {
        if (!EqualsIgnoreCase(h.name, "Content-Length")) continue;
        auto length = ParseUnsigned(h.value, 0, maxBody_);
        if (!length) return fail("bad Content-Length \"" + h.value + "\"");
        if (lengthKnown_ && *length != expected_) return fail("conflicting Content-Length headers");
        lengthKnown_ = true;
        expected_ = static_cast<size_t>(*length);
    }
    if (lengthKnown_ && expected_ == 0) {
        progress_ = Progress::Complete;
        return progress_;
    }
    // The bytes of this read that follow the head start the body.
    const size_t consumedHere = end - before;
    return takeBody(data.substr(consumedHere));
}

HttpResponseReader::Progress HttpResponseReader::finish() {
    if (progress_ != Progress::NeedMore) return progress_;
    if (!headDone_) {
        return fail(headBuffer_.empty() ? "connection closed without an answer"
                                        : "connection closed inside the answer head");
    }
    if (lengthKnown_ && response_.body.size() < expected_) {
        return fail("connection closed after " + std::to_string(response_.body.size()) + " of " +
                    std::to_string(expected_) + " body bytes (Content-Length)");
    }
    progress_ = Progress::Complete;
    return progress_;
}

}  // namespace qlophone
