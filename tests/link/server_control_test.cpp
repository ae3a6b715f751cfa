// The control endpoints over real loopback connections: exact answer bytes, the mailboxes
// (newest post wins, unmentioned lens fields kept), requests split across segments or never
// finished, and the bound on connections being read at once.
#include <array>
#include <atomic>
#include <thread>
#include <vector>

#include "link/request_reader.h"
#include "server_test_support.h"

using namespace qlotest;

namespace {

const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nOK";
const std::string kRegisterOk =
    "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 11\r\n"
    "Access-Control-Allow-Origin: *\r\nConnection: close\r\n\r\n{\"ok\":true}";

std::string CamerasAnswer(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nAccess-Control-Allow-Origin: *\r\nConnection: close\r\n\r\n" + body;
}

std::string TimelineAnswer(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nAccess-Control-Allow-Origin: *\r\n"
           "Connection: close\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
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
    ASSERT_GE(entry("127.0.0.2", true).fd, 0);
    EXPECT_EQ(Exchange(port_, Get("/info")), info + ",\"controlPort\":8255,\"clients\":1}");

    EXPECT_EQ(Exchange(port_, Get("/cameras")), CamerasAnswer("{\"cameras\":[]}"));
    server_.updateCameraList({"Camera 1", "Ann's \"cam\"", "Kamera \xC3\xBC"});
    EXPECT_EQ(Exchange(port_, Get("/cameras")),
              CamerasAnswer("{\"cameras\":[\"Camera 1\",\"Ann's \\\"cam\\\"\",\"Kamera \xC3\xBC\"]}"));
    // A name that is not UTF-8 cannot be encoded: the empty list is served instead.
    server_.updateCameraList({"bad \xFF name"});
    EXPECT_EQ(Exchange(port_, Get("/cameras")), CamerasAnswer("{\"cameras\":[]}"));

    EXPECT_EQ(Exchange(port_, Get("/timeline")),
              TimelineAnswer("{\"currentTime\":0.000000,\"duration\":0.000000,\"fps\":30.00,\"playing\":false}"));
    server_.updateTimelineState(TimelineState{1.5, 10.0, 23.976, true});
    EXPECT_EQ(Exchange(port_, Get("/timeline")),
              TimelineAnswer("{\"currentTime\":1.500000,\"duration\":10.000000,\"fps\":23.98,\"playing\":true}"));
    // Phones poll the timeline many times a second: one answer in fifty is logged.
    const std::string logged = "[Quillo HTTP] GET /timeline → ";
    const size_t before = log_.count(logged);
    for (int i = 0; i < 100; ++i) Exchange(port_, Get("/timeline"));
    EXPECT_EQ(log_.count(logged) - before, 2u);
}

TEST_F(ControlTest, TimelineAndRecordMailboxesKeepOnlyTheNewestCommand) {
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"seek","time":2.5})")), kOk);
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"play"})")), kOk);
    EXPECT_EQ(server_.getPendingTimelineCommand().action, TimelineActionPlay);
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
    // One post each, taken at once. An unrecognised action posts the previous command again.
    const std::pair<const char*, TimelineAction> actions[] = {
        {"rewind", TimelineActionPlay},         {"pause", TimelineActionPause},
        {"stepForward", TimelineActionStepForward}, {"stepBack", TimelineActionStepBack},
        {"goToStart", TimelineActionGoToStart}, {"goToEnd", TimelineActionGoToEnd},
        {"seek", TimelineActionSeek}};
    for (const auto& [text, code] : actions) {
        EXPECT_EQ(Exchange(port_, Post("/timeline", std::string("{\"action\":\"") + text + "\"}")), kOk);
        ASSERT_TRUE(server_.hasPendingTimelineCommand()) << text;
        EXPECT_EQ(server_.getPendingTimelineCommand().action, code) << text;
    }
    // Seek without a time seeks to 0, not to the earlier 2.5.
    EXPECT_EQ(Exchange(port_, Post("/timeline", R"({"action":"seek"})")), kOk);
    EXPECT_EQ(server_.getPendingTimelineCommand().time, 0.0);

    const std::pair<const char*, RecordMode> modes[] = {
        {"start", RecordModeStart}, {"stop", RecordModeStop}, {"single", RecordModeSingle},
        {"loop", RecordModeSingle}};  // an unrecognised mode posts the previous one again
    for (const auto& [text, mode] : modes) {
        EXPECT_EQ(Exchange(port_, Post("/record", std::string("{\"mode\":\"") + text + "\"}")), kOk);
        EXPECT_EQ(server_.getPendingRecordCommand(), mode) << text;
    }
    // Not JSON: answered, nothing posted.
    EXPECT_EQ(Exchange(port_, Post("/timeline", "action=play")), kOk);
    EXPECT_EQ(Exchange(port_, Post("/record", "{\"mode\":")), kOk);
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
    EXPECT_FALSE(server_.hasPendingRecordCommand());
}

