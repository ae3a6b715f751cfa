// The pure request functions: routing, query values, body framing, strict JSON, fixed-field
// copies, address text and host-name suffixes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/ip_address.h"
#include "link/name_lookup.h"
#include "link/text_field.h"

namespace {

TEST(HttpRouting, FirstTextFoundInTableOrderDecides) {
    const std::pair<const char*, RequestRoute> cases[] = {
        {"POST /register HTTP/1.1\r\nX: POST /camera", RequestRoute::CameraPost},
        {"POST /register HTTP/1.1", RequestRoute::RegisterPost},
        {"GET /stream HTTP/1.1\r\nReferer: GET /cameras\r\n", RequestRoute::CamerasGet},
        {"POST /timeline\r\n\r\nGET /timeline", RequestRoute::TimelineGet},
        {"POST /timeline HTTP/1.1", RequestRoute::TimelinePost},
        {"POST /record HTTP/1.1", RequestRoute::RecordPost},
        {"GET /information HTTP/1.1", RequestRoute::Info},
        {"get /info HTTP/1.1", RequestRoute::Stream},
        {"", RequestRoute::Stream},
    };
    for (const auto& [request, route] : cases) EXPECT_EQ(RouteRequest(request), route) << request;
    EXPECT_EQ(FirstLine("GET / HTTP/1.1\r\nHost: x\r\n\r\n"), "GET / HTTP/1.1");
}

TEST(HttpQuery, ValuesAreFoundAndDecoded) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"GET /stream?deviceName=Ann%27s+Phone&cameraName=Cam%201 HTTP/1.1", "cameraName", "Cam 1"},
        {"GET /stream?xdeviceName=a&deviceName=b HTTP/1.1", "deviceName", "b"},
        {"GET /stream?xdeviceName=a HTTP/1.1", "deviceName", ""},
        {"GET /stream HTTP/1.1", "deviceName", ""},
        {"GET /stream?a=1 HTTP/1.1 deviceName=x", "deviceName", ""},  // the query ends at a space
        {"GET /stream?deviceName=end", "deviceName", "end"},
    };
    for (const auto& [line, key, value] : cases) EXPECT_EQ(QueryParameter(line, key), value) << line;
    const std::pair<const char*, const char*> decoded[] = {
        {"Ann%27s+Phone", "Ann's Phone"}, {"%4", "%4"}, {"%zz", "%zz"},
        {"%%41", "%A"},  // a lone "%" is literal, decoding goes on
        {"%c3%a9", "\xC3\xA9"}, {"%2F%3a%40%60", "/:@`"},
    };
    for (const auto& [raw, text] : decoded) EXPECT_EQ(DecodeQueryValue(raw), text) << raw;
}

TEST(HttpBody, StartAndAnnouncedLength) {
    EXPECT_EQ(BodyStart("POST /x HTTP/1.1\r\nA: b\r\n\r\n{\"a\":1}"), "{\"a\":1}");
    EXPECT_EQ(BodyStart("POST /x HTTP/1.1\r\nA: b\r\n"), "");
    const std::pair<const char*, int64_t> lengths[] = {
        {"Content-Length:\t 17abc", 17},
        {"Content-Length:\r\n\v\f 8", 8},  // every blank atoi skips
        {"Content-Length: abc", 0},
        {"Content-Length: -5", -5},
        {"content-length: 9\r\n", 9},
        {"content-length: 9\r\nContent-Length: 3\r\n", 3},  // the exact spelling wins
        {"CONTENT-LENGTH: 9\r\n", 0},
        {"Content-Length: 99999999999999999999999999", INT64_MAX},
    };
    for (const auto& [head, length] : lengths) EXPECT_EQ(ExpectedContentLength(head), length) << head;
}

TEST(HttpBody, StrictJson) {
    EXPECT_TRUE(ParseJsonBody("{\"a\":1}"));
    EXPECT_TRUE(ParseJsonBody(" [1,2] \r\n"));
    for (const char* bad : {"", "5", "null", "{\"a\":1} trailing", "{\"a\":1,}", "{/*c*/\"a\":1}",
                            "{\"a\":\"\xFF\"}", "{\"a\":1"})
        EXPECT_FALSE(ParseJsonBody(bad)) << bad;
}

TEST(TextField, CutsAtTheLastWholeCharacter) {
    const std::pair<const char*, const char*> cases[] = {
        {"1234567", "1234567"},                 // exactly capacity - 1
        {"12345678", "1234567"},
        {"12345\xE2\x82\xAC", "12345"},         // the euro sign would end at byte 8
        {"1234\xE2\x82\xAC!", "1234\xE2\x82\xAC"},  // fits exactly in 7 bytes
        {"\xF0\x9F\x98\x80\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
    };
    for (const auto& [text, kept] : cases) {
        char field[8];
        CopyToField(field, text);
        EXPECT_STREQ(field, kept) << text;
    }
}

TEST(AddressText, MappedV4V6AndOtherFamilies) {
    char text[64];
    const std::pair<const char*, const char*> cases[] = {
        {"::ffff:192.168.1.20", "192.168.1.20"}, {"fe80::1:2", "fe80::1:2"}, {"127.0.0.1", "127.0.0.1"},
        {"", ""}};  // another family (a local socket): no text
    for (const auto& [address, expected] : cases) {
        sockaddr_storage s = {};
        s.ss_family = *address == '\0' ? AF_UNIX : std::strchr(address, ':') ? AF_INET6 : AF_INET;
        inet_pton(s.ss_family, address,
                  s.ss_family == AF_INET6 ? static_cast<void*>(&reinterpret_cast<sockaddr_in6*>(&s)->sin6_addr)
                                          : &reinterpret_cast<sockaddr_in*>(&s)->sin_addr);
        std::strcpy(text, "junk");
        SockAddrToIPString(reinterpret_cast<sockaddr*>(&s), text, sizeof text);
        EXPECT_STREQ(text, expected) << address;
    }
    EXPECT_EQ(StripLocalSuffix("anns-iphone.local"), "anns-iphone");
    EXPECT_EQ(StripLocalSuffix(".local"), ".local");
    EXPECT_EQ(StripLocalSuffix("x.local.lan"), "x.local.lan");
}

TEST(HttpAnswers, NonFiniteTimelineValues) {
    // A value that is not a number is not valid JSON: served as 0.
    EXPECT_EQ(FormatTimelineBody(TimelineState{std::numeric_limits<double>::quiet_NaN(), 1e300, 29.97, true})
                  .substr(0, 30),
              "{\"currentTime\":0.000000,\"durat");
}

}  // namespace
