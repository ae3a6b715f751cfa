// quillo-host with the real plug-in on its fixed ports, and quillo-phone finding it by DNS-SD:
// the lifecycle in the log file, from load to quit, while the terminal stays calm.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdio>

#include "netns/child_process.h"
#include "netns/netns_env.h"

namespace {

TEST(HostEndToEnd, PanelStartsServicesPhoneDiscoversThemAndQuitTearsDown) {
    QLO_REQUIRE_NETNS();
    const std::string bin = ProgramFolder();
    const std::string logPath = "/tmp/quillo-host-e2e-" + std::to_string(getpid()) + ".log";
    std::remove(logPath.c_str());
    ChildProcess host({bin + "/quillo-host", "--log", logPath});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.waitFor("[host] log file: " + logPath)) << host.output();
    FileWatch log(logPath);
    for (const char* line : {"[Quillo] Plug-in loaded", "[Quillo] Starting services",
                             "[Quillo] MJPEG server listening on port 8254",
                             "[Quillo] MotionReceiver listening on UDP port 8255",
                             "[Quillo Bonjour] Published 'Quillo - After Effects'"})
        ASSERT_TRUE(log.waitFor(line)) << line << "\n" << log.contents();

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
        ASSERT_TRUE(log.waitFor(line)) << line << "\n" << log.contents();

    host.send("menu Quillo");
    ASSERT_TRUE(log.waitFor("[Quillo] MJPEG server listening on port 8254")) << log.contents();

    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(20), 0) << host.output();
    EXPECT_NE(log.contents().find("[Quillo] Shutting down"), std::string::npos);
    // The terminal had the host's own lines and none of the plug-in's routine ones.
    for (const char* line : {"[host] ready", "[host] unloaded plug-in"})
        EXPECT_NE(host.output().find(line), std::string::npos) << line << "\n" << host.output();
    EXPECT_EQ(host.output().find("[Quillo"), std::string::npos) << host.output();
    std::remove(logPath.c_str());
}

TEST(HostEndToEnd, PluginThatCannotBeLoadedExitsWithAClearMessage) {
    QLO_REQUIRE_NETNS();
    ChildProcess host({ProgramFolder() + "/quillo-host", "--plugin", "/nonexistent/libquillo.so", "--log", "/dev/null"});
    ASSERT_TRUE(host.started());
    EXPECT_EQ(host.wait(10), 1);
    EXPECT_NE(host.output().find("/nonexistent/libquillo.so"), std::string::npos) << host.output();
}

}  // namespace