TEST_F(ControlTest, CameraSettingsKeepUnmentionedLensFields) {
    const std::string all =
        R"({"zoom":1200,"focusDistance":300.5,"aperture":2.8,"blurLevel":50,"dof":true,"deviceName":"Ann"})";
    EXPECT_EQ(Exchange(port_, Post("/camera", all)), kOk);
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":800})")), kOk);
    CameraSettings s = server_.getPendingCameraSettings();
    EXPECT_FALSE(server_.hasPendingCameraSettings());
    EXPECT_EQ((std::array{s.zoom, s.focusDistance, s.aperture, s.blurLevel}),
              (std::array{800.0f, 300.5f, 2.8f, 50.0f}));
    EXPECT_TRUE(s.dof);
    EXPECT_STREQ(s.deviceName, "");  // every request rewrites the device name

    // Values of the wrong kind or beyond float range are ignored; the post still counts.
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":"wide","aperture":1e300,"deviceName":42})")), kOk);
    s = server_.getPendingCameraSettings();
    EXPECT_EQ(s.zoom, 800.0f);
    EXPECT_EQ(s.aperture, 2.8f);

    // Not JSON: answered, nothing posted.
    EXPECT_EQ(Exchange(port_, Post("/camera", "zoom=3")), kOk);
    EXPECT_FALSE(server_.hasPendingCameraSettings());
}

TEST_F(ControlTest, RegisterPostsTheCameraChoiceOnlyWithADeviceName) {
    for (const char* body : {R"({"cameraName":"Cam 1"})", R"({"deviceName":""})", "not json"}) {
        EXPECT_EQ(Exchange(port_, Post("/register", body), "127.0.0.3"), kRegisterOk) << body;
    }
    EXPECT_FALSE(server_.hasPendingSelectCamera());

    EXPECT_EQ(Exchange(port_, Post("/register", R"({"deviceName":"Ann","cameraName":"Cam 1"})"), "127.0.0.3"),
              kRegisterOk);
    const SelectCameraRequest choice = server_.getPendingSelectCamera();
    EXPECT_STREQ(choice.deviceName, "Ann");
    EXPECT_STREQ(choice.cameraName, "Cam 1");
    EXPECT_FALSE(server_.hasPendingSelectCamera());
}

// Head and body arrive as separate segments (a pause between them): the request is read whole.
TEST_F(ControlTest, ARequestWhoseHeadAndBodyArriveApartIsReadWhole) {
    int fd = ConnectFrom("127.0.0.1", port_);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SendText(fd, "POST /camera HTTP/1.1\r\nHost: q\r\nContent-Length: 11\r\n\r\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(SendText(fd, "{\"zoom\":42}"));
    EXPECT_EQ(ReadToEnd(fd), kOk);
    close(fd);
    ASSERT_TRUE(server_.hasPendingCameraSettings());
    EXPECT_EQ(server_.getPendingCameraSettings().zoom, 42.0f);
}

