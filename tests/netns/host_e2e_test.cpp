// quillo-host with the real plug-in on its fixed ports, and quillo-phone finding it by DNS-SD:
// the lifecycle a user sees in the log, from load to quit.
#include <gtest/gtest.h>

#include <signal.h>

#include "netns/child_process.h"
#include "netns/netns_env.h"

namespace {

TEST(HostEndToEnd, PanelStartsServicesPhoneDiscoversThemAndQuitTearsDown) {
    QLO_REQUIRE_NETNS();
    const std::string bin = ProgramFolder();
    ChildProcess host({bin + "/quillo-host"});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.waitFor("[Quillo] Plug-in loaded")) << host.output();
    ASSERT_TRUE(host.waitFor("[Quillo] Starting services")) << host.output();
    ASSERT_TRUE(host.waitFor("[Quillo] MJPEG server listening on port 8254")) << host.output();
    ASSERT_TRUE(host.waitFor("[Quillo] MotionReceiver listening on UDP port 8255")) << host.output();
    ASSERT_TRUE(host.waitFor("[Quillo Bonjour] Published 'Quillo - After Effects'")) << host.output();

    {
        // The phone finds the service by browsing, learns the motion port from the TXT record
        // and reads GET /info.
        ChildProcess phone({bin + "/quillo-phone", "--discover", "--duration", "0", "--get", "info"});
        ASSERT_TRUE(phone.started());
        EXPECT_EQ(phone.wait(20), 0) << phone.output();
        EXPECT_NE(phone.output().find(
                      "{\"service\":\"quillo\",\"version\":\"4.0\",\"port\":8254,"
                      "\"controlPort\":8255,\"clients\":0}"),
                  std::string::npos)
            << phone.output();
    }

    host.send("panel hide");
    ASSERT_TRUE(host.waitFor("[Quillo] Stopping services")) << host.output();
    ASSERT_TRUE(host.waitFor("[Quillo Bonjour] Stopped 'Quillo - After Effects'")) << host.output();
    ASSERT_TRUE(host.waitFor("[Quillo] MJPEG server stopped")) << host.output();

    host.send("menu Quillo");
    ASSERT_TRUE(host.waitFor("[Quillo] MJPEG server listening on port 8254")) << host.output();

    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(20), 0) << host.output();
    EXPECT_NE(host.output().find("[Quillo] Shutting down"), std::string::npos);
    EXPECT_NE(host.output().find("[host] unloaded plug-in"), std::string::npos);
}

TEST(HostEndToEnd, PluginThatCannotBeLoadedExitsWithAClearMessage) {
    QLO_REQUIRE_NETNS();
    ChildProcess host({ProgramFolder() + "/quillo-host", "--plugin", "/nonexistent/libquillo.so"});
    ASSERT_TRUE(host.started());
    EXPECT_EQ(host.wait(10), 1);
    EXPECT_NE(host.output().find("/nonexistent/libquillo.so"), std::string::npos) << host.output();
}

}  // namespace
