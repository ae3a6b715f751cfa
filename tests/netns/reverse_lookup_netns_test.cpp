// The reverse lookup that names a phone which did not say its name, with the system's own
// resolver: an IPv4 phone reaches the dual-stack server as an IPv4-mapped IPv6 address, which
// glibc cannot name, so the plain IPv4 address must be looked up. Inside the private namespace
// the resolver answers from the hosts file (127.0.0.1 is "localhost") and nothing leaves.
#include <gtest/gtest.h>

#include "link/mjpeg_server.h"
#include "link/name_lookup.h"
#include "link/server_test_support.h"
#include "netns/netns_env.h"

namespace {

TEST(ReverseLookupWithTheSystemResolver, AnIPv4PhoneIsNamedByItsPlainAddress) {
    QLO_REQUIRE_NETNS();
    qlo::log::CaptureSink log;
    MJPEGServer server;  // with its own lookup: the system's
    const uint16_t port = server.start(0);
    ASSERT_NE(port, 0);
    qlotest::StreamPhone phone("127.0.0.1", port);
    ASSERT_FALSE(phone.readHead().empty());
    EXPECT_TRUE(qlotest::WaitUntil([&] {
        const auto clients = server.snapshotClients();
        return clients.size() == 1 && std::string(clients[0].name) == "localhost";
    }));
    EXPECT_TRUE(log.contains("mDNS resolved"));
    server.stop();
}

}  // namespace
