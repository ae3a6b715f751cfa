// The announcement as a phone on the (private, loopback-only) network sees it through a DNS-SD
// browser: name, type, port and TXT entries, the refresh with the motion port, and withdrawal.
#include "link/service_announcement.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "netns/dnssd_browser.h"
#include "netns/netns_env.h"
#include "platform/log.h"

namespace {

const std::string kName = "Quillo - After Effects";
const std::string kPublished =
    "[Quillo Bonjour] Published 'Quillo - After Effects' type=_quillo._tcp. port=8254";

class AnnouncementOnTheNetwork : public ::testing::Test {
protected:
    // All tests share the namespace's one daemon, which keeps a withdrawn service in its cache
    // for about a second after the goodbye. Each test therefore starts once no service of the
    // name is left from an earlier test, and ends once its own are gone; otherwise a browser
    // could take an earlier test's service for this test's.
    void SetUp() override {
        QLO_REQUIRE_NETNS();
        ASSERT_TRUE(browser_.ok()) << "DNSServiceBrowse failed";
        auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        browser_.pumpUntil([&] { return std::chrono::steady_clock::now() > settle; });
        ASSERT_TRUE(browser_.pumpUntil([&] { return !Found(); }))
            << "a service from an earlier test never went away";
    }

    void TearDown() override {
        if (!InsideTestNetworkNamespace() || !browser_.ok()) return;
        EXPECT_TRUE(browser_.pumpUntil([&] { return !Found(); }))
            << "the service was still announced after the test withdrew it";
    }

    bool Found() {
        auto e = browser_.lastEventFor(kName);
        return e && e->added;
    }

    // Resolves the service until its TXT record matches `expected` exactly (the browser may
    // first see an older record), within a bounded time; the port it resolved to, or 0.
    uint16_t ResolveUntil(const std::map<std::string, std::string>& expected) {
        std::optional<ResolvedService> last;
        auto nextTry = std::chrono::steady_clock::now();
        const bool matched = browser_.pumpUntil([&] {
            auto e = browser_.lastEventFor(kName);
            if (!e || !e->added || std::chrono::steady_clock::now() < nextTry) return false;
            // Each resolve is a new client of the daemon: a few a second are plenty.
            nextTry = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
            last = browser_.resolve(*e, 5.0);
            return last && last->txt == expected;
        });
        EXPECT_TRUE(matched) << "TXT record never matched; last seen: "
                             << (last ? ::testing::PrintToString(last->txt) : "nothing resolved");
        return matched ? last->port : 0;
    }

    qlo::log::CaptureSink log_;
    DnssdBrowser browser_;
};

TEST_F(AnnouncementOnTheNetwork, PublishedWithTheControlPortOnceSetAfterPublishingAndWithdrawn) {
    QLOServiceAnnouncement announcement;
    announcement.setControlPort(8255);  // nothing published yet: nothing to refresh
    EXPECT_FALSE(announcement.isPublished());
    announcement.publish(8254);
    EXPECT_TRUE(announcement.isPublished());
    ASSERT_TRUE(browser_.pumpUntil([&] { return log_.contains(kPublished); }))
        << ::testing::PrintToString(log_.lines());
    ASSERT_TRUE(browser_.pumpUntil([&] { return Found(); }));
    EXPECT_EQ(ResolveUntil({{"app", "aftereffects"}}), 8254);
    // A refresh after publication adds it.
    announcement.setControlPort(9000);
    EXPECT_EQ(ResolveUntil({{"app", "aftereffects"}, {"controlPort", "9000"}}), 8254);

    announcement.withdraw();
    announcement.withdraw();  // nothing left to withdraw
    EXPECT_FALSE(announcement.isPublished());
    EXPECT_EQ(log_.count("[Quillo Bonjour] Stopped 'Quillo - After Effects'"), 1u);
    ASSERT_TRUE(browser_.pumpUntil([&] {
        auto e = browser_.lastEventFor(kName);
        return e && !e->added;
    })) << "the browser never saw the service go";
    // Published again after a withdrawal: seen again, with "app" only.
    announcement.publish(8254);
    EXPECT_EQ(ResolveUntil({{"app", "aftereffects"}}), 8254);
    EXPECT_EQ(log_.count("FAILED"), 0u) << ::testing::PrintToString(log_.lines());
}

}  // namespace
