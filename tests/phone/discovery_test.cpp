// The parts of discovery that need no DNS-SD daemon: reading the TXT record the plug-in
// publishes and turning address records into socket addresses. (Browsing itself needs a daemon,
// which these tests never start.)
#include "phone/discovery.h"

#include <arpa/inet.h>
#include <dns_sd.h>

#include <cstdlib>

#include <gtest/gtest.h>

namespace qlophone {
namespace {

// TXT records in DNS wire form: each entry is a length byte and "key=value" (or "key" alone).
TEST(DiscoveryTxt, ReadsAppAndControlPort) {
    ::setenv("AVAHI_COMPAT_NOWARN", "1", 0);  // keeps the compatibility banner out of the test log
    using Text = std::optional<std::string>;
    struct Case {
        const char* what;
        std::string record;
        Text app, controlPort;
    };
    const Case cases[] = {
        {"both", "\x10" "app=aftereffects" "\x10" "controlPort=8255", "aftereffects", "8255"},
        // as published before the motion receiver runs
        {"app only", "\x10" "app=aftereffects", "aftereffects", std::nullopt},
        {"key without value", "\x0b" "controlPort" "\x07" "other=x", std::nullopt, ""},
        {"the empty record", std::string(1, '\0'), std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(c.record.data());
        const TxtFields fields = ReadTxtFields(bytes, static_cast<uint16_t>(c.record.size()));
        EXPECT_EQ(fields.app, c.app) << c.what;
        EXPECT_EQ(fields.controlPort, c.controlPort) << c.what;
    }
    EXPECT_FALSE(ReadTxtFields(nullptr, 0).app);
}

TEST(DiscoveryAddress, ARecordAndAaaaRecordWithScope) {
    const unsigned char v4[4] = {127, 0, 0, 2};
    auto a = AddressFromRecord(kDNSServiceType_A, v4, 4, 8254, 3);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(), "127.0.0.2:8254");

    // A link-local IPv6 address gets the interface as its scope.
    in6_addr v6{};
    inet_pton(AF_INET6, "fe80::1", &v6);
    auto b = AddressFromRecord(kDNSServiceType_AAAA, &v6, 16, 8254, 7);
    ASSERT_TRUE(b);
    EXPECT_EQ(reinterpret_cast<const sockaddr_in6*>(&b->storage)->sin6_scope_id, 7u);

    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_A, v4, 3, 80, 0)) << "a record of the wrong length";
}

}  // namespace
}  // namespace qlophone
