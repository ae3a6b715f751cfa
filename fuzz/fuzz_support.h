// Helpers shared by the fuzz targets: driving a connection through a socket pair and checking
// that an HTTP answer is well formed.
#pragma once

#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace qlo::fuzz {

// Stops the run with a message: libFuzzer records the input that got here.
[[noreturn]] inline void Fail(const char* what) {
    (void)!::write(2, what, std::char_traits<char>::length(what));
    (void)!::write(2, "\n", 1);
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition) Fail(what);
}

// Writes all of `bytes` into fd (a socket pair end with room for them).
inline bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Everything the other end sends until it closes.
inline std::string ReadToEnd(int fd) {
    std::string out;
    char chunk[4096];
    for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) out.append(chunk, static_cast<size_t>(n));
    return out;
}

// The parts of an answer.
struct Answer {
    std::string head;  // status line and header lines, without the blank line
    std::string body;
};

// Splits and checks an answer as a phone's HTTP client would read it: the status line
// "HTTP/1.1 200 OK", header lines of the form "Name: value", a blank line, and a body whose
// length equals Content-Length when that header is there. Aborts on anything else.
inline Answer CheckAnswer(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    Check(end != std::string::npos, "answer without the end of its head");
    Answer a{answer.substr(0, end), answer.substr(end + 4)};
    Check(a.head.rfind("HTTP/1.1 200 OK\r\n", 0) == 0, "answer without the status line");
    size_t at = a.head.find("\r\n") + 2;
    long contentLength = -1;
    while (at <= a.head.size()) {
        size_t eol = a.head.find("\r\n", at);
        if (eol == std::string::npos) eol = a.head.size();
        const std::string line = a.head.substr(at, eol - at);
        const size_t colon = line.find(": ");
        Check(colon != std::string::npos && colon > 0, "header line without a name and value");
        for (char c : line) Check(c >= 0x20 && c < 0x7F, "header line with a control byte");
        if (line.compare(0, colon, "Content-Length") == 0) {
            char* stop = nullptr;
            contentLength = std::strtol(line.c_str() + colon + 2, &stop, 10);
            Check(*stop == '\0' && contentLength >= 0, "Content-Length is not a number");
        }
        at = eol + 2;
    }
    if (contentLength >= 0) {
        Check(static_cast<size_t>(contentLength) == a.body.size(), "body length differs from Content-Length");
    }
    return a;
}

}  // namespace qlo::fuzz
