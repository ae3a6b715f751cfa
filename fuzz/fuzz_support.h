// Helpers of the fuzz targets: stopping with a message, and for the control connection target
// the tests' socket helpers, a check that an HTTP answer is well formed, the server it drives,
// and taking what a control request posted.
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

// Checks an answer as a phone's HTTP client would read it: the status line "HTTP/1.1 200 OK",
// header lines of the form "Name: value", a blank line, and a body whose length equals
// Content-Length when that header is there. Returns the body; aborts on anything else.
inline std::string CheckedBody(const std::string& answer) {
    const size_t end = answer.find("\r\n\r\n");
    Check(end != std::string::npos && answer.rfind("HTTP/1.1 200 OK\r\n", 0) == 0, "no status line or blank line");
    const std::string head = answer.substr(0, end + 2), body = answer.substr(end + 4);
    long contentLength = -1;
    for (size_t at = head.find("\r\n") + 2, eol; at < head.size(); at = eol + 2) {
        eol = head.find("\r\n", at);
        const std::string line = head.substr(at, eol - at);
        const size_t colon = line.find(": ");
        Check(colon != std::string::npos && colon > 0, "header line without a name and value");
        for (char c : line) Check(c >= 0x20 && c < 0x7F, "header line with a control byte");
        if (line.compare(0, colon, "Content-Length") == 0) contentLength = std::stol(line.substr(colon + 2));
    }
    Check(contentLength < 0 || static_cast<size_t>(contentLength) == body.size(), "body length differs");
    return body;
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
