// The control endpoints over real loopback connections: exact answer bytes, routing by
// substring, the mailboxes (newest post wins, unmentioned lens fields kept), body framing and the
// cap on announced body lengths.
#include <atomic>
#include <cerrno>
#include <thread>

#include "server_test_support.h"

using namespace qlotest;

namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";
const std::string kRegisterOk =
    "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 11\r\n"
    "Access-Control-Allow-Origin: *\r\nConnection: close\r\n\r\n{\"ok\":true}";
const std::string kFreshTimeline =
    "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n"
    "Connection: close\r\nContent-Length: 72\r\n\r\n"
    "{\"currentTime\":0.000000,\"duration\":0.000000,\"fps\":30.00,\"playing\":false}";

std::string CamerasAnswer(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nAccess-Control-Allow-Origin: *\r\nConnection: close\r\n\r\n" + body;
}

using ControlTest = ServerTest;

TEST_F(ControlTest, InfoCamerasAndTimelineAnswersByteForByte) {
    const std::string info =
        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n"
        "Connection: close\r\n\r\n{\"service\":\"quillo\",\"version\":\"4.0\",\"port\":" + std::to_string(port_);
    EXPECT_EQ(Exchange(port_, Get("/info")), info + ",\"controlPort\":0,\"clients\":0}");
    server_.setControlPort(8255);
    StreamPhone phone("127.0.0.2", port_);
    ASSERT_FALSE(phone.readHead().empty());
    ASSERT_TRUE(entry("127.0.0.2", true));
    EXPECT_EQ(Exchange(port_, Get("/info")), info + ",\"controlPort\":8255,\"clients\":1}");

    EXPECT_EQ(Exchange(port_, Get("/cameras")), CamerasAnswer("{\"cameras\":[]}"));
    server_.updateCameraList({"Camera 1", "Ann's \"cam\"", "Kamera \xC3\xBC"});
    EXPECT_EQ(Exchange(port_, Get("/cameras")),
              CamerasAnswer("{\"cameras\":[\"Camera 1\",\"Ann's \\\"cam\\\"\",\"Kamera \xC3\xBC\"]}"));
    // A name that is not UTF-8 cannot be encoded: the empty list is served instead.
    server_.updateCameraList({"bad \xFF name"});
    EXPECT_EQ(Exchange(port_, Get("/cameras")), CamerasAnswer("{\"cameras\":[]}"));

    EXPECT_EQ(Exchange(port_, Get("/timeline")), kFreshTimeline);
    server_.updateTimelineState(TimelineState{1.5, 10.0, 23.976, true});
    EXPECT_EQ(Exchange(port_, Get("/timeline")),
              "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n"
              "Connection: close\r\nContent-Length: 72\r\n\r\n"
              "{\"currentTime\":1.500000,\"duration\":10.000000,\"fps\":23.98,\"playing\":true}");
    // The log line is thinned (the counter is the process's): one request of any fifty in a row.
    for (int i = 0; i < 48; ++i) Exchange(port_, Get("/timeline"));
    EXPECT_EQ(log_.count("[Quillo HTTP] GET /timeline \xE2\x86\x92 "), 1u);
}

