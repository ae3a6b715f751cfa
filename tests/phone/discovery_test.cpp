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
    TxtFields f = full.read();
    EXPECT_EQ(f.app, "aftereffects");
    EXPECT_EQ(f.controlPort, "8255");

    Txt appOnly;  // as published before the motion receiver runs
    appOnly.set("app", "aftereffects");
    f = appOnly.read();
    EXPECT_EQ(f.app, "aftereffects");
    EXPECT_FALSE(f.controlPort);

    Txt keyOnly;
    keyOnly.set("controlPort", nullptr).set("other", "x");
    f = keyOnly.read();
    EXPECT_FALSE(f.app);
    EXPECT_EQ(f.controlPort, "");

    EXPECT_FALSE(ReadTxtFields(nullptr, 0).app);
    const unsigned char empty[] = {0};  // the empty TXT record: one zero-length string
    EXPECT_FALSE(ReadTxtFields(empty, 1).controlPort);
}

TEST(DiscoveryAddress, ARecordAndAaaaRecordWithScope) {
    const unsigned char v4[4] = {127, 0, 0, 2};
    auto a = AddressFromRecord(kDNSServiceType_A, v4, 4, 8254, 3);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(), "127.0.0.2:8254");

    in6_addr loop6{};
    inet_pton(AF_INET6, "::1", &loop6);
    auto b = AddressFromRecord(kDNSServiceType_AAAA, &loop6, 16, 8254, 1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->text(), "[::1]:8254");
    EXPECT_EQ(reinterpret_cast<const sockaddr_in6*>(&b->storage)->sin6_scope_id, 0u);  // not link-local

    in6_addr linkLocal{};
    inet_pton(AF_INET6, "fe80::1", &linkLocal);
    auto c = AddressFromRecord(kDNSServiceType_AAAA, &linkLocal, 16, 80, 7);
    ASSERT_TRUE(c);
    EXPECT_EQ(reinterpret_cast<const sockaddr_in6*>(&c->storage)->sin6_scope_id, 7u);

    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_A, v4, 3, 80, 0));
    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_AAAA, v4, 4, 80, 0));
    EXPECT_FALSE(AddressFromRecord(kDNSServiceType_TXT, v4, 4, 80, 0));
}

}  // namespace
}  // namespace qlophone
