// The announcement when no DNS-SD daemon can be reached, as on a machine without one (and as
// here, outside the test network namespace, where none is ever started). The system bus address
// is pointed at a socket that does not exist, so that a daemon running on some machine anyway
// cannot be reached either.
#include "link/service_announcement.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/log.h"
#include "platform/runloop.h"

namespace {

const char* const kFailurePrefix =
    "[Quillo Bonjour] FAILED to publish 'Quillo - After Effects' — error={NSNetServicesErrorCode = ";

class AnnouncementWithoutDaemon : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent-quillo-test-dir/system_bus_socket",
               1);
        unsetenv("AVAHI_COMPAT_NOWARN");
    }
};

TEST_F(AnnouncementWithoutDaemon, PublishLogsTheFailureAndEverythingElseCarriesOn) {
    qlo::log::CaptureSink log;
    QLOServiceAnnouncement announcement;
    ::testing::internal::CaptureStderr();
    announcement.publish(8254);
    const std::string err = ::testing::internal::GetCapturedStderr();

    auto failures = log.matching(kFailurePrefix);
    ASSERT_EQ(failures.size(), 1u) << "log lines: " << ::testing::PrintToString(log.lines());
    // The code is a dns_sd error (negative), the dictionary closed.
    const std::string& line = failures[0];
    const std::string code = line.substr(std::string(kFailurePrefix).size());
    EXPECT_EQ(code.rfind("-", 0), 0u) << line;
    EXPECT_NE(line.find("; NSNetServicesErrorDomain = 10;}"), std::string::npos) << line;
    EXPECT_FALSE(announcement.isPublished());
    // The compatibility library's warning about itself was silenced before its first use.
    EXPECT_STREQ(getenv("AVAHI_COMPAT_NOWARN"), "1");
    EXPECT_EQ(err.find("WARNING"), std::string::npos) << err;

    // Nothing published: refreshing and withdrawing do nothing, and nothing is left to run.
    log.clear();
    announcement.setControlPort(8255);
    announcement.withdraw();
    qlo::runloop::RunLoop::main().runOnce(qlo::runloop::Mode::Default, 0.05);
    EXPECT_TRUE(log.lines().empty()) << ::testing::PrintToString(log.lines());

    // A later publication tries again and fails the same way.
    announcement.publish(8254);
    EXPECT_EQ(log.count(kFailurePrefix), 1u);
    EXPECT_FALSE(announcement.isPublished());
}

}  // namespace
