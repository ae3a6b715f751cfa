// quillo-host with the real plug-in on its fixed ports, and quillo-phone finding it by DNS-SD:
// the plug-in's lifecycle from load to quit, read from the host's terminal (--verbose).
#include <gtest/gtest.h>

#include <signal.h>

#include "netns/child_process.h"
#include "netns/netns_env.h"

namespace {

TEST(HostEndToEnd, PanelStartsServicesPhoneDiscoversThemAndQuitTearsDown) {
    QLO_REQUIRE_NETNS();
    const std::string bin = ProgramFolder();
    ChildProcess host({bin + "/quillo-host", "--verbose", "--log", "/dev/null"});
    ASSERT_TRUE(host.started());
    for (const char* line : {"[Quillo] Plug-in loaded", "[Quillo] Starting services",
                             "[Quillo] MJPEG server listening on port 8254",
                             "[Quillo] MotionReceiver listening on UDP port 8255",
                             "[Quillo Bonjour] Published 'Quillo - After Effects'"})
        ASSERT_TRUE(host.waitFor(line)) << line << "\n" << host.output();

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
    for (const char* line : {"[Quillo] Stopping services", "[Quillo Bonjour] Stopped 'Quillo - After Effects'",
                             "[Quillo] MJPEG server stopped"})
        ASSERT_TRUE(host.waitFor(line)) << line << "\n" << host.output();
    host.send("menu Quillo");
    ASSERT_TRUE(host.waitFor("[Quillo] MJPEG server listening on port 8254")) << host.output();

    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(20), 0) << host.output();
    EXPECT_NE(host.output().find("[Quillo] Shutting down"), std::string::npos) << host.output();
}

}  // namespace