// Requests whose announced body never completes, whether the phone goes quiet, closes, or keeps
// trickling bytes: no answer, nothing posted; the server ends the connection at its deadline.
TEST_F(ControlTest, ARequestWhoseBodyNeverCompletesIsNotAnsweredAndPostsNothing) {
    const std::string head = "POST /timeline HTTP/1.1\r\nContent-Length: 4000\r\n\r\n{\"action\":\"play\"";
    for (const std::string how : {"quiet", "closes", "trickles"}) {
        int fd = ConnectFrom("127.0.0.1", port_);
        ASSERT_GE(fd, 0);
        ASSERT_TRUE(SendText(fd, head));
        if (how == "closes") shutdown(fd, SHUT_WR);
        // One byte at a time (never the whole body) until the server closes.
        for (int i = 0; how == "trickles" && i < 100 && SendText(fd, " "); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        EXPECT_EQ(ReadToEnd(fd), "") << how;
        close(fd);
    }
    EXPECT_FALSE(server_.hasPendingTimelineCommand());
    // Without a blank line a request that needs no body is taken as it came at its deadline.
    EXPECT_NE(Exchange(port_, "GET /info HTTP/1.1\r\n").find("\"service\":\"quillo\""), std::string::npos);
}

// At the bound of connections being read, all of them silent, a new phone's request waits in the
// listening queue: it is answered only once the oldest silent one was dropped at its deadline.
// Silent connections are closed unanswered and never become clients.
TEST_F(ControlTest, AtTheReadBoundANewConnectionWaitsForASilentOneToBeDropped) {
    std::vector<int> silent;
    for (size_t i = 0; i < kMaxConnectionsBeingRead; ++i) {
        silent.push_back(ConnectFrom("127.0.0.2", port_));
        ASSERT_GE(silent.back(), 0);
    }
    EXPECT_EQ(Exchange(port_, Get("/info"), "127.0.0.3").rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    char c;
    EXPECT_EQ(recv(silent[0], &c, 1, MSG_DONTWAIT), 0) << "answered while every place was taken";
    for (int fd : silent) {
        EXPECT_EQ(recv(fd, &c, 1, 0), 0);  // closed by the server, nothing sent
        close(fd);
    }
    EXPECT_EQ(server_.clientCount(), 0);
}

// Phones post lens settings while the idle tick takes the mailbox: each taken setting is one
// post's, whole, and the newest post is kept until taken.
TEST_F(ControlTest, ConcurrentCameraPostsAreTakenWholeAndTheLastIsNotLost) {
    std::atomic<bool> posting{true};
    std::vector<std::thread> phones;
    for (int t = 0; t < 3; ++t)
        phones.emplace_back([this, t] {
            for (int i = 1; i <= 30; ++i) {
                const std::string v = std::to_string(t * 1000 + i);
                Exchange(port_, Post("/camera", "{\"zoom\":" + v + ",\"focusDistance\":" + v + ",\"aperture\":" + v +
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
            EXPECT_TRUE(s.focusDistance == s.zoom && s.aperture == s.zoom) << s.zoom << " " << s.focusDistance;
            EXPECT_EQ(std::string(s.deviceName), "phone " + std::to_string(static_cast<int>(s.zoom) / 1000));
        }
    });
    for (std::thread& p : phones) p.join();
    posting.store(false);
    idleTick.join();
    server_.getPendingCameraSettings();
    EXPECT_EQ(Exchange(port_, Post("/camera", R"({"zoom":5,"deviceName":"last"})")), kOk);
    ASSERT_TRUE(server_.hasPendingCameraSettings());
    EXPECT_EQ(server_.getPendingCameraSettings().zoom, 5.0f);
}

// A connection whose request has already arrived, handed over as the fuzz target does: a control
// request is served as the accept loop serves it; a stream request is closed unanswered.
TEST_F(ControlTest, AHandedOverConnectionIsServedAsTheAcceptLoopServesIt) {
    using Case = std::pair<std::string, std::string>;
    for (const auto& [path, answer] : {Case{"/timeline", Exchange(port_, Get("/timeline"))}, Case{"/stream", ""}}) {
        int pair[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        const timeval patience{2, 0};  // an answer that never comes ends the read
        setsockopt(pair[1], SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        ASSERT_TRUE(SendText(pair[1], Get(path)));
        shutdown(pair[1], SHUT_WR);
        EXPECT_EQ(server_.serveControlConnection(pair[0]), !answer.empty()) << path;
        EXPECT_EQ(ReadToEnd(pair[1]), answer) << path;
        close(pair[1]);
    }
    EXPECT_FALSE(server_.serveControlConnection(-1));
}

}  // namespace