TEST_F(ControlTest, TimelineAndRecordMailboxesKeepOnlyTheNewestCommand) {
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"seek","time":2.5})")), kOk);
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"play"})")), kOk);
    ASSERT_TRUE(server_.hasPendingTimelineCommand());
    EXPECT_EQ(server_.getPendingTimelineCommand().action, TimelineActionPlay);
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
    // An unrecognised action posts the previous command again; seek without a time seeks to 0.
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"rewind"})")), kOk);
    EXPECT_EQ(server_.getPendingTimelineCommand().action, TimelineActionPlay);
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"seek"})")), kOk);
    const TimelineCommand seek = server_.getPendingTimelineCommand();
    EXPECT_EQ(seek.action, TimelineActionSeek);
    EXPECT_EQ(seek.time, 0.0);
    const std::pair<const char*, TimelineAction> actions[] = {
        {"pause", TimelineActionPause},       {"stepForward", TimelineActionStepForward},
        {"stepBack", TimelineActionStepBack}, {"goToStart", TimelineActionGoToStart},
        {"goToEnd", TimelineActionGoToEnd}};
    for (const auto& [text, code] : actions) {
        EXPECT_EQ(Exchange(port_, Post("/timeline", std::string("{\"action\":\"") + text + "\"}")), kOk);
        EXPECT_EQ(server_.getPendingTimelineCommand().action, code) << text;
    }
    // Not JSON: answered, nothing posted.
    EXPECT_EQ(Exchange(port_, Post("/timeline", "action=play")), kOk);
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
    EXPECT_TRUE(log_.contains("[Quillo HTTP] POST /timeline body=action=play parsed=(null)"));

    EXPECT_EQ(Exchange(port_, Post("/record", R"({"mode":"start"})")), kOk);
    EXPECT_EQ(Exchange(port_, Post("/record", R"({"mode":"stop"})")), kOk);
    EXPECT_EQ(server_.getPendingRecordCommand(), RecordModeStop);
    EXPECT_FALSE(server_.hasPendingRecordCommand());
    EXPECT_EQ(Exchange(port_, Post("/record", R"({"mode":"single"})")), kOk);
    EXPECT_EQ(server_.getPendingRecordCommand(), RecordModeSingle);
    EXPECT_EQ(Exchange(port_, Post("/record", R"({"mode":"loop"})")), kOk);
    EXPECT_EQ(server_.getPendingRecordCommand(), RecordModeSingle);
    EXPECT_EQ(Exchange(port_, Post("/record", "{\"mode\":")), kOk);
    EXPECT_FALSE(server_.hasPendingRecordCommand());
}

TEST_F(ControlTest, CameraSettingsKeepUnmentionedLensFields) {
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":1200,"focusDistance":300.5,"aperture":2.8,"blurLevel":50,"dof":true,"deviceName":"Ann"})")),
              kOk);
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":800})")), kOk);
    ASSERT_TRUE(server_.hasPendingCameraSettings());
    CameraSettings s = server_.getPendingCameraSettings();
    EXPECT_FALSE(server_.hasPendingCameraSettings());
    EXPECT_EQ(s.zoom, 800.0f);
    EXPECT_EQ(s.focusDistance, 300.5f);
    EXPECT_EQ(s.aperture, 2.8f);
    EXPECT_EQ(s.blurLevel, 50.0f);
    EXPECT_TRUE(s.dof);
    EXPECT_STREQ(s.deviceName, "");  // every request rewrites the device name

    // Values of the wrong kind or beyond float range are ignored; the post still counts.
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":"wide","aperture":1e300,"deviceName":42})")), kOk);
    s = server_.getPendingCameraSettings();
    EXPECT_EQ(s.zoom, 800.0f);
    EXPECT_EQ(s.aperture, 2.8f);

    // 126 ASCII bytes and a three-byte character do not fit 127 bytes: the character is left out
    // whole instead of being cut in half.
    const std::string name = std::string(126, 'a') + "\xE2\x82\xAC";
    EXPECT_EQ(Exchange(port_, Post("/camera", "{\"deviceName\":\"" + name + "\"}")), kOk);
    EXPECT_EQ(std::string(server_.getPendingCameraSettings().deviceName), std::string(126, 'a'));

    // Not JSON, or a top-level scalar: answered, nothing posted.
    EXPECT_EQ(Exchange(port_, Post("/camera", "zoom=3")), kOk);
    EXPECT_EQ(Exchange(port_, Post("/camera", "5")), kOk);
    EXPECT_FALSE(server_.hasPendingCameraSettings());
}

