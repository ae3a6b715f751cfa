// The DNS-SD daemon goes away while the service is announced (the user's mDNS responder is
// restarted or crashes): the loss is reported once, the run loop stops watching the dead
// connection instead of spinning on it, withdrawing still works, and a later publication reaches
// the daemon once it is back. The test stops the private namespace's daemon and starts it again
// with the same command line, also when an assertion fails.
#include "link/service_announcement.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "netns/netns_env.h"
#include "platform/log.h"
#include "platform/runloop.h"
#include "support/test_support.h"

namespace {

const char* const kFailed = "[Quillo Bonjour] FAILED to publish 'Quillo - After Effects'";
const char* const kPublished = "[Quillo Bonjour] Published 'Quillo - After Effects'";

std::string ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The namespace's avahi-daemon (its /proc shows only the namespace's processes): pid and argv.
bool FindDaemon(pid_t& pid, std::vector<std::string>& argv) {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        pid = static_cast<pid_t>(atoi(entry.path().filename().c_str()));
        if (pid <= 0 || ReadAll(entry.path() / "comm") != "avahi-daemon\n") continue;
        std::istringstream cmdline(ReadAll(entry.path() / "cmdline"));
        argv.clear();
        for (std::string arg; std::getline(cmdline, arg, '\0');) argv.push_back(arg);
        return !argv.empty();
    }
    return false;
}

// Stops the daemon; the destructor starts it again with the same arguments, so the tests after
// this one find it as they expect.
class DaemonOutage {
public:
    DaemonOutage() {
        if (!FindDaemon(pid_, argv_)) return;
        stopped_ = kill(pid_, SIGTERM) == 0 &&
                   qlotest::WaitUntil([&] { return kill(pid_, 0) != 0; }, 10.0);
    }
    ~DaemonOutage() {
        if (!stopped_) return;
        if (fork() == 0) {
            setsid();
            const int devnull = open("/dev/null", O_WRONLY);
            dup2(devnull, STDOUT_FILENO);
            dup2(devnull, STDERR_FILENO);
            std::vector<char*> args;
            for (auto& a : argv_) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
    }
    bool stopped() const { return stopped_; }

private:
    pid_t pid_ = 0;
    std::vector<std::string> argv_;
    bool stopped_ = false;
};

// Runs the main run loop (where the announcement's replies arrive) until `done` holds.
bool PumpUntil(const std::function<bool()>& done, double seconds) {
    using namespace qlo::runloop;
    return qlotest::WaitUntil([&] { return RunLoop::main().runOnce(Mode::Default, 0.05), done(); }, seconds);
}

TEST(AnnouncementDaemonGone, TheLossIsReportedOnceAndAPublicationAfterTheRestartSucceeds) {
    QLO_REQUIRE_NETNS();
    qlo::log::CaptureSink log;
    QLOServiceAnnouncement announcement;
    announcement.publish(8254);
    ASSERT_TRUE(PumpUntil([&] { return log.contains(kPublished); }, 15))
        << ::testing::PrintToString(log.lines());
    {
        DaemonOutage outage;
        ASSERT_TRUE(outage.stopped()) << "the namespace's avahi-daemon could not be stopped";
        ASSERT_TRUE(PumpUntil([&] { return log.contains(kFailed); }, 10))
            << "the daemon's departure was never reported: "
            << ::testing::PrintToString(log.lines());
        // Reported once: later turns of the loop do not report the dead connection again.
        PumpUntil([] { return false; }, 0.5);
        EXPECT_EQ(log.count(kFailed), 1u) << ::testing::PrintToString(log.lines());
        announcement.withdraw();
        EXPECT_FALSE(announcement.isPublished());
    }
    // The daemon takes a moment to come back: each try is reported, and one of them succeeds.
    EXPECT_TRUE(qlotest::WaitUntil([&] {
        log.clear();
        announcement.publish(8254);
        PumpUntil([&] { return log.contains(kPublished) || log.contains(kFailed); }, 5);
        if (!log.contains(kPublished)) std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return log.contains(kPublished);
    }, 20)) << ::testing::PrintToString(log.lines());
    announcement.withdraw();
}

}  // namespace
