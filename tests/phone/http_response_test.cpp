// Reading the server's control answers: with and without Content-Length, split anywhere, and the
// malformed answers that must be refused.
#include "phone/http_client.h"
#include "phone/http_response.h"

#include "loopback_server.h"

#include <gtest/gtest.h>

namespace qlophone {
namespace {

using Progress = HttpResponseReader::Progress;

// With Content-Length the answer is complete at its last byte; without, the body may go on until
// the close.
TEST(HttpResponseReader, BodyByContentLengthOrToTheCloseSplitAtEveryByte) {
    const std::pair<std::string, std::string> answers[] = {
        {test::RegisterAnswer(), "{\"ok\":true}"},
        {test::InfoAnswer(8254, 8255, 1),
         "{\"service\":\"quillo\",\"version\":\"4.0\",\"port\":8254,\"controlPort\":8255,\"clients\":1}"},
    };
    for (const auto& [answer, body] : answers) {
        const bool hasLength = answer.find("Content-Length") != std::string::npos;
        for (size_t cut = 0; cut <= answer.size(); ++cut) {
            HttpResponseReader reader;
            reader.feed(std::string_view(answer).substr(0, cut));
            reader.feed(std::string_view(answer).substr(cut));
            ASSERT_EQ(reader.progress(), hasLength ? Progress::Complete : Progress::NeedMore) << "cut " << cut;
            ASSERT_EQ(reader.finish(), Progress::Complete) << "cut " << cut << ": " << reader.error();
            EXPECT_EQ(reader.response().head.status, 200);
            EXPECT_EQ(reader.response().body, body);
            ASSERT_NE(reader.response().head.find("content-type"), nullptr);
            EXPECT_EQ(*reader.response().head.find("content-type"), "application/json");
        }
    }
}

TEST(HttpResponseReader, RefusesMalformedAnswers) {
    struct Case {
        const char* what;
        std::string bytes;
        bool closeAfter;
        const char* errorPart;
    };
    const std::vector<Case> cases = {
        {"nothing at all", "", true, "without an answer"},
        {"head cut short", "HTTP/1.1 200 OK\r\nContent-Len", true, "inside the answer head"},
        {"body shorter than Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nOK", true, "2 of 10"},
        {"not HTTP", "SSH-2.0-OpenSSH\r\n\r\n", false, "not an HTTP answer"},
        {"bare LF", "HTTP/1.1 200 OK\nContent-Length: 2\r\n\r\nOK", false, "line break"},
        {"chunked", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nOK\r\n0\r\n\r\n", false, "chunked"},
        {"bad Content-Length", "HTTP/1.1 200 OK\r\nContent-Length: 1e3\r\n\r\n", false, "bad Content-Length"},
        {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nOK", false, "conflicting"},
        {"endless head", "HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'a'), false, "longer than"},
    };
    for (const auto& c : cases) {
        HttpResponseReader reader;
        reader.feed(c.bytes);
        if (c.closeAfter) reader.finish();
        EXPECT_EQ(reader.progress(), Progress::Error) << c.what;
        EXPECT_NE(reader.error().find(c.errorPart), std::string::npos) << c.what << ": " << reader.error();
    }
}

}  // namespace
}  // namespace qlophone
