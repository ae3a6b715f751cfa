// Reading one HTTP/1.x answer from bytes as they arrive: the status line and headers, then a
// body of Content-Length bytes or, when there is no Content-Length, everything up to the close
// of the connection (the server answers GET /info that way). Chunked transfer is not accepted.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qlophone {

inline constexpr size_t kMaxResponseHeadBytes = 16 * 1024;

struct HttpHeader {
    std::string name;
    std::string value;
};

struct HttpResponseHead {
    std::string version;  // "HTTP/1.1"
    int status = 0;
    std::string reason;
    std::vector<HttpHeader> headers;

    // Value of the first header of that name, compared without regard to case; null if absent.
    const std::string* find(std::string_view name) const;
    // "HTTP/1.1 200 OK"
    std::string statusLine() const;
};

struct HttpResponse {
    HttpResponseHead head;
    std::string body;
};

// Offset just past the blank line that ends the head, or npos when it has not arrived yet.
size_t FindHeadEnd(std::string_view data);

// Parses a head (status line and header lines, with or without the closing blank line).
bool ParseResponseHead(std::string_view head, HttpResponseHead& out, std::string& error);

// Case-insensitive ASCII comparison.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// The text without leading and trailing blanks (spaces and tabs), as header values are read.
std::string_view TrimBlanks(std::string_view s);

class HttpResponseReader {
public:
    enum class Progress { NeedMore, Complete, Error };

    explicit HttpResponseReader(size_t maxBodyBytes = 1024 * 1024) : maxBody_(maxBodyBytes) {}

    // Takes the next bytes of the connection.
    Progress feed(std::string_view data);
    // The peer closed the connection: completes a body read to the close, or fails.
    Progress finish();

    Progress progress() const { return progress_; }
    const HttpResponse& response() const { return response_; }
    const std::string& error() const { return error_; }

private:
    Progress fail(std::string message);
    Progress takeBody(std::string_view data);

    size_t maxBody_;
    bool headDone_ = false;
    bool lengthKnown_ = false;
    size_t expected_ = 0;
    std::string headBuffer_;
    HttpResponse response_;
    Progress progress_ = Progress::NeedMore;
    std::string error_;
};

}  // namespace qlophone
