// Stream admission, the client registry and MJPEG frames over real loopback connections (phones
// are told apart by their loopback source addresses); start, stop and destruction of the server,
// also while connections, control requests and reverse lookups are in flight (run these under
// AddressSanitizer and ThreadSanitizer as well).
#include <fcntl.h>
#include <sys/socket.h>

#include "link/outgoing_frame.h"
#include "server_test_support.h"

using namespace qlotest;

namespace {

const std::string kStreamHead =
    "HTTP/1.1 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n"
    "Cache-Control: no-cache, no-store, must-revalidate\r\nConnection: keep-alive\r\n"
    "Access-Control-Allow-Origin: *\r\n\r\n";

using StreamTest = ServerTest;

TEST_F(StreamTest, AnyOtherPathGetsTheHeadAndFramesInMultipartFraming) {
    StreamPhone phone("127.0.0.2", port_);
    EXPECT_EQ(phone.readHead(), kStreamHead);
    const ClientInfo e = entry("127.0.0.2", true);
    EXPECT_EQ(identity("127.0.0.2"), "|");
    EXPECT_TRUE(e.allowed);
    StreamPhone favicon("127.0.0.3", port_, "/favicon.ico");
    EXPECT_EQ(favicon.readHead(), kStreamHead);
    EXPECT_TRUE(WaitUntil([&] { return server_.clientCount() == 2; }));
    EXPECT_FALSE(server_.hasPendingSelectCamera());  // no query, no camera choice

    const std::string jpeg("\xFF\xD8 frame one \r\n--frame\r\n \xFF\xD9", 26);
    EXPECT_TRUE(server_.pushFrameToClient(e.fd, jpeg.data(), jpeg.size()));
    EXPECT_EQ(phone.nextFrame(), jpeg);
    server_.pushFrame("abc", 3);
    EXPECT_EQ(phone.nextFrame(), std::string("abc"));
    EXPECT_EQ(favicon.nextFrame(), std::string("abc"));
    // Not registered, empty, no frame, or negative: nothing is sent.
    EXPECT_FALSE(server_.pushFrameToClient(e.fd + 1000, "x", 1));
    EXPECT_FALSE(server_.pushFrameToClient(e.fd, "x", 0));
    EXPECT_FALSE(server_.pushFrameToClient(e.fd, std::shared_ptr<OutgoingFrame>{}));
    EXPECT_FALSE(server_.pushFrameToClient(-1, "x", 1));
}

// The query names the stream and posts the camera choice; a new stream from the same address
// evicts that one and takes its place at the end of the list.
TEST_F(StreamTest, QueryNamesTheStreamAndANewStreamFromTheSameAddressEvictsTheGhost) {
    StreamPhone first("127.0.0.2", port_, "/stream?deviceName=Ann%27s+Phone&cameraName=Cam%201");
    ASSERT_EQ(first.readHead(), kStreamHead);
    ASSERT_TRUE(WaitUntil([&] { return server_.hasPendingSelectCamera(); }));
    EXPECT_EQ(identity("127.0.0.2"), "Ann's Phone|Cam 1");
    const SelectCameraRequest choice = server_.getPendingSelectCamera();
    EXPECT_STREQ(choice.deviceName, "Ann's Phone");
    EXPECT_STREQ(choice.cameraName, "Cam 1");
    const int oldFd = entry("127.0.0.2").fd;
    StreamPhone other("127.0.0.3", port_);
    ASSERT_EQ(other.readHead(), kStreamHead);
    ASSERT_GE(entry("127.0.0.3", true).fd, 0);  // the head goes out just before the phone is listed

    StreamPhone second("127.0.0.2", port_);
    ASSERT_EQ(second.readHead(), kStreamHead);
    EXPECT_TRUE(first.seesEnd());
    ASSERT_TRUE(WaitUntil([&] { return entry("127.0.0.2").fd >= 0 && entry("127.0.0.2").fd != oldFd; }));
    const std::vector<ClientInfo> clients = server_.snapshotClients();
    ASSERT_EQ(clients.size(), 2u);
    EXPECT_STREQ(clients[0].ip, "127.0.0.3");  // order of the others kept
    EXPECT_STREQ(clients[1].ip, "127.0.0.2");
    EXPECT_STREQ(clients[1].name, "");
    EXPECT_TRUE(server_.pushFrameToClient(clients[1].fd, "new", 3));
    EXPECT_EQ(second.nextFrame(), std::string("new"));
}

TEST_F(StreamTest, RegistrationNamesTheNextStreamOnceAndRenamesAStreamingPhone) {
    ASSERT_EQ(Exchange(port_, Post("/register", R"({"deviceName":"Ann","cameraName":"Cam 2"})"), "127.0.0.4")
                  .substr(0, 15),
              "HTTP/1.1 200 OK");
    StreamPhone phone("127.0.0.4", port_);
    ASSERT_EQ(phone.readHead(), kStreamHead);
    EXPECT_EQ(identity("127.0.0.4", true), "Ann|Cam 2");

    // The registration was used up: a reconnect is a plain new phone.
    StreamPhone again("127.0.0.4", port_, "/stream?cameraName=CamX");
    ASSERT_EQ(again.readHead(), kStreamHead);
    ASSERT_TRUE(WaitUntil([&] { return identity("127.0.0.4") == "|CamX"; }));

    // A registration while streaming renames and re-allows the stream.
    server_.setClientAllowed(entry("127.0.0.4").fd, false);
    Exchange(port_, Post("/register", R"({"deviceName":"Bob"})"), "127.0.0.4");
    EXPECT_EQ(identity("127.0.0.4"), "Bob|");  // an absent camera name clears the choice
    EXPECT_TRUE(entry("127.0.0.4").allowed);
}

TEST_F(StreamTest, ReverseLookupNamesOnlyUnnamedStreams) {
    lookup_->setName("127.0.0.6", "ann-iphone.local");
    lookup_->setName("127.0.0.7", "bob-pixel.local", true);  // answers only after the query named it
    StreamPhone unnamed("127.0.0.6", port_);
    StreamPhone named("127.0.0.7", port_, "/stream?deviceName=Bob");
    ASSERT_EQ(unnamed.readHead(), kStreamHead);
    ASSERT_EQ(named.readHead(), kStreamHead);
    ASSERT_TRUE(WaitUntil([&] { return identity("127.0.0.7") == "Bob|"; }));
    lookup_->release("127.0.0.7");
    ASSERT_TRUE(WaitUntil([&] { return lookup_->finished == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return std::string(entry("127.0.0.6").name) == "ann-iphone"; }));
    // The query's name is kept. (Give a wrong name every chance to land, then check.)
    WaitUntil([&] { return std::string(entry("127.0.0.7").name) != "Bob"; }, 0.5);
    EXPECT_STREQ(entry("127.0.0.7").name, "Bob");
}

TEST_F(StreamTest, LateLookupDoesNotRenameANewerConnectionOnTheSameSocketNumber) {
    lookup_->setName("127.0.0.8", "stale-name", true);
    auto phoneA = std::make_unique<StreamPhone>("127.0.0.8", port_);
    ASSERT_EQ(phoneA->readHead(), kStreamHead);
    const int fdA = entry("127.0.0.8", true).fd;
    ASSERT_TRUE(WaitUntil([&] { return lookup_->started == 1; }));
    // Phone A goes away and is dropped when frames to it fail.
    phoneA->closeNow();
    ASSERT_TRUE(WaitUntil([&] { return server_.pushFrameToClient(fdA, "x", 1), server_.clientCount() == 0; }));

    // Phone B connects until its stream gets A's socket number: every free number below A's is
    // filled first (a reconnect from the same address evicts the previous try).
    std::vector<int> fillers;
    std::unique_ptr<StreamPhone> phoneB;
    for (int attempt = 0; attempt < 10 && entry("127.0.0.9").fd != fdA; ++attempt) {
        for (int f = open("/dev/null", O_RDONLY); f >= 0; f = open("/dev/null", O_RDONLY)) {
            if (f >= fdA) {
                close(f);
                break;
            }
            fillers.push_back(f);
        }
        phoneB = std::make_unique<StreamPhone>("127.0.0.9", port_);
        ASSERT_EQ(phoneB->readHead(), kStreamHead);
        ASSERT_TRUE(WaitUntil([&] { return log_.count("ip=127.0.0.9, total=") == size_t(attempt + 1); }));
    }
    for (int f : fillers) close(f);
    ASSERT_EQ(entry("127.0.0.9").fd, fdA) << "precondition: the socket number was reused";
    ASSERT_TRUE(WaitUntil([&] { return lookup_->finished == lookup_->started - 1; }));  // all but A's

    lookup_->release("127.0.0.8");
    ASSERT_TRUE(WaitUntil([&] { return lookup_->finished == lookup_->started; }));
    // Give the late result every chance to land (it would within microseconds), then check.
    WaitUntil([&] { return entry("127.0.0.9").name[0] != '\0'; }, 0.5);
    EXPECT_STREQ(entry("127.0.0.9").name, "");
}

TEST_F(StreamTest, PhonesThatStopReadingOrCloseMidFrameHoldNobodyAndAreDropped) {
    // A tiny receive buffer that is never read: a large frame cannot be taken.
    StreamPhone stalled("127.0.0.2", port_, "/stream", 4096);
    StreamPhone healthy("127.0.0.4", port_);
    StreamPhone closer("127.0.0.5", port_);
    for (StreamPhone* p : {&stalled, &healthy, &closer}) ASSERT_EQ(p->readHead(), kStreamHead);
    ASSERT_TRUE(WaitUntil([&] { return server_.clientCount() == 3; }));

    // Handing frames over never waits for the phone: the stalled one stays registered meanwhile,
    // and the healthy one gets every frame whole.
    const std::string big(4 * 1024 * 1024, 'j');
    server_.pushFrame(big.data(), big.size());
    EXPECT_EQ(healthy.nextFrame(), big);
    EXPECT_GE(entry("127.0.0.2").fd, 0);
    // The closer takes the first bytes of that frame and goes: its sender's next write fails.
    char partial[300];
    ASSERT_EQ(recv(closer.fd(), partial, sizeof partial, MSG_WAITALL), static_cast<ssize_t>(sizeof partial));
    closer.closeNow();
    ASSERT_TRUE(WaitUntil([&] { return server_.pushFrame("x", 1), entry("127.0.0.5").fd < 0; }));

    // Taking nothing for the stall limit drops it, as a failed send does.
    ASSERT_TRUE(WaitUntil([&] { return entry("127.0.0.2").fd < 0; }));
    EXPECT_TRUE(stalled.seesEnd());
    EXPECT_GE(entry("127.0.0.4").fd, 0);
}

TEST_F(StreamTest, APhoneThatReadsSlowlyGetsTheNewestFrameNotABacklog) {
    StreamPhone slow("127.0.0.2", port_, "/stream", 4096);
    ASSERT_EQ(slow.readHead(), kStreamHead);
    const int fd = entry("127.0.0.2", true).fd;
    // Frames of 1 MiB cannot pass a buffer of 4 KiB while the phone does not read: the sender is
    // still on the first (or second) when the last one is handed over.
    auto frame = [](int i) { return std::string(1024 * 1024, static_cast<char>('a' + i)); };
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(server_.pushFrameToClient(fd, frame(i).data(), 1024 * 1024));
    std::vector<int> seen;
    while (seen.empty() || seen.back() != 19) {
        const std::optional<std::string> f = slow.nextFrame();
        ASSERT_TRUE(f && !f->empty()) << "stream ended after " << seen.size() << " frames";
        const int i = (*f)[0] - 'a';
        ASSERT_EQ(*f, frame(i)) << "a frame arrived mixed with another";
        ASSERT_TRUE(seen.empty() || i > seen.back()) << "out of order";
        seen.push_back(i);
    }
    // The frames between were replaced by newer ones before they were taken.
    EXPECT_LE(seen.size(), 3u);
}

// The system's own reverse lookup: an IPv4 phone reaches the dual-stack server as an IPv4-mapped
// address, which glibc cannot name, so the plain IPv4 address (and its size) must be handed
// over. 127.0.0.1 is "localhost" in the hosts file: the name comes without a query leaving.
TEST(StreamLookup, AnUnnamedPhoneIsNamedByTheSystemsReverseLookup) {
    qlo::log::SetStderrEnabled(false);
    MJPEGServer server;
    const uint16_t port = server.start(0);
    ASSERT_NE(port, 0);
    StreamPhone phone("127.0.0.1", port);
    ASSERT_FALSE(phone.readHead().empty());
    EXPECT_TRUE(WaitUntil([&] {
        const std::vector<ClientInfo> clients = server.snapshotClients();
        return clients.size() == 1 && std::string(clients[0].name) == "localhost";
    }));
}

TEST_F(StreamTest, StartTwiceStopTwiceAndRestartKeepsRegistrationsAndMailboxes) {
    EXPECT_EQ(server_.start(0), port_);  // running: the same port
    MJPEGServer second;
    EXPECT_EQ(second.start(port_), 0);  // the port is taken
    EXPECT_FALSE(second.isRunning());
    second.stop();  // not running: nothing
    StreamPhone phone("127.0.0.2", port_);
    ASSERT_FALSE(phone.readHead().empty());
    ASSERT_GE(entry("127.0.0.2", true).fd, 0);
    Exchange(port_, Post("/register", R"({"deviceName":"Ann","cameraName":"C"})"), "127.0.0.3");
    Exchange(port_, Post("/record", R"({"mode":"single"})"));

    server_.stop();
    server_.stop();
    EXPECT_FALSE(server_.isRunning());
    EXPECT_TRUE(phone.seesEnd());
    EXPECT_EQ(ConnectFrom("127.0.0.1", port_), -1);  // nothing listens any more
    EXPECT_EQ(server_.clientCount(), 0);
    EXPECT_FALSE(server_.pushFrameToClient(3, "x", 1));

    server_.setControlPort(9999);  // while stopped: stored, served once started
    port_ = server_.start(0);
    ASSERT_NE(port_, 0);
    EXPECT_NE(Exchange(port_, Get("/info")).find("\"controlPort\":9999,\"clients\":0}"), std::string::npos);
    EXPECT_EQ(server_.getPendingRecordCommand(), RecordModeSingle);
    StreamPhone registered("127.0.0.3", port_);
    ASSERT_FALSE(registered.readHead().empty());
    EXPECT_EQ(identity("127.0.0.3", true), "Ann|C");
}

TEST(ServerLifecycle, DestroyWhileConnectionsRequestsAndLookupsAreInFlight) {
    qlo::log::SetStderrEnabled(false);
    auto lookup = std::make_shared<FakeLookup>();
    std::vector<std::unique_ptr<StreamPhone>> phones;
    std::vector<int> controls;
    {
        auto server = std::make_unique<MJPEGServer>();
        server->setNameLookup(FakeLookup::bind(lookup));
        const uint16_t port = server->start(0);
        ASSERT_NE(port, 0);
        for (const char* ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) {
            lookup->setName(ip, "phone.local", true);
            phones.push_back(std::make_unique<StreamPhone>(ip, port));
            ASSERT_FALSE(phones.back()->readHead().empty());
        }
        ASSERT_TRUE(WaitUntil([&] { return lookup->started == 3; }));
        // A control request waiting for the rest of its body, and a connection that is silent.
        controls = {ConnectFrom("127.0.0.20", port), ConnectFrom("127.0.0.21", port)};
        ASSERT_TRUE(controls[0] >= 0 && controls[1] >= 0);
        SendText(controls[0], "POST /camera HTTP/1.1\r\nContent-Length: 5000\r\n\r\n{\"zoom\":");
        // Frames go out from another thread while the server is torn down.
        std::atomic<bool> pushing{true};
        std::thread pusher([&] {
            while (pushing.load()) server->pushFrame("frame", 5);
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        pushing.store(false);
        pusher.join();
        server.reset();  // stops: waits for the accept loop and control requests
    }
    // The lookups finish after the server is gone; they must not touch its state.
    lookup->release();
    ASSERT_TRUE(WaitUntil([&] { return lookup->finished == 3; }));
    for (auto& phone : phones) EXPECT_TRUE(phone->seesEnd());
    for (int fd : controls) {
        ReadToEnd(fd);  // answered or closed; never left hanging
        close(fd);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let the late writes run under the sanitizers
}

}  // namespace
