// The parts of discovery that need no DNS-SD daemon: reading the TXT record the plug-in
// publishes and turning address records into socket addresses. (Browsing itself needs a daemon,
// which these tests never start.)
#include "phone/discovery.h"

#include <arpa/inet.h>
#include <dns_sd.h>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

namespace qlophone {
namespace {

// A TXT record built with the library's own encoder.
class Txt {
public:
    Txt() {
        ::setenv("AVAHI_COMPAT_NOWARN", "1", 0);  // keeps the compatibility banner out of the test log
        TXTRecordCreate(&record_, sizeof(buffer_), buffer_);
    }
    ~Txt() { TXTRecordDeallocate(&record_); }
    Txt& set(const char* key, const char* value) {
        EXPECT_EQ(TXTRecordSetValue(&record_, key, value ? static_cast<uint8_t>(strlen(value)) : 0, value),
                  kDNSServiceErr_NoError);
        return *this;
    }
    TxtFields read() const {
        return ReadTxtFields(static_cast<const unsigned char*>(TXTRecordGetBytesPtr(&record_)), TXTRecordGetLength(&record_));
    }

private:
    char buffer_[256];
    TXTRecordRef record_;
};

TEST(DiscoveryTxt, ReadsAppAndControlPort) {
    Txt full;
    full.set("app", "aftereffects").set("controlPort", "8255");
    EXPECT_EQ(full.read().app, "aftereffects");
    EXPECT_EQ(full.read().controlPort, "8255");
    Txt appOnly;  // as published before the motion receiver runs
    EXPECT_FALSE(appOnly.set("app", "aftereffects").read().controlPort);
    Txt keyOnly;
    keyOnly.set("controlPort", nullptr).set("other", "x");
    EXPECT_FALSE(keyOnly.read().app);
    EXPECT_EQ(keyOnly.read().controlPort, "");
    const unsigned char empty[] = {0};  // the empty TXT record: one zero-length string
    EXPECT_FALSE(ReadTxtFields(empty, 1).controlPort);
    EXPECT_FALSE(ReadTxtFields(nullptr, 0).app);
}

TEST(DiscoveryAddress, ARecordAndAaaaRecordWithScope) {
    const unsigned char v4[4] = {127, 0, 0, 2};
    auto a = AddressFromRecord(kDNSServiceType_A, v4, 4, 8254, 3);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(), "127.0.0.2:8254");

    // A link-local IPv6 address gets the interface as its scope, others none.
    const std::pair<const char*, uint32_t> scopes[] = {{"::1", 0u}, {"fe80::1", 7u}};
    for (const auto& [text, scope] : scopes) {
        in6_addr v6{};
        inet_pton(AF_INET6, text, &v6);
        auto b = AddressFromRecord(kDNSServiceType_AAAA, &v6, 16, 8254, 7);
        ASSERT_TRUE(b) << text;
        EXPECT_EQ(reinterpret_cast<const sockaddr_in6*>(&b->storage)->sin6_scope_id, scope) << text;
    }

    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_A, v4, 3, 80, 0));
    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_AAAA, v4, 4, 80, 0));
    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_TXT, v4, 4, 80, 0));
}

}  // namespace
}  // namespace qlophone
