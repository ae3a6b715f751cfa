// Names in the stream query: every byte outside the unreserved set is escaped.
#include "phone/percent_encoding.h"

#include <gtest/gtest.h>

namespace qlophone {
namespace {

TEST(PercentEncoding, EscapesSpacesQuotesReservedAndNonAscii) {
    EXPECT_EQ(PercentEncode("Ann's Phone"), "Ann%27s%20Phone");
    EXPECT_EQ(PercentEncode("a&b=c?d/e#f+g%h"), "a%26b%3Dc%3Fd%2Fe%23f%2Bg%25h");
    EXPECT_EQ(PercentEncode("Caméra 1"), "Cam%C3%A9ra%201");
    EXPECT_EQ(PercentEncode("\xF0\x9F\x93\xB7"), "%F0%9F%93%B7");  // a 4-byte UTF-8 emoji
    EXPECT_EQ(PercentEncode(std::string("a\0b", 3)), "a%00b");
    EXPECT_EQ(PercentEncode("Az09-._~"), "Az09-._~");
}

TEST(PercentEncoding, StreamPathKeepsRouteTextsOutOfTheRequestLine) {
    const std::string path = BuildStreamPath("GET /info", "POST /camera");
    EXPECT_EQ(path, "/stream?deviceName=GET%20%2Finfo&cameraName=POST%20%2Fcamera");
    EXPECT_EQ(BuildStreamPath("Phone", ""), "/stream?deviceName=Phone&cameraName=");
}

}  // namespace
}  // namespace qlophone
