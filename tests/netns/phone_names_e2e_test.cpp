// Phone names through the whole system: a real quillo-phone named beyond U+FFFF streams from
// quillo-host with the real plug-in; the plug-in makes the phone's camera, and the viewer script
// it runs in the host's script engine finds that camera by name and sets the view to it.
#include <gtest/gtest.h>

#include <signal.h>

#include <string>

#include "netns/child_process.h"
#include "netns/netns_env.h"

namespace {

TEST(PhoneNamesEndToEnd, ANameBeyondUFFFFGetsItsCameraAndItsView) {
    QLO_REQUIRE_NETNS();
    const std::string bin = ProgramFolder();
    const std::string name = "B\xF0\x9F\x93\xB1";  // "B" and U+1F4F1
    // --verbose: every log line on the terminal, the viewer script's outcome included; so no
    // log file is needed.
    ChildProcess host({bin + "/quillo-host", "--verbose", "--log", "/dev/null"});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(host.waitFor("[Quillo] MJPEG server listening on port 8254", 20)) << host.output();

    ChildProcess phone({bin + "/quillo-phone", "--name", name, "--frames", "20", "--timeout", "10"});
    ASSERT_TRUE(phone.started());
    EXPECT_EQ(phone.wait(60), 0) << phone.output();
    ASSERT_TRUE(host.waitFor("[Quillo viewer-sync] ", 20)) << host.output();
    const std::string& out = host.output();
    const size_t sync = out.find("[Quillo viewer-sync] ");
    const std::string line = out.substr(sync, out.find('\n', sync) - sync);
    EXPECT_NE(line.find("phones=1"), std::string::npos) << line;
    EXPECT_NE(line.find("set/activeCamera=ok"), std::string::npos) << line;
    EXPECT_EQ(line.find("layer-not-found"), std::string::npos) << line;

    host.send("layers");
    EXPECT_TRUE(host.waitFor(name + " (camera", 10)) << host.output();
    host.signal(SIGTERM);
    EXPECT_EQ(host.wait(20), 0) << host.output();
}

}  // namespace
