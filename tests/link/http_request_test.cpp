// The pure request functions: routing, first line, query values, body framing, strict JSON,
// fixed-field copies, address text and host-name suffixes.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <gtest/gtest.h>

#include <limits>

#include "link/http_answers.h"
#include "link/http_request.h"
#include "link/ip_address.h"
#include "link/name_lookup.h"
#include "link/text_field.h"

namespace {

TEST(HttpRouting, FirstTextFoundInTableOrderDecides) {
    EXPECT_EQ(RouteRequest("POST /camera HTTP/1.1"), RequestRoute::CameraPost);
    EXPECT_EQ(RouteRequest("POST /cameras HTTP/1.1"), RequestRoute::CameraPost);
    EXPECT_EQ(RouteRequest("POST /register HTTP/1.1\r\nX: POST /camera"), RequestRoute::CameraPost);
    EXPECT_EQ(RouteRequest("POST /register HTTP/1.1"), RequestRoute::RegisterPost);
    EXPECT_EQ(RouteRequest("GET /stream HTTP/1.1\r\nReferer: GET /cameras\r\n"), RequestRoute::CamerasGet);
    EXPECT_EQ(RouteRequest("POST /timeline\r\n\r\nGET /timeline"), RequestRoute::TimelineGet);
    EXPECT_EQ(RouteRequest("POST /timeline HTTP/1.1"), RequestRoute::TimelinePost);
    EXPECT_EQ(RouteRequest("POST /record HTTP/1.1"), RequestRoute::RecordPost);
    EXPECT_EQ(RouteRequest("GET /info HTTP/1.1"), RequestRoute::Info);
    EXPECT_EQ(RouteRequest("GET /information HTTP/1.1"), RequestRoute::Info);
    EXPECT_EQ(RouteRequest("get /info HTTP/1.1"), RequestRoute::Stream);
    EXPECT_EQ(RouteRequest("GET /favicon.ico HTTP/1.1"), RequestRoute::Stream);
    EXPECT_EQ(RouteRequest("PUT /camera HTTP/1.1"), RequestRoute::Stream);
    EXPECT_EQ(RouteRequest(""), RequestRoute::Stream);
}

TEST(HttpRequestText, FirstLine) {
    EXPECT_EQ(FirstLine("GET / HTTP/1.1\r\nHost: x\r\n\r\n"), "GET / HTTP/1.1");
    EXPECT_EQ(FirstLine("GET / HTTP/1.1\nHost: x"), "GET / HTTP/1.1\nHost: x");
    EXPECT_EQ(FirstLine(""), "");
}

TEST(HttpQuery, ValuesAreFoundAndDecoded) {
    const std::string line = "GET /stream?deviceName=Ann%27s+Phone&cameraName=Cam%201 HTTP/1.1";
    EXPECT_EQ(QueryParameter(line, "deviceName"), "Ann's Phone");
    EXPECT_EQ(QueryParameter(line, "cameraName"), "Cam 1");
    EXPECT_EQ(QueryParameter("GET /stream?xdeviceName=a&deviceName=b HTTP/1.1", "deviceName"), "b");
    EXPECT_EQ(QueryParameter("GET /stream?xdeviceName=a HTTP/1.1", "deviceName"), "");
    EXPECT_EQ(QueryParameter("GET /stream HTTP/1.1", "deviceName"), "");
    EXPECT_EQ(QueryParameter("GET /stream HTTP/1.1", "cameraName"), "");
    EXPECT_EQ(QueryParameter("GET /stream?deviceName=%zz HTTP/1.1", "deviceName"), "%zz");
    // The query ends at the first space after "?": later text is not searched.
    EXPECT_EQ(QueryParameter("GET /stream?a=1 HTTP/1.1 deviceName=x", "deviceName"), "");
    // No space: the query runs to the end of the line.
    EXPECT_EQ(QueryParameter("GET /stream?deviceName=end", "deviceName"), "end");
    EXPECT_EQ(QueryParameter("GET /s?deviceName=&cameraName=c HTTP/1.1", "deviceName"), "");
}

TEST(HttpQuery, PercentDecodingEdges) {
    EXPECT_EQ(DecodeQueryValue("a+b"), "a b");
    EXPECT_EQ(DecodeQueryValue("%41%62"), "Ab");
    EXPECT_EQ(DecodeQueryValue("%4"), "%4");    // second digit outside the value
    EXPECT_EQ(DecodeQueryValue("50%"), "50%");
    EXPECT_EQ(DecodeQueryValue("%%41"), "%A");  // a lone "%" is literal, decoding goes on
    EXPECT_EQ(DecodeQueryValue("%2B"), "+");
    EXPECT_EQ(DecodeQueryValue("%c3%a9"), "\xC3\xA9");
}

TEST(HttpBody, StartAndAnnouncedLength) {
    EXPECT_EQ(BodyStart("POST /x HTTP/1.1\r\nA: b\r\n\r\n{\"a\":1}"), "{\"a\":1}");
    EXPECT_EQ(BodyStart("POST /x HTTP/1.1\r\nA: b\r\n"), "");
    EXPECT_EQ(BodyStart("POST /x\r\n\r\n"), "");

    EXPECT_EQ(ExpectedContentLength("Content-Length: 42\r\n"), 42);
    EXPECT_EQ(ExpectedContentLength("Content-Length:\t 17abc"), 17);
    EXPECT_EQ(ExpectedContentLength("Content-Length: abc"), 0);
    EXPECT_EQ(ExpectedContentLength("Content-Length: -5"), -5);
    EXPECT_EQ(ExpectedContentLength("content-length: 9\r\n"), 9);
    // The exact spelling wins over the lower-case one, wherever each stands.
    EXPECT_EQ(ExpectedContentLength("content-length: 9\r\nContent-Length: 3\r\n"), 3);
    EXPECT_EQ(ExpectedContentLength("CONTENT-LENGTH: 9\r\n"), 0);
    EXPECT_EQ(ExpectedContentLength("Content-length: 9\r\n"), 0);
    EXPECT_EQ(ExpectedContentLength("no header"), 0);
    EXPECT_EQ(ExpectedContentLength("Content-Length: 99999999999999999999999999"), INT64_MAX);
    EXPECT_GT(ExpectedContentLength("Content-Length: 65537"), kMaxControlBodyBytes);
}

TEST(HttpBody, StrictJson) {
    EXPECT_TRUE(ParseJsonBody("{\"a\":1}"));
    EXPECT_TRUE(ParseJsonBody(" [1,2] \r\n"));
    EXPECT_FALSE(ParseJsonBody(""));
    EXPECT_FALSE(ParseJsonBody("5"));
    EXPECT_FALSE(ParseJsonBody("\"text\""));
    EXPECT_FALSE(ParseJsonBody("null"));
    EXPECT_FALSE(ParseJsonBody("{\"a\":1} trailing"));
    EXPECT_FALSE(ParseJsonBody("{\"a\":1,}"));
    EXPECT_FALSE(ParseJsonBody("{/*c*/\"a\":1}"));
    EXPECT_FALSE(ParseJsonBody("{\"a\":\"\xFF\"}"));
    EXPECT_FALSE(ParseJsonBody("{\"a\":1"));
}

TEST(TextField, CutsAtTheLastWholeCharacter) {
    char field[8];
    CopyToField(field, "short");
    EXPECT_STREQ(field, "short");
    CopyToField(field, "1234567");  // exactly capacity - 1
    EXPECT_STREQ(field, "1234567");
    CopyToField(field, "12345678");
    EXPECT_STREQ(field, "1234567");
    CopyToField(field, "12345\xE2\x82\xAC");  // the euro sign would end at byte 8
    EXPECT_STREQ(field, "12345");
    CopyToField(field, "1234\xE2\x82\xAC!");  // fits exactly in 7 bytes
    EXPECT_STREQ(field, "1234\xE2\x82\xAC");
    CopyToField(field, "123456\xC3\xA9");
    EXPECT_STREQ(field, "123456");
    CopyToField(field, "\xF0\x9F\x98\x80\xF0\x9F\x98\x80");  // two four-byte characters
    EXPECT_STREQ(field, "\xF0\x9F\x98\x80");
    CopyToField(field, "");
    EXPECT_STREQ(field, "");
}

TEST(AddressText, MappedV4V6AndOtherFamilies) {
    char text[64] = "junk";
    sockaddr_in6 mapped = {};
    mapped.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "::ffff:192.168.1.20", &mapped.sin6_addr);
    SockAddrToIPString(reinterpret_cast<sockaddr*>(&mapped), text, sizeof text);
    EXPECT_STREQ(text, "192.168.1.20");

