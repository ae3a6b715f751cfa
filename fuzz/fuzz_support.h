// Helpers shared by the fuzz targets: driving a connection through a socket pair (with the tests'
// loopback helpers) into one server, checking that an HTTP answer is well formed, and taking what
// a control request posted.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "link/mjpeg_server.h"
#include "platform/log.h"
#include "tests/support/test_support.h"

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

// Writing a whole input into a socket pair end, and reading the other end until it closes.
using qlotest::ReadToEnd;
using qlotest::SendText;

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

// The server the control targets drive, never started; it knows three cameras.
inline MJPEGServer& Server() {
    static MJPEGServer* server = [] {
        qlo::log::SetStderrEnabled(false);
        auto* s = new MJPEGServer();
        s->updateCameraList({"Camera 1", "Phone \"A\"", "Kamera \xC3\xBC"});
        return s;
    }();
    return *server;
}

// Takes the mailboxes as the idle tick would, so that each run posts into empty slots. What was
// posted must be something the idle tick can apply: finite lens values, a known timeline action
// with a finite time, a known record mode, names terminated within their fields.
inline void TakeMailboxes(MJPEGServer& server) {
    const auto terminated = [](const char* field, size_t capacity) {
        return ::memchr(field, '\0', capacity) != nullptr;
    };
    if (server.hasPendingCameraSettings()) {
        const CameraSettings s = server.getPendingCameraSettings();
        Check(std::isfinite(s.zoom) && std::isfinite(s.focusDistance) && std::isfinite(s.aperture) &&
                  std::isfinite(s.blurLevel),
              "a lens value that is not finite was posted");
        Check(terminated(s.deviceName, sizeof s.deviceName), "deviceName not terminated");
    }
    if (server.hasPendingTimelineCommand()) {
        const TimelineCommand c = server.getPendingTimelineCommand();
        Check(c.action >= 0 && c.action <= 7, "timeline action out of range");
        Check(std::isfinite(c.time), "a seek time that is not finite was posted");
    }
    if (server.hasPendingRecordCommand()) {
        const RecordMode m = server.getPendingRecordCommand();
        Check(m >= 0 && m <= 3, "record mode out of range");
    }
    if (server.hasPendingSelectCamera()) {
        const SelectCameraRequest r = server.getPendingSelectCamera();
        Check(terminated(r.deviceName, sizeof r.deviceName) && terminated(r.cameraName, sizeof r.cameraName),
              "camera choice not terminated");
        Check(r.deviceName[0] != '\0', "camera choice without a device name");
    }
}

}  // namespace qlo::fuzz