TEST_F(ControlTest, RegisterPostsTheCameraChoiceOnlyWithADeviceName) {
    EXPECT_EQ(Exchange(port_, Post("/register", R"({"cameraName":"Cam 1"})"), "127.0.0.3"), kRegisterOk);
    EXPECT_EQ(Exchange(port_, Post("/register", R"({"deviceName":""})"), "127.0.0.3"), kRegisterOk);
    EXPECT_EQ(Exchange(port_, Post("/register", "not json"), "127.0.0.3"), kRegisterOk);
    EXPECT_FALSE(server_.hasPendingSelectCamera());
    EXPECT_FALSE(log_.contains("Register"));

    EXPECT_EQ(Exchange(port_, Post("/register", R"({"deviceName":"Ann","cameraName":"Cam 1"})"), "127.0.0.3"),
              kRegisterOk);
    EXPECT_TRUE(log_.contains("[Quillo] Register pending ip=127.0.0.3 name=\"Ann\" camera=\"Cam 1\" (no MJPEG yet)"));
    ASSERT_TRUE(server_.hasPendingSelectCamera());
    SelectCameraRequest choice = server_.getPendingSelectCamera();
    EXPECT_STREQ(choice.deviceName, "Ann");
    EXPECT_STREQ(choice.cameraName, "Cam 1");
    EXPECT_FALSE(server_.hasPendingSelectCamera());
}

// A request split anywhere, one segment after another: the pieces of each case are sent with a
// pause between them so that they arrive as separate reads.
TEST_F(ControlTest, RequestsSplitAnywhereAreReadWhole) {
    const std::string body = R"({"zoom":42})";
    const std::string length = std::to_string(body.size());
    const std::vector<std::vector<std::string>> cases = {
        {"POST /camera HTTP/1.1\r\ncontent-length: " + length + "\r\n\r\n", body},           // head, body
        {"POST /camera HTTP/1.1\r\nHost: q\r\n", "Content-Length: " + length + "\r\n\r\n" + body},  // length later
        {"POST /cam", "era HTTP/1.1\r\nContent-Length: " + length + "\r", "\n\r\n{\"zoo", "m\":42}"},
    };
    for (const auto& pieces : cases) {
        int fd = ConnectFrom("127.0.0.1", port_);
        ASSERT_GE(fd, 0);
        for (const std::string& piece : pieces) {
            ASSERT_TRUE(SendText(fd, piece));
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
        EXPECT_EQ(ReadToEnd(fd), kOk) << pieces[0];
        close(fd);
        ASSERT_TRUE(server_.hasPendingCameraSettings()) << pieces[0];
        EXPECT_EQ(server_.getPendingCameraSettings().zoom, 42.0f);
    }
    // Capitals: expected length 0, the answer comes without waiting for a body.
    EXPECT_EQ(Exchange(port_, "POST /camera HTTP/1.1\r\nCONTENT-LENGTH: 11\r\n\r\n"), kOk);
    EXPECT_FALSE(server_.hasPendingCameraSettings());
}

// Requests whose announced body never completes, whether the phone goes quiet, closes, or keeps
// trickling bytes: no answer, nothing posted; the server ends the connection at its deadline.
TEST_F(ControlTest, ARequestWhoseBodyNeverCompletesIsNotAnsweredAndPostsNothing) {
    const std::string head = "POST /timeline HTTP/1.1\r\nContent-Length: 4000\r\n\r\n{\"action\":\"play\"";
    for (const char* how : {"quiet", "closes", "trickles"}) {
        int fd = ConnectFrom("127.0.0.1", port_);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendText(fd, head));
        std::string answer;
        if (std::string(how) == "closes") {
            shutdown(fd, SHUT_WR);
            answer = ReadToEnd(fd);
        } else if (std::string(how) == "trickles") {
            // One byte at a time (never the whole body) until the server closes.
            for (int i = 0; i < 100 && SendText(fd, " "); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            answer = ReadToEnd(fd);
        } else {
            answer = ReadToEnd(fd);
        }
        EXPECT_EQ(answer, "") << how;
        close(fd);
    }
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
    // Without a blank line a request that needs no body is taken as it came at its deadline.
    EXPECT_NE(Exchange(port_, "GET /info HTTP/1.1\r\n").find("\"service\":\"quillo\""), std::string::npos);
}

TEST_F(ControlTest, HugeAnnouncedBodyIsNotBuffered) {
    // Announced beyond the cap: answered as a body that does not parse, although the part that
    // came in the first read is valid JSON.
    EXPECT_EQ(Exchange(port_, "POST /camera HTTP/1.1\r\nContent-Length: 100000\r\n\r\n{\"zoom\":7}"), kOk);
    EXPECT_FALSE(server_.hasPendingCameraSettings());
    EXPECT_EQ(Exchange(port_, "POST /register HTTP/1.1\r\nContent-Length: 99999999999999999999\r\n\r\n"
                              "{\"deviceName\":\"Ann\"}",
                       "127.0.0.3"),
              kRegisterOk);
    EXPECT_FALSE(server_.hasPendingSelectCamera());

    // A phone that keeps sending the announced body: the server reads nothing more and closes,
    // so the sender runs into a closed connection long before 8 MiB went out.
    int fd = ConnectFrom("127.0.0.1", port_);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SendText(fd, "POST /timeline HTTP/1.1\r\nContent-Length: 100000000\r\n\r\n{\"action\":\"play\",\"pad\":\""));
    const std::string chunk(64 * 1024, 'x');
    size_t sent = 0;
    int error = 0;
    while (sent < 8u * 1024 * 1024) {
        ssize_t n = send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            error = errno;
            break;
        }
        sent += static_cast<size_t>(n);
    }
    close(fd);
    EXPECT_LT(sent, 8u * 1024 * 1024);
    EXPECT_TRUE(error == EPIPE || error == ECONNRESET) << "send error " << error;
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
}

