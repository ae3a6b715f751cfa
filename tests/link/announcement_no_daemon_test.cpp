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

TEST(AnnouncementWithoutDaemon, PublishLogsTheFailureAndEverythingElseCarriesOn) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent-quillo-test-dir/system_bus_socket", 1);
    unsetenv("AVAHI_COMPAT_NOWARN");
    qlo::log::CaptureSink log;
    QLOServiceAnnouncement announcement;
    ::testing::internal::CaptureStderr();
    announcement.publish(8254);
    const std::string err = ::testing::internal::GetCapturedStderr();

    // Reported once, with the library's (negative) error code; nothing published.
    EXPECT_EQ(log.count(std::string(kFailurePrefix) + "-"), 1u) << ::testing::PrintToString(log.lines());
    EXPECT_FALSE(announcement.isPublished());
    // The compatibility library's warning about itself was silenced before its first use.
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