    sockaddr_in6 v6 = {};
    v6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "fe80::1:2", &v6.sin6_addr);
    SockAddrToIPString(reinterpret_cast<sockaddr*>(&v6), text, sizeof text);
    EXPECT_STREQ(text, "fe80::1:2");
    inet_pton(AF_INET6, "::1", &v6.sin6_addr);
    SockAddrToIPString(reinterpret_cast<sockaddr*>(&v6), text, sizeof text);
    EXPECT_STREQ(text, "::1");

    sockaddr_in v4 = {};
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, "10.0.0.7", &v4.sin_addr);
    SockAddrToIPString(reinterpret_cast<sockaddr*>(&v4), text, sizeof text);
    EXPECT_STREQ(text, "10.0.0.7");

    sockaddr_un local = {};
    local.sun_family = AF_UNIX;
    SockAddrToIPString(reinterpret_cast<sockaddr*>(&local), text, sizeof text);
    EXPECT_STREQ(text, "");
}

TEST(HostName, LocalSuffixIsDropped) {
    EXPECT_EQ(StripLocalSuffix("anns-iphone.local"), "anns-iphone");
    EXPECT_EQ(StripLocalSuffix(".local"), ".local");
    EXPECT_EQ(StripLocalSuffix("host.example.com"), "host.example.com");
    EXPECT_EQ(StripLocalSuffix("x.local.lan"), "x.local.lan");
}

TEST(HostName, SystemLookupOfTheLoopbackNameStaysOnThisMachine) {
    // 127.0.0.1 is named by the hosts file, so the system lookup answers without any query.
    sockaddr_in v4 = {};
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.1", &v4.sin_addr);
    EXPECT_FALSE(ReverseLookupHostName(reinterpret_cast<sockaddr*>(&v4), sizeof v4).empty());
}

TEST(HttpAnswers, PartHeaderAndTimelineBody) {
    EXPECT_EQ(FormatPartHeader(1234), "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: 1234\r\n\r\n");
    EXPECT_EQ(FormatTimelineBody(TimelineState{}),
              "{\"currentTime\":0.000000,\"duration\":0.000000,\"fps\":30.00,\"playing\":false}");
    // A value that is not a number is not valid JSON: served as 0.
    EXPECT_EQ(FormatTimelineBody(TimelineState{std::numeric_limits<double>::quiet_NaN(), 1e300, 29.97, true}).substr(0, 30),
              "{\"currentTime\":0.000000,\"durat");
}

}  // namespace