TEST_F(ControlTest, SilentConnectionIsClosedAndTheNextOneServed) {
    int silent = ConnectFrom("127.0.0.2", port_);
    ASSERT_GE(silent, 0);
    EXPECT_EQ(Exchange(port_, Get("/info")).rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    char c;
    EXPECT_EQ(recv(silent, &c, 1, 0), 0);  // closed by the server, nothing sent
    close(silent);
    EXPECT_EQ(server_.clientCount(), 0);
}

}  // namespace

namespace {

// Phones post lens settings from several connections at once while the idle tick takes the
// mailbox: every settings it takes are one post's, whole, and a post answered after the last take
// is still there to take.
TEST_F(ControlTest, ConcurrentCameraPostsAreTakenWholeAndTheLastIsNotLost) {
    std::atomic<bool> posting{true};
    std::vector<std::thread> phones;
    for (int t = 0; t < 4; ++t)
        phones.emplace_back([this, t] {
            for (int i = 1; i <= 40; ++i) {
                const int v = t * 1000 + i;
                Exchange(port_, Post("/camera", "{\"zoom\":" + std::to_string(v) + ",\"focusDistance\":" +
                                                    std::to_string(v) + ",\"aperture\":" + std::to_string(v) +
                                                    ",\"deviceName\":\"phone " + std::to_string(t) + "\"}"),
                         ("127.0.0." + std::to_string(2 + t)).c_str());
            }
        });
    std::thread idleTick([&] {
        while (posting.load()) {
            if (!server_.hasPendingCameraSettings()) {
                std::this_thread::yield();
                continue;
            }
            const CameraSettings s = server_.getPendingCameraSettings();
            const int v = static_cast<int>(s.zoom);
            EXPECT_TRUE(s.focusDistance == s.zoom && s.aperture == s.zoom) << s.zoom << " " << s.focusDistance;
            EXPECT_EQ(std::string(s.deviceName), "phone " + std::to_string(v / 1000)) << v;
        }
    });
    for (std::thread& p : phones) p.join();
    posting.store(false);
    idleTick.join();
    server_.getPendingCameraSettings();
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":5,"deviceName":"last"})")), kOk);
    ASSERT_TRUE(server_.hasPendingCameraSettings());
    const CameraSettings last = server_.getPendingCameraSettings();
    EXPECT_EQ(last.zoom, 5.0f);
    EXPECT_STREQ(last.deviceName, "last");
    EXPECT_FALSE(server_.hasPendingCameraSettings());
}

}  // namespace
