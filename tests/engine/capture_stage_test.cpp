// The capture stage: which camera layers are on while each phone's frame renders and between
// passes, the shared frame of phones without a camera, and the user's switches coming back.
// (Switches back when the session ends any other way: tests/reliability's SessionEndTest.)
#include <turbojpeg.h>

#include "plugin_fixture.h"

class CaptureTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        comp->addCamera("Camera 2", A_FloatPoint{960, 540});  // index 0, above Camera 1
        spyRenders();
    }
    const std::string onCamera1 = "?deviceName=A&cameraName=Camera%201";
};

TEST_F(CaptureTest, EachPhoneRendersThroughItsOwnCameraOnlyAQuarterOfTheCompositionsSize) {
    Phone& a = connect("127.0.0.2", onCamera1, "A", 1);
    pass();
    EXPECT_EQ(renders, (std::vector<V>{{"Camera 1"}}));
    EXPECT_TRUE(on("Camera 1") && !on("Camera 2"));
    // A takes its next frame only once the first has left: the next pass renders for it too.
    ASSERT_TRUE(WaitFor([&] { return a.count() == 1; }));
    Phone& b = connect("127.0.0.3", "?deviceName=B&cameraName=Camera%202", "B", 2);
    pass();
    EXPECT_EQ(renders, (std::vector<V>{{"Camera 1"}, {"Camera 1"}, {"Camera 2"}}));  // registry order
    EXPECT_TRUE(on("Camera 1") && on("Camera 2"));
    ASSERT_TRUE(WaitFor([&] { return a.count() == 2 && b.count() == 1; }));
    EXPECT_NE(a.frames().back(), b.frames().back());  // each got the frame of its own render
    // A JPEG of the 1920 x 1080 composition downsampled 4 x 4.
    const std::string jpeg = b.frames().back();
    int w = 0, h = 0, sub = 0, space = 0;
    tjhandle tj = tjInitDecompress();
    EXPECT_EQ(tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), &w, &h,
                                  &sub, &space), 0);
    tjDestroy(tj);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(480, 270));
}

TEST_F(CaptureTest, PhonesWithoutACameraShareOneFrameAndTheUsersSwitchesComeBack) {
    layer("Camera 1")->flags = 0;  // the user's choice: Camera 1 off
    Phone& a = connect("127.0.0.2", onCamera1, "A", 1);
    Phone& c = connect("127.0.0.3", "", "", 2);  // no name, no camera
    pass();
    EXPECT_EQ(renders, (std::vector<V>{{"Camera 1"}, {"Camera 1"}}));  // A's frame, then the shared one
    ASSERT_TRUE(WaitFor([&] { return a.count() == 2 && c.count() == 1; }));
    EXPECT_EQ(a.frames()[1], c.frames()[0]);
    disconnect(a, 1);
    renders.clear();
    pass();
    EXPECT_EQ(renders, (std::vector<V>{{"Camera 2"}}));  // the saved switches are back
}

TEST_F(CaptureTest, AVanishedCameraLayerIsNeverUsedAndIsResolvedAgain) {
    Phone& a = connect("127.0.0.2", "?deviceName=A", "A", 1);
    moveAndWait(a, {0, 10, 0, 0, 0, 0});
    pass();  // the phone's own camera "A" is created and rendered through
    EXPECT_EQ(renders.back(), V{"A"});
    // Taken before the next pass: a frame still waiting in the sender gives way to a newer one.
    ASSERT_TRUE(WaitFor([&] { return a.count() == 1; }));
    qh::CurrentProject().deleteLayer(layer("A")->id());
    pass();
    EXPECT_EQ(g_phoneCameras["A"].layer, nullptr);
    EXPECT_EQ(renders.back(), (V{"Camera 2", "Camera 1"}));  // the shared frame, switches restored
    // A is rendered for again once it has taken the shared frame.
    ASSERT_TRUE(WaitFor([&] { return a.count() == 2; }));
    turn(a, 20);
    EXPECT_EQ(cameras("A"), 1);
    EXPECT_EQ(renders.back(), V{"A"});
}

TEST_F(CaptureTest, PhonesLookingThroughOneCameraShareItsRenderAndEachGetsTheFrame) {
    Phone& a = connect("127.0.0.2", onCamera1, "A", 1);
    Phone& b = connect("127.0.0.3", "?deviceName=B&cameraName=Camera%201", "B", 2);
    pass();
    EXPECT_EQ(renders, (std::vector<V>{{"Camera 1"}}));
    ASSERT_TRUE(WaitFor([&] { return a.count() == 1 && b.count() == 1; }));
    EXPECT_EQ(a.frames()[0], b.frames()[0]);
}

TEST_F(CaptureTest, APhoneThatStoppedReadingCostsNoRenderWhileItsSenderHoldsItsFrame) {
    Phone& a = connect("127.0.0.2", onCamera1, "A", 1);
    // S asks for Camera 2's stream and never reads: once its small buffers are full, its sender
    // holds its frame until it is dropped.
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const int small = 2048;
    setsockopt(s, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in self, server;
    bind(s, Ipv4("127.0.0.3", 0, self), sizeof self);
    ASSERT_EQ(::connect(s, Ipv4("127.0.0.1", httpPort, server), sizeof server), 0);
    const std::string request = "GET /stream?deviceName=S&cameraName=Camera%202 HTTP/1.1\r\n\r\n";
    send(s, request.data(), request.size(), MSG_NOSIGNAL);
    ASSERT_TRUE(WaitFor([] { return g_server->clientCount() == 2; }));
    const auto rendersForS = [&] { return std::ranges::count(renders, V{"Camera 2"}); };
    // Passes until S has gone 40 passes without a render; A keeps getting frames meanwhile.
    long last = -1;
    size_t aBefore = 0;
    int still = 0;
    for (int i = 0; i < 1500 && still < 40; ++i) {
        if (still == 0) aBefore = a.count();
        pass();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        still = rendersForS() == last ? still + 1 : 0;
        last = rendersForS();
    }
    EXPECT_EQ(still, 40);
    EXPECT_GT(last, 0) << "S was rendered for until its buffers were full";
    EXPECT_TRUE(WaitFor([&] { return a.count() > aBefore + 10; })) << "A kept being rendered for";
    EXPECT_EQ(g_server->clientCount(), 2) << "S held its frame, it was not dropped yet";
    close(s);
}
